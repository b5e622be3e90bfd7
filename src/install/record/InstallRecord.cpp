#include "install/record/InstallRecord.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "common/StrUtils.h"
#include "common/TextCodec.h"

namespace {

constexpr std::string_view Heading = "Тессаро-Холтер: установленные файлы";
constexpr std::string_view DataTag = "data";
constexpr std::string_view FileTag = "file";

bool IsHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

bool IsDotOrBlank(wchar_t c) {
    return c == L'.' || c == L' ';
}

bool OnlyDotsAndBlanks(std::wstring_view part) {
    return std::all_of(part.begin(), part.end(), IsDotOrBlank);
}

// The parts between "\" or "/", empty ones included.
std::vector<std::wstring_view> PartsOf(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Letter case aside as the file system compares names: besides the usual pairs, the letters whose capital is
// a Latin letter of another code (the capital of the dotless i is I, of the long s S).
wchar_t FoldName(wchar_t c) {
    switch (static_cast<std::uint32_t>(c)) {
    case 0x0131: // dotless i
        return L'i';
    case 0x017F: // long s
        return L's';
    case 0x212A: // Kelvin sign
        return L'k';
    case 0x212B: // Angstrom sign
        return static_cast<wchar_t>(0x00E5);
    default:
        return FoldCase(c);
    }
}

// The names a relative path reaches, one key a part, in a form that compares equal for every spelling of the
// same name: a stream's suffix (":...") and the final dots and blanks (which the system drops) cut off, the
// letters folded. Empty and "." parts reach nothing. Nothing at all when a part may lead upwards: "..", or
// any part of dots and blanks with two dots or more, which a system may read so.
std::optional<std::vector<std::wstring>> NameKeys(std::wstring_view path) {
    std::vector<std::wstring> keys;
    for (std::wstring_view part : PartsOf(path)) {
        part = part.substr(0, part.find(L':'));
        if (OnlyDotsAndBlanks(part)) {
            if (std::count(part.begin(), part.end(), L'.') >= 2)
                return std::nullopt;
            continue;
        }
        while (IsDotOrBlank(part.back()))
            part.remove_suffix(1);
        std::wstring key;
        key.reserve(part.size());
        for (wchar_t c : part)
            key += FoldName(c);
        keys.push_back(std::move(key));
    }
    return keys;
}

// Whether `path` is one of the folders or lies in one, compared by NameKeys; a path that may lead upwards
// counts as inside.
bool InFolders(std::wstring_view path, const std::vector<std::wstring>& folders) {
    const auto keys = NameKeys(path);
    if (!keys)
        return true;
    return std::any_of(folders.begin(), folders.end(), [&](const std::wstring& folder) {
        const auto folderKeys = NameKeys(folder);
        return folderKeys && !folderKeys->empty() && folderKeys->size() <= keys->size() &&
               std::equal(folderKeys->begin(), folderKeys->end(), keys->begin());
    });
}

// A name the system takes for a device wherever it stands: the name alone, or with an extension or blanks.
bool IsDeviceName(std::wstring_view part) {
    std::wstring_view base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.remove_suffix(1);
    while (!base.empty() && base.front() == L' ')
        base.remove_prefix(1);
    for (const std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (SameText(base, device))
            return true;
    if (base.size() != 4 || !(SameText(base.substr(0, 3), L"COM") || SameText(base.substr(0, 3), L"LPT")))
        return false;
    const auto digit = static_cast<std::uint32_t>(base[3]);
    // The superscript digits of ISO 8859-1 count as digits here too.
    return (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// The "NAME~1.EXT" form the system gives a long name for programs that know only short ones: another
// spelling of a name the record would hold in its long form.
bool LooksLikeShortName(std::wstring_view part) {
    const std::size_t dot = part.rfind(L'.');
    const std::wstring_view base = part.substr(0, dot);
    if ((dot != std::wstring_view::npos && part.size() - dot - 1 > 3) || base.size() > 8)
        return false;
    const std::size_t tilde = base.rfind(L'~');
    if (tilde == std::wstring_view::npos || tilde == 0 || tilde + 1 == base.size())
        return false;
    return std::all_of(base.begin() + static_cast<std::ptrdiff_t>(tilde) + 1, base.end(),
                       [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool IsPlainName(std::wstring_view part) {
    if (part.empty() || IsDotOrBlank(part.back()) || IsDeviceName(part) || LooksLikeShortName(part))
        return false;
    return std::none_of(part.begin(), part.end(), [](wchar_t c) {
        return static_cast<std::uint32_t>(c) < 0x20 ||
               std::wstring_view(L"<>\"|?*:/").find(c) != std::wstring_view::npos;
    });
}

} // namespace

std::vector<std::wstring> ClinicDataFolders() {
    return {L"DTAfb", L"Settings"};
}

bool IsContainedPath(std::wstring_view path) {
    if (path.empty() || path.front() == L'\\' || path.front() == L'/' ||
        path.find(L':') != std::wstring_view::npos)
        return false;
    // A part of nothing but dots and blanks is the folder itself or, as the system may read it, its parent.
    const std::vector<std::wstring_view> parts = PartsOf(path);
    return std::none_of(parts.begin(), parts.end(), OnlyDotsAndBlanks);
}

bool IsRecordablePath(std::wstring_view path) {
    if (!IsContainedPath(path) || path.find(L'/') != std::wstring_view::npos)
        return false;
    const std::vector<std::wstring_view> parts = PartsOf(path);
    return std::all_of(parts.begin(), parts.end(), IsPlainName);
}

bool NeverRecorded(std::wstring_view path) {
    std::vector<std::wstring> folders = ClinicDataFolders();
    folders.push_back(UninstallFolder);
    return InFolders(path, folders);
}

std::string FormatInstallRecord(const TInstallRecord& record) {
    std::string text(Heading);
    text += "\r\n";
    for (const std::wstring& folder : record.DataFolders)
        text += std::string(DataTag) + "\t" + WideToUtf8(folder) + "\r\n";
    for (const TRecordedFile& file : record.Files)
        text += std::string(FileTag) + "\t" + std::to_string(file.Size) + "\t" + file.Hash + "\t" +
                WideToUtf8(file.Path) + "\r\n";
    return text;
}

TInstallRecord ParseInstallRecord(std::string_view text) {
    TInstallRecord record;
    for (const std::string_view line : TextLines(text)) {
        const std::vector<std::string_view> fields = TabFields(line);
        if (fields.size() == 2 && fields[0] == DataTag) {
            const std::wstring folder = Utf8ToWide(fields[1]);
            if (IsRecordablePath(folder))
                record.DataFolders.push_back(folder);
        } else if (fields.size() == 4 && fields[0] == FileTag && IsHex(fields[2])) {
            std::uint64_t size = 0;
            const auto [rest, error] =
                std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), size);
            const std::wstring path = Utf8ToWide(fields[3]);
            if (error == std::errc{} && rest == fields[1].data() + fields[1].size() &&
                IsRecordablePath(path) && !NeverRecorded(path))
                record.Files.push_back({path, size, std::string(fields[2])});
        }
    }
    return record;
}

void MergeInstallRecord(TInstallRecord& record, const std::vector<TRecordedFile>& files,
                        const std::vector<std::wstring>& dataFolders) {
    for (const std::wstring& folder : dataFolders)
        if (std::none_of(record.DataFolders.begin(), record.DataFolders.end(),
                         [&](const std::wstring& known) { return SameText(known, folder); }))
            record.DataFolders.push_back(folder);
    for (const TRecordedFile& file : files) {
        const auto known =
            std::find_if(record.Files.begin(), record.Files.end(),
                         [&](const TRecordedFile& each) { return SameText(each.Path, file.Path); });
        if (known != record.Files.end())
            *known = file;
        else
            record.Files.push_back(file);
    }
}

bool InDataFolder(const TInstallRecord& record, std::wstring_view path) {
    return InFolders(path, ClinicDataFolders()) || InFolders(path, record.DataFolders);
}
