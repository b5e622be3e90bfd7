// What the file tests share: a scratch folder per test whose path has blanks and Cyrillic letters, exact
// file contents and times, and copies whose reads, writes or flushes fail after a given number of calls.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/TextCodec.h"
#include "install/files/CopyFileApi.h"

inline void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((path + L"\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                ::DeleteFileW(full.c_str());
        } while (::FindNextFileW(search.Get(), &found));
    }
    search.Reset();
    ::RemoveDirectoryW(path.c_str());
}

// A copy of a tree as it stands, while a run holds its folders: folders are only listed, files only read.
inline void CopyTree(const std::wstring& from, const std::wstring& to) {
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((from + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + L"\\" + name, to + L"\\" + name);
        else
            ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    } while (::FindNextFileW(search.Get(), &found));
}

class TScratchDir {
public:
    TScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const std::wstring root = std::wstring(temp) + L"tessaro-tests";
        ::CreateDirectoryW(root.c_str(), nullptr);
        FPath = root + L"\\" + Utf8ToWide(info->name()) + L" Папка с пробелами " +
                std::to_wstring(::GetCurrentProcessId());
        RemoveTree(FPath);
        ::CreateDirectoryW(FPath.c_str(), nullptr);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;
    ~TScratchDir() { RemoveTree(FPath); }
    // Ends in a backslash, as the installer's folders do.
    std::wstring Folder() const { return FPath + L"\\"; }
    std::wstring operator/(std::wstring_view name) const { return Folder() + std::wstring(name); }

private:
    std::wstring FPath;
};

inline bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline void PutFile(const std::wstring& path, std::string_view bytes) {
    TUniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid()) << WideToUtf8(path);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

inline std::string FileBytes(const std::wstring& path) {
    return ReadWholeFile(path).Bytes;
}

// Distinct bytes, so that a chunk in the wrong place shows.
inline std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed + i / 4099) & 0xFF);
    return bytes;
}

inline FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

inline void SetWriteTime(const std::wstring& path, const FILETIME& time) {
    TUniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid());
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &time));
}

inline FILETIME LocalTimeToFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME local{};
    local.wYear = year;
    local.wMonth = month;
    local.wDay = day;
    local.wHour = hour;
    local.wMinute = minute;
    local.wSecond = second;
    FILETIME localTime{}, universal{};
    ::SystemTimeToFileTime(&local, &localTime);
    ::LocalFileTimeToFileTime(&localTime, &universal);
    return universal;
}

inline SYSTEMTIME LocalWriteTime(const std::wstring& path) {
    const FILETIME universal = WriteTime(path);
    FILETIME local{};
    SYSTEMTIME time{};
    ::FileTimeToLocalFileTime(&universal, &local);
    ::FileTimeToSystemTime(&local, &time);
    return time;
}

inline bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The files of a folder whose names contain text (for left-over temporary copies).
inline std::vector<std::wstring> FilesContaining(const std::wstring& folder, std::wstring_view text) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((folder + L"*").c_str(), &found));
    if (!search)
        return names;
    do {
        if (std::wstring_view(found.cFileName).find(text) != std::wstring_view::npos)
            names.emplace_back(found.cFileName);
    } while (::FindNextFileW(search.Get(), &found));
    return names;
}

// Points the copy's reads or writes at versions that fail from the given call on, for one scope.
class TFailingCopyIo {
public:
    enum TWhich { Reads, Writes, Flushes };
    TFailingCopyIo(TWhich which, int goodCalls) : FSaved(CopyFileApi()) {
        GoodCalls() = goodCalls;
        if (which == Reads)
            CopyFileApi().Read = &FailingRead;
        else if (which == Writes)
            CopyFileApi().Write = &FailingWrite;
        else
            CopyFileApi().Flush = &FailingFlush;
    }
    TFailingCopyIo(const TFailingCopyIo&) = delete;
    TFailingCopyIo& operator=(const TFailingCopyIo&) = delete;
    ~TFailingCopyIo() { CopyFileApi() = FSaved; }

private:
    static std::atomic<int>& GoodCalls() {
        static std::atomic<int> calls = 0;
        return calls;
    }
    static BOOL WINAPI FailingRead(HANDLE file, LPVOID buffer, DWORD size, LPDWORD done,
                                   LPOVERLAPPED overlapped) {
        if (GoodCalls()-- <= 0) {
            ::SetLastError(ERROR_CRC);
            return FALSE;
        }
        return ::ReadFile(file, buffer, size, done, overlapped);
    }
    static BOOL WINAPI FailingWrite(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD done,
                                    LPOVERLAPPED overlapped) {
        if (GoodCalls()-- <= 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return ::WriteFile(file, buffer, size, done, overlapped);
    }
    // Called on the run's flush thread too: the count is set before any copy starts.
    static BOOL WINAPI FailingFlush(HANDLE file) {
        if (GoodCalls()-- <= 0) {
            ::SetLastError(ERROR_IO_DEVICE);
            return FALSE;
        }
        return ::FlushFileBuffers(file);
    }
    TCopyFileApi FSaved;
};
