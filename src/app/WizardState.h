// The wizard's page flow: which page follows which event. The window only shows what this decides.
#pragma once

enum class TPage { tsStart, tsInputPath, tsInputComponents, tsProgressInstall, tsCancel, tsChangeFontSize };

enum class TWizardEvent {
    Created,                // the window has been created
    Next,                   // "Далее" on the welcome page
    PathAccepted,           // "Далее" on the path page, the folder passed the check
    PathRefused,            // "Далее" on the path page, the folder was refused
    Back,                   // "Назад" on the components page
    Install,                // "Начать установку"
    CancelConfirmed,        // "Отмена", answered Yes
    RunCompletedQuit,       // the run ended and the final question was answered Yes
    RunCompletedSmallFonts, // the run ended on a screen with small fonts
    Exit,                   // one of the "Выход" buttons
    CloseCommand,           // the window's own close command
};

struct TWizardStep {
    TPage Page;               // the page shown afterwards
    bool CloseWindow = false; // the window is to close
    bool FocusPath = false;   // the focus goes into the target folder box
};

// What follows `event` on `page`. An event that does not belong to the page leaves everything as it is.
// `canClose` is the window's FCanClose: while the run's protected stretch is under way nothing closes.
// `exitEnabled` tells whether the progress page's "Выход" has been enabled by a completed run.
TWizardStep NextStep(TPage page, TWizardEvent event, bool canClose, bool exitEnabled = false);

// Whether the page offers "Отмена" (and so answers Esc).
bool PageHasCancel(TPage page);
