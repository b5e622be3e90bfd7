#include "install/files/TargetFolder.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileReplaceWin.h"
#include "common/StrUtils.h"
#include "install/files/FilesInUse.h"
#include "install/files/Folders.h"
#include "install/run/RunStop.h"
#include "install/trust/AccessRules.h"
#include "install/trust/FolderAccess.h"
#include "install/trust/LinkPolicy.h"
#include "install/trust/Links.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// How a folder the run works in is held: others may read it, and nothing more (no renaming or deleting it, no
// opening it to write into it, no renaming anything into it).
constexpr DWORD HeldShare = FILE_SHARE_READ;
constexpr DWORD FolderAccess = FILE_LIST_DIRECTORY | READ_CONTROL;
// How deep below the suite's folder a walk goes: deeper than the suite's own folders ever are, while any user
// may nest folders without end in "DTAfb" and "Settings".
constexpr std::size_t DeepestWalk = 64;

bool IsMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded)
        c = FoldCase(c);
    return folded;
}

std::wstring Bare(std::wstring_view relative) {
    while (!relative.empty() && relative.back() == L'\\')
        relative.remove_suffix(1);
    return std::wstring(relative);
}

// "backup\R010321\Files" as "backup\R010321" and "Files".
std::pair<std::wstring, std::wstring> Split(std::wstring_view relative) {
    const std::wstring bare = Bare(relative);
    const std::size_t slash = bare.rfind(L'\\');
    if (slash == std::wstring::npos)
        return {L"", bare};
    return {bare.substr(0, slash), bare.substr(slash + 1)};
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() ? name : folder + L"\\" + name;
}

[[noreturn]] void ThrowFolderError(const std::wstring& folder, DWORD code) {
    const std::wstring message =
        L"Не удалось открыть папку " + Quoted(folder) + L": " + SystemErrorText(code);
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
        throw TFileInUse(message, folder, code);
    throw TSystemError(message, code);
}

// The reparse data of a link: where a junction or a symbolic link leads, as the system keeps it.
std::wstring LinkSubstitute(HANDLE link) {
    struct TReparseData {
        ULONG Tag;
        USHORT DataLength;
        USHORT Reserved;
        USHORT SubstituteOffset;
        USHORT SubstituteLength;
        USHORT PrintOffset;
        USHORT PrintLength;
    };
    constexpr DWORD MountPoint = 0xA0000003;
    constexpr DWORD SymbolicLink = 0xA000000C;
    std::vector<LONGLONG> buffer(16 * 1024 / sizeof(LONGLONG));
    DWORD got = 0;
    if (!::DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)), &got, nullptr) ||
        got < sizeof(TReparseData))
        return {};
    const auto* data = reinterpret_cast<const TReparseData*>(buffer.data());
    const BYTE* names = reinterpret_cast<const BYTE*>(data + 1);
    if (data->Tag == SymbolicLink)
        names += sizeof(ULONG); // its flags come first
    else if (data->Tag != MountPoint)
        return {};
    if (names + data->SubstituteOffset + data->SubstituteLength >
        reinterpret_cast<const BYTE*>(buffer.data()) + got)
        return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(names + data->SubstituteOffset),
                        data->SubstituteLength / sizeof(wchar_t));
}

std::wstring FinalGuidPathOf(HANDLE file) {
    wchar_t path[MAX_PATH * 2] = L"";
    const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH * 2, VOLUME_NAME_GUID);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(path, length) : std::wstring();
}

bool SetDisposition(HANDLE file) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

DWORD SetAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) ? 0 : ::GetLastError();
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD put = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &put, nullptr))
            return ::GetLastError();
        done += put;
    }
    return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

} // namespace

std::wstring TargetErrorText(DWORD Code) {
    if (Code == LinkInPlace)
        return L"на его месте ссылка";
    if (Code == OtherNames)
        return L"у файла есть и другие имена (жёсткие ссылки)";
    return SystemErrorText(Code);
}

TTargetFolder::TTargetFolder(const std::wstring& Path, DWORD Access) : FPath(WithTrailingBackslash(Path)) {
    std::wstring bare = WithoutTrailingBackslash(FPath);
    if (bare.size() == 2 && bare[1] == L':')
        bare = FPath; // a drive's root is named with its backslash
    // The suite's folder itself is shared for writing too, so that a program of the suite's (the package's
    // script) may still rename files into it: only administrators may do so there once the folder is theirs.
    // No one may rename or delete it while it is held.
    THeld root;
    root.Handle.Reset(::CreateFileW(bare.c_str(), Access | FolderAccess | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD code = ::GetLastError();
    if (!root.Handle)
        ThrowFolderError(bare, code);
    if (!InfoOf(root.Handle.Get(), root.Info, &code))
        ThrowFolderError(bare, code);
    if (root.Info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        throw TForeignLink(ForeignLinkText(bare), bare);
    if (!(root.Info.Attributes & FILE_ATTRIBUTE_DIRECTORY))
        ThrowFolderError(bare, ERROR_DIRECTORY);
    root.Final = FinalPathOf(root.Handle.Get());
    if (root.Final.empty())
        ThrowFolderError(bare, ::GetLastError());
    FHeld.emplace(L"", std::move(root));
}

TTargetFolder::~TTargetFolder() {
    FFlushes.Abandon();
}

HANDLE TTargetFolder::Root() const noexcept {
    return FHeld.at(L"").Handle.Get();
}

void TTargetFolder::CheckPlace(const std::wstring& Final, const std::wstring& Expected,
                               const std::wstring& Relative) const {
    // Where the system says the folder is: Wine opens a Unix link as what it leads to, saying nothing else.
    if (Final.empty() || !SameText(Final, Expected))
        throw TForeignLink(ForeignLinkText(Full(Relative)), Full(Relative));
}

TTargetFolder::THeld TTargetFolder::ThroughTrustedLink(const THeld& Parent, const std::wstring& Relative,
                                                       TUniqueFile Link) {
    IAccessFacts& facts = AccessFacts();
    const std::wstring full = Full(Relative);
    if (TrustedLinkFault(Relative, facts.Security(Link.Get(), full),
                         facts.Security(Parent.Handle.Get(), WithoutTrailingBackslash(FPath))) !=
        TTrustFault::None)
        throw TForeignLink(ForeignLinkText(full), full);
    // No one else may change the link, and it stays held: it is followed once, and the folder it led to is
    // checked to be where it says.
    THeld held;
    DWORD code = 0;
    held.Handle =
        OpenThroughLink(Parent.Handle.Get(), Split(Relative).second, FolderAccess, HeldShare, &code);
    if (!held.Handle)
        ThrowFolderError(full, code);
    if (!InfoOf(held.Handle.Get(), held.Info, &code) || !InfoOf(Link.Get(), held.LinkInfo, &code))
        ThrowFolderError(full, code);
    held.Final = FinalPathOf(held.Handle.Get());
    if ((held.Info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !LinkLeadsTo(LinkSubstitute(Link.Get()), held.Final, FinalGuidPathOf(held.Handle.Get())))
        throw TForeignLink(ForeignLinkText(full), full);
    held.Link = std::move(Link);
    held.Relative = Relative;
    return held;
}

TTargetFolder::THeld TTargetFolder::OpenLevel(const THeld& Parent, const std::wstring& Relative,
                                              const std::wstring& Name, bool Make, DWORD Share,
                                              bool& Missing) {
    DWORD code = 0;
    THeld held;
    held.Handle = OpenInFolder(Parent.Handle.Get(), Name, FolderAccess, Share, true, &code);
    if (!held.Handle && Make && IsMissing(code)) {
        held.Handle = CreateInFolder(Parent.Handle.Get(), Name, FolderAccess, Share, true, nullptr, &code);
        if (held.Handle)
            FUndo->Added(Relative, true);
        else if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
            held.Handle = OpenInFolder(Parent.Handle.Get(), Name, FolderAccess, Share, true, &code);
    }
    if (!held.Handle) {
        Missing = IsMissing(code);
        if (Missing)
            return held;
        ThrowFolderError(Full(Relative), code);
    }
    if (!InfoOf(held.Handle.Get(), held.Info, &code))
        ThrowFolderError(Full(Relative), code);
    if (held.Info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return ThroughTrustedLink(Parent, Relative, std::move(held.Handle));
    held.Final = FinalPathOf(held.Handle.Get());
    CheckPlace(held.Final, Parent.Final + L"\\" + Name, Relative);
    held.Relative = Relative;
    return held;
}

const TTargetFolder::THeld* TTargetFolder::Held(std::wstring_view Relative, bool Make) {
    const std::wstring relative = Bare(Relative);
    const std::wstring key = Folded(relative);
    for (const std::wstring& lost : FLost)
        if (lost.empty() || key == lost ||
            (key.size() > lost.size() && key[lost.size()] == L'\\' &&
             key.compare(0, lost.size(), lost) == 0)) {
            const std::wstring full = WithoutTrailingBackslash(Full(relative.substr(0, lost.size())));
            throw TForeignLink(SwappedFolderText(full), full, SwappedFolderLine(full));
        }
    if (const auto found = FHeld.find(key); found != FHeld.end())
        return &found->second;
    const auto [folder, name] = Split(relative);
    const THeld* parent = Held(folder, Make);
    if (!parent)
        return nullptr;
    bool missing = false;
    THeld held = OpenLevel(*parent, relative, name, Make, HeldShare, missing);
    if (missing)
        return nullptr;
    return &FHeld.emplace(key, std::move(held)).first->second;
}

HANDLE TTargetFolder::FolderIfThere(std::wstring_view Relative) {
    const THeld* held = Held(Relative, false);
    return held ? held->Handle.Get() : nullptr;
}

HANDLE TTargetFolder::Folder(std::wstring_view Relative) {
    if (HANDLE folder = FolderIfThere(Relative))
        return folder;
    ThrowFolderError(Full(Bare(Relative)), ERROR_PATH_NOT_FOUND);
}

HANDLE TTargetFolder::MakeFolder(std::wstring_view Relative) {
    const THeld* held = Held(Relative, true);
    if (!held)
        ThrowFolderError(Full(Bare(Relative)), ERROR_PATH_NOT_FOUND);
    return held->Handle.Get();
}

HANDLE TTargetFolder::MakeFolderWithAccess(const std::wstring& Name, const TAccessList& List, DWORD* Error) {
    DWORD code = 0;
    THeld held;
    try {
        TSecurityDescriptor descriptor(List);
        held.Handle = CreateInFolder(Root(), Name, FolderAccess, HeldShare, true, descriptor.Get(), &code);
        // An owner this token may not give: the list alone still keeps everyone else out.
        if (!held.Handle && code == ERROR_INVALID_OWNER && descriptor.NamesOwner()) {
            descriptor.DropOwner();
            held.Handle =
                CreateInFolder(Root(), Name, FolderAccess, HeldShare, true, descriptor.Get(), &code);
        }
    } catch (const TError&) {
        code = ERROR_INVALID_SECURITY_DESCR;
    }
    if (held.Handle && (!InfoOf(held.Handle.Get(), held.Info, &code) ||
                        (held.Final = FinalPathOf(held.Handle.Get())).empty()))
        held.Handle.Reset();
    if (!held.Handle) {
        if (Error)
            *Error = code;
        return nullptr;
    }
    held.Relative = Name;
    Release(Name);
    return FHeld.emplace(Folded(Name), std::move(held)).first->second.Handle.Get();
}

void TTargetFolder::Release(std::wstring_view Relative) {
    const std::wstring key = Folded(Bare(Relative));
    for (auto held = FHeld.begin(); held != FHeld.end();) {
        const std::wstring& each = held->first;
        const bool below = key.empty()
                               ? !each.empty()
                               : each == key || (each.size() > key.size() && each[key.size()] == L'\\' &&
                                                 each.compare(0, key.size(), key) == 0);
        held = below ? FHeld.erase(held) : std::next(held);
    }
}

void TTargetFolder::Recheck() {
    for (const auto& [key, held] : FHeld) {
        TUniqueFile again;
        if (key.empty()) {
            again.Reset(::CreateFileW(WithoutTrailingBackslash(FPath).c_str(), FILE_READ_ATTRIBUTES, ShareAll,
                                      nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        } else {
            const auto [folder, name] = Split(key);
            const auto parent = FHeld.find(folder);
            if (parent != FHeld.end())
                again = OpenInFolder(parent->second.Handle.Get(), name, 0, ShareAll, true);
        }
        TObjectInfo info;
        const TObjectInfo& expected = held.Link ? held.LinkInfo : held.Info;
        // A folder held open cannot become another, but its name can lead elsewhere (Wine does not keep a
        // host's program from renaming it) or, emptied, the folder itself can be made a link.
        const bool swapped = !again || !InfoOf(again.Get(), info) || !info.SameObject(expected) ||
                             (!held.Link && (info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT));
        if (swapped) {
            const std::wstring relative = held.Relative;
            const std::wstring full = WithoutTrailingBackslash(Full(relative));
            FLost.push_back(key);
            // Wine removes and renames what a handle names by its first path, which now leads elsewhere.
            if (!relative.empty())
                Release(relative);
            throw TForeignLink(SwappedFolderText(full), full, SwappedFolderLine(full));
        }
    }
}

TUniqueFile TTargetFolder::Open(std::wstring_view Relative, DWORD Access, DWORD Share, TUse Use, DWORD* Error,
                                TObjectInfo* Info) {
    DWORD code = 0;
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    TUniqueFile file;
    TObjectInfo info;
    if (!held)
        code = ERROR_PATH_NOT_FOUND;
    else if ((file = OpenInFolder(held->Handle.Get(), name, Access, Share, false, &code)) &&
             InfoOf(file.Get(), info, &code)) {
        if (info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            code = LinkInPlace;
        else if (Use == TUse::Change && info.Names > 1)
            code = OtherNames;
        else if (Use != TUse::Read && !SameText(FinalPathOf(file.Get()), held->Final + L"\\" + name))
            code = LinkInPlace;
        else {
            if (Info)
                *Info = info;
            return file;
        }
    }
    if (Error)
        *Error = code ? code : ERROR_GEN_FAILURE;
    return TUniqueFile();
}

bool TTargetFolder::IsFile(std::wstring_view Relative) {
    return Open(Relative, 0, ShareAll, TUse::Read).Valid();
}

bool TTargetFolder::IsFolder(std::wstring_view Relative) {
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    return held && OpenInFolder(held->Handle.Get(), name, 0, ShareAll, true).Valid();
}

TUniqueFile TTargetFolder::CreateNew(std::wstring_view Relative, DWORD Access, DWORD* Error) {
    const auto [folder, name] = Split(Relative);
    return CreateInFolder(MakeFolder(folder), name, Access, FILE_SHARE_READ, false, nullptr, Error);
}

TUniqueFile TTargetFolder::CreateBeside(std::wstring_view Relative, std::wstring& Temporary) {
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    DWORD code = ERROR_PATH_NOT_FOUND;
    for (int attempt = 0; held && attempt < 8; ++attempt) {
        const std::wstring random = RandomHex(16);
        if (random.empty())
            break;
        const std::wstring temporary = name + L".~tessaro-" + random + L".tmp";
        // Shared, so that a new file can take its name while its handle stays open for a later flush, and be
        // read (a package's script) or even replaced by others meanwhile.
        TUniqueFile file = CreateInFolder(held->Handle.Get(), temporary, GENERIC_WRITE | DELETE, ShareAll,
                                          false, nullptr, &code);
        if (file) {
            Temporary = Joined(folder, temporary);
            return file;
        }
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS)
            break;
    }
    const std::wstring message =
        L"Не удалось создать файл " + Quoted(Full(Bare(Relative))) + L": " + SystemErrorText(code);
    if (MayBeInUse(code))
        throw TFileInUse(message, Full(Bare(Relative)), code);
    throw TSystemError(message, code);
}

DWORD TTargetFolder::Rename(HANDLE File, std::wstring_view NewRelative, bool Replace) {
    const auto [folder, name] = Split(NewRelative);
    const THeld* held = Held(folder, false);
    return held ? RenameInFolder(File, held->Handle.Get(), name, Replace) : ERROR_PATH_NOT_FOUND;
}

DWORD TTargetFolder::AlsoName(HANDLE File, std::wstring_view NewRelative) {
    const auto [folder, name] = Split(NewRelative);
    const THeld* held = Held(folder, false);
    return held ? AlsoNameInFolder(File, held->Handle.Get(), name) : ERROR_PATH_NOT_FOUND;
}

DWORD TTargetFolder::Remove(std::wstring_view Relative) {
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    if (!held)
        return 0;
    DWORD code = 0;
    const TUniqueFile file =
        OpenInFolder(held->Handle.Get(), name, DELETE | FILE_WRITE_ATTRIBUTES, ShareAll, false, &code);
    if (!file)
        return IsMissing(code) ? 0 : code;
    TObjectInfo info;
    if (!InfoOf(file.Get(), info, &code))
        return code;
    // Where Wine followed a Unix link, the file the handle names is elsewhere: it is not removed.
    if (!SameText(FinalPathOf(file.Get()), held->Final + L"\\" + name))
        return LinkInPlace;
    if (info.Attributes & FILE_ATTRIBUTE_READONLY) {
        // The attribute is the file's, wherever its other names lie (a hard link any user may make in
        // "DTAfb" or "Settings" of a read-only file elsewhere): such a file is left as it is.
        if (info.Names > 1)
            return OtherNames;
        SetAttributes(file.Get(),
                      (info.Attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | FILE_ATTRIBUTE_ARCHIVE);
    }
    return SetDisposition(file.Get()) ? 0 : ::GetLastError();
}

DWORD TTargetFolder::RemoveFolder(std::wstring_view Relative) {
    Release(Relative);
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    if (!held)
        return 0;
    DWORD code = 0;
    const TUniqueFile entry = OpenInFolder(held->Handle.Get(), name, DELETE, ShareAll, true, &code);
    if (!entry)
        return IsMissing(code) ? 0 : code;
    TObjectInfo info;
    if (!InfoOf(entry.Get(), info, &code))
        return code;
    if ((info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !SameText(FinalPathOf(entry.Get()), held->Final + L"\\" + name))
        return LinkInPlace;
    // A folder that is not empty stays: the system refuses.
    return SetDisposition(entry.Get()) ? 0 : ::GetLastError();
}

std::wstring TTargetFolder::MoveAside(std::wstring_view Relative, DWORD* Error) {
    Release(Relative);
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    DWORD code = ERROR_PATH_NOT_FOUND;
    TUniqueFile entry;
    if (held)
        entry = OpenEntryInFolder(held->Handle.Get(), name, DELETE, ShareAll, &code);
    // Where Wine followed a Unix link, the handle names what it leads to, outside: that is not moved.
    if (entry && !SameText(FinalPathOf(entry.Get()), held->Final + L"\\" + name)) {
        entry.Reset();
        code = LinkInPlace;
    }
    for (int attempt = 0; entry && attempt < 8; ++attempt) {
        const std::wstring random = RandomHex(8);
        if (random.empty())
            break;
        const std::wstring aside = Joined(folder, name + L".~tessaro-" + random);
        code = Rename(entry.Get(), aside, false);
        if (code == 0)
            return aside;
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS)
            break;
    }
    if (Error)
        *Error = code;
    return {};
}

DWORD TTargetFolder::SetReadOnly(std::wstring_view Relative, bool ReadOnly) {
    DWORD code = 0;
    const TUniqueFile file = Open(Relative, FILE_WRITE_ATTRIBUTES, ShareAll, TUse::Change, &code);
    TObjectInfo info;
    if (!file || !InfoOf(file.Get(), info, &code))
        return code;
    const DWORD attributes = ReadOnly ? info.Attributes | FILE_ATTRIBUTE_READONLY
                                      : info.Attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    // "Normal" is valid only alone.
    return SetAttributes(file.Get(), attributes & ~DWORD{FILE_ATTRIBUTE_NORMAL});
}

TFileBytes TTargetFolder::Read(std::wstring_view Relative, TUse Use) {
    TFileBytes result;
    DWORD code = 0;
    const TUniqueFile file = Open(Relative, GENERIC_READ, ShareAll, Use, &code);
    if (file && ReadOpenFile(file.Get(), result.Bytes, &code)) {
        result.Status = TReadStatus::Ok;
        return result;
    }
    result.Bytes.clear();
    result.Status = IsMissing(code) ? TReadStatus::NotFound : TReadStatus::Failed;
    result.Error = TargetErrorText(code);
    return result;
}

TUniqueFile TTargetFolder::Replace(std::wstring_view Relative, std::string_view Bytes) {
    const std::wstring full = Full(Bare(Relative));
    const auto fail = [&](DWORD code) -> TSystemError {
        return TSystemError(L"Не удалось записать файл " + Quoted(full) + L": " + TargetErrorText(code),
                            code);
    };
    // A file with another name, or a link, at the name is not renamed over: it is not the file it seems. Nor
    // is a read-only file, which Windows refuses to replace and Wine replaces all the same.
    DWORD code = 0;
    TObjectInfo info;
    if (!Open(Relative, 0, ShareAll, TUse::Change, &code, &info) && !IsMissing(code))
        throw fail(code);
    if (!code && (info.Attributes & FILE_ATTRIBUTE_READONLY))
        throw fail(ERROR_ACCESS_DENIED);
    std::wstring temporary;
    TUniqueFile file = CreateBeside(Relative, temporary);
    if ((code = WriteAll(file.Get(), Bytes)) == 0 && (code = Rename(file.Get(), Relative, true)) == 0 &&
        ::FlushFileBuffers(file.Get()))
        return file;
    code = code ? code : ::GetLastError();
    SetDisposition(file.Get());
    throw fail(code);
}

void TTargetFolder::Rewrite(std::wstring_view Relative, std::string_view Bytes) {
    DWORD code = 0;
    const TUniqueFile file = Open(Relative, GENERIC_WRITE, FILE_SHARE_READ, TUse::Change, &code);
    LARGE_INTEGER start{};
    if (!file || !::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()) ||
        (code = WriteAll(file.Get(), Bytes)) != 0) {
        code = code ? code : ::GetLastError();
        throw TSystemError(L"Не удалось записать файл " + Quoted(Full(Bare(Relative))) + L": " +
                               TargetErrorText(code),
                           code);
    }
}

void TTargetFolder::Walk(const THeld& Folder, const std::wstring& Relative, std::size_t Depth,
                         const TVisit& Visit, const std::function<bool(const std::wstring&)>& Into) {
    std::vector<TFolderEntry> entries;
    if (!ListFolder(Folder.Handle.Get(), entries))
        return;
    for (const TFolderEntry& entry : entries) {
        const std::wstring relative = Joined(Relative, entry.Name);
        const bool link = (entry.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(entry.ReparseTag);
        if (!(entry.Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (link)
                PassedOver(Full(relative));
            else
                Visit(relative, entry);
            continue;
        }
        if ((entry.Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) || (Into && !Into(relative)))
            continue;
        if (Depth >= DeepestWalk) {
            PassedOver(Full(relative));
            continue;
        }
        try {
            bool missing = false;
            const THeld below =
                OpenLevel(Folder, relative, entry.Name, false, FILE_SHARE_READ | FILE_SHARE_WRITE, missing);
            if (!missing)
                Walk(below, relative, Depth + 1, Visit, Into);
        } catch (const TForeignLink&) {
            PassedOver(Full(relative));
        } catch (const TFileInUse&) {
            // Held by another program for writing: what it holds is not the run's to walk.
        }
    }
}

std::vector<TFolderEntry> TTargetFolder::Entries(std::wstring_view Relative) {
    std::vector<TFolderEntry> entries;
    if (const HANDLE folder = FolderIfThere(Relative))
        ListFolder(folder, entries);
    return entries;
}

void TTargetFolder::WalkFiles(std::wstring_view Relative, const TVisit& Visit,
                              const std::function<bool(const std::wstring&)>& Into) {
    if (const THeld* start = Held(Relative, false))
        Walk(*start, Bare(Relative), 0, Visit, Into);
}

bool TTargetFolder::RetryInUse(IInstallHost& Host, const std::wstring& Path, DWORD Code) {
    if (!::RetryInUse(Host, Path, Code))
        return false;
    // Whatever the pause let anyone do to the folders, the retry goes through none swapped meanwhile.
    PassRunPoint(L"in-use");
    Recheck();
    return true;
}

void TTargetFolder::FinishFlushes() {
    const std::vector<TFlushFailure> failures = FFlushes.Finish();
    if (failures.empty())
        return;
    std::wstring text = L"Не удалось записать на диск:";
    for (const TFlushFailure& failure : failures) {
        // A new file whose content may not be what was written goes; a package's file may have come
        // read-only from the medium, which the removal clears first.
        Remove(failure.Relative);
        text += L"\r\n" + Quoted(Full(failure.Relative)) + L" — " + SystemErrorText(failure.Code);
    }
    throw TError(text);
}
