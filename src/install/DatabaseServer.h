// Puts the suite's database and the files of its database server into the target folder, reporting each
// file as a line of the progress list.
#pragma once

#include <string>

#include "install/DatabaseFiles.h"
#include "install/InstallHost.h"

class TRunCopies;

enum class TDeployResult { Completed, Stopped };

// Source and Target end in a backslash. Stopped when a folder could not be made, the existing database could
// not be set aside, or a file the server needs failed to copy. Raises TError, naming the file, when a
// source cannot be opened or a destination cannot be created.
// A file held by another program is named to the host, which retries or stops the run. KeptDatabase, where
// given, receives the name the existing database was kept under (empty when there was none) as soon as
// the medium's took its place. With Run, the server's new files are brought to the disk by it,
// later (see RunCopies.h), and their hashes kept there; the database is on the disk before it takes its name.
TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                                   int WindowsIndex, std::wstring* KeptDatabase = nullptr,
                                   TRunCopies* Run = nullptr);

// Gives the database kept under `Kept` its name back in `Target`, in place of the medium's copy: a run that
// stops after the database step leaves the clinic's database where the suite looks for it.
void RestoreDatabase(IProgress& Host, const std::wstring& Target, const std::wstring& Kept);

// The local time that names the copy of an existing database; tests fix it.
using TDeployClock = TLocalTime (*)();
TDeployClock& DeployClock() noexcept;
