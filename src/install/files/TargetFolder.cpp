#include "install/files/TargetFolder.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileReplaceWin.h"
#include "common/StrUtils.h"
#include "install/files/FilesInUse.h"
#include "install/files/TargetNames.h"
#include "install/files/Folders.h"
#include "install/run/RunStop.h"
#include "install/trust/AccessRules.h"
#include "install/trust/FolderAccess.h"
#include "install/trust/LinkPolicy.h"
#include "install/trust/Links.h"

namespace {

using namespace TargetNames;

// How a folder the run works in is held: others may read it, and nothing more (no renaming or deleting it, no
// opening it to write into it, no renaming anything into it).
constexpr DWORD HeldShare = FILE_SHARE_READ;
constexpr DWORD FolderAccess = FILE_LIST_DIRECTORY | READ_CONTROL;

std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded)
        c = FoldCase(c);
    return folded;
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
