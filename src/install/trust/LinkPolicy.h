// Which links (junctions, symbolic links) inside the suite's folder the wizard may follow. Any signed-in user
// may make a link in that folder; only a link an administrator made is trusted, which the link's owner tells:
// an ordinary user cannot make a link owned by the system, the administrators or the module installer.
// Portable: the decisions are tested natively, the system's answers come through the callers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class TLinkKind {
    NotALink, // a real file or folder
    Trusted,  // a link an administrator made (moved the database to a larger disk, say): followed
    Foreign,  // a link anyone could have made: never followed, written through or removed through
};

// The string form of an owner's SID ("S-1-5-18") is one of the system, the administrators or
// TrustedInstaller.
bool IsTrustedOwner(std::wstring_view sid) noexcept;

// A reparse point is a link unless its tag says it is something else (a cloud or deduplicated file, whose
// tag has no name-surrogate bit); a tag of 0 is one the system did not give, and counts as a link.
bool IsLinkTag(std::uint32_t tag) noexcept;

// The kind of a directory entry from what the system reports of it: its reparse-point flag and tag, and the
// owner (asked only when the entry is a link).
TLinkKind LinkKindFrom(bool reparsePoint, std::uint32_t tag, const std::function<std::wstring()>& ownerSid);

// A path as the system gives it back for an open file ("\\?\C:\...", "\\?\UNC\server\share\...") in the
// ordinary form ("C:\...", "\\server\share\...").
std::wstring PlainFinalPath(std::wstring_view finalPath);

// Whether `path` (a plain final path) is `folder` or lies in it, letter case aside; `folder` without or with
// its final "\".
bool FinalPathWithin(std::wstring_view path, std::wstring_view folder) noexcept;

// The levels of an absolute path below its root, shallowest first, without final "\": "C:\A\B\" gives
// "C:\A" and "C:\A\B"; "\\server\share\A" gives "\\server\share\A". The root itself is no level: it is the
// system's.
std::vector<std::wstring> LevelsBelowRoot(std::wstring_view path);

// Whether an open folder is where a link says it leads: `substitute` is the link's own target as the system
// keeps it ("\??\D:\Data\DTAfb", "\??\Volume{...}\"), `finalDos` and `finalGuid` where the folder
// opened through it is in the end ("D:\Data\DTAfb", "\\?\Volume{...}\Data\DTAfb"). A link relative to its
// own place, or one through another link on the way, is not.
bool LinkLeadsTo(std::wstring_view substitute, std::wstring_view finalDos, std::wstring_view finalGuid);
