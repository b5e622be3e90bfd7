#include "install/files/HeldFolders.h"

#include <winternl.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "common/ErrorWin.h"
#include "install/trust/LinkPolicy.h"

namespace {

// NtCreateFile's values that winternl.h leaves out.
constexpr ULONG OpenExisting = 1;              // FILE_OPEN
constexpr ULONG CreateNew = 2;                 // FILE_CREATE
constexpr ULONG DirectoryFile = 0x00000001;    // FILE_DIRECTORY_FILE
constexpr ULONG SynchronousIo = 0x00000020;    // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG NonDirectoryFile = 0x00000040; // FILE_NON_DIRECTORY_FILE
constexpr ULONG OpenForBackup = 0x00004000;    // FILE_OPEN_FOR_BACKUP_INTENT
constexpr ULONG OpenReparsePoint = 0x00200000; // FILE_OPEN_REPARSE_POINT
constexpr ULONG CaseInsensitive = 0x00000040;  // OBJ_CASE_INSENSITIVE
// NtSetInformationFile's classes.
constexpr ULONG RenameInformation = 10; // FileRenameInformation
constexpr ULONG LinkInformation = 11;   // FileLinkInformation
// What Wine 8 answers to a rename or a second name given by a plain name alone (the same folder's).
constexpr NTSTATUS PathSyntaxBad = static_cast<NTSTATUS>(0xC000003B); // STATUS_OBJECT_PATH_SYNTAX_BAD

// ntdll's functions, looked up rather than imported: ntdll is in every process from its start, and the
// program's imports stay the list the checks of the shipped program know.
using TNtCreateFile = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                       PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using TNtSetInformationFile = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
using TStatusToError = ULONG(NTAPI*)(NTSTATUS);

template <typename T> T NtFunction(const char* name) {
    return reinterpret_cast<T>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}

DWORD ErrorOf(NTSTATUS status) {
    static const auto toError = NtFunction<TStatusToError>("RtlNtStatusToDosError");
    return toError ? toError(status) : ERROR_GEN_FAILURE;
}

bool IsOnePart(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"\\/") == std::wstring::npos && name != L"." && name != L"..";
}

TUniqueFile NtOpen(HANDLE folder, const std::wstring& name, DWORD access, DWORD share, ULONG disposition,
                   ULONG options, PSECURITY_DESCRIPTOR descriptor, DWORD* error) {
    static const auto create = NtFunction<TNtCreateFile>("NtCreateFile");
    // An empty name is the folder itself, opened anew.
    if ((!name.empty() && !IsOnePart(name)) || !create) {
        if (error)
            *error = create ? ERROR_INVALID_NAME : ERROR_PROC_NOT_FOUND;
        return TUniqueFile();
    }
    UNICODE_STRING text{};
    text.Buffer = const_cast<PWSTR>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = folder;
    attributes.ObjectName = &text;
    attributes.Attributes = CaseInsensitive;
    attributes.SecurityDescriptor = descriptor;
    IO_STATUS_BLOCK status{};
    HANDLE raw = nullptr;
    const NTSTATUS result = create(&raw, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status,
                                   nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                                   SynchronousIo | OpenForBackup | options, nullptr, 0);
    if (result < 0) {
        if (error)
            *error = ErrorOf(result);
        return TUniqueFile();
    }
    return TUniqueFile(raw);
}

// FILE_RENAME_INFORMATION and FILE_LINK_INFORMATION, which have the same layout.
NTSTATUS SetName(HANDLE entry, HANDLE folder, const std::wstring& name, bool replace, ULONG kind) {
    static const auto set = NtFunction<TNtSetInformationFile>("NtSetInformationFile");
    if (!set)
        return static_cast<NTSTATUS>(0xC0000002); // STATUS_NOT_IMPLEMENTED
    std::vector<LONGLONG> buffer(
        (sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t)) / sizeof(LONGLONG) + 1);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = folder;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.data(), info->FileNameLength);
    IO_STATUS_BLOCK status{};
    return set(entry, &status, info, static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)), kind);
}

// A new name in the entry's own folder. Windows takes a plain name without a folder as one in the folder the
// entry lies in, and needs to open nothing for it: a folder held without leave to write (as the run holds
// those it works in) would refuse the open that a name given with its folder takes. Wine 8 refuses the plain
// name and takes it with the folder's handle, which it opens for nothing.
DWORD NameInFolder(HANDLE entry, HANDLE folder, const std::wstring& name, bool replace, ULONG kind) {
    if (!IsOnePart(name))
        return ERROR_INVALID_NAME;
    static std::atomic<bool> plainRefused{false};
    NTSTATUS result = PathSyntaxBad;
    if (!plainRefused.load())
        result = SetName(entry, nullptr, name, replace, kind);
    if (result == PathSyntaxBad) {
        plainRefused.store(true);
        result = SetName(entry, folder, name, replace, kind);
    }
    return result < 0 ? ErrorOf(result) : 0;
}

} // namespace

TUniqueFile HoldFolder(const std::wstring& Path, DWORD Access, DWORD* Error) {
    TUniqueFile folder(::CreateFileW(
        Path.c_str(), Access | FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder && Error)
        *Error = ::GetLastError();
    else if (folder && !IsFolderObject(folder.Get()) && !IsLinkObject(folder.Get())) {
        folder.Reset();
        if (Error)
            *Error = ERROR_DIRECTORY;
    }
    return folder;
}

TUniqueFile OpenInFolder(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share, bool Directory,
                         DWORD* Error) {
    return NtOpen(Folder, Name, Access, Share, OpenExisting,
                  OpenReparsePoint | (Directory ? DirectoryFile : NonDirectoryFile), nullptr, Error);
}

TUniqueFile OpenEntryInFolder(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share,
                              DWORD* Error) {
    return NtOpen(Folder, Name, Access, Share, OpenExisting, OpenReparsePoint, nullptr, Error);
}

TUniqueFile OpenThroughLink(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share,
                            DWORD* Error) {
    return NtOpen(Folder, Name, Access, Share, OpenExisting, DirectoryFile, nullptr, Error);
}

TUniqueFile CreateInFolder(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share, bool Directory,
                           PSECURITY_DESCRIPTOR Descriptor, DWORD* Error) {
    return NtOpen(Folder, Name, Access, Share, CreateNew,
                  OpenReparsePoint | (Directory ? DirectoryFile : NonDirectoryFile), Descriptor, Error);
}

DWORD RenameInFolder(HANDLE Entry, HANDLE Folder, const std::wstring& Name, bool Replace) {
    return NameInFolder(Entry, Folder, Name, Replace, RenameInformation);
}

DWORD AlsoNameInFolder(HANDLE Entry, HANDLE Folder, const std::wstring& Name) {
    return NameInFolder(Entry, Folder, Name, false, LinkInformation);
}

bool InfoOf(HANDLE Object, TObjectInfo& Info, DWORD* Error) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(Object, &info)) {
        if (Error)
            *Error = ::GetLastError();
        return false;
    }
    Info.Attributes = info.dwFileAttributes;
    Info.Names = info.nNumberOfLinks;
    Info.Volume = info.dwVolumeSerialNumber;
    Info.Index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool ListFolder(HANDLE Folder, std::vector<TFolderEntry>& Entries, DWORD* Error) {
    // Listed through a handle of its own: Wine lists a handle once, and starts nowhere anew when asked to.
    const TUniqueFile fresh =
        NtOpen(Folder, L"", FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
               OpenExisting, DirectoryFile, nullptr, nullptr);
    if (fresh)
        Folder = fresh.Get();
    // Aligned as the system writes its records.
    std::vector<LONGLONG> buffer(8192);
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;; kind = FileFullDirectoryInfo) {
        if (!::GetFileInformationByHandleEx(Folder, kind, buffer.data(),
                                            static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_NO_MORE_FILES)
                return true;
            if (Error)
                *Error = code;
            return false;
        }
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                Entries.push_back({std::move(name), entry->FileAttributes,
                                   (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? entry->EaSize : 0,
                                   static_cast<unsigned long long>(entry->EndOfFile.QuadPart),
                                   static_cast<unsigned long long>(entry->LastWriteTime.QuadPart)});
            if (entry->NextEntryOffset == 0)
                break;
            at += entry->NextEntryOffset;
        }
    }
}

bool ReadOpenFile(HANDLE File, std::string& Bytes, DWORD* Error) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(File, &size) || size.QuadPart > 64 * 1024 * 1024) {
        if (Error)
            *Error = size.QuadPart > 0 ? ERROR_FILE_TOO_LARGE : ::GetLastError();
        return false;
    }
    Bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    LARGE_INTEGER start{};
    DWORD got = 0;
    if (!::SetFilePointerEx(File, start, nullptr, FILE_BEGIN) ||
        (!Bytes.empty() &&
         !::ReadFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &got, nullptr))) {
        if (Error)
            *Error = ::GetLastError();
        return false;
    }
    Bytes.resize(got);
    return true;
}

TFileBytes ReadInFolder(HANDLE Folder, const std::wstring& Name) {
    TFileBytes result;
    DWORD code = 0;
    const TUniqueFile file = OpenInFolder(Folder, Name, GENERIC_READ, FILE_SHARE_READ, false, &code);
    if (!file) {
        result.Status = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TReadStatus::NotFound
                                                                                     : TReadStatus::Failed;
        result.Error = SystemErrorText(code);
        return result;
    }
    if (IsLinkObject(file.Get())) {
        result.Status = TReadStatus::Failed;
        result.Error = L"на его месте ссылка";
        return result;
    }
    if (!ReadOpenFile(file.Get(), result.Bytes, &code)) {
        result.Status = TReadStatus::Failed;
        result.Error = SystemErrorText(code);
        return result;
    }
    result.Status = TReadStatus::Ok;
    return result;
}

bool IsLinkObject(HANDLE Object) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (::GetFileInformationByHandleEx(Object, FileAttributeTagInfo, &tag, sizeof tag))
        return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(tag.ReparseTag);
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(Object, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsFolderObject(HANDLE Object) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(Object, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD DeleteInFolder(HANDLE Folder, const std::wstring& Name, bool Directory) {
    DWORD code = 0;
    const TUniqueFile entry = OpenInFolder(Folder, Name, DELETE | FILE_WRITE_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_DELETE, Directory, &code);
    if (!entry)
        return code;
    // A read-only file is not deleted: the attribute goes first, unless the file has other names, wherever
    // they lie: the attribute is theirs too, and such a file stays.
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(entry.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        if (info.nNumberOfLinks > 1)
            return ERROR_ACCESS_DENIED;
        FILE_BASIC_INFO basic{};
        basic.FileAttributes =
            (info.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | FILE_ATTRIBUTE_ARCHIVE;
        ::SetFileInformationByHandle(entry.Get(), FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    return ::SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &dispose, sizeof dispose)
               ? 0
               : ::GetLastError();
}
