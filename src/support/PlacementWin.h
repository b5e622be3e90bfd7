// What the secondary windows read of the platform's screen when they place and size themselves.
#pragma once

#include <windows.h>

#include "support/MessageLayout.h"

// The monitor chosen at start-up; the primary monitor while none has been handed down.
TChosenScreen ChosenScreenOrPrimary();
// The work area of the monitor that holds most of the window.
TRect WorkAreaOf(HWND window);
// The work area of the monitor that holds most of the rectangle.
TRect WorkAreaOf(const RECT& rect);
// Logical pixels per inch of the screen.
int ScreenPixelsPerInch();
// The resolution of a monitor where the system tells each monitor's own (Windows 8.1 on); the screen's
// elsewhere, where all monitors share it.
int MonitorPixelsPerInch(HMONITOR monitor);
// The resolution a window is shown at (Windows 10 1607 on); its monitor's elsewhere.
int WindowPixelsPerInch(HWND window);
// The outer size a window of `style` needs around a client area of the given size.
SIZE FrameSize(DWORD style, DWORD exStyle);
