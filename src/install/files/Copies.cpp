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
#include "install/trust/Links.h"
#include "install/files/RunCopies.h"
#include "install/run/RunStop.h"
#include "install/files/Walks.h"
#include "win/ShellFunctions.h"

TCopyFileApi& CopyFileApi() noexcept {
    static TCopyFileApi api;
    return api;
}

namespace {

// A chunk that stays in the processor's cache while it goes from the source's pages to the destination's:
// megabyte chunks ran at a third of this speed and less when other work used the memory too.
constexpr DWORD CopyBufferSize = 65536;

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
// written.
DWORD CopyContent(HANDLE Source, HANDLE Dest, TContentHash* Hash) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(Source, &size))
        return LastErrorOr(ERROR_READ_FAULT);
    // Small files are the most: a buffer of their own size is all they need.
    const DWORD chunk =
        static_cast<DWORD>(std::min<LONGLONG>(std::max<LONGLONG>(size.QuadPart, 1), CopyBufferSize));
    const std::unique_ptr<char[]> buffer(new char[chunk]);
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

// Whether Dest holds what the open Source holds, compared piece by piece (a difference usually shows in the
// first); Hash, when given, takes in Source's content, and State the state of Dest. Source is back at its
// start when they differ.
bool SameContent(HANDLE Source, const std::wstring& Dest, TContentHash* Hash, TFileState& State) {
    TUniqueFile dest(::CreateFileW(Dest.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
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

bool CopyInto(const std::wstring& Source, const std::wstring& Dest, DWORD* Failure, TRunCopies* Run,
              bool Remember, std::string* HashOut = nullptr) {
    TUniqueFile source(::CreateFileW(Source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source)
        ThrowFileError(L"Не удалось открыть файл", Source, ::GetLastError());

    if (Run) {
        Run->CheckFolder(ExtractFilePath(Dest));
        // What is there already as the medium has it stays as it is: nothing to write, to flush or to keep
        // for the run's undo, and no program that holds it needs closing.
        TContentHash same;
        TFileState state;
        if (SameContent(source.Get(), Dest, Remember ? &same : nullptr, state)) {
            if (Remember)
                Run->RememberHash(Dest, {state, same.Hex()});
            if (Failure)
                *Failure = 0;
            return true;
        }
    }
    TFileReplacement dest(Dest);
    std::unique_ptr<TContentHash> hash;
    if ((Run && Remember) || HashOut)
        hash = std::make_unique<TContentHash>();
    DWORD failure = CopyContent(source.Get(), dest.Handle(), hash.get());
    TFileState state;
    if (!failure) {
        CarryWriteTime(source.Get(), dest.Handle());
        if (hash)
            state = StateOf(dest.Handle());
    }
    TUniqueFile placed;
    if (!failure && !(Run && !dest.Replaces() && dest.PlaceNew(placed)))
        failure = FlushToDisk(dest.Handle());
    if (Failure)
        *Failure = failure;
    if (failure)
        return false;
    source.Reset();
    if (HashOut)
        *HashOut = hash->Hex();
    if (placed) {
        if (Run->Transaction())
            Run->Transaction()->AddedFile(Dest);
        Run->FlushLater(std::move(placed), Dest);
        if (Remember)
            Run->RememberHash(Dest, {state, hash->Hex()});
        return true;
    }
    // The run keeps what the copy replaces, under another name beside it, until its commit.
    TRunTransaction* transaction = Run ? Run->Transaction() : nullptr;
    const bool keep = transaction && dest.Replaces() && PathExists(Dest);
    const bool kept = keep && transaction->KeepPredecessor(Dest);
    try {
        dest.Commit();
    } catch (...) {
        if (kept)
            transaction->GiveBack(Dest);
        throw;
    }
    if (transaction && !keep)
        transaction->AddedFile(Dest);
    if (Run && Remember)
        Run->RememberHash(Dest, {state, hash->Hex()});
    return true;
}

} // namespace

bool CopyFileStream(const std::wstring& Source, const std::wstring& Dest, DWORD* Failure, std::string* Hash) {
    return CopyInto(Source, Dest, Failure, nullptr, false, Hash);
}

bool CopyForRun(const std::wstring& Source, const std::wstring& Dest, TRunCopies& Run, bool Remember,
                DWORD* Failure) {
    return CopyInto(Source, Dest, Failure, &Run, Remember);
}

namespace {

// The attributes a tree's copy carries over, as CopyFileW would.
constexpr DWORD CarriedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// One file of a tree: 0 when it arrived, otherwise the reason it did not (ERROR_ACCESS_DENIED for a
// destination that cannot be replaced, as CopyFileW reports it, which may mean another program holds it):
// in the system's words in `reason`, and the failed call with its file in `detail`.
DWORD CopyTreeFile(const std::wstring& from, const std::wstring& to, DWORD attributes, TRunCopies* Run,
                   std::wstring& reason, std::wstring& detail) {
    DWORD failure = 0;
    try {
        const bool copied =
            Run ? CopyForRun(from, to, *Run, true, &failure) : CopyFileStream(from, to, &failure);
        if (!copied) {
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
        reason = system ? SystemErrorText(static_cast<DWORD>(system->Code())) : LowerFirst(error.Message());
        detail = error.Message();
        const DWORD existing = ::GetFileAttributesW(to.c_str());
        return existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)
                   ? ERROR_ACCESS_DENIED
                   : ERROR_WRITE_FAULT;
    }
    if (attributes & (CarriedAttributes & ~DWORD{FILE_ATTRIBUTE_ARCHIVE}))
        ::SetFileAttributesW(to.c_str(), attributes & CarriedAttributes);
    return 0;
}

// Whether the medium's entry is to be passed over: a link anyone could have made leads the copy elsewhere.
bool PassOver(const std::wstring& path, const WIN32_FIND_DATAW& found, TRunCopies* Run) {
    if (LinkKindOf(path, found) != TLinkKind::Foreign)
        return false;
    if (Run)
        Run->NoteForeignLink(path);
    return true;
}

void CopyTreeInto(const std::wstring& Source, const std::wstring& Dest, const TInUseRetry& InUse,
                  TRunCopies* Run, std::vector<TCopyFailure>& Failed) {
    if (Run)
        Run->MakeFolder(Dest);
    else if (!FolderExists(Dest))
        ForceDirectories(Dest);
    const std::wstring pattern = Source + L"\\*.*";
    WIN32_FIND_DATAW found;
    {
        TUniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
        if (search) {
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || IsDots(found.cFileName) ||
                    PassOver(Source + L"\\" + found.cFileName, found, Run))
                    continue;
                RunStop().Check();
                const std::wstring to = Dest + L"\\" + found.cFileName;
                const std::wstring from = Source + L"\\" + found.cFileName;
                for (;;) {
                    std::wstring reason, detail;
                    const DWORD code = CopyTreeFile(from, to, found.dwFileAttributes, Run, reason, detail);
                    if (!code)
                        break;
                    if (!InUse || !MayBeInUse(code) || !InUse(to, code)) {
                        Failed.push_back({to, reason, detail});
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
        if (IsVisibleFolder(found) && !PassOver(Source + L"\\" + found.cFileName, found, Run))
            CopyTreeInto(Source + L"\\" + found.cFileName, Dest + L"\\" + found.cFileName, InUse, Run,
                         Failed);
    } while (::FindNextFileW(search.Get(), &found));
}

} // namespace

std::vector<TCopyFailure> CopyDirTree(const std::wstring& Source, const std::wstring& Dest,
                                      const TInUseRetry& InUse, TRunCopies* Run) {
    std::vector<TCopyFailure> failed;
    CopyTreeInto(Source, Dest, InUse, Run, failed);
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
