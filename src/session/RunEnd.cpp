#include "session/RunEnd.h"

#include "session/CommandLine.h"

namespace {

using namespace RunEndText;

struct TInstallationRow {
    TOutcome Outcome;
    TRunEnd End;
};
struct TRemovalRow {
    TRemovalEnd Removal;
    TRunEnd End;
};

// A run that ended early keeps "Выход" disabled, as the suite's installers always have: the window's own
// close leaves. The lines of an undo, a refusal or another run in the folder are the engine's, made where
// it happened.
constexpr TInstallationRow InstallationRows[] = {
    {TOutcome::Completed, {ecInstalled, nullptr, FinalQuestion, TFontAdvice::Instead, true}},
    {TOutcome::Incomplete, {ecRunFailed, nullptr, IncompleteQuestion, TFontAdvice::AfterQuestion, true}},
    {TOutcome::Undone, {ecRunFailed}},
    {TOutcome::NotFullyUndone, {ecRunFailed}},
    {TOutcome::Stopped, {ecRunFailed, StoppedAfterCommit}},
    {TOutcome::Cancelled, {ecRunFailed}},
    {TOutcome::Refused, {ecRunFailed}},
    {TOutcome::Busy, {ecAnotherRun}},
};

// A removal always ends with "Выход", but for the one declined: nothing happened there to look at.
constexpr TRemovalRow RemovalRows[] = {
    {TRemovalEnd::Completed, {ecInstalled, nullptr, nullptr, TFontAdvice::None, true, RemovalDone}},
    {TRemovalEnd::NothingToRemove, {ecInstalled, nullptr, nullptr, TFontAdvice::None, true}},
    {TRemovalEnd::Declined, {ecNotInstalled, nullptr, nullptr, TFontAdvice::None, false, nullptr, true}},
    {TRemovalEnd::Incomplete, {ecRunFailed, nullptr, nullptr, TFontAdvice::None, true}},
    {TRemovalEnd::Busy, {ecAnotherRun, nullptr, nullptr, TFontAdvice::None, true}},
    {TRemovalEnd::Stopped, {ecRunFailed, nullptr, nullptr, TFontAdvice::None, true}},
};

constexpr TRunEnd Failed{ecRunFailed};

} // namespace

const TRunEnd& InstallationEnd(TOutcome outcome) {
    for (const TInstallationRow& row : InstallationRows)
        if (row.Outcome == outcome)
            return row.End;
    // Every outcome has its row (the tests go through them all); one without would never pass for success.
    return Failed;
}

const TRunEnd& RemovalEnd(TRemovalEnd end) {
    for (const TRemovalRow& row : RemovalRows)
        if (row.Removal == end)
            return row.End;
    return Failed;
}
