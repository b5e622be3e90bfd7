// The progress ("wait") window for long operations: a title naming the kind of operation, the current
// step's text and a bar of 25 steps. Created hidden at start-up; a caller that needs it shows and steps it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/HandlesWin.h"
#include "win/Window.h"

class TFWaitRun : public TWindow {
public:
    TFWaitRun() = default;
    ~TFWaitRun() override;

    // Creates the window hidden, with every control, and runs FormCreate.
    void Create();
    // Position 0, the title of `typemessage`, centred on the monitor chosen at start-up.
    void FormCreate();
    // Each showing: the title again (a caller may set `typemessage` in between), centred anew in the work
    // area of the monitor the window is on.
    void FormShow();
    // One step of the bar (the step after the last starts it again) and the step's text, then the
    // application's pending messages, so that the window repaints while the caller works; the caller must
    // bear with handlers running in the middle of its work. `value` is not used. Never fails.
    void Next(std::int32_t value, const std::wstring& msg) noexcept;

    std::uint8_t typemessage = 0;
    HWND ProgressBar = nullptr;
    HWND LblProgress = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Sizes the window and places and sizes its controls at `pixelsPerInch`; returns the window's size.
    SIZE LayOut(int pixelsPerInch);

    TUniqueFont FFont;
};

// Created by the entry right after the main window; it stays hidden.
extern TFWaitRun* FWaitRun;
