#define _CRT_RAND_S // rand_s: random numbers from the system, for names no one can guess
#include "common/FileReplaceWin.h"

#include <cwchar>
#include <cstdlib>

#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"

namespace {

constexpr wchar_t TempMarker[] = L".~tessaro-";
constexpr wchar_t TempExtension[] = L".tmp";

[[noreturn]] void ThrowFileError(const wchar_t* failure, const std::wstring& fileName, DWORD code) {
    const std::wstring message =
        std::wstring(failure) + L" " + Quoted(fileName) + L": " + SystemErrorText(code);
    if (MayBeInUse(code))
        throw TFileInUse(message, fileName, code);
    throw TSystemError(message, code);
}

// Windows refuses to replace a read-only file, or one that someone holds open without letting it be
// deleted (a database the server has open); Wine replaces both all the same. Asking first gives the same
// answer on both, and before a long copy is spent on it. True when there is a destination to replace.
bool CheckReplaceable(const wchar_t* failure, const std::wstring& dest) {
    const DWORD attributes = ::GetFileAttributesW(dest.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // Read-only is no question of who holds the file.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw TSystemError(std::wstring(failure) + L" " + Quoted(dest) + L": " +
                               SystemErrorText(ERROR_ACCESS_DENIED),
                           ERROR_ACCESS_DENIED);
    TUniqueFile probe(::CreateFileW(dest.c_str(), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!probe)
        ThrowFileError(failure, dest, ::GetLastError());
    return true;
}

// 16 random hex digits from the system's generator; the clock's reading where it fails.
std::wstring TempId() {
    unsigned int parts[2] = {};
    wchar_t id[17] = L"";
    if (rand_s(&parts[0]) != 0 || rand_s(&parts[1]) != 0) {
        LARGE_INTEGER counter{};
        ::QueryPerformanceCounter(&counter);
        parts[0] = static_cast<unsigned int>(counter.QuadPart);
        parts[1] = static_cast<unsigned int>(counter.QuadPart >> 32) ^ ::GetCurrentThreadId();
    }
    std::swprintf(id, 17, L"%08x%08x", parts[0], parts[1]);
    return id;
}

} // namespace

bool MayBeInUse(DWORD code) noexcept {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
           code == ERROR_USER_MAPPED_FILE || code == ERROR_ACCESS_DENIED;
}

std::wstring ReplacementTempPath(const std::wstring& dest, const std::wstring& id) {
    return dest + TempMarker + id + TempExtension;
}

TFileReplacement::TFileReplacement(std::wstring dest, const wchar_t* failure)
    : FDest(std::move(dest)), FTemp(ReplacementTempPath(FDest, TempId())), FFailure(failure) {
    FReplaces = CheckReplaceable(FFailure, FDest);
    // Made new: a name someone else took (another program writing beside the same file) is never
    // overwritten. Shared, so that a new file can take its name while its handle stays open for a later
    // flush, and be read (a package's script) or even replaced by others meanwhile.
    FFile.Reset(::CreateFileW(FTemp.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!FFile)
        ThrowFileError(FFailure, FDest, ::GetLastError());
}

TFileReplacement::~TFileReplacement() {
    if (FCommitted)
        return;
    FFile.Reset();
    ::DeleteFileW(FTemp.c_str());
}

void TFileReplacement::Commit() {
    FFile.Reset();
    // Someone may have opened or protected the destination while the content was written.
    CheckReplaceable(FFailure, FDest);
    if (!::MoveFileExW(FTemp.c_str(), FDest.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowFileError(FFailure, FDest, ::GetLastError());
    FCommitted = true;
}

bool TFileReplacement::PlaceNew(TUniqueFile& file) {
    // Without leave to replace: a destination that appeared since the start is not overwritten by content
    // that is not on the disk yet.
    if (!::MoveFileExW(FTemp.c_str(), FDest.c_str(), 0)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
            return false;
        ThrowFileError(FFailure, FDest, code);
    }
    FCommitted = true;
    file = std::move(FFile);
    return true;
}
