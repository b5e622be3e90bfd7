// Windows side of the file operations.
#include "common/FileIO.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "common/Error.h"
#include "common/HandlesWin.h"
#include "common/ErrorWin.h"
#include "common/FileReplaceWin.h"
#include "common/StrUtils.h"

namespace {

[[noreturn]] void ThrowWriteError(const std::wstring& fileName, DWORD code) {
    throw TSystemError(L"Не удалось записать файл " + Quoted(fileName) + L": " + SystemErrorText(code), code);
}

} // namespace

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TFileBytes ReadWholeFile(const std::wstring& fileName) {
    TFileBytes result;
    TUniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = ::GetLastError();
        result.Status = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) ? TReadStatus::NotFound
                                                                                       : TReadStatus::Failed;
        result.Error = SystemErrorText(code);
        return result;
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
            result.Status = TReadStatus::Failed;
            result.Error = SystemErrorText(::GetLastError());
            result.Bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        result.Bytes.append(buffer, got);
    }
    result.Status = TReadStatus::Ok;
    return result;
}

void ReplaceFileContents(const std::wstring& fileName, std::string_view bytes) {
    constexpr wchar_t failure[] = L"Не удалось записать файл";
    TFileReplacement replacement(fileName, failure);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD put = 0;
        if (!::WriteFile(replacement.Handle(), bytes.data() + done, chunk, &put, nullptr))
            ThrowWriteError(fileName, ::GetLastError());
        done += put;
    }
    if (!::FlushFileBuffers(replacement.Handle()))
        ThrowWriteError(fileName, ::GetLastError());
    replacement.Commit();
}

std::wstring FullPathOf(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    return full;
}

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ExecutableFolder() {
    const std::wstring path = ExecutablePath();
    return path.empty() ? L".\\" : ExtractFilePath(path);
}
