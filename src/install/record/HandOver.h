// The uninstaller cannot remove its own file while it runs: a copy of it in a private temporary folder waits
// for it to end and finishes the removal. The copy is made from the uninstaller's own file held open since
// its start, never by name (a user could rename the running file and put another in its place), into a folder
// only the system and the administrators (and, without an administrator's rights, the user) may write, with a
// name no one can guess beforehand.
#pragma once

#include <string>

// Opens the running program's own file for the hand-over, sharing neither writing nor deleting, so that it
// can be neither changed nor renamed until the process ends. Called at the start of a removal; harmless when
// called again.
void HoldOwnImage();

// After a removal that completed, from `Target`'s own uninstaller: copies the held file into a new private
// folder in the temporary folder and starts it with /FINISHUNINSTALL=<this process> /DIR=<Target>, and waits
// until the copy has taken hold of this process. False, with the reason in `Why`, when that cannot be done:
// the uninstaller then stays in place.
bool HandOverCleanUp(const std::wstring& Target, std::wstring& Why);

// The hand-over's other half, in the copy: accepted only from a folder the hand-over made, for a process
// whose program is `Target`'s uninstaller; it waits for that process to end, then removes the uninstaller,
// its folder and the suite's folder where they are left empty, and has its own copy removed at the next
// restart. Nothing is removed while the installation's record is still there. False (nothing done) when
// refused.
bool FinishUninstall(const std::wstring& Target, unsigned long ProcessId);

// Whether a folder's name is one the hand-over gives its folders ("TessaroUninstall-" and 16 hex digits).
bool IsHandOverFolderName(const std::wstring& Name);
