// The seven TrueType fonts the suite needs, installed from the medium where the system lacks them.
#pragma once

#include <string>

#include "install/InstallHost.h"

// Installs every font of the list that the Windows fonts folder lacks from ProgramFolder + "fonts\" and adds
// a line per installed font. Raises TError when a font's source cannot be opened, its destination cannot be
// created or its registry value cannot be written; the fonts after it are then left alone.
void InstallFonts(IProgress& Progress, const std::wstring& ProgramFolder);
