// The database and the files of its server, deployed from the medium into the target folder.
#pragma once

#include <string>

#include "install/InstallHost.h"

enum class TDeployResult { Completed, Stopped };

TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                                   int WindowsIndex);
