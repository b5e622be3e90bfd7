// Variations of the demo installation medium for end-to-end cases: a copy of the laid-out medium in a folder
// of the test's own, changed one step at a time (a file gone, a package added, a release file of another
// version). Every failure throws TDriverError naming the path.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

namespace e2e {

// Names on the demo medium, relative to its root.
namespace medium {
inline constexpr const wchar_t* Backup = L"backup";
// The packages that come with the medium; the first is the newer one, the one the run installs.
inline constexpr const wchar_t* NewestPackage = L"R010321";
inline constexpr const wchar_t* OlderPackage = L"R311220";
// A package folder the run copies but never starts.
inline constexpr const wchar_t* WithOutAnswer = L"WithOutAnswer";
inline constexpr const wchar_t* ReleaseInfo = L"Updater\\ReleaseInfo";
inline constexpr const wchar_t* UpdaterSettings = L"Updater\\Updater.exe.cfg";
inline constexpr const wchar_t* DriverInstaller = L"FTDIDriverInstall\\FTDIDriverInstall.exe";
// Written beside the driver installer: one line per start (command line, tab, show command, tab, folder).
inline constexpr const wchar_t* DriverRecord = L"FTDIDriverInstall.ran";
// What a package's Install.cmd leaves in the suite's folder: its files, among them the shell and
// "version.txt" with the package's name, and one more line (that name) in "Install.log".
inline constexpr const wchar_t* PackageVersion = L"version.txt";
inline constexpr const wchar_t* PackageLog = L"Install.log";
inline constexpr const wchar_t* Shell = L"Shell.exe";
} // namespace medium

bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
// Creates or replaces the file, with the folders above it; a read-only file is replaced and stays read-only.
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
// Copies a tree with every file's attributes (read-only, hidden) and the folders' own.
void CopyTree(const std::wstring& source, const std::wstring& dest);
// Removes a file or a tree, read-only entries included; a path that does not exist is no error. A link is
// removed itself, never what it leads to.
void RemoveTree(const std::wstring& path);
// Makes `link` a symbolic link to the folder or file `destination`, as any user can make one in a folder they
// may write: Wine reports it as a reparse point whose owner is the one user, a link no administrator made.
// Wine itself can neither make nor remove such a link; the system's ln and rm do it.
void PlantLink(const std::wstring& link, const std::wstring& destination);
// Moves the folder aside, beside itself ("<folder>.swapped"), and makes its name a link to `destination`, as
// a user swaps a folder they may rename. Wine does not stop the system's mv while a program of its own holds
// the folder, as Windows would: on Wine the swap happens under a run that holds it.
void SwapForLink(const std::wstring& folder, const std::wstring& destination);
// Takes the link away and puts the folder back in its place.
void SwapBack(const std::wstring& folder);
// A path in the user's temporary folder.
std::wstring TempPath(const std::wstring& name);

class TMediumBuilder {
public:
    // Replaces `folder` with a fresh copy of the laid-out medium `source`.
    TMediumBuilder(const std::wstring& source, const std::wstring& folder);

    const std::wstring& Folder() const noexcept { return FFolder; }
    std::wstring Path(const std::wstring& relative) const;

    TMediumBuilder& RemoveFile(const std::wstring& relative);
    TMediumBuilder& RemoveFolder(const std::wstring& relative);
    // Replaces a file's content or adds a file.
    TMediumBuilder& WriteFile(const std::wstring& relative, std::string_view content);
    TMediumBuilder& SetReadOnly(const std::wstring& relative, bool readOnly);
    TMediumBuilder& SetHidden(const std::wstring& relative, bool hidden);

    // The text of ROOT/Version in "ReleaseInfo", e.g. "2" for a release file the installer must refuse.
    TMediumBuilder& SetReleaseVersion(std::string_view value);
    // Takes the first element of that name, with its content, out of "ReleaseInfo".
    TMediumBuilder& RemoveReleaseElement(std::string_view name);

    // Leaves "backup" in place without anything in it.
    TMediumBuilder& EmptyBackup();
    // A package that works: a copy of the newest one whose files name `name` in their "version.txt".
    TMediumBuilder& AddPackage(const std::wstring& name);
    // A package whose script cannot be started: the copy has no "Install.cmd".
    TMediumBuilder& AddPackageWithoutScript(const std::wstring& name);

private:
    std::wstring FSource;
    std::wstring FFolder;
};

} // namespace e2e
