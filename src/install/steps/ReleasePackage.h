// The release packages: copied from the medium with the updater's files, the newest one's script run, and
// the installed level recorded in "ReleaseInfo".
#pragma once

#include <cstdint>
#include <string>

#include "common/HandlesWin.h"
#include "install/run/InstallHost.h"

// What became of the newest package's script.
struct TPackageOutcome {
    std::wstring Package;           // the package folder's own name
    std::int32_t ExitCode = 0;      // the script's; only 0 records the package's level
    std::size_t FilesNotCopied = 0; // of the packages and the updater's files, each named in a line
};

class TTargetFolder;

// The step's copies: the medium's packages into "backup\" and the updater's files into the suite's folder,
// through `Target` (what they replace kept for the run's undo), every new file on the disk when it returns
// (Target.FinishFlushes): the script, not ours, may write any file of the folder, and must find none held
// open. A file held by another program is named to the host, which retries or stops. Each file that did not
// arrive is named in a line; over an installation (`Replaces`) the first stops the run before its commit
// (TError): half a package is never committed beside the release that was there. How many did not arrive.
std::size_t CopyReleasePackages(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                                bool Replaces);

// The package to install, once the copies are on the disk: the newest of "backup\", its script verified and
// held, shared for reading only, from the check to its end. A package the medium has runs only when its
// script in the target is the medium's, byte for byte (TError otherwise); with `Elevated`, a package the
// medium does not have (the updater's) only when its folder and script are the machine's and no one else may
// change them, and any other is passed over with a line naming it. The files the suite's programs write are
// given to the users first (TargetAccess.h) and the release files made writable.
struct TChosenPackage {
    std::wstring Name;   // the package folder's own name
    std::wstring Folder; // its full path, without a final "\"
    TUniqueFile Script;  // invalid where the package has none: running it then fails
};
TChosenPackage ChooseReleasePackage(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                                    bool Elevated);

// Runs the chosen package's script by the system's own interpreter (RunCommandScript), in the package's
// folder, the run's other folders let go of meanwhile, and records its level in "ReleaseInfo". A script that
// ends with another code than 0 did not install its package: the host gets a line saying so, and its level is
// not recorded. Raises TError when the script cannot start or the level cannot be written.
TPackageOutcome RunReleasePackage(IInstallHost& Host, TTargetFolder& Target, TChosenPackage& Package);

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

// "/ROOT/Version" and "/ROOT/Level" of "ReleaseInfo" in the folder as their texts; empty where the file or
// the element is missing or the file is no XML document. Every user may write the file: it is read through
// the folder's gateway (no link followed), and parsed with no document type and nothing fetched from outside
// it.
struct TReleaseInfo {
    std::wstring Version;
    std::wstring Level;
};
TReleaseInfo ReadReleaseInfo(TTargetFolder& Folder);

// Sets "/ROOT/Level" of "ReleaseInfo" in the folder to Level, written in its place (its list, which lets the
// users' updater write it, stays); raises TError on failure.
void WriteReleaseLevel(TTargetFolder& Folder, const std::wstring& Level);
// The same for the folder at a path.
void WriteReleaseLevel(const std::wstring& Folder, const std::wstring& Level);
