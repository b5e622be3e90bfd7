#include "session/TargetPath.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The parts between separators, "." and empty ones left out: they name nothing in any form of path.
std::vector<std::wstring_view> PartsOf(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::wstring_view part = path.substr(start, end - start);
        if (!part.empty() && part != L".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

std::size_t DeviceRootParts(const std::vector<std::wstring_view>& parts, std::size_t first);

// The parts of an object-manager path that make the root below "\\?\GLOBALROOT": a link to a drive or share
// ("\??\C:", "\GLOBAL??\UNC\server\share"), a redirector's share ("\Device\Mup\server\share") or a volume
// ("\Device\HarddiskVolume1").
std::size_t ObjectRootParts(const std::vector<std::wstring_view>& parts, std::size_t first) {
    if (first >= parts.size())
        return 0;
    const std::wstring_view head = parts[first];
    if (head == L"??" || SameText(head, L"GLOBAL??") || SameText(head, L"DosDevices"))
        return 1 + DeviceRootParts(parts, first + 1);
    if (SameText(head, L"Device") && first + 1 < parts.size() &&
        (SameText(parts[first + 1], L"Mup") || SameText(parts[first + 1], L"LanmanRedirector")))
        return 4;
    return SameText(head, L"Device") ? 2 : 1;
}

// The parts after "\\?\" or "\\.\" that make the root: the drive, "UNC\server\share", or the volume or
// device by its name.
std::size_t DeviceRootParts(const std::vector<std::wstring_view>& parts, std::size_t first) {
    if (first >= parts.size())
        return 0;
    const std::wstring_view head = parts[first];
    if (SameText(head, L"UNC"))
        return 3;
    if (SameText(head, L"GLOBALROOT"))
        return 1 + ObjectRootParts(parts, first + 1);
    return 1;
}

// A part of nothing but dots and blanks (the system drops a name's final dots and blanks), once a stream's
// suffix is cut off ("C:\::$INDEX_ALLOCATION" is the root's own index): what is left is the folder itself,
// or its parent where two dots or more are left (".." as the system reads it, ".. " and "..." taken so too).
enum class TPartMeaning { Name, Itself, Parent };

TPartMeaning MeaningOf(std::wstring_view part) {
    part = part.substr(0, part.find(L':'));
    if (!std::all_of(part.begin(), part.end(), [](wchar_t c) { return c == L'.' || c == L' '; }))
        return TPartMeaning::Name;
    return std::count(part.begin(), part.end(), L'.') >= 2 ? TPartMeaning::Parent : TPartMeaning::Itself;
}

} // namespace

bool IsRootFolder(std::wstring_view path) {
    std::size_t rootParts = 0;
    std::vector<std::wstring_view> parts;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        parts = PartsOf(path.substr(2));
        // "\\?\" and "\\.\" lead into the device namespace; "\\server\share" otherwise. PartsOf drops the "."
        // of "\\.\", so the device form is told by the raw text.
        const bool device = path.size() >= 3 && (path[2] == L'?' || path[2] == L'.') &&
                            (path.size() == 3 || IsSeparator(path[3]));
        if (device) {
            if (path[2] == L'?')
                parts.erase(parts.begin());
            rootParts = DeviceRootParts(parts, 0);
        } else {
            rootParts = 2;
        }
    } else if (path.size() >= 4 && IsSeparator(path[0]) && path.substr(1, 2) == L"??" &&
               IsSeparator(path[3])) {
        // The object manager's own spelling, which some calls pass through.
        parts = PartsOf(path.substr(4));
        rootParts = DeviceRootParts(parts, 0);
    } else if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
        parts = PartsOf(path.substr(2));
    } else if (!path.empty() && IsSeparator(path[0])) {
        parts = PartsOf(path);
    } else {
        return false;
    }
    rootParts = std::min(rootParts, parts.size());
    std::size_t below = 0;
    for (std::size_t i = rootParts; i < parts.size(); ++i) {
        switch (MeaningOf(parts[i])) {
        case TPartMeaning::Name:
            ++below;
            break;
        case TPartMeaning::Parent:
            if (below > 0)
                --below;
            break;
        case TPartMeaning::Itself:
            break;
        }
    }
    return below == 0;
}

bool IsFullPath(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
        return true;
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::wstring DirSwitchRefusal(std::wstring_view value) {
    const std::wstring trimmed = TrimControl(value);
    if (trimmed.empty() || IsFullPath(trimmed))
        return {};
    return L"В /DIR нужен полный путь к папке, например /DIR=\"C:\\Dedira\", а задано " + Quoted(value) +
           L".";
}

TPathCheck CheckTargetPath(std::wstring_view entry, const TFullPathOf& fullPathOf) {
    std::wstring path = TrimControl(entry);
    if (path.empty())
        return {TPathVerdict::Empty, {}};
    path = WithTrailingBackslash(std::move(path));
    if (path.size() <= 3)
        return {TPathVerdict::Root, path};
    if (IsRootFolder(fullPathOf(path)))
        return {TPathVerdict::Root, path};
    return {TPathVerdict::Accepted, path};
}

std::wstring RefusalText(TPathVerdict verdict) {
    switch (verdict) {
    case TPathVerdict::Empty:
        return L"Не выбран путь для установки программы!";
    case TPathVerdict::Root:
        // "нелзя" (without the soft sign) as the suite's installers have always shown it: deliberate, see
        // docs/design.md#deliberate-texts.
        return L"Программу нелзя устанавливать в корневой каталог!";
    case TPathVerdict::Accepted:
        break;
    }
    return {};
}

std::wstring RemovalRefusalText(TPathVerdict verdict) {
    switch (verdict) {
    case TPathVerdict::Empty:
        return L"В /DIR не указана папка комплекса.";
    case TPathVerdict::Root:
        return L"Корневой каталог не может быть папкой комплекса: удалять из него нечего.";
    case TPathVerdict::Accepted:
        break;
    }
    return {};
}
