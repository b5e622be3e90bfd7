// What the run knows of a file it wrote, shared by the copies and the record of what the run installed: its
// size and last-write time as a later walk finds them, and the content hash taken as it was written.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "common/StrUtils.h"

struct TPathLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return LessText(a, b); }
};

struct TFileState {
    std::uint64_t Size = 0;
    std::uint64_t WriteTime = 0;
    bool operator==(const TFileState&) const = default;
};
// The state as the system reports it in halves, in a search's WIN32_FIND_DATAW or an open file's
// BY_HANDLE_FILE_INFORMATION alike.
template <class TSystemInfo> TFileState FileStateOf(const TSystemInfo& info) {
    return {(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
            (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                info.ftLastWriteTime.dwLowDateTime};
}

// The hashes the run's own copies took of what they wrote, by path relative to the suite's folder, with the
// state each file had then: a file found in that state afterwards is not read again.
struct TKnownHash {
    TFileState State;
    std::string Hash;
};
using TKnownHashes = std::map<std::wstring, TKnownHash, TPathLess>;
