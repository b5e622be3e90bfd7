// The installer's own message box: a small always-on-top window with a text, OK (and Cancel for a
// question) and a count-down after which it closes by itself unless the user stops it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/HandlesWin.h"
#include "support/MessageLayout.h"
#include "win/ComCtlFunctions.h"
#include "win/Window.h"

enum TMessageType { mtMessage, mtDialog };

// A strip of the message window that holds controls and passes their commands up to the window.
class TMessageStrip : public TWindow {
public:
    void Create(HWND parent, const wchar_t* name);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class TFMessageform : public TWindow {
public:
    // Creates the window hidden, with both timers off.
    TFMessageform();
    ~TFMessageform() override;

    // Shows the text and, when `smodal`, returns after the window has closed: true only after OK.
    // Without `smodal` the window stays up without buttons or count-down and the result is false.
    bool Showmes(const std::wstring& Text, TMessageType tip, const std::wstring& CaptionText, bool smodal);

    // StopTimer's interval in milliseconds (20000 unless set).
    int StopTimerInterval() const noexcept { return FStopInterval; }
    void SetStopTimerInterval(int milliseconds) noexcept { FStopInterval = milliseconds; }
    bool StayUpTimerEnabled() const noexcept { return FStayUpEnabled; }
    bool StopTimerEnabled() const noexcept { return FStopEnabled; }

    // Event handlers, named after their control and event.
    void FormShow();
    void FormClose();
    void btnOKClick();
    void btnCancelClick();
    void btnStopClick();
    void StayUpTimerTimer();
    void StopTimerTimer();

    double tt = 0.0; // when the window was shown, in days of a monotonic clock
    TMessageType FMessageTtype = mtMessage;
    std::wstring FMessageText;
    std::wstring FCaptionText;
    bool FShowResult = false;
    bool Fsmodal = false;

    // Controls; the strips own their windows, the other handles belong to their parents.
    HWND lblMessage = nullptr;
    TMessageStrip pnlButtons;
    HWND btnCancel = nullptr;
    HWND btnOK = nullptr;
    TMessageStrip pnlClose;
    HWND btnStop = nullptr;
    HWND lblClose = nullptr;
    HWND lblSec = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct TImageListTraits {
        using TValue = HIMAGELIST;
        static constexpr TValue Invalid() noexcept { return nullptr; }
        static void Close(TValue value) noexcept { ComCtl::ImageList_Destroy(value); }
    };

    void CreateControls();
    // The controls of both strips, at the current sizes.
    void PlaceStripControls();
    void CreateGlyphs();
    // The text's height decides the rest: places the label and the strips; returns the window's size.
    SIZE LayOut();
    void OnDpiChanged(int pixelsPerInch, const RECT& suggested);
    void SetStayUpTimer(bool enabled);
    void SetStopTimer(bool enabled);
    void Close();
    void RunModal();
    int MessageTextHeight() const;

    // The destructor ends the window first, so the controls never outlive their fonts and glyphs.
    int FDpi = MessageFormDesignPixelsPerInch;
    TMessageFormSizes FSizes = MessageFormDesign;
    TUniqueFont FFont, FMessageFont;
    TUniqueAny<TImageListTraits> ImageList1;
    TUniqueIcon FOkGlyph, FCancelGlyph;
    int FStopInterval = DefaultStopIntervalMs;
    bool FStayUpEnabled = false;
    bool FStopEnabled = false;
    bool FModalDone = false;
};

// Shows the message in a TFMessageform and waits until it closes; true exactly when OK was pressed.
// `seconds` (0: 20) is checked before any window exists: a negative number, or one too large for the
// timer's milliseconds, raises TError.
bool ShowTimedMessage(const std::wstring& text, TMessageType type, const std::wstring& caption,
                      std::int64_t seconds);
