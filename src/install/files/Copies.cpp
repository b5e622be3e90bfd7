#include "install/files/Copies.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/FileReplaceWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/ContentHash.h"
#include "install/files/CopyFileApi.h"
#include "install/files/Folders.h"
#include "install/files/FileState.h"
#include "install/trust/Links.h"
#include "install/files/TargetFolder.h"
#include "install/run/RunStop.h"
#include "install/files/Walks.h"
#include "win/ShellFunctions.h"

TCopyFileApi& CopyFileApi() noexcept {
    static TCopyFileApi api;
    return api;
}

namespace {

// The attributes a tree's copy carries over, as CopyFileW would.
constexpr DWORD CarriedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// A chunk that stays in the processor's cache while it goes from the source's pages to the destination's:
// megabyte chunks ran at a third of this speed and less when other work used the memory too, and reading the
// next chunk on a thread of its own (or overlapped) while this one was written was slower still.
constexpr DWORD CopyBufferSize = 65536;

// Each time a copy has written this much more, what it wrote so far goes to the disk on the flushes' worker
// (TDelayedFlushes::Early): the disk writes beside the copy, and the flush after its last byte is short.
// A gigabyte's copy and flush took 40 % less so than with one flush at the end.
constexpr LONGLONG EarlyFlushEvery = 32 * 1024 * 1024;

[[noreturn]] void ThrowFileError(const wchar_t* what, const std::wstring& fileName, DWORD code) {
    ::SetLastError(code);
    ThrowLastError(std::wstring(what) + L" " + Quoted(fileName));
}

// The source's last-write time, carried through a local DOS time stamp and so at its two-second grain;
// nothing happens when the time cannot be read or converted.
void CarryWriteTime(HANDLE Source, HANDLE Dest) {
    FILETIME written, local, rounded, universal;
    WORD dosDate = 0, dosTime = 0;
    if (::GetFileTime(Source, nullptr, nullptr, &written) && ::FileTimeToLocalFileTime(&written, &local) &&
        ::FileTimeToDosDateTime(&local, &dosDate, &dosTime) &&
        ::DosDateTimeToFileTime(dosDate, dosTime, &rounded) &&
        ::LocalFileTimeToFileTime(&rounded, &universal))
        ::SetFileTime(Dest, nullptr, nullptr, &universal);
}

// The system's reason of a failed call; a call that failed without one still counts as failed.
DWORD LastErrorOr(DWORD fallback) {
    const DWORD code = ::GetLastError();
    return code ? code : fallback;
}

// Writes one chunk and hashes it: 0, or the system's reason.
DWORD PutChunk(HANDLE Dest, const char* bytes, DWORD size, TContentHash* Hash) {
    DWORD put = 0;
    if (!CopyFileApi().Write(Dest, bytes, size, &put, nullptr))
        return LastErrorOr(ERROR_WRITE_FAULT);
    if (put != size)
        return ERROR_DISK_FULL;
    if (Hash)
        Hash->Add(bytes, size);
    return 0;
}

// Reads one chunk of `wanted` bytes: 0, or the system's reason.
DWORD GetChunk(HANDLE Source, char* bytes, DWORD wanted, DWORD& got) {
    got = 0;
    if (!CopyFileApi().Read(Source, bytes, wanted, &got, nullptr))
        return LastErrorOr(ERROR_READ_FAULT);
    // A source that ends early is as much a failure as one that cannot be read.
    return got == 0 ? ERROR_HANDLE_EOF : 0;
}

// 0 when the whole content arrived, otherwise the system's reason. `Hash`, when given, takes in every byte
// written; `Flushes` takes what is written of a large file as the copy goes on.
DWORD CopyContent(HANDLE Source, HANDLE Dest, TContentHash* Hash, TDelayedFlushes& Flushes) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(Source, &size))
        return LastErrorOr(ERROR_READ_FAULT);
    // Small files are the most: a buffer of their own size is all they need.
    const DWORD chunk =
        static_cast<DWORD>(std::min<LONGLONG>(std::max<LONGLONG>(size.QuadPart, 1), CopyBufferSize));
    const std::unique_ptr<char[]> buffer(new char[chunk]);
    LONGLONG unflushed = 0;
    for (LONGLONG left = size.QuadPart; left > 0;) {
        // A session that ends stops a long copy between two chunks; what was written goes with its file.
        RunStop().Check();
        DWORD got = 0;
        if (const DWORD failure =
                GetChunk(Source, buffer.get(), static_cast<DWORD>(std::min<LONGLONG>(left, chunk)), got))
            return failure;
        if (const DWORD failure = PutChunk(Dest, buffer.get(), got, Hash))
            return failure;
        left -= got;
        unflushed += got;
        if (unflushed >= EarlyFlushEvery && left > 0 && Flushes.Early(Dest))
            unflushed = 0;
    }
    return 0;
}

// Brings a copy to the disk: 0, or the system's reason.
DWORD FlushToDisk(HANDLE File) {
    return CopyFileApi().Flush(File) ? 0 : LastErrorOr(ERROR_WRITE_FAULT);
}

// The state the copy left its destination in, as a later walk of the folder will find it unless someone
// writes the file anew.
TFileState StateOf(HANDLE File) {
    BY_HANDLE_FILE_INFORMATION info;
    return ::GetFileInformationByHandle(File, &info) ? FileStateOf(info) : TFileState{};
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether the file at `Relative` holds what the open Source holds, compared piece by piece (a difference
// usually shows in the first); Hash, when given, takes in Source's content, and State the state of the file.
// Source is back at its start when they differ.
bool SameContent(TTargetFolder& Target, HANDLE Source, const std::wstring& Relative, TContentHash* Hash,
                 TFileState& State) {
    const TUniqueFile dest = Target.Open(Relative, GENERIC_READ, ShareAll, TTargetFolder::TUse::Read);
    LARGE_INTEGER sourceSize{}, destSize{};
    if (!dest || !::GetFileSizeEx(Source, &sourceSize) || !::GetFileSizeEx(dest.Get(), &destSize) ||
        sourceSize.QuadPart != destSize.QuadPart)
        return false;
    const DWORD chunk =
        static_cast<DWORD>(std::min<LONGLONG>(std::max<LONGLONG>(sourceSize.QuadPart, 1), CopyBufferSize));
    const std::unique_ptr<char[]> ours(new char[chunk]), theirs(new char[chunk]);
    bool same = true;
    for (LONGLONG left = sourceSize.QuadPart; same && left > 0;) {
        const DWORD wanted = static_cast<DWORD>(std::min<LONGLONG>(left, chunk));
        DWORD got = 0, found = 0;
        same = GetChunk(Source, ours.get(), wanted, got) == 0 &&
               ::ReadFile(dest.Get(), theirs.get(), got, &found, nullptr) && found == got &&
               std::memcmp(ours.get(), theirs.get(), got) == 0;
        if (same && Hash)
            Hash->Add(ours.get(), got);
        left -= got;
    }
    if (same) {
        State = StateOf(dest.Get());
        return true;
    }
    LARGE_INTEGER start{};
    ::SetFilePointerEx(Source, start, nullptr, FILE_BEGIN);
    return false;
}

[[noreturn]] void ThrowNotCreated(TTargetFolder& Target, const std::wstring& Relative, DWORD code) {
    const std::wstring full = Target.Full(Relative);
    const std::wstring message = L"Не удалось создать файл " + Quoted(full) + L": " + TargetErrorText(code);
    if (MayBeInUse(code))
        throw TFileInUse(message, full, code);
    throw TSystemError(message, code);
}

// The file a copy is to replace, opened to be renamed, and decided on that handle: none where nothing is
// there. Windows refuses to replace a read-only file, or one held open without leave to delete it (a
// database the server has open), and Wine replaces both all the same: asked first, before a long copy is
// spent on it, both give the same answer. A link or a file with other names is not the suite's to replace.
TUniqueFile Replaceable(TTargetFolder& Target, const std::wstring& Relative) {
    DWORD code = 0;
    TObjectInfo info;
    TUniqueFile file = Target.Open(Relative, DELETE, ShareAll, TTargetFolder::TUse::Change, &code, &info);
    if (!file && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND))
        return file;
    if (!file)
        ThrowNotCreated(Target, Relative, code);
    // Read-only is no question of who holds the file.
    if (info.Attributes & FILE_ATTRIBUTE_READONLY)
        throw TSystemError(L"Не удалось создать файл " + Quoted(Target.Full(Relative)) + L": " +
                               SystemErrorText(ERROR_ACCESS_DENIED),
                           ERROR_ACCESS_DENIED);
    return file;
}

// A file written beside its destination, removed unless it took the name.
class TTemporary {
public:
    TTemporary(TTargetFolder& target, const std::wstring& relative)
        : FTarget(target), FFile(target.CreateBeside(relative, FName)) {}
    TTemporary(const TTemporary&) = delete;
    TTemporary& operator=(const TTemporary&) = delete;
    ~TTemporary() {
        if (!FFile)
            return;
        // A file goes when its last handle is closed: an early flush's must be closed first.
        FTarget.Flushes().WaitForEarly();
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(FFile.Get(), FileBasicInfo, &basic, sizeof basic);
        FILE_DISPOSITION_INFO dispose{TRUE};
        ::SetFileInformationByHandle(FFile.Get(), FileDispositionInfo, &dispose, sizeof dispose);
    }
    HANDLE Get() const noexcept { return FFile.Get(); }
    // Took its name: the file is no longer removed; its handle, still open for writing.
    TUniqueFile Placed() noexcept { return std::move(FFile); }

private:
    TTargetFolder& FTarget;
    std::wstring FName;
    TUniqueFile FFile;
};

// Gives the written copy the destination's name, keeping its predecessor (`existing`) for the undo.
void TakeName(TTargetFolder& Target, TTemporary& copy, const std::wstring& Relative, TUniqueFile existing) {
    const std::wstring kept = existing ? Target.Undo().Keeping(Relative) : std::wstring();
    if (!kept.empty()) {
        // Not written through: the journal that will rely on it is, after it.
        if (const DWORD code = Target.Rename(existing.Get(), kept, false)) {
            Target.Undo().NotKept(Relative);
            ThrowNotCreated(Target, Relative, code);
        }
        if (const DWORD code = Target.Rename(copy.Get(), Relative, false)) {
            Target.Rename(existing.Get(), Relative, false);
            Target.Undo().NotKept(Relative);
            ThrowNotCreated(Target, Relative, code);
        }
        return;
    }
    // A file held open, ours included, cannot be renamed over.
    const bool replaces = existing.Valid();
    existing.Reset();
    if (const DWORD code = Target.Rename(copy.Get(), Relative, replaces))
        ThrowNotCreated(Target, Relative, code);
}

} // namespace

bool CopyInto(TTargetFolder& Target, const std::wstring& Source, const std::wstring& Relative, DWORD* Failure,
              const TCopyHow& How) {
    TUniqueFile source(::CreateFileW(Source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source)
        ThrowFileError(L"Не удалось открыть файл", Source, ::GetLastError());
    std::unique_ptr<TContentHash> hash;
    if (How.Remember || How.Hash)
        hash = std::make_unique<TContentHash>();
    // What is there already as the medium has it stays as it is: nothing to write, to flush or to keep for
    // the run's undo, and no program that holds it needs closing.
    TFileState state;
    if (SameContent(Target, source.Get(), Relative, hash.get(), state)) {
        if (How.Remember)
            Target.Hashes()[Relative] = {state, hash->Hex()};
        if (How.Hash)
            *How.Hash = hash->Hex();
        if (Failure)
            *Failure = 0;
        return true;
    }
    if (hash)
        hash = std::make_unique<TContentHash>();
    TUniqueFile existing = Replaceable(Target, Relative);
    TTemporary copy(Target, Relative);
    DWORD failure = CopyContent(source.Get(), copy.Get(), hash.get(), Target.Flushes());
    if (!failure) {
        CarryWriteTime(source.Get(), copy.Get());
        if (How.Attributes & CarriedAttributes & ~DWORD{FILE_ATTRIBUTE_ARCHIVE}) {
            FILE_BASIC_INFO basic{};
            basic.FileAttributes = How.Attributes & CarriedAttributes;
            ::SetFileInformationByHandle(copy.Get(), FileBasicInfo, &basic, sizeof basic);
        }
        state = StateOf(copy.Get());
    }
    bool placed = false;
    if (!failure && !existing && Target.FlushesDelayed() && !How.FlushNow) {
        // A file the folder did not have takes its name at once; its flush waits for the run's end. One that
        // appeared meanwhile is replaced as any other, its content on the disk first.
        const DWORD code = Target.Rename(copy.Get(), Relative, false);
        placed = code == 0;
        if (!placed && code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS)
            ThrowNotCreated(Target, Relative, code);
        if (!placed)
            existing = Replaceable(Target, Relative);
    }
    if (!failure && !placed)
        failure = FlushToDisk(copy.Get());
    if (Failure)
        *Failure = failure;
    if (failure)
        return false;
    source.Reset();
    const bool added = !existing;
    if (placed)
        Target.Flushes().Later(copy.Placed(), Relative);
    else
        TakeName(Target, copy, Relative, std::move(existing));
    copy.Placed();
    if (added)
        Target.Undo().Added(Relative, false);
    if (How.Remember)
        Target.Hashes()[Relative] = {state, hash->Hex()};
    if (How.Hash)
        *How.Hash = hash->Hex();
    return true;
}

bool CopyFileStream(const std::wstring& Source, const std::wstring& Dest, DWORD* Failure, std::string* Hash) {
    const std::wstring folder = ExtractFilePath(Dest);
    std::unique_ptr<TTargetFolder> target;
    try {
        target = std::make_unique<TTargetFolder>(folder.empty() ? L".\\" : folder);
    } catch (const TSystemError& error) {
        // The folder the file was to be made in is not there: the file's path is.
        const DWORD code = static_cast<DWORD>(error.Code());
        ThrowFileError(L"Не удалось создать файл", Dest,
                       code == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : code);
    }
    TCopyHow how;
    how.Remember = false;
    how.Hash = Hash;
    return CopyInto(*target, Source, Dest.substr(folder.size()), Failure, how);
}

bool SameContentAs(TTargetFolder& Target, const std::wstring& Source, const std::wstring& Relative) {
    const TUniqueFile source(::CreateFileW(Source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    TFileState state;
    return source && SameContent(Target, source.Get(), Relative, nullptr, state);
}

namespace {

// One file of a tree: 0 when it arrived, otherwise the reason it did not (ERROR_ACCESS_DENIED for a
// destination that cannot be replaced, as CopyFileW reports it, which may mean another program holds it):
// in the system's words in `reason`, and the failed call with its file in `detail`.
DWORD CopyTreeFile(TTargetFolder& Target, const std::wstring& from, const std::wstring& to, DWORD attributes,
                   std::wstring& reason, std::wstring& detail) {
    DWORD failure = 0;
    try {
        TCopyHow how;
        how.Attributes = attributes;
        if (!CopyInto(Target, from, to, &failure, how)) {
            failure = failure ? failure : ERROR_WRITE_FAULT;
            reason = SystemErrorText(failure);
            return failure;
        }
    } catch (const TFileInUse& inUse) {
        reason = SystemErrorText(static_cast<DWORD>(inUse.Code()));
        detail = inUse.Message();
        return static_cast<DWORD>(inUse.Code());
    } catch (const TForeignLink&) {
        throw;
    } catch (const TCancelled&) {
        throw;
    } catch (const TError& error) {
        // The line names the file already: of a system's failure only its reason, the rest in the log.
        const auto* system = dynamic_cast<const TSystemError*>(&error);
        reason = system ? TargetErrorText(static_cast<DWORD>(system->Code())) : LowerFirst(error.Message());
        detail = error.Message();
        return system && system->Code() == ERROR_ACCESS_DENIED ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
    }
    return 0;
}

// Whether the medium's entry is to be passed over: a link anyone could have made leads the copy elsewhere.
bool PassOver(TTargetFolder& Target, const std::wstring& path, const WIN32_FIND_DATAW& found) {
    if (LinkKindOf(path, found) != TLinkKind::Foreign)
        return false;
    Target.PassedOver(path);
    return true;
}

std::wstring Below(const std::wstring& folder, const wchar_t* name) {
    return folder.empty() ? std::wstring(name) : folder + L"\\" + name;
}

void CopyTreeInto(TTargetFolder& Target, const std::wstring& Source, const std::wstring& Relative,
                  const TInUseRetry& InUse, std::vector<TCopyFailure>& Failed) {
    if (!Relative.empty())
        Target.MakeFolder(Relative);
    const std::wstring pattern = Source + L"\\*.*";
    WIN32_FIND_DATAW found;
    {
        TUniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
        if (search) {
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || IsDots(found.cFileName) ||
                    PassOver(Target, Source + L"\\" + found.cFileName, found))
                    continue;
                RunStop().Check();
                const std::wstring to = Below(Relative, found.cFileName);
                const std::wstring from = Source + L"\\" + found.cFileName;
                for (;;) {
                    std::wstring reason, detail;
                    const DWORD code = CopyTreeFile(Target, from, to, found.dwFileAttributes, reason, detail);
                    if (!code)
                        break;
                    if (!InUse || !MayBeInUse(code) || !InUse(to, code)) {
                        Failed.push_back({Target.Full(to), reason, detail});
                        break;
                    }
                }
            } while (::FindNextFileW(search.Get(), &found));
        }
    }
    TUniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
    if (!search)
        return;
    do {
        if (IsVisibleFolder(found) && !PassOver(Target, Source + L"\\" + found.cFileName, found))
            CopyTreeInto(Target, Source + L"\\" + found.cFileName, Below(Relative, found.cFileName), InUse,
                         Failed);
    } while (::FindNextFileW(search.Get(), &found));
}

} // namespace

std::vector<TCopyFailure> CopyDirTree(TTargetFolder& Target, const std::wstring& Source,
                                      const std::wstring& Relative, const TInUseRetry& InUse) {
    std::vector<TCopyFailure> failed;
    CopyTreeInto(Target, Source, Relative, InUse, failed);
    return failed;
}

bool ShellCopyDir(const std::wstring& Source, const std::wstring& Dest, HWND Owner, bool Quiet) {
    auto withoutBackslash = [](std::wstring path) {
        if (!path.empty() && path.back() == L'\\')
            path.pop_back();
        return path;
    };
    // Both are lists that end in an empty item: the string's own terminator gives the second NUL.
    std::wstring from = withoutBackslash(Source) + L'\0';
    std::wstring to = withoutBackslash(Dest) + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = Owner;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_FILESONLY;
    if (Quiet)
        operation.fFlags |= FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    return ShellFileOperation(&operation) == 0;
}
