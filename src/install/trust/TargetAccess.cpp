#include "install/trust/TargetAccess.h"

#include <cstring>
#include <memory>
#include <optional>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/trust/FolderAccess.h"
#include "install/files/Folders.h"
#include "install/files/HeldFolders.h"
#include "install/files/TargetFolder.h"
#include "install/trust/LinkPolicy.h"
#include "install/trust/Links.h"
#include "install/files/Walks.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

template <std::size_t N> bool Named(const std::wstring& name, const wchar_t* const (&names)[N]) {
    for (const wchar_t* one : names)
        if (SameText(name, one))
            return true;
    return false;
}

bool IsMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// An entry itself, to be asked about, not used: a link as the link.
TUniqueFile OpenToAsk(const std::wstring& path, DWORD* error) {
    TUniqueFile entry(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    if (!entry && error)
        *error = ::GetLastError();
    return entry;
}

// Whether the open file has another name besides the one it was opened by (a hard link, which any user may
// make of a file they may read, in a folder they may write): its list is that other file's too, wherever that
// lies. A count the system does not give counts as another name.
bool HasOtherNames(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return !::GetFileInformationByHandle(file, &info) || info.nNumberOfLinks > 1;
}

std::wstring UsersFileKeptText(const std::wstring& path, const std::wstring& owner) {
    return L"Файл обычного пользователя оставлен в папке комплекса: " + Quoted(path) + L" (владелец " +
           (owner.empty() ? std::wstring(L"неизвестен") : owner) + L")";
}

std::wstring NotReplacedText(const std::wstring& path, const std::wstring& why) {
    return L"Права доступа не заменены: " + Quoted(path) + L": " + why;
}

// The root a path's levels hang from: "C:\" or "\\server\share\".
std::wstring RootOf(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':')
        return path.substr(0, 3);
    const std::vector<std::wstring> levels = LevelsBelowRoot(path);
    return levels.empty() ? std::wstring() : ExtractFilePath(levels.front());
}

// Resets the lists below a folder of the suite's that was just given its own: each entry made to inherit it,
// opened relative to its folder, no link followed or changed.
class TAccessReset {
public:
    // `depth`: how deep below the suite's folder the walk starts.
    explicit TAccessReset(IProgress& host, std::size_t depth = 0) : FHost(host), FDepth(depth) {}

    // `usersData`: below "DTAfb" or "Settings", which the users may write anyway.
    void Below(HANDLE folder, const std::wstring& path, const std::vector<TAccessEntry>& entries,
               bool suiteFolder, bool usersData = false) {
        std::vector<TFolderEntry> found;
        DWORD code = 0;
        if (!ListFolder(folder, found, &code)) {
            Fail(path, SystemErrorText(code));
            return;
        }
        for (const TFolderEntry& entry : found) {
            const std::wstring child = path + L"\\" + entry.Name;
            if ((entry.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(entry.ReparseTag)) {
                // Links keep what they are. None below the suite's folder is followed but an administrator's
                // "DTAfb", which the run decides about where it uses it (TrustedLinkFault).
                if (!(suiteFolder && SameText(entry.Name, L"DTAfb"))) {
                    FHost.Trace(PassedOverLinkText(child));
                    ++Links;
                }
                continue;
            }
            const bool isFolder = entry.Attributes & FILE_ATTRIBUTE_DIRECTORY;
            const TAccessList list = ListFor(entry.Name, isFolder, entries, suiteFolder);
            const bool users = usersData || UsersWrite(entry.Name, suiteFolder);
            // Opened for reading and sharing nothing else, what someone holds open for writing or deleting (a
            // handle a user opened before the take-over keeps its rights) is refused rather than let be; what
            // the users may write anyway is not asked about. A handle with only the right to change the list
            // or the owner goes unseen: the system weighs reading, writing and deleting against sharing, no
            // more.
            TUniqueFile handle =
                OpenInFolder(folder, entry.Name,
                             READ_CONTROL | WRITE_DAC | (list.Owner.empty() ? 0 : WRITE_OWNER) |
                                 (users ? (isFolder ? FILE_LIST_DIRECTORY : 0) : FILE_READ_DATA),
                             users ? ShareAll : FILE_SHARE_READ, isFolder, &code);
            if (!handle) {
                Fail(child, SystemErrorText(code));
                continue;
            }
            // Swapped for a link since it was listed: left alone.
            if (IsLinkObject(handle.Get()))
                continue;
            // A list given to a file with another name is given to that other file: below "DTAfb" and
            // "Settings", where any user may make such a name, it keeps what it has; elsewhere only a user
            // could have made it before the take-over, which stops there.
            if (!isFolder && HasOtherNames(handle.Get())) {
                if (usersData)
                    FHost.Trace(NotReplacedText(child, HardLinkedText));
                else
                    Fail(child, HardLinkedText);
                continue;
            }
            if (const DWORD failed = ApplyAccess(handle.Get(), list)) {
                Fail(child, SystemErrorText(failed));
                continue;
            }
            ++Reset;
            // A file an ordinary user put where the suite's programs lie (a library beside a program that
            // loads it from its own folder, say) stays what it is: the take-over cannot tell it from a file
            // of an earlier installation that user's updater wrote. It is named, for the administrator to
            // judge.
            if (!isFolder && !users) {
                const TSecurityFacts facts = AccessFacts().Security(handle.Get(), child);
                if (!facts.Known || !MachineOwner(facts.Owner, AccessFacts().SystemOwner())) {
                    FHost.Trace(UsersFileKeptText(child, facts.Owner));
                    ++UsersFiles;
                }
            }
            if (!isFolder)
                continue;
            if (FDepth == MaxFolderDepth) {
                if (users)
                    FHost.Trace(NotReplacedText(child, TooDeepText));
                else
                    Fail(child, TooDeepText);
                continue;
            }
            ++FDepth;
            Below(handle.Get(), child, list.Entries, false, users);
            --FDepth;
        }
    }

    // Whether the users may write the entry `name` of the suite's folder (and what it holds) by design.
    static bool UsersWrite(const std::wstring& name, bool suiteFolder) {
        return suiteFolder && (Named(name, DataFolderNames) || Named(name, UsersFileNames));
    }

    static TAccessList ListFor(const std::wstring& name, bool isFolder,
                               const std::vector<TAccessEntry>& entries, bool suiteFolder) {
        if (suiteFolder && isFolder && Named(name, DataFolderNames))
            return DataFolderAccess();
        if (suiteFolder && !isFolder && Named(name, UsersFileNames))
            return UsersFileAccess(entries);
        return {L"", InheritedEntries(entries, isFolder), false};
    }

    std::size_t Reset = 0;
    std::size_t Links = 0;
    std::size_t UsersFiles = 0;
    std::size_t Failed = 0;
    std::wstring FirstFailure;

private:
    void Fail(const std::wstring& path, const std::wstring& why) {
        FHost.Trace(NotReplacedText(path, why));
        if (Failed++ == 0)
            FirstFailure = Quoted(path) + L": " + why;
    }

    IProgress& FHost;
    std::size_t FDepth;
};

} // namespace

DWORD MakeAdminFolders(const std::wstring& Folder, std::wstring* FailedLevel,
                       std::vector<std::wstring>* Made) {
    const std::wstring folder = WithoutTrailingBackslash(Folder);
    for (const std::wstring& level : LevelsBelowRoot(folder)) {
        if (FolderExists(level))
            continue;
        const DWORD code = CreateFolderWithAccess(level, SuiteFolderAccess());
        // Made meanwhile by someone else: the run's own check of the folder decides about it.
        if (code == ERROR_ALREADY_EXISTS && FolderExists(level))
            continue;
        if (code) {
            if (FailedLevel)
                *FailedLevel = level;
            return code;
        }
        if (Made)
            Made->push_back(level);
    }
    return 0;
}

std::wstring TargetRefusal(const std::wstring& Target) {
    const std::wstring target = WithoutTrailingBackslash(Target);
    const std::vector<std::wstring> levels = LevelsBelowRoot(target);
    const std::wstring root = RootOf(target);
    if (levels.empty() || root.empty())
        return {};
    IAccessFacts& facts = AccessFacts();
    const std::wstring systemOwner = facts.SystemOwner();
    std::vector<TSecurityFacts> chain;
    TUniqueFile deepest = OpenToAsk(root, nullptr);
    chain.push_back(deepest ? facts.Security(deepest.Get(), root) : TSecurityFacts{});
    std::wstring deepestPath = root;
    for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
        DWORD code = 0;
        TUniqueFile level = OpenToAsk(levels[i], &code);
        if (!level && IsMissing(code))
            break; // this level and those below are the run's to make
        chain.push_back(level ? facts.Security(level.Get(), levels[i]) : TSecurityFacts{});
        if (!level)
            break;
        deepest = std::move(level);
        deepestPath = levels[i];
    }
    if (TUniqueFile existing = OpenToAsk(target, nullptr)) {
        deepest = std::move(existing);
        deepestPath = target;
    }
    if (deepest && !facts.KeepsAccessLists(deepest.Get(), deepestPath))
        return NoAccessListsText(target);
    if (const std::optional<TLevelRefusal> refusal = RefusedLevel(chain, systemOwner))
        return LevelRefusalText(levels[refusal->Level - 1], refusal->Fault);
    return {};
}

TTrustFault AdminFault(HANDLE Object, const std::wstring& Path) {
    IAccessFacts& facts = AccessFacts();
    return AdminFolderFault(facts.Security(Object, Path), facts.SystemOwner());
}

void TakeOverTarget(IProgress& Host, TTargetFolder& Target) {
    const std::wstring target = WithoutTrailingBackslash(Target.Path());
    const HANDLE folder = Target.Root();
    const TSecurityFacts before = AccessFacts().Security(folder, target);
    if (before.ReparsePoint)
        throw TError(FolderNotTrustedText(target, TTrustFault::Link));
    if (!TakeOverNeeded(before, AccessFacts().SystemOwner()))
        return;
    // Closed first, so that no one else adds anything while the entries below are reset; the users' reading
    // comes last and marks the take-over done.
    const TAccessList list = SuiteFolderAccess();
    if (const DWORD failed = ApplyAccess(folder, ClosedSuiteFolderAccess()))
        throw TError(L"Не удалось закрыть папку комплекса " + Quoted(target) +
                     L" от изменения обычными пользователями: " + SystemErrorText(failed));
    TAccessReset reset(Host);
    reset.Below(folder, target, list.Entries, true);
    Host.Trace(L"Папка комплекса передана администраторам: " + Quoted(target) + L" (владелец был " +
               (before.Owner.empty() ? L"неизвестен" : before.Owner) +
               L"); права доступа заменены у вложенных файлов и папок: " + std::to_wstring(reset.Reset) +
               L", оставлено ссылок: " + std::to_wstring(reset.Links) + L", файлов обычных пользователей: " +
               std::to_wstring(reset.UsersFiles));
    if (reset.Failed)
        throw TError(L"Не удалось заменить права доступа у файлов и папок в папке комплекса (" +
                     std::to_wstring(reset.Failed) + L"), например у " + reset.FirstFailure);
    if (const DWORD failed = ApplyAccess(folder, list))
        throw TError(L"Не удалось открыть папку комплекса " + Quoted(target) +
                     L" для чтения пользователям: " + SystemErrorText(failed));
}

void GrantUsersTheirFiles(IProgress& Host, TTargetFolder& Target) {
    const std::wstring target = WithoutTrailingBackslash(Target.Path());
    EnableOwnershipPrivileges();
    const std::vector<TAccessEntry> suite = SuiteFolderAccess().Entries;
    TAccessReset reset(Host, 1);
    std::vector<std::pair<std::wstring, bool>> entries;
    for (const wchar_t* name : DataFolderNames)
        entries.emplace_back(name, true);
    for (const wchar_t* name : UsersFileNames)
        entries.emplace_back(name, false);
    for (const auto& [name, isFolder] : entries) {
        DWORD code = 0;
        const TUniqueFile entry =
            OpenInFolder(Target.Root(), name,
                         READ_CONTROL | WRITE_DAC | WRITE_OWNER | (isFolder ? FILE_LIST_DIRECTORY : 0),
                         ShareAll, isFolder, &code);
        // An administrator's link (the database moved to a larger disk) keeps the lists it has.
        if (!entry || IsLinkObject(entry.Get()))
            continue;
        if (!isFolder && HasOtherNames(entry.Get())) {
            Host.Trace(NotReplacedText(target + L"\\" + name, HardLinkedText));
            continue;
        }
        const TAccessList list = TAccessReset::ListFor(name, isFolder, suite, true);
        if (const DWORD failed = ApplyAccess(entry.Get(), list)) {
            Host.Trace(NotReplacedText(target + L"\\" + name, SystemErrorText(failed)));
            continue;
        }
        if (isFolder)
            reset.Below(entry.Get(), target + L"\\" + name, list.Entries, false, true);
    }
}

std::wstring FolderNotTrustedText(const std::wstring& Folder, TTrustFault Fault) {
    return L"Папке " + Quoted(WithoutTrailingBackslash(Folder)) + L" нельзя доверять: " +
           TrustFaultText(Fault) + L".";
}

TAdminFolder EnsureAdminFolder(TTargetFolder& Parent, const std::wstring& Name) {
    TAdminFolder result;
    for (int attempt = 0; attempt < 3; ++attempt) {
        TTrustFault fault = TTrustFault::Unknown;
        HANDLE held = nullptr;
        bool missing = false;
        try {
            held = Parent.FolderIfThere(Name);
            missing = held == nullptr;
        } catch (const TForeignLink&) {
            fault = TTrustFault::Link;
        } catch (const TSystemError&) {
            // Something else in its place (a file), or one a program holds: the system cannot tell what.
        }
        if (held) {
            fault = AdminFault(held, Parent.Full(Name));
            if (fault == TTrustFault::None)
                return result;
        } else if (missing) {
            DWORD code = 0;
            if (Parent.MakeFolderWithAccess(Name, SuiteFolderAccess(), &code)) {
                result.Made = true;
                Parent.Undo().Added(Name, true);
                return result;
            }
            if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
                continue;
            ::SetLastError(code);
            ThrowLastError(L"Не удалось создать папку " + Quoted(Parent.Full(Name)));
        }
        if (!result.MovedAside.empty())
            break;
        result.Fault = fault;
        DWORD code = 0;
        result.MovedAside = Parent.MoveAside(Name, &code);
        if (result.MovedAside.empty())
            throw TError(FolderNotTrustedText(Parent.Full(Name), fault) + L" Отложить её не удалось: " +
                         TargetErrorText(code));
    }
    throw TError(L"Не удалось создать папку " + Quoted(Parent.Full(Name)) + L": её место занято");
}

TAdminFolder EnsureAdminFolder(const std::wstring& Folder) {
    const std::wstring folder = WithoutTrailingBackslash(Folder);
    TTargetFolder parent(ExtractFilePath(folder));
    return EnsureAdminFolder(parent, folder.substr(ExtractFilePath(folder).size()));
}

std::wstring FolderMovedAsideText(const std::wstring& Folder, TTrustFault Fault, const std::wstring& Aside) {
    return L"Папке " + Quoted(WithoutTrailingBackslash(Folder)) + L" нельзя было доверять (" +
           TrustFaultText(Fault) + L"): она отложена как " + Quoted(Aside) + L" и создана заново.";
}

std::wstring FolderMovedAsideLine(const std::wstring& Folder) {
    return L"Папке " + Quoted(WithoutTrailingBackslash(Folder)) +
           L" нельзя было доверять: она отложена и создана заново.";
}

std::wstring TargetRefusalLine(const std::wstring& Target) {
    return L"Папку " + Quoted(WithoutTrailingBackslash(Target)) +
           L" нельзя защитить от изменения обычными пользователями: установка в неё отклонена.";
}

TFileBytes ReadFromAdminFolder(TTargetFolder& Parent, const std::wstring& Folder, const std::wstring& Name) {
    const std::wstring full = Parent.Full(Folder);
    HANDLE held = nullptr;
    try {
        held = Parent.FolderIfThere(Folder);
    } catch (const TForeignLink&) {
        throw TError(FolderNotTrustedText(full, TTrustFault::Link));
    } catch (const TSystemError& error) {
        throw TError(FolderNotTrustedText(full, TTrustFault::Unknown) + L" " +
                     SystemErrorText(static_cast<DWORD>(error.Code())));
    }
    if (!held)
        return TFileBytes{};
    if (const TTrustFault fault = AdminFault(held, full); fault != TTrustFault::None)
        throw TError(FolderNotTrustedText(full, fault));
    return Parent.Read(Folder + L"\\" + Name);
}

std::wstring MakePrivateFolder(const std::wstring& Prefix, bool Elevated, std::wstring& Why) {
    const std::wstring temp = TempFolder();
    if (temp.empty()) {
        Why = L"временная папка не найдена";
        return {};
    }
    const TAccessList list = PrivateFolderAccess(Elevated ? std::wstring() : CurrentUserSid());
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring random = RandomHex(16);
        if (random.empty())
            break;
        const std::wstring folder = temp + Prefix + random;
        const DWORD code = CreateFolderWithAccess(folder, list);
        if (code == 0)
            return folder + L"\\";
        Why = SystemErrorText(code);
    }
    if (Why.empty())
        Why = L"не удалось получить случайное имя папки";
    return {};
}

bool CopyIntoNewFile(HANDLE Source, const std::wstring& Dest, std::wstring& Why) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(Source, start, nullptr, FILE_BEGIN)) {
        Why = SystemErrorText(::GetLastError());
        return false;
    }
    TUniqueFile copy(::CreateFileW(Dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!copy) {
        Why = SystemErrorText(::GetLastError());
        return false;
    }
    const std::unique_ptr<char[]> buffer(new char[65536]);
    for (;;) {
        DWORD got = 0, put = 0;
        if (!::ReadFile(Source, buffer.get(), 65536, &got, nullptr) ||
            (got && (!::WriteFile(copy.Get(), buffer.get(), got, &put, nullptr) || put != got))) {
            Why = SystemErrorText(::GetLastError());
            copy.Reset();
            ::DeleteFileW(Dest.c_str());
            return false;
        }
        if (got == 0)
            return true;
    }
}

namespace {
bool CopyTreeNew(const std::wstring& from, const std::wstring& to, std::wstring& why) {
    bool copied = true;
    const bool listed = ForEachEntry(from, [&](const WIN32_FIND_DATAW& found) {
        const std::wstring source = from + L"\\" + found.cFileName;
        const std::wstring dest = to + L"\\" + found.cFileName;
        if (LinkKindOf(source, found) != TLinkKind::NotALink)
            return true;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IsVisibleFolder(found))
                return true;
            if (!::CreateDirectoryW(dest.c_str(), nullptr)) {
                why = SystemErrorText(::GetLastError());
                return copied = false;
            }
            return copied = CopyTreeNew(source, dest, why);
        }
        const TUniqueFile file(
            ::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) {
            why = Quoted(source) + L": " + SystemErrorText(::GetLastError());
            return copied = false;
        }
        return copied = CopyIntoNewFile(file.Get(), dest, why);
    });
    if (!listed)
        why = SystemErrorText(::GetLastError());
    return listed && copied;
}

void RemoveTreeBelow(const std::wstring& folder) {
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& found) {
        const std::wstring path = folder + L"\\" + found.cFileName;
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        // A link goes as the link: removing it never reaches what it leads to.
        if (isFolder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RemoveTreeBelow(path);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(isFolder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())))
            ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return true;
    });
}
} // namespace

std::wstring PrivateCopyOf(const std::wstring& Source, const std::wstring& Prefix, bool Elevated,
                           std::wstring& Why) {
    const std::wstring folder = MakePrivateFolder(Prefix, Elevated, Why);
    if (folder.empty())
        return {};
    if (CopyTreeNew(WithoutTrailingBackslash(Source), WithoutTrailingBackslash(folder), Why))
        return folder;
    RemovePrivateFolder(folder);
    return {};
}

void RemovePrivateFolder(const std::wstring& Folder) {
    const std::wstring folder = WithoutTrailingBackslash(Folder);
    RemoveTreeBelow(folder);
    if (!::RemoveDirectoryW(folder.c_str()))
        ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
