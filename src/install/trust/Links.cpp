#include "install/trust/Links.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/HandlesWin.h"
#include "common/StrUtils.h"

std::wstring OwnerOfEntry(const std::wstring& Path) {
    TUniqueFile entry(::CreateFileW(
        Path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry)
        return {};
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetSecurityInfo(entry.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &raw) != ERROR_SUCCESS)
        return {};
    const TUniqueLocal descriptor(raw);
    LPWSTR text = nullptr;
    if (!owner || !::ConvertSidToStringSidW(owner, &text))
        return {};
    const TUniqueLocal textMemory(text);
    return text;
}

TOwnerLookup& LinkOwnerLookup() noexcept {
    static TOwnerLookup lookup = &OwnerOfEntry;
    return lookup;
}

TLinkKind LinkKindOf(const std::wstring& Path, const WIN32_FIND_DATAW& Found) {
    return LinkKindFrom((Found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0, Found.dwReserved0,
                        [&] { return LinkOwnerLookup()(Path); });
}

TLinkKind LinkKindOf(const std::wstring& Path) {
    const std::wstring entry = WithoutTrailingBackslash(Path);
    // A search for the entry itself reports its own attributes and reparse tag, not its destination's.
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW(entry.c_str(), &found));
    if (!search) {
        // A search does not name a drive or share's root; those are the system's.
        return TLinkKind::NotALink;
    }
    return LinkKindOf(entry, found);
}

std::wstring FinalPathOf(HANDLE File) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(File, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return PlainFinalPath(path);
        }
        path.resize(length + 1);
    }
    return {};
}

std::wstring FinalPathOfPath(const std::wstring& Path) {
    TUniqueFile entry(::CreateFileW(Path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return entry ? FinalPathOf(entry.Get()) : std::wstring();
}

namespace {
// "Папка «X» — ссылка на «Y», созданная не администратором", without the destination when the system
// cannot tell where the link leads.
std::wstring ForeignLinkStart(const std::wstring& link) {
    const std::wstring leads = FinalPathOfPath(link);
    return L"Папка " + Quoted(link) + L" — ссылка" + (leads.empty() ? L"" : L" на " + Quoted(leads)) +
           L", созданная не администратором";
}
} // namespace

std::wstring ForeignLinkText(const std::wstring& Link) {
    return ForeignLinkStart(Link) + L": программа установки не пишет в такие папки.";
}

std::wstring ForeignTargetText(const std::wstring& Link) {
    return ForeignLinkStart(Link) + L": устанавливать в неё нельзя. Выберите другую папку.";
}

std::wstring ForeignRemovalText(const std::wstring& Link) {
    return ForeignLinkStart(Link) + L": удалять через неё ничего нельзя.";
}

std::wstring ForeignLinkLine(const std::wstring& Link) {
    return L"Папка " + Quoted(Link) + L" — ссылка, созданная не администратором.";
}

std::wstring PassedOverLinkText(const std::wstring& Link) {
    return L"Ссылка пропущена (создана не администратором): " + Quoted(Link);
}

std::wstring ForeignLevelOfTarget(const std::wstring& Target) {
    for (const std::wstring& level : LevelsBelowRoot(Target))
        if (LinkKindOf(level) == TLinkKind::Foreign)
            return level;
    return {};
}

std::wstring TForeignLink::Line() const {
    return FLine.empty() ? ForeignLinkLine(FLink) : FLine;
}

std::wstring SwappedFolderText(const std::wstring& Folder) {
    return L"Папку " + Quoted(Folder) +
           L" подменили, пока программа установки работала в ней: больше ничего в неё не пишется.";
}

std::wstring SwappedFolderLine(const std::wstring& Folder) {
    return L"Папка " + Quoted(Folder) + L" подменена во время работы программы установки.";
}
