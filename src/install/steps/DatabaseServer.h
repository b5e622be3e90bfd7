// Puts the suite's database and the files of its database server into the target folder, reporting each
// file as a line of the progress list.
#pragma once

#include <string>

#include "install/steps/DatabaseFiles.h"
#include "install/run/InstallHost.h"

class TRunCopies;

enum class TDeployResult { Completed, Stopped };

// Source and Target end in a backslash. Stopped when a folder could not be made or a file the server needs
// failed to copy. Raises TError, naming the file, when a source cannot be opened or a destination cannot be
// created. A file held by another program is named to the host, which retries or stops the run.
// With Run, the medium's database is copied under a name of the run's and takes the database's name only
// at the run's commit (see RunTransaction.h), and the server's new files are brought to the disk by it,
// later (see RunCopies.h), their hashes kept there. Without, the database takes its name at once, the
// clinic's its dated one ("Прежняя база данных сохранена: ..."). Either way the database is on the disk
// before it takes its name.
TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                                   int WindowsIndex, TRunCopies* Run = nullptr);

// The local time that names the copy of an existing database; tests fix it.
using TDeployClock = TLocalTime (*)();
TDeployClock& DeployClock() noexcept;
