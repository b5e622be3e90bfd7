// Puts the suite's database and the files of its database server into the target folder, reporting each
// file as a line of the progress list.
#pragma once

#include <string>

#include "install/DatabaseFiles.h"
#include "install/InstallHost.h"

enum class TDeployResult { Completed, Stopped };

// Source and Target end in a backslash. Stopped when a folder could not be made, the existing database could
// not be set aside, or a file the server needs failed to copy. Raises TError, naming the file, when a
// source cannot be opened or a destination cannot be created.
TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                                   int WindowsIndex);

// The local time that names the copy of an existing database; tests fix it.
using TDeployClock = TLocalTime (*)();
TDeployClock& DeployClock() noexcept;
