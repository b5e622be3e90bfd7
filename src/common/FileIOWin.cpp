// Windows side of the file operations.
#include "common/FileIO.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "common/Error.h"
#include "common/HandlesWin.h"
#include "common/ErrorWin.h"

namespace {

[[noreturn]] void ThrowWriteError(const std::wstring& fileName, DWORD code) {
    throw TError(L"Не удалось записать файл \"" + fileName + L"\": " + SystemErrorText(code));
}

} // namespace

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
    static std::atomic<unsigned> counter{0};
    const std::wstring temp = fileName + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
                              std::to_wstring(counter.fetch_add(1)) + L".tmp";
    {
        TUniqueFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            ThrowWriteError(fileName, ::GetLastError());
        auto fail = [&](DWORD code) {
            file.Reset();
            ::DeleteFileW(temp.c_str());
            ThrowWriteError(fileName, code);
        };
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD put = 0;
            if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &put, nullptr))
                fail(::GetLastError());
            done += put;
        }
        if (!::FlushFileBuffers(file.Get()))
            fail(::GetLastError());
    }
    if (!::MoveFileExW(temp.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        ThrowWriteError(fileName, code);
    }
}

std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return L".\\";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return ExtractFilePath(path);
}
