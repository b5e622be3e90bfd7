// The points the start-up passes on its way to the first painted page. The test build hangs a recorder on
// them (tests/seams/TestSeams.cpp) to find where a start spends its time; the shipped program leaves the hook
// empty, and passing a point then costs one test of a null pointer.
#pragma once

enum class TStartupPhase {
    Entry,         // wWinMain's first instruction
    LogOpened,     // the dated log beside the program
    SettingsRead,  // the settings file and the vocabulary
    RunLogOpened,  // the command line read and the run log's first line written
    ComReady,      // OLE initialised for the thread
    ControlsReady, // the screen read and the common controls registered
    WindowCreated,
    FirstPageMade, // the first page's controls, the rich edit box among them
    SkinDecoded,
    InfoLoaded, // the rich-text document streamed into its box
    FirstPaint  // the main window's first WM_PAINT handled
};

using TStartupRecorder = void (*)(TStartupPhase);
inline TStartupRecorder StartupRecorder = nullptr;

inline void PassStartupPoint(TStartupPhase phase) {
    if (StartupRecorder)
        StartupRecorder(phase);
}
