// Sizes, places and the count-down of the secondary windows (the timed message and the wait window), and
// what they know of the screen; no platform here, so that the arithmetic is tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/Geometry.h"

// The monitor chosen at start-up, as the secondary windows read it from the screen geometry object.
struct TChosenScreen {
    int Width = 0; // the geometry object's Width and Height
    int Height = 0;
    TRect Monitor;          // the chosen monitor's own geometry
    int PixelsPerInch = 96; // the chosen monitor's resolution, which the windows shown on it are laid out at
};

// The screen geometry object lives above this layer; the entry hands its reading down through this.
void SetChosenScreenSource(std::function<TChosenScreen()> source);
// Nothing when no source has been set (a window shown before start-up finished, or in a test).
std::optional<TChosenScreen> ChosenScreen();

// Every pixel size of the timed message window, at 96 pixels per inch.
struct TMessageFormSizes {
    int ClientWidth = 446;
    int DesignClientHeight = 138;
    int ButtonsHeight = 24; // pnlButtons
    int CancelWidth = 73;   // btnCancel, left end
    int SpacerWidth = 10;   // between the right end's OK and whatever lies left of it
    int OkWidth = 70;       // btnOK, right end
    int CloseGap = 2;       // pnlClose lies this far below pnlButtons
    int CloseHeight = 16;   // pnlClose
    int StopWidth = 80;     // btnStop
    int CloseLabelWidth = 107;
    int SecondsWidth = 22;
    int ExtraHeight = 60;   // added to the strips and the text: title bar, borders and a margin
    int GlyphSize = 16;     // the pictures of OK and Cancel
    int FormFontPoints = 7; // "Окно закроется через" must fit its 107 pixels
    int MessageFontPoints = 10;
};
inline constexpr TMessageFormSizes MessageFormDesign{};
inline constexpr int MessageFormDesignPixelsPerInch = 96;

// Every pixel size of the message window at `pixelsPerInch`; the font sizes, in points, stay as they are.
TMessageFormSizes ScaledMessageFormSizes(int pixelsPerInch,
                                         const TMessageFormSizes& design = MessageFormDesign);
// The pixel height of a font of `points` at `pixelsPerInch`.
int FontPixels(int points, int pixelsPerInch);

// The count-down without a time given: 20 seconds.
inline constexpr int DefaultStopIntervalMs = 20000;
// The count-down label before its first tick.
inline constexpr const wchar_t* CountdownInitialText = L"  сек";

// The stop timer's interval for `seconds` (0: the default); a negative number, or one whose milliseconds
// leave the signed 32-bit range, is refused with TError.
int StopIntervalMs(std::int64_t seconds);
// Whole seconds left: the interval's whole seconds minus the elapsed time (given in days, as date-times
// subtract), rounded to the nearest whole number, halves to even.
int RemainingSeconds(int stopIntervalMs, double elapsedDays);
// Two blanks, the seconds and "с".
std::wstring CountdownText(int remainingSeconds);

// Outer height of the message window: the laid-out text, both strips and the extra.
int MessageWindowHeight(int messageHeight, const TMessageFormSizes& sizes = MessageFormDesign);
// Lower edge at half the chosen screen's height (the monitor's own top is not added), centred across it.
TPoint MessageWindowPlace(const TChosenScreen& screen, int windowWidth, int windowHeight);

// Every size of the wait window, as designed at DesignPixelsPerInch.
struct TWaitFormSizes {
    int DesignPixelsPerInch = 144;
    int ClientWidth = 471;
    int ClientHeight = 59;
    int BarHeight = 30;
    int BorderWidth = 2; // inner border, not scaled
    int FontHeight = 20;
};
inline constexpr TWaitFormSizes WaitFormDesign{};
inline constexpr int WaitBarSteps = 25;

// A design size at another resolution, rounded as the platform's MulDiv rounds.
int ScaleSize(int value, int toPixelsPerInch, int fromPixelsPerInch);
// The wait window's title for its kind of operation.
std::wstring WaitTitle(std::uint8_t typemessage);
// Centred on the monitor; the top by the absolute height difference, so a window taller than the monitor
// still starts inside it, while a wider one starts left of it.
TPoint WaitWindowPlace(const TRect& monitor, int windowWidth, int windowHeight);
// Centred in a work area, never left of or above it.
TPoint CentreInWorkArea(const TRect& workArea, int windowWidth, int windowHeight);
