// The release packages: copied from the medium with the updater's files, the newest one's script run, and
// the installed level recorded in "ReleaseInfo".
#pragma once

#include <cstdint>
#include <string>

#include "install/run/InstallHost.h"

// What became of the newest package's script.
struct TPackageOutcome {
    std::wstring Package;           // the package folder's own name
    std::int32_t ExitCode = 0;      // the script's; only 0 records the package's level
    std::size_t FilesNotCopied = 0; // of the packages and the updater's files, each named in a line
};

class TRunCopies;

// Source and Target end in a backslash; TrimmedPath is the target folder as the path box gives it. A file
// held by another program is named to the host, which retries or stops. A script that ends with another
// code than 0 did not install its package: the host gets a line saying so, and its level is not recorded.
// Raises TError when a part fails, and, over an installation (TRunTransaction::ReplacesInstallation), when a
// file of the packages did not arrive. With Run, the copies' new files are flushed by it, all of them before
// the script starts: the script, not ours, may write any file of the folder, and must find none held open.
// What runs is only ever verified: a package the medium has runs only when its script in the target is the
// medium's, byte for byte (TError otherwise, before the run's commit); with `Elevated`, a package the medium
// does not have (the updater's) only when its folder and script are the machine's and no one else may change
// them, and any other is passed over with a line naming it. The script is held open, shared for reading only,
// from that check to its end, and run by the system's own interpreter (RunCommandScript).
TPackageOutcome InstallReleasePackage(IInstallHost& Host, const std::wstring& Source,
                                      const std::wstring& Target, const std::wstring& TrimmedPath,
                                      TRunCopies* Run = nullptr, bool Elevated = false);

// Called with the suite's folder once the package step's copies are on the disk, before the package to run is
// chosen and checked; null by default. Tests stand in for whoever could change the folder at that moment.
using TAfterPackageCopies = void (*)(const std::wstring& Target);
TAfterPackageCopies& AfterPackageCopies() noexcept;

// The line of a package whose script ended with `exitCode`.
std::wstring PackageFailedText(const std::wstring& package, std::int32_t exitCode);

// The line of a package's or the updater's file that did not arrive.
std::wstring FileNotCopiedText(const std::wstring& file, const std::wstring& reason);
// The error of a reinstall whose packages did not all arrive: the run stops before its commit.
std::wstring PackageNotWholeText(const std::wstring& file, const std::wstring& reason);

// "/ROOT/Version" and "/ROOT/Level" of Folder + "ReleaseInfo" as their texts; empty where the file or the
// element is missing or the file is no XML document. Every user may write the file: it is read through a
// handle that follows no link, and parsed with no document type and nothing fetched from outside it.
struct TReleaseInfo {
    std::wstring Version;
    std::wstring Level;
};
TReleaseInfo ReadReleaseInfo(const std::wstring& Folder);

// Sets "/ROOT/Level" of Folder + "ReleaseInfo" to Level; raises TError on failure.
void WriteReleaseLevel(const std::wstring& Folder, const std::wstring& Level);
