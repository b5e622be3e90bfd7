// The check of the target folder the user typed on the path page or gave with /DIR.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/StrUtils.h"

enum class TPathVerdict {
    Accepted, // Path is the folder to create and install into
    Empty,    // nothing but blanks was entered
    Root,     // a drive's, volume's or share's root, however it is spelt
};

struct TPathCheck {
    TPathVerdict Verdict;
    std::wstring Path; // the entry as it goes back into the box: trimmed, ending in "\" (empty when Empty)
};

// The full path the system makes of a path (GetFullPathNameW: relative against the current folder, "/" read
// as "\", "." and ".." parts resolved); the path as given where it cannot.
using TFullPathOf = std::function<std::wstring(const std::wstring&)>;

// Trims the entry, adds one trailing backslash and refuses an empty entry or one of 3 characters or fewer;
// then refuses, as a root too, an entry whose full path is the root of a drive or a share in any spelling
// ("D:/", "C:\.", "\\?\C:\", "\\server\share\.."). A relative entry is judged by the full path it makes.
TPathCheck CheckTargetPath(std::wstring_view entry, const TFullPathOf& fullPathOf);
// The same with the system's full path, against the current folder (TargetPathWin.cpp).
TPathCheck CheckTargetPath(std::wstring_view entry);

// Whether a full path names the root of a drive ("X:"), a share ("\\server\share"), a volume or a device
// ("\\?\Volume{...}", "\\.\X:", "\\?\GLOBALROOT\Device\HarddiskVolume1"), with nothing below it. Either
// separator counts; empty and "." parts name nothing, nor does a stream's suffix (":..."); a part of nothing
// but dots and blanks (which the system drops from a name) is the folder itself, or its parent where it has
// two dots or more, never above the root. A relative path is not judged: false.
bool IsRootFolder(std::wstring_view fullPath);

// Whether a path is a full one, the same whatever folder the program was started from: "X:\..." (or "X:/"),
// or one that starts with two separators ("\\server\share\...", "\\?\...", "\\.\..."). "C:foo" (relative to
// drive C's current folder), "\foo" (to the current drive) and "foo" are not.
bool IsFullPath(std::wstring_view path);

// Why /DIR's value cannot be taken: it is not a full path (after trimming, as CheckTargetPath trims). Empty
// when it is one, and for an empty value, which CheckTargetPath refuses in its own words.
std::wstring DirSwitchRefusal(std::wstring_view value);

// The box that tells the user why the entry was refused; empty for an accepted one.
std::wstring RefusalText(TPathVerdict verdict);
// The same for the /DIR of a removal, which names the suite's folder rather than one to install into.
std::wstring RemovalRefusalText(TPathVerdict verdict);

// Why the run would refuse an accepted folder, in the box's words: it is, or lies below, a link any user may
// have made, or (with an administrator's rights) it cannot be kept the administrators'. Empty when it would
// not (TargetPathWin.cpp).
std::wstring TargetFolderRefusal(const std::wstring& path);

// The accepted folder and its "Settings\" sub-folder, one level each, as the path page leaves them; a level
// that cannot be made is left to the run, which reports it. With an administrator's rights the folder is made
// with the administrators' list (install/trust/TargetAccess.h).
void CreateTargetFolders(const std::wstring& path);
