// The check of the target folder the user typed on the path page.
#pragma once

#include <string>
#include <string_view>

#include "common/StrUtils.h"

enum class TPathVerdict {
    Accepted, // Path is the folder to create and install into
    Empty,    // nothing but blanks was entered
    Root,     // too short to be anything but a drive root
};

struct TPathCheck {
    TPathVerdict Verdict;
    std::wstring Path; // the entry as it goes back into the box: trimmed, ending in "\" (empty when Empty)
};

// Trims the entry, adds one trailing backslash and refuses an empty entry or one of 3 characters or fewer.
// The length alone decides: "C:\" and "ab\" are refused alike, "D:\x\" is accepted.
TPathCheck CheckTargetPath(std::wstring_view entry);

// The box that tells the user why the entry was refused; empty for an accepted one.
std::wstring RefusalText(TPathVerdict verdict);

// The accepted folder and its "Settings\" sub-folder, one level each, as the path page leaves them; a level
// that cannot be made is left to the run, which reports it.
void CreateTargetFolders(const std::wstring& path);

// The folder the path page and an unattended start without /DIR offer: the one the suite is registered in
// ("Programs and Features"), or "C:\Dedira" where it is not.
std::wstring DefaultTargetFolder();
