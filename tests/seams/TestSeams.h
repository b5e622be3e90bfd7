// Test-only. The end-to-end tests drive the real program from outside: they cannot run an installation to
// reach the large-font page, must never let it change the system's fonts or restart anything, and cannot
// bring about a copy that fails half-way (a bad sector, a medium pulled out). These environment variables
// serve them; they are read here and nowhere else. This folder is built into the test build (SetupTest)
// alone, which links it as a library of its own: the shipped Setup.exe runs with an administrator's rights,
// and whoever starts it could set these variables. In the test build a program started without them behaves
// as if the file did not exist.
//   TESSARO_E2E_LARGE_FONTS_PAGE=1       the wizard opens on the large-font page, as after a complete run
//   TESSARO_E2E_SYSTEM_CALLS=absent      the system's set-up library is not found (as under Wine)
//   TESSARO_E2E_SYSTEM_CALLS=succeeds    its "SetupChangeFontSize" is found and reports success
//   TESSARO_E2E_SYSTEM_CALLS=restart-refused   as "succeeds", but the system refuses the restart
//   TESSARO_E2E_SYSTEM_RECORD=<file>     the calls the stand-ins received are appended there, one a line
//   TESSARO_E2E_FAIL_READ=<file name>    every copy of a file of that name (in any folder, any letter case)
//                                        reads half of its first chunk and then fails to read on
//   TESSARO_E2E_FAIL_FLUSH=<file name>   every flush of a copy of that name fails as on a full disk
//   TESSARO_E2E_USER_OWNED=<name>        every file or folder of that name (any folder, any letter case) that
//                                        was there before the process started is reported owned by an
//                                        ordinary user who may change it, as on Windows what a standard user
//                                        made; Wine gives every file the one owner
//   TESSARO_E2E_NO_ACCESS_LISTS=1        every volume is reported to keep no access lists (FAT, exFAT)
//   TESSARO_E2E_AFTER_PACKAGE_COPIES=<command line>   started, and waited for, when the package step's copies
//                                        are on the disk, before the package to run is chosen and checked
//   TESSARO_E2E_PAUSE_AT=<point>[,<point>...]   with TESSARO_E2E_PAUSE_FILE=<file>: at each named point of a
//                                        run (RunStop.h's PassRunPoint: locked, settings-written,
//                                        database-copied, server-files, fonts, package-copies, commit,
//                                        database-swapped, committed, and in-use after each pause for a held
//                                        file, before the run looks at its folders again) the point's name is
//                                        written to the file and the run waits while the file is there (or a
//                                        stop is asked for)
//   TESSARO_E2E_STARTUP_TRACE=<file>     when the first page has painted, the start-up's phases are appended
//                                        there, one a line: name, QueryPerformanceCounter stamp, ms since
//                                        the process was created and since the entry
// Whatever TESSARO_E2E_SYSTEM_CALLS holds, once it is set no real system call of the large-font page is
// made: the font function and the restart are only written down.
#pragma once

class TFMain;

// Called once by the test build's entry before the run of any start, windowless ones included.
void ApplyTestSeams();
// Called once by the test build's entry, after the windows exist and before the main window is shown.
void ApplyWindowTestSeams(TFMain& main);

// Called by the test build's entry as its first act: hangs the recorder of TESSARO_E2E_STARTUP_TRACE on the
// start-up's points (app/StartupTrace.h).
void TraceStartupWhenAsked();
