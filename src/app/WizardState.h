// The wizard's page flow: which page follows which event, and what the window does when a run has ended. The
// window only shows what this decides.
#pragma once

#include "session/RunEnd.h"

enum class TPage { tsStart, tsInputPath, tsInputComponents, tsProgressInstall, tsCancel, tsChangeFontSize };

enum class TWizardEvent {
    Created,         // the window has been created
    Next,            // "Далее" on the welcome page
    PathAccepted,    // "Далее" on the path page, the folder passed the check
    PathRefused,     // "Далее" on the path page, the folder was refused
    Back,            // "Назад" on the components page
    Install,         // "Начать установку"
    CancelConfirmed, // "Отмена", answered Yes
    Exit,            // one of the "Выход" buttons
    CloseCommand,    // the window's own close command
};

struct TWizardStep {
    TPage Page;               // the page shown afterwards
    bool CloseWindow = false; // the window is to close
    bool FocusPath = false;   // the focus goes into the target folder box
};

// What follows `event` on `page`. An event that does not belong to the page leaves everything as it is.
// `canClose` is the window's FCanClose: while the run's protected stretch is under way nothing closes.
// `exitEnabled` tells whether the progress page's "Выход" has been enabled by the run's end.
TWizardStep NextStep(TPage page, TWizardEvent event, bool canClose, bool exitEnabled = false);

// Whether the page offers "Отмена" (and so answers Esc).
bool PageHasCancel(TPage page);

// What the window knows at a run's end that the run does not.
struct TEndFacts {
    bool SmallFonts = false; // the screen runs below 100 dots per inch
    bool Interactive = true; // someone is there to read and answer: neither /SILENT nor /SUPPRESSMSGBOXES,
                             // whose questions all get the answer that lets the run go on
    bool CloseRequested = false; // the window was asked to close while the run went on
};

// The window at a run's end, from its outcome's row (session/RunEnd.h), in this order: it closes, asking
// nothing; or it shows Box, then asks Question (AfterEndQuestion says what follows) or shows Page.
struct TRunEndStep {
    bool Close = false;
    const wchar_t* Box = nullptr;
    const wchar_t* Question = nullptr;
    TPage Page = TPage::tsProgressInstall;
};
TRunEndStep RunEndStep(const TRunEnd& end, const TEndFacts& facts);
// After the answer to the run's last question: Yes closes the window, No stays (on the large-font advice
// where it follows the question on a screen with small fonts).
TWizardStep AfterEndQuestion(const TRunEnd& end, bool yes, bool smallFonts);
