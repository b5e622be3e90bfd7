// The timed message window and the wait window as a user meets them: the tests act from timers that fire
// inside the window's own modal loop, and find controls by class and caption.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/Error.h"
#include "support/MessageForm.h"
#include "support/PlacementWin.h"
#include "support/WaitRun.h"
#include "win/Application.h"

namespace {
using TClock = std::chrono::steady_clock;

// Runs an action on this thread after a delay, from whatever message loop is running then.
class TLater {
public:
    static void After(UINT milliseconds, std::function<void()> action) {
        const UINT_PTR id = ::SetTimer(nullptr, 0, milliseconds, &TLater::Fire);
        ASSERT_NE(id, 0u);
        Actions()[id] = std::move(action);
    }

private:
    static std::map<UINT_PTR, std::function<void()>>& Actions() {
        static std::map<UINT_PTR, std::function<void()>> actions;
        return actions;
    }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        auto found = Actions().find(id);
        if (found == Actions().end())
            return;
        std::function<void()> action = std::move(found->second);
        Actions().erase(found);
        action();
    }
};

std::wstring Text(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK MatchMessageWindow(HWND window, LPARAM found) {
    wchar_t name[32] = L"";
    ::GetClassNameW(window, name, 32);
    if (std::wstring(name) != L"TFMessageform")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// This thread's message window: another program's on the same desktop must not count.
HWND MessageWindow() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchMessageWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct TChildSearch {
    std::wstring Text;
    HWND Found = nullptr;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<TChildSearch*>(param);
    if (Text(child) != search->Text)
        return TRUE;
    search->Found = child;
    return FALSE;
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
    TChildSearch search{text};
    ::EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

void Click(const std::wstring& caption) {
    HWND button = ChildWithText(MessageWindow(), caption);
    ASSERT_NE(button, nullptr) << "no button";
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

struct TSeen {
    bool Shown = false;
    RECT Window{};
    RECT Client{};
    RECT Label{};
    std::wstring Caption;
    std::wstring Seconds;
    bool OkVisible = false;
    bool CancelVisible = false;
    bool StopVisible = false;
};

// What the window looks like right now, seen from outside.
TSeen Look(const std::wstring& message) {
    TSeen seen;
    HWND window = MessageWindow();
    seen.Shown = window && ::IsWindowVisible(window);
    if (!window)
        return seen;
    ::GetWindowRect(window, &seen.Window);
    ::GetClientRect(window, &seen.Client);
    if (HWND label = ChildWithText(window, message))
        ::GetWindowRect(label, &seen.Label);
    seen.Caption = Text(window);
    HWND stop = ChildWithText(window, L"остановить");
    seen.StopVisible = stop && ::IsWindowVisible(stop);
    if (stop)
        seen.Seconds = Text(::GetWindow(::GetWindow(stop, GW_HWNDNEXT), GW_HWNDNEXT));
    HWND ok = ChildWithText(window, L"OK");
    seen.OkVisible = ok && ::IsWindowVisible(ok);
    HWND cancel = ChildWithText(window, L"Отмена");
    seen.CancelVisible = cancel && ::IsWindowVisible(cancel);
    return seen;
}

double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

class TimedMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        // A monitor of its own, away from the origin, so that the placement shows which values it used.
        SetChosenScreenSource([] { return TChosenScreen{1000, 800, {100, 50, 1000, 800}}; });
    }
    void TearDown() override { SetChosenScreenSource({}); }
};
} // namespace

TEST_F(TimedMessageTest, NoticeClosesByItselfAndAnswersNo) {
    TSeen early;
    TLater::After(200, [&] { early = Look(L"Готово"); });
    const auto start = TClock::now();
    EXPECT_FALSE(ShowTimedMessage(L"Готово", mtMessage, L"", 1));
    const double took = SecondsSince(start);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 5.0);
    EXPECT_EQ(MessageWindow(), nullptr) << "the window is destroyed when the call returns";

    ASSERT_TRUE(early.Shown);
    EXPECT_TRUE(early.OkVisible);
    EXPECT_FALSE(early.CancelVisible) << "a notice has no Cancel, yet its time-out still cancels";
    EXPECT_TRUE(early.StopVisible);
    EXPECT_EQ(early.Seconds, L"  сек");
    EXPECT_EQ(early.Caption, L"");
}

TEST_F(TimedMessageTest, OkAnswersYesWhileTitleBarCloseAndEscapeAnswerNo) {
    TSeen seen;
    LONG exStyle = 0;
    TLater::After(150, [&] {
        seen = Look(L"Продолжить?");
        exStyle = ::GetWindowLongW(MessageWindow(), GWL_EXSTYLE);
        Click(L"OK");
    });
    EXPECT_TRUE(ShowTimedMessage(L"Продолжить?", mtDialog, L"Вопрос", 30));
    EXPECT_TRUE(seen.OkVisible);
    EXPECT_TRUE(seen.CancelVisible);
    EXPECT_EQ(seen.Caption, L"Вопрос");
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);

    TLater::After(150, [] { ::PostMessageW(MessageWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_FALSE(ShowTimedMessage(L"Продолжить?", mtDialog, L"", 30));

    TLater::After(150, [] { Click(L"Отмена"); });
    EXPECT_FALSE(ShowTimedMessage(L"Продолжить?", mtDialog, L"", 30));
}

TEST_F(TimedMessageTest, StopRemovesTheCountDownAndTheWindowWaits) {
    TSeen first, ticking, afterTimeOut;
    TLater::After(300, [&] { first = Look(L"Ждём"); });
    TLater::After(1400, [&] {
        ticking = Look(L"Ждём");
        Click(L"остановить");
    });
    TLater::After(2600, [&] { afterTimeOut = Look(L"Ждём"); });
    TLater::After(2800, [] { Click(L"OK"); });
    EXPECT_TRUE(ShowTimedMessage(L"Ждём", mtMessage, L"", 2));

    EXPECT_EQ(first.Seconds, L"  сек");
    // One tick after a second of two: one second left (a slow machine may already be at none).
    EXPECT_TRUE(ticking.Seconds == L"  1с" || ticking.Seconds == L"  0с") << ticking.Seconds.size();
    ASSERT_TRUE(afterTimeOut.Shown) << "stopped, the window must outlive its time";
    EXPECT_FALSE(afterTimeOut.StopVisible) << "the count-down strip must be gone";
    EXPECT_TRUE(afterTimeOut.OkVisible);
}

TEST_F(TimedMessageTest, LongTextMakesTheWindowTallerAtTheSameWidthAndPlacesItOnTheChosenMonitor) {
    std::wstring longText;
    for (int i = 0; i < 40; ++i)
        longText += L"Длинный текст сообщения переносится по словам. ";
    const std::wstring lines = L"Первая строка\r Вторая строка\r Третья строка";
    TSeen shortSeen, longSeen, linesSeen;
    TLater::After(150, [&] {
        shortSeen = Look(L"Коротко");
        Click(L"OK");
    });
    ShowTimedMessage(L"Коротко", mtMessage, L"", 30);
    TLater::After(150, [&] {
        longSeen = Look(longText);
        Click(L"OK");
    });
    ShowTimedMessage(longText, mtMessage, L"", 30);
    TLater::After(150, [&] {
        linesSeen = Look(lines);
        Click(L"OK");
    });
    ShowTimedMessage(lines, mtMessage, L"", 30);

    for (const TSeen* seen : {&shortSeen, &longSeen, &linesSeen}) {
        ASSERT_TRUE(seen->Shown);
        EXPECT_EQ(seen->Client.right, 446);
        const int width = seen->Window.right - seen->Window.left;
        const int height = seen->Window.bottom - seen->Window.top;
        const int labelHeight = seen->Label.bottom - seen->Label.top;
        EXPECT_EQ(height, labelHeight + 24 + 16 + 60);
        // Lower edge at half the chosen height, the monitor's top not added; centred across the monitor.
        EXPECT_EQ(seen->Window.bottom, 400);
        EXPECT_EQ(seen->Window.left, 100 + (1000 - width) / 2);
    }
    const int oneLine = shortSeen.Label.bottom - shortSeen.Label.top;
    EXPECT_GT(oneLine, 10);
    EXPECT_GT(longSeen.Label.bottom - longSeen.Label.top, 5 * oneLine);
    EXPECT_EQ(longSeen.Window.right - longSeen.Window.left, shortSeen.Window.right - shortSeen.Window.left);
    // A carriage return alone starts a new line, as the driver notice relies on.
    EXPECT_EQ(linesSeen.Label.bottom - linesSeen.Label.top, 3 * oneLine);
}

TEST_F(TimedMessageTest, SecondsOutOfRangeRaiseBeforeAnyWindowShows) {
    bool windowSeen = false;
    TLater::After(10, [&] { windowSeen = MessageWindow() != nullptr; });
    EXPECT_THROW(ShowTimedMessage(L"Никогда", mtMessage, L"", -1), TError);
    EXPECT_THROW(ShowTimedMessage(L"Никогда", mtMessage, L"", 2147484), TError);
    EXPECT_EQ(MessageWindow(), nullptr);
    MSG message;
    const auto until = TClock::now() + std::chrono::milliseconds(100);
    while (TClock::now() < until)
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    EXPECT_FALSE(windowSeen);
}

TEST_F(TimedMessageTest, WithoutModalityTheWindowStaysUpWithoutButtonsOrCountDown) {
    TFMessageform form;
    EXPECT_FALSE(::IsWindowVisible(form.Handle()));
    EXPECT_FALSE(form.StopTimerEnabled());
    EXPECT_EQ(form.StopTimerInterval(), 20000);
    EXPECT_FALSE(form.Showmes(L"Идёт работа", mtDialog, L"", false));
    EXPECT_TRUE(::IsWindowVisible(form.Handle()));
    EXPECT_FALSE(::IsWindowVisible(form.btnOK));
    EXPECT_FALSE(::IsWindowVisible(form.btnCancel));
    EXPECT_FALSE(::IsWindowVisible(form.btnStop));
    EXPECT_FALSE(::IsWindowVisible(form.lblSec));
    EXPECT_FALSE(form.StayUpTimerEnabled());
    EXPECT_FALSE(form.StopTimerEnabled());
}

namespace {
class WaitRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void TearDown() override { SetChosenScreenSource({}); }

    static int Position(const TFWaitRun& wait) {
        return static_cast<int>(::SendMessageW(wait.ProgressBar, PBM_GETPOS, 0, 0));
    }
};
} // namespace

TEST_F(WaitRunTest, CreatedHiddenAndNextAdvancesThenStartsAgainAfterTheLastStep) {
    TFWaitRun wait;
    wait.Create();
    EXPECT_FALSE(::IsWindowVisible(wait.Handle()));
    EXPECT_EQ(Text(wait.Handle()), L"Launching ");
    EXPECT_EQ(Text(wait.LblProgress), L"");
    EXPECT_EQ(Position(wait), 0);
    const LONG style = ::GetWindowLongW(wait.Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU) << "no title-bar buttons";
    EXPECT_TRUE(::GetWindowLongW(wait.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    for (int step = 1; step <= 25; ++step)
        wait.Next(step, L"Шаг " + std::to_wstring(step));
    EXPECT_EQ(Position(wait), 25);
    EXPECT_EQ(Text(wait.LblProgress), L"Шаг 25");
    wait.Next(0, L"");
    EXPECT_LE(Position(wait), 1) << "the 26th step starts the bar again";
    EXPECT_EQ(Text(wait.LblProgress), L"");
}

TEST_F(WaitRunTest, PlacedOnTheChosenMonitorAtCreationAndTitledByItsKindOnShow) {
    SetChosenScreenSource([] { return TChosenScreen{640, 480, {40, 30, 640, 480}}; });
    TFWaitRun wait;
    wait.Create();
    RECT rect{};
    ::GetWindowRect(wait.Handle(), &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    EXPECT_EQ(rect.left, 40 + (640 - width) / 2);
    EXPECT_EQ(rect.top, 30 + (480 - height) / 2);
    RECT client{};
    ::GetClientRect(wait.Handle(), &client);
    EXPECT_EQ(client.right, ScaleSize(471, ScreenPixelsPerInch(), 144));

    wait.typemessage = 3;
    ::ShowWindow(wait.Handle(), SW_SHOWNOACTIVATE);
    EXPECT_EQ(Text(wait.Handle()), L"Преобразование данных ЭКГ в формат Тессаро-Холтер");
    // Shown, it is centred again in the work area of the monitor it is on.
    ::GetWindowRect(wait.Handle(), &rect);
    const TPoint centred = CentreInWorkArea(WorkAreaOf(wait.Handle()), width, height);
    EXPECT_EQ(rect.left, centred.Left);
    EXPECT_EQ(rect.top, centred.Top);

    // Closing only hides it: the window belongs to the program until its end.
    ::SendMessageW(wait.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(wait.Handle()));
    EXPECT_FALSE(::IsWindowVisible(wait.Handle()));
}

namespace {
RECT PlaceIn(HWND window, HWND parent) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int TextWidth(HWND control) {
    TWindowDC dc(control);
    TSelectObject font(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = Text(control);
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int FontHeight(HWND control) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return -font.lfHeight;
}

// The message window's layout as it must be at `dpi`: every size scaled, the strips' controls inside the
// window and the count-down's words inside their label.
void ExpectMessageLayout(const TFMessageform& form, int dpi) {
    const TMessageFormSizes s = ScaledMessageFormSizes(dpi);
    RECT client{};
    ::GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, s.ClientWidth) << dpi;
    const RECT ok = PlaceIn(form.btnOK, form.Handle());
    EXPECT_EQ(ok.right, s.ClientWidth) << dpi;
    EXPECT_EQ(ok.right - ok.left, s.OkWidth) << dpi;
    EXPECT_EQ(ok.bottom - ok.top, s.ButtonsHeight) << dpi;
    const RECT close = PlaceIn(form.lblClose, form.Handle());
    const RECT seconds = PlaceIn(form.lblSec, form.Handle());
    EXPECT_EQ(close.left, s.StopWidth) << dpi;
    EXPECT_EQ(close.right - close.left, s.CloseLabelWidth) << dpi;
    EXPECT_EQ(seconds.left, close.right) << dpi;
    EXPECT_LE(TextWidth(form.lblClose), s.CloseLabelWidth) << dpi << ": \"Окно закроется через\" is cut";
    EXPECT_LE(TextWidth(form.btnStop), s.StopWidth) << dpi;
    EXPECT_EQ(FontHeight(form.lblClose), FontPixels(7, dpi)) << dpi;
    EXPECT_EQ(FontHeight(form.lblMessage), FontPixels(10, dpi)) << dpi;
    const RECT label = PlaceIn(form.lblMessage, form.Handle());
    const RECT buttons = PlaceIn(form.pnlButtons.Handle(), form.Handle());
    const RECT strip = PlaceIn(form.pnlClose.Handle(), form.Handle());
    EXPECT_EQ(buttons.top, label.bottom) << dpi;
    EXPECT_EQ(strip.top, buttons.bottom + s.CloseGap) << dpi;
    EXPECT_LE(strip.bottom, client.bottom) << dpi;
}
} // namespace

TEST_F(TimedMessageTest, LaidOutAtTheChosenMonitorsResolutionAndAgainWhenItChanges) {
    for (int dpi : {96, 120, 144, 192}) {
        SetChosenScreenSource([dpi] { return TChosenScreen{1000, 800, {100, 50, 1000, 800}, dpi}; });
        TFMessageform form;
        form.Showmes(L"Внимание!\r Текст сообщения", mtMessage, L"", false);
        ExpectMessageLayout(form, dpi);
    }

    SetChosenScreenSource([] { return TChosenScreen{1000, 800, {100, 50, 1000, 800}, 96}; });
    TFMessageform form;
    form.Showmes(L"Внимание!\r Текст сообщения", mtMessage, L"", false);
    const LONG oneLine96 = [&] {
        RECT label = PlaceIn(form.lblMessage, form.Handle());
        return label.bottom - label.top;
    }();
    RECT suggested{300, 200, 300 + 900, 200 + 400};
    ::SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    ExpectMessageLayout(form, 192);
    RECT window{};
    ::GetWindowRect(form.Handle(), &window);
    EXPECT_EQ(window.left, 300);
    EXPECT_EQ(window.top, 200);
    const RECT label = PlaceIn(form.lblMessage, form.Handle());
    EXPECT_GT(label.bottom - label.top, oneLine96 * 3 / 2) << "the text grows with its font";
    EXPECT_EQ(window.bottom - window.top,
              MessageWindowHeight(label.bottom - label.top, ScaledMessageFormSizes(192)));
}

TEST_F(WaitRunTest, LaidOutAtTheChosenMonitorsResolutionAndAgainWhenItChanges) {
    SetChosenScreenSource([] { return TChosenScreen{640, 480, {40, 30, 640, 480}, 192}; });
    TFWaitRun wait;
    wait.Create();
    RECT client{};
    ::GetClientRect(wait.Handle(), &client);
    EXPECT_EQ(client.right, 628);
    EXPECT_EQ(client.bottom, 79);
    RECT bar = PlaceIn(wait.ProgressBar, wait.Handle());
    EXPECT_EQ(bar.bottom, 79 - 2);
    EXPECT_EQ(bar.bottom - bar.top, 40);
    EXPECT_EQ(FontHeight(wait.LblProgress), 27);

    RECT suggested{10, 20, 10 + 300, 20 + 100};
    ::SendMessageW(wait.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    ::GetClientRect(wait.Handle(), &client);
    EXPECT_EQ(client.right, ScaleSize(471, 96, 144));
    EXPECT_EQ(client.bottom, ScaleSize(59, 96, 144));
    bar = PlaceIn(wait.ProgressBar, wait.Handle());
    EXPECT_EQ(bar.right, client.right - 2);
    EXPECT_EQ(bar.bottom, client.bottom - 2);
    EXPECT_EQ(FontHeight(wait.LblProgress), ScaleSize(20, 96, 144));
    RECT window{};
    ::GetWindowRect(wait.Handle(), &window);
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.top, 20);
}

// The entry makes the hidden wait window in the first idle moment of the message loop: after what is
// already waiting, the first paint of a window just shown included, and exactly once.
TEST(ApplicationLoop, IdleWorkComesAfterWaitingMessagesAndPaintsAndRunsOnce) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"IdleTestWindow";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, L"IdleTestWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    bool timerFirst = false;
    TLater::After(0, [&] { timerFirst = true; });
    ::Sleep(20); // the timer is due before the loop starts

    int runs = 0;
    bool paintedBefore = false;
    Application().RunWhenIdle([&] {
        ++runs;
        paintedBefore = !::GetUpdateRect(window, nullptr, FALSE);
        // Later idle moments must not run it again; the loop ends a little later.
        TLater::After(50, [] { ::PostQuitMessage(7); });
    });
    EXPECT_EQ(Application().Run(), 7);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(paintedBefore);
    EXPECT_TRUE(timerFirst);

    // Work left when the loop ends is dropped, not run by the next loop.
    Application().RunWhenIdle([&] { ++runs; });
    ::PostQuitMessage(0);
    Application().Run();
    TLater::After(10, [] { ::PostQuitMessage(0); });
    Application().Run();
    EXPECT_EQ(runs, 1);
    ::DestroyWindow(window);
}

// While the run works on this thread, the hourglass stays over the program's windows and their controls
// however the mouse moves, and the class cursor comes back once it is done.
TEST_F(WaitRunTest, BusyHourglassStaysOverTheWindowsUntilTheWorkEnds) {
    TFWaitRun wait;
    wait.Create();
    HWND control = ::GetWindow(wait.Handle(), GW_CHILD);
    ASSERT_NE(control, nullptr);
    const HCURSOR hourglass = ::LoadCursorW(nullptr, IDC_WAIT);
    const auto moveOver = [](HWND window, HWND under) {
        return ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                              MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    Application().SetBusyCursor(true);
    ::SetCursor(nullptr); // as a mouse move over another window would leave it
    EXPECT_TRUE(moveOver(wait.Handle(), wait.Handle()));
    EXPECT_EQ(::GetCursor(), hourglass);
    ::SetCursor(nullptr);
    moveOver(control, control); // a control asks its parent first
    EXPECT_EQ(::GetCursor(), hourglass);

    Application().SetBusyCursor(false);
    moveOver(wait.Handle(), wait.Handle());
    EXPECT_NE(::GetCursor(), hourglass);
}
