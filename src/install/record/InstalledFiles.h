// What the runs put into the target: the state of the folder before a run, and afterwards every file the
// run copied or its package's script added or changed, hashed and merged into the installation's record. The
// folder is walked and read through its gateway (TargetFolder.h): no link in it is followed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "install/files/FileState.h"
#include "install/record/InstallRecord.h"

class TTargetFolder;

// Every file below the target by relative path, the clinic's data and the uninstaller's folder left out, and
// nothing behind a link (each named to the folder's OnPassedOver).
using TTreeState = std::map<std::wstring, TFileState, TPathLess>;
TTreeState ReadTreeState(TTargetFolder& Target);
// The same for a folder given by its path.
TTreeState ReadTreeState(const std::wstring& Folder);

// Whether both files exist with the same content (size and hash).
bool SameContent(const std::wstring& A, const std::wstring& B);

// The record kept in the target; nothing when there is none. Throws TError when it cannot be read. With
// `Verified` (an elevated run) it is read only from an uninstaller's folder of the administrators'
// (TError naming why the folder is not).
std::optional<TInstallRecord> ReadInstallRecord(TTargetFolder& Target, bool Verified = false);

// Records every file of the target that differs from `Before` (new or changed) or that the run copied
// itself (`OwnCopies`, relative paths), merged into the earlier runs' record, and writes the record
// atomically. A file the run's copies hashed (the folder's Hashes) and found in the same state is not read
// again. Returns the bytes the record's files take. `Verified` as for ReadInstallRecord.
std::uint64_t RecordInstalledFiles(TTargetFolder& Target, const TTreeState& Before,
                                   const std::vector<std::wstring>& OwnCopies, bool Verified = false);
