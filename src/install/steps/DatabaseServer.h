// Puts the suite's database and the files of its database server into the target folder, reporting each
// file as a line of the progress list.
#pragma once

#include <string>

#include "install/run/InstallHost.h"
#include "install/steps/DatabaseFiles.h"

class TTargetFolder;
class TRunTransaction;

enum class TDeployResult { Completed, Stopped };

// Source ends in a backslash; everything is written through the suite's folder's gateway. Stopped when a
// folder could not be made or a file the server needs failed to copy. Raises TError, naming the file, when a
// source cannot be opened or a destination cannot be created. A file held by another program is named to the
// host, which retries or stops the run. The medium's database is copied under a name of the run's, on the
// disk before anything else happens to it, and takes the database's name only at the run's commit
// (RunTransaction.h); the server's new files are flushed at the run's end, their hashes kept for the record.
// A clinic's database with other names (a hard link anyone could have made in "DTAfb") stops the run.
TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                                   int WindowsIndex, TRunTransaction& Transaction);
