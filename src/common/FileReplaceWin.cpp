#include "common/FileReplaceWin.h"

#include <algorithm>
#include <cwchar>

#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"

namespace {

// The process id keeps two installers apart; what a killed run left behind carries another id.
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

// Removes the temporary copies that runs killed half-way left beside `dest` (any process id).
void RemoveStaleCopies(const std::wstring& dest) {
    const std::wstring folder = ExtractFilePath(dest);
    const std::wstring prefix = dest.substr(folder.size()) + TempMarker;
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((dest + TempMarker + L"*" + TempExtension).c_str(), &found));
    if (!search)
        return;
    const std::size_t extension = std::wcslen(TempExtension);
    do {
        // The pattern also meets short names; only our own long names are touched.
        const std::wstring name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || name.size() <= prefix.size() + extension ||
            ::CompareStringOrdinal(name.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                   static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL)
            continue;
        const std::wstring id = name.substr(prefix.size(), name.size() - prefix.size() - extension);
        if (std::all_of(id.begin(), id.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            ::DeleteFileW((folder + name).c_str());
    } while (::FindNextFileW(search.Get(), &found));
}

} // namespace

bool MayBeInUse(DWORD code) noexcept {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
           code == ERROR_USER_MAPPED_FILE || code == ERROR_ACCESS_DENIED;
}

std::wstring ReplacementTempPath(const std::wstring& dest, DWORD processId) {
    return dest + TempMarker + std::to_wstring(processId) + TempExtension;
}

TFileReplacement::TFileReplacement(std::wstring dest, const wchar_t* failure)
    : FDest(std::move(dest)), FTemp(ReplacementTempPath(FDest, ::GetCurrentProcessId())), FFailure(failure) {
    FReplaces = CheckReplaceable(FFailure, FDest);
    RemoveStaleCopies(FDest);
    // Shared, so that a new file can take its name while its handle stays open for a later flush, and be read
    // (a package's script) or even replaced by others meanwhile.
    FFile.Reset(::CreateFileW(FTemp.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
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
