// What the runs put into the target: the state of the folder before a run, and afterwards every file the
// run copied or its package's script added or changed, hashed and merged into the installation's record.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/StrUtils.h"
#include "install/record/InstallRecord.h"

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
// Every file below the target by relative path, the clinic's data and the uninstaller's folder left out, and
// nothing behind a foreign link (each named to OnForeignLink).
using TTreeState = std::map<std::wstring, TFileState, TPathLess>;
TTreeState ReadTreeState(const std::wstring& Target,
                         const std::function<void(const std::wstring&)>& OnForeignLink = {});

// The content's hash (128-bit XXH3, hex); throws TError naming the file when it cannot be read.
std::string HashFile(const std::wstring& Path);
// The same through a file already open for reading, from its start; `Path` names it in the error.
std::string HashOpenFile(HANDLE File, const std::wstring& Path);

// Whether both files exist with the same content (size and hash).
bool SameContent(const std::wstring& A, const std::wstring& B);

// The record kept in the target; nothing when there is none. Throws TError when it cannot be read. With
// `Verified` (an elevated run) it is read only from an uninstaller's folder of the administrators', through a
// handle relative to that folder (TError naming why the folder is not).
std::optional<TInstallRecord> ReadInstallRecord(const std::wstring& Target, bool Verified = false);

// The hashes the run's own copies took of what they wrote, by full path, with the state each file had then:
// a file found in that state afterwards is not read again.
struct TKnownHash {
    TFileState State;
    std::string Hash;
};
using TKnownHashes = std::map<std::wstring, TKnownHash, TPathLess>;

// Records every file of the target that differs from `Before` (new or changed) or that the run copied
// itself (`OwnCopies`, relative paths), merged into the earlier runs' record, and writes the record
// atomically. Returns the bytes the record's files take. `Verified` as for ReadInstallRecord.
std::uint64_t RecordInstalledFiles(const std::wstring& Target, const TTreeState& Before,
                                   const std::vector<std::wstring>& OwnCopies, const TKnownHashes& Known = {},
                                   const std::function<void(const std::wstring&)>& OnForeignLink = {},
                                   bool Verified = false);
