// The seven TrueType fonts the suite needs, installed from the medium where the system lacks them.
#pragma once

#include <cstdint>
#include <string>

#include "install/run/InstallHost.h"

// Installs every font of the list that the Windows fonts folder lacks from ProgramFolder + "fonts\" and adds
// a line per installed font. A font whose name cannot be read from its file, or whose copy fails half-way,
// is left out without a trace in the fonts folder or the registry, and the next one follows. Raises TError
// when a font's source cannot be opened, its destination cannot be created or its registry value cannot be
// written; the fonts after it are then left alone.
void InstallFonts(IProgress& Progress, const std::wstring& ProgramFolder);

// The bytes of the fonts of the list that the Windows fonts folder lacks, as ProgramFolder + "fonts\" holds
// them: what the font step adds to the Windows disk.
std::uint64_t FontBytesToInstall(const std::wstring& ProgramFolder);

// The font's descriptive name as the system reads it from the file at Path, or where the system does not
// say, as the file's name table gives it; empty when the system cannot load the file as a font.
std::wstring GetFontDisplayName(const std::wstring& Path);

// The Windows folder with a trailing backslash; empty when the system does not tell it.
std::wstring GetWindowsDir();
