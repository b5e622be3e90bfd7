// How an installation run ended, as the engine reports it: one outcome, with the reason where an error
// stopped the run. The engine decides nothing about the window: the outcome's row (session/RunEnd.h) gives
// the exit code and the last line, and the window decides from it what it shows next (app/WizardState.h).
// Portable.
#pragma once

#include <string>

enum class TOutcome {
    Completed,  // every step ran
    Incomplete, // every step ran, but what the list names did not: a package's script failed, files of the
                // packages or the driver's did not arrive, or the suite could not be registered
    Undone,     // stopped before its commit, and everything was put back as it was (the undo line says so)
    NotFullyUndone, // stopped before its commit; what could not be put back is named under the undo line
    Stopped,        // an error stopped it after its commit: what it copied stays, and it did not finish
    Cancelled,      // the user chose to stop at a box, or the session ends: undone where it had not committed
    Refused,        // it did not begin its work: the folder was refused or could not be made, an interrupted
                    // run's files could not be put back, the disk lacks room, or an error came first
    Busy,           // another installation or removal works in the folder: nothing was done
};

struct TRunOutcome {
    TOutcome Kind = TOutcome::Stopped;
    // What stopped the run when an error did: for a box and the log (a cancel's for the log only). Empty
    // where the run's own lines and boxes said everything.
    std::wstring Reason;
};

// The text of an error no one expected (no memory, a fault of the program's), with what the library says of
// it where it says it in Latin letters.
std::wstring UnexpectedErrorText(const char* what);
