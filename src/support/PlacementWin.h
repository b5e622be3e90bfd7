// What the secondary windows read of the platform's screen when they place and size themselves.
#pragma once

#include <windows.h>

#include "support/MessageLayout.h"

// The monitor chosen at start-up; the primary monitor while none has been handed down.
TChosenScreen ChosenScreenOrPrimary();
// The work area of the monitor that holds most of the window.
TScreenRect WorkAreaOf(HWND window);
// Logical pixels per inch of the screen.
int ScreenPixelsPerInch();
