// The points the start-up passes on its way to the first painted page, and to the information box after it.
// The test build hangs a recorder on them (tests/seams/TestSeams.cpp) to find where a start spends its time;
// the shipped program leaves the hook empty, and passing a point then costs one test of a null pointer.
#pragma once

enum class TStartupPhase {
    Entry,         // wWinMain's first instruction
    LogOpened,     // the dated log beside the program
    SettingsRead,  // the settings file and the vocabulary
    RunLogOpened,  // the command line read and the run log's first line written
    ControlsReady, // the screen read and the common controls registered
    WindowCreated,
    FirstPageMade, // the welcome page's controls
    SkinDecoded,
    FirstPaint, // the main window's first WM_PAINT handled
    // After the first paint:
    ComReady,  // OLE initialised for the window's thread
    InfoLoaded // the information box made and its rich-text document streamed in
};

using TStartupRecorder = void (*)(TStartupPhase);
inline TStartupRecorder StartupRecorder = nullptr;

inline void PassStartupPoint(TStartupPhase phase) {
    if (StartupRecorder)
        StartupRecorder(phase);
}
