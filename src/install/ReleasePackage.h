// The release packages: copied from the medium with the updater's files, the newest one's script run, and
// the installed level recorded in "ReleaseInfo".
#pragma once

#include <cstdint>
#include <string>

#include "install/InstallHost.h"

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
// Raises TError when a part fails. With Run, the copies' new files are flushed by it, all of them before the
// script starts: the script, not ours, may write any file of the folder, and must find none held open.
TPackageOutcome InstallReleasePackage(IInstallHost& Host, const std::wstring& Source,
                                      const std::wstring& Target, const std::wstring& TrimmedPath,
                                      TRunCopies* Run = nullptr);

// The line of a package whose script ended with `exitCode`.
std::wstring PackageFailedText(const std::wstring& package, std::int32_t exitCode);

// The line of a package's or the updater's file that did not arrive.
std::wstring FileNotCopiedText(const std::wstring& file, const std::wstring& reason);

// "/ROOT/Version" and "/ROOT/Level" of Folder + "ReleaseInfo" as their texts; empty where the file or the
// element is missing or the file is no XML document.
struct TReleaseInfo {
    std::wstring Version;
    std::wstring Level;
};
TReleaseInfo ReadReleaseInfo(const std::wstring& Folder);

// Sets "/ROOT/Level" of Folder + "ReleaseInfo" to Level; raises TError on failure.
void WriteReleaseLevel(const std::wstring& Folder, const std::wstring& Level);
