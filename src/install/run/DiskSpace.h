// Before the first copy: whether the disks the run writes to have room for what it adds. A disk that fills
// up half-way leaves a broken installation behind.
#pragma once

#include <cstdint>
#include <string>

#include "install/run/InstallHost.h"
#include "install/run/RunOptions.h"

// What the run adds: to the target's disk (the database whole, beside the kept one; files it replaces only
// by their growth, and the largest one once more while its new copy is written beside it; only the server
// set chosen, the newest package's files once more for its script), and to the Windows disk (the fonts the
// system lacks, when the fonts are installed at all).
struct TSpaceNeed {
    std::uint64_t Target = 0;
    std::uint64_t Windows = 0;
};
TSpaceNeed PlannedSpace(const TInstallOptions& Options, const std::wstring& Target, bool InstallsFonts);

// True when both disks have room (or their free space cannot be read); otherwise the host gets the box of
// NoSpaceText for the disk that lacks it, and the same line.
bool EnoughSpace(IInstallHost& Host, const TInstallOptions& Options, const std::wstring& Target,
                 bool InstallsFonts);
