// The end of an installation run that deployed the suite: the uninstaller put into the target, the files the
// run put there recorded, and the suite registered in "Programs and Features".
#pragma once

#include <string>

#include "install/record/InstalledFiles.h"
#include "install/run/InstallHost.h"
#include "install/run/RunOptions.h"

class TTargetFolder;

// False, after a line saying why, when the suite could not be recorded or registered: the run did not
// complete then. An entry of an earlier run stays as it was. Everything goes through the folder's gateway,
// whose hashes are those the run's copies took.
bool RecordAndRegister(IInstallHost& Host, const TInstallOptions& Options, TTargetFolder& Target,
                       const TTreeState& Before, bool PerMachine);

// The line of a run whose end could not be recorded; the reason follows on the next.
inline constexpr wchar_t NotRegisteredText[] =
    L"Комплекс не зарегистрирован в списке установленных программ:";
