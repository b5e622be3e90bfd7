// The file and process operations of the installation run.
#include "install/FileUtils.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/FileReplaceWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/ContentHash.h"
#include "install/CopyFileApi.h"
#include "install/Links.h"
#include "install/RunCopies.h"
#include "win/ShellFunctions.h"

TCopyFileApi& CopyFileApi() noexcept {
    static TCopyFileApi api;
    return api;
}

namespace {

// A chunk that stays in the processor's cache while it goes from the source's pages to the destination's:
// megabyte chunks ran at a third of this speed and less when other work used the memory too.
constexpr DWORD CopyBufferSize = 65536;
// The longest command line that CreateProcessW accepts.
constexpr std::size_t MaxCommandLine = 32767;
bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDots(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

[[noreturn]] void ThrowFileError(const wchar_t* what, const std::wstring& fileName, DWORD code) {
    ::SetLastError(code);
    ThrowLastError(std::wstring(what) + L" \"" + fileName + L"\"");
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
DWORD CopyContent(HANDLE Source, HANDLE Dest, const TCopyProgress& Progress, TContentHash* Hash) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(Source, &size))
        return LastErrorOr(ERROR_READ_FAULT);
    // Small files are the most: a buffer of their own size is all they need.
    const DWORD chunk =
        static_cast<DWORD>(std::min<LONGLONG>(std::max<LONGLONG>(size.QuadPart, 1), CopyBufferSize));
    const std::unique_ptr<char[]> buffer(new char[chunk]);
    for (LONGLONG left = size.QuadPart; left > 0;) {
        DWORD got = 0;
        if (const DWORD failure =
                GetChunk(Source, buffer.get(), static_cast<DWORD>(std::min<LONGLONG>(left, chunk)), got))
            return failure;
        if (const DWORD failure = PutChunk(Dest, buffer.get(), got, Hash))
            return failure;
        left -= got;
        if (Progress)
            Progress();
    }
    return 0;
}

// A piece of blocking work (a flush, a process's start) on a thread of its own while the caller goes on
// pumping. The work must not throw.
struct TBesideJob {
    const std::function<void()>& Work;
    std::atomic<bool> Finished{false};
};

DWORD WINAPI RunBesideJob(LPVOID parameter) {
    auto* job = static_cast<TBesideJob*>(parameter);
    job->Work();
    // The job's last touch: the caller may leave once it sees this.
    job->Finished.store(true);
    return 0;
}

// Returns once the thread is done with the job, whatever the waits answer: the job lives on the caller's
// stack. `Progress` (when given) runs between the waits.
void JoinBeside(HANDLE thread, const TBesideJob& job, const TCopyProgress* Progress) {
    while (!job.Finished.load()) {
        const DWORD waited = ::WaitForSingleObject(thread, 10);
        if (waited == WAIT_OBJECT_0)
            break;
        if (waited == WAIT_FAILED)
            ::Sleep(10);
        if (Progress)
            (*Progress)();
    }
}

// Runs Work beside the caller, running Progress every 10 ms until it is done; without Progress, or without a
// thread to be had, on the caller's own thread.
void RunBeside(const std::function<void()>& Work, const TCopyProgress& Progress) {
    if (!Progress) {
        Work();
        return;
    }
    TBesideJob job{Work};
    TUniqueHandle thread(::CreateThread(nullptr, 0, RunBesideJob, &job, 0, nullptr));
    if (!thread) {
        Work();
        return;
    }
    try {
        JoinBeside(thread.Get(), job, &Progress);
    } catch (...) {
        JoinBeside(thread.Get(), job, nullptr);
        throw;
    }
}

// Brings a copy to the disk: 0, or the system's reason. With a progress callback the flush, which for a large
// file holds its caller for most of a second, runs beside the caller; flushing piecemeal during the copy
// instead would halve the copying speed.
DWORD FlushToDisk(HANDLE File, const TCopyProgress& Progress) {
    DWORD error = 0;
    RunBeside([&] { error = CopyFileApi().Flush(File) ? 0 : LastErrorOr(ERROR_WRITE_FAULT); }, Progress);
    return error;
}

std::vector<wchar_t> WritableLine(const std::wstring& line) {
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    return buffer;
}

// Starts a program with a console of its own (a script needs one, the wizard has none); false when the
// system refuses.
bool StartProcess(const std::wstring& CommandLine, const wchar_t* Folder, std::uint16_t ShowCmd,
                  TUniqueHandle& Process) {
    if (CommandLine.size() > MaxCommandLine)
        return false;
    std::vector<wchar_t> line = WritableLine(CommandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCmd;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, Folder, &startup, &info))
        return false;
    TUniqueHandle thread(info.hThread);
    Process.Reset(info.hProcess);
    return true;
}

// Starting a process takes Wine some 50 to 90 ms: with WhileWaiting, the window answers meanwhile.
bool StartProcessBeside(const std::wstring& CommandLine, const wchar_t* Folder, std::uint16_t ShowCmd,
                        TUniqueHandle& Process, const TCopyProgress& WhileWaiting) {
    bool started = false;
    RunBeside(
        [&] {
            try {
                started = StartProcess(CommandLine, Folder, ShowCmd, Process);
            } catch (...) { // no memory for the line: nothing may leave the thread
                started = false;
            }
        },
        WhileWaiting);
    return started;
}

std::int32_t ExitCodeOf(HANDLE process) {
    DWORD code = static_cast<DWORD>(-1);
    if (!::GetExitCodeProcess(process, &code))
        code = static_cast<DWORD>(-1);
    return static_cast<std::int32_t>(code);
}

} // namespace

void EnsureDir(const std::wstring& Path) {
    if (!FolderExists(Path))
        ::CreateDirectoryW(Path.c_str(), nullptr);
}

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1] = L"";
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    return length > 0 && length <= MAX_PATH ? WithTrailingBackslash(std::wstring(folder, length))
                                            : std::wstring();
}

namespace {

// The state the copy left its destination in, as a later walk of the folder will find it unless someone
// writes the file anew.
TFileState StateOf(HANDLE File) {
    BY_HANDLE_FILE_INFORMATION info;
    return ::GetFileInformationByHandle(File, &info) ? FileStateOf(info) : TFileState{};
}

bool CopyInto(const std::wstring& Source, const std::wstring& Dest, const TCopyProgress& Progress,
              DWORD* Failure, TRunCopies* Run, bool Remember) {
    TUniqueFile source(::CreateFileW(Source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source)
        ThrowFileError(L"Не удалось открыть файл", Source, ::GetLastError());

    if (Run)
        Run->CheckFolder(ExtractFilePath(Dest));
    TFileReplacement dest(Dest);
    std::unique_ptr<TContentHash> hash;
    if (Run && Remember)
        hash = std::make_unique<TContentHash>();
    DWORD failure = CopyContent(source.Get(), dest.Handle(), Progress, hash.get());
    TFileState state;
    if (!failure) {
        CarryWriteTime(source.Get(), dest.Handle());
        if (hash)
            state = StateOf(dest.Handle());
    }
    TUniqueFile placed;
    if (!failure && !(Run && !dest.Replaces() && dest.PlaceNew(placed)))
        failure = FlushToDisk(dest.Handle(), Progress);
    if (Failure)
        *Failure = failure;
    if (failure)
        return false;
    source.Reset();
    if (placed)
        Run->FlushLater(std::move(placed), Dest);
    else
        dest.Commit();
    if (hash)
        Run->RememberHash(Dest, {state, hash->Hex()});
    return true;
}

} // namespace

bool CopyFileStream(const std::wstring& Source, const std::wstring& Dest, const TCopyProgress& Progress,
                    DWORD* Failure) {
    return CopyInto(Source, Dest, Progress, Failure, nullptr, false);
}

bool CopyForRun(const std::wstring& Source, const std::wstring& Dest, TRunCopies& Run, bool Remember,
                const TCopyProgress& Progress, DWORD* Failure) {
    return CopyInto(Source, Dest, Progress, Failure, &Run, Remember);
}

DWORD ForceDirectories(const std::wstring& Path, std::wstring* FailedLevel) {
    std::wstring path = Path;
    while (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    if (path.empty() || FolderExists(path))
        return 0;
    const std::wstring parent = ExtractFilePath(path);
    if (!parent.empty() && parent.size() < path.size() && parent.back() != L':' &&
        !(parent.size() == 3 && parent[1] == L':'))
        if (const DWORD code = ForceDirectories(parent, FailedLevel))
            return code;
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return 0;
    const DWORD code = ::GetLastError();
    // Made meanwhile by someone else is made all the same.
    if (code == ERROR_ALREADY_EXISTS && FolderExists(path))
        return 0;
    if (FailedLevel)
        *FailedLevel = path;
    return code ? code : ERROR_PATH_NOT_FOUND;
}

namespace {

// The attributes a tree's copy carries over, as CopyFileW would.
constexpr DWORD CarriedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// One file of a tree: 0 when it arrived, otherwise the reason it did not (ERROR_ACCESS_DENIED for a
// destination that cannot be replaced, as CopyFileW reports it, which may mean another program holds it),
// in the system's words in `reason`.
DWORD CopyTreeFile(const std::wstring& from, const std::wstring& to, DWORD attributes, TRunCopies* Run,
                   const TCopyProgress& Progress, std::wstring& reason) {
    DWORD failure = 0;
    try {
        const bool copied = Run ? CopyForRun(from, to, *Run, true, Progress, &failure)
                                : CopyFileStream(from, to, Progress, &failure);
        if (!copied) {
            failure = failure ? failure : ERROR_WRITE_FAULT;
            reason = SystemErrorText(failure);
            return failure;
        }
    } catch (const TFileInUse& inUse) {
        reason = inUse.Message();
        return static_cast<DWORD>(inUse.Code());
    } catch (const TForeignLink&) {
        throw;
    } catch (const TError& error) {
        reason = error.Message();
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
                  TRunCopies* Run, const TCopyProgress& Progress, std::vector<TCopyFailure>& Failed) {
    if (Run)
        Run->CheckFolder(Dest);
    if (!FolderExists(Dest))
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
                const std::wstring to = Dest + L"\\" + found.cFileName;
                const std::wstring from = Source + L"\\" + found.cFileName;
                for (;;) {
                    std::wstring reason;
                    const DWORD code = CopyTreeFile(from, to, found.dwFileAttributes, Run, Progress, reason);
                    if (!code)
                        break;
                    if (!InUse || !MayBeInUse(code) || !InUse(to, code)) {
                        Failed.push_back({to, reason});
                        break;
                    }
                }
                if (Progress)
                    Progress();
            } while (::FindNextFileW(search.Get(), &found));
        }
    }
    TUniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
    if (!search)
        return;
    do {
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !IsDots(found.cFileName) &&
            !PassOver(Source + L"\\" + found.cFileName, found, Run))
            CopyTreeInto(Source + L"\\" + found.cFileName, Dest + L"\\" + found.cFileName, InUse, Run,
                         Progress, Failed);
    } while (::FindNextFileW(search.Get(), &found));
}

} // namespace

std::vector<TCopyFailure> CopyDirTree(const std::wstring& Source, const std::wstring& Dest,
                                      const TInUseRetry& InUse, TRunCopies* Run,
                                      const TCopyProgress& Progress) {
    std::vector<TCopyFailure> failed;
    CopyTreeInto(Source, Dest, InUse, Run, Progress, failed);
    return failed;
}

namespace {
void WalkFilesBelow(const std::wstring& Root, const std::wstring& Relative, const TVisitFile& Visit,
                    const TLinkReport& OnForeignLink) {
    const std::wstring folder = Relative.empty() ? Root : Root + L"\\" + Relative;
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        if (IsDots(found.cFileName))
            continue;
        const std::wstring path =
            Relative.empty() ? std::wstring(found.cFileName) : Relative + L"\\" + found.cFileName;
        if (LinkKindOf(Root + L"\\" + path, found) == TLinkKind::Foreign) {
            if (OnForeignLink)
                OnForeignLink(Root + L"\\" + path);
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            Visit(path, found);
        } else if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
            WalkFilesBelow(Root, path, Visit, OnForeignLink);
        }
    } while (::FindNextFileW(search.Get(), &found));
}
} // namespace

void WalkFiles(const std::wstring& Folder, const TVisitFile& Visit, const TLinkReport& OnForeignLink) {
    WalkFilesBelow(Folder, L"", Visit, OnForeignLink);
}

void GetSubDirList(const std::wstring& Folder, std::vector<std::wstring>& List) {
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((Folder + L"*").c_str(), &found));
    if (!search)
        return;
    do {
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !IsDots(found.cFileName) &&
            std::wcscmp(found.cFileName, L"WithOutAnswer") != 0 &&
            LinkKindOf(Folder + found.cFileName, found) != TLinkKind::Foreign)
            List.push_back(Folder + found.cFileName);
    } while (::FindNextFileW(search.Get(), &found));
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

namespace {
// Waits for the process's end, in slices short enough for WhileWaiting to keep a window answering.
std::int32_t WaitForExit(HANDLE process, const TCopyProgress& WhileWaiting) {
    const DWORD slice = WhileWaiting ? 10 : INFINITE;
    while (::WaitForSingleObject(process, slice) == WAIT_TIMEOUT)
        WhileWaiting();
    return ExitCodeOf(process);
}
} // namespace

std::int32_t ExecAndWait(const std::wstring& FileName, const std::wstring& Params, std::uint16_t ShowCmd,
                         const TCopyProgress& WhileWaiting) {
    // Quoted, so that a path with blanks cannot start a program named by its first words.
    const std::wstring commandLine = L"\"" + FileName + L"\" " + Params;
    std::wstring folder = ExtractFilePath(FileName);
    const bool driveRoot = folder.size() == 3 && folder[1] == L':';
    if (folder.size() > 1 && IsSeparator(folder.back()) && !driveRoot)
        folder.pop_back();
    TUniqueHandle process;
    if (!StartProcessBeside(commandLine, folder.empty() ? nullptr : folder.c_str(), ShowCmd, process,
                            WhileWaiting))
        throw TError(L"не смог создать процесс: " + FileName);
    return WaitForExit(process.Get(), WhileWaiting);
}

std::int32_t ExecProgram(const std::wstring& CommandLine, std::uint16_t ShowCmd, bool Wait,
                         const TCopyProgress& WhileWaiting) {
    TUniqueHandle process;
    if (!StartProcessBeside(CommandLine, nullptr, ShowCmd, process, WhileWaiting))
        return -1;
    if (!Wait)
        return 0;
    return WaitForExit(process.Get(), WhileWaiting);
}

void SetReadOnlyAttr(const std::wstring& FileName, bool ReadOnly) {
    const DWORD attributes = ::GetFileAttributesW(FileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    DWORD changed =
        ReadOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    // "Normal" is valid only alone.
    changed &= ~DWORD{FILE_ATTRIBUTE_NORMAL};
    ::SetFileAttributesW(FileName.c_str(), changed ? changed : FILE_ATTRIBUTE_NORMAL);
}

bool IsSmallFonts() {
    TWindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.Get(), LOGPIXELSX) < 100;
}
