#include "app/RunPresenter.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "session/CommandLine.h"
#include "win/Application.h"
#include "win/MessageBox.h"

namespace {

// A list box keeps its first line in view whatever is added below; the line of the file being copied must be
// the one the user sees, so the list follows its newest line down.
void ScrollToLine(HWND list, LRESULT index) {
    RECT client{};
    ::GetClientRect(list, &client);
    const LRESULT itemHeight = ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    if (itemHeight <= 0 || index < 0)
        return;
    const LONG_PTR rows = std::max<LONG_PTR>(1, (client.bottom - client.top) / itemHeight);
    const LONG_PTR top = static_cast<LONG_PTR>(index) - rows + 1;
    if (top > ::SendMessageW(list, LB_GETTOPINDEX, 0, 0))
        ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

// The line completed in place; its new text.
std::wstring CompleteListLine(HWND list, std::size_t index, const std::wstring& suffix) {
    const WPARAM item = static_cast<WPARAM>(index);
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, item, 0);
    if (length < 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text.data()))));
    text += suffix;
    // Taking the line out may scroll the list up; the view is put back where it was.
    const LRESULT top = ::SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    ::SendMessageW(list, LB_DELETESTRING, item, 0);
    ::SendMessageW(list, LB_INSERTSTRING, item, reinterpret_cast<LPARAM>(text.c_str()));
    if (top >= 0)
        ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    return text;
}

BOOL CALLBACK AddChild(HWND child, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
    return TRUE;
}

// Closes the window as its run ends, answering what other programs send it meanwhile: each of its children
// takes a couple of milliseconds to go under Wine, and all of them at once held it for some 40 ms. Hidden
// first, so that no one sees it taken apart.
void CloseAnswering(HWND window) {
    const auto answer = [] {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    };
    // Hiding takes the activation elsewhere and repaints what lay below: some 7 ms of its own under Wine.
    ::ShowWindow(window, SW_HIDE);
    answer();
    std::vector<HWND> children; // every level, each parent before its children
    ::EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        if (!::IsWindow(*child))
            continue;
        ::DestroyWindow(*child);
        answer();
    }
    ::DestroyWindow(window);
}

// A run without a record of its own (a window the tests made) writes into none.
TRunLog& NoLog() {
    static TRunLog none([] { return TLocalTime{}; }, [](std::string_view) {});
    return none;
}

} // namespace

void TRunPresenter::Attach(TRunPages pages, TRunManner manner) {
    // The worker reads them while it runs.
    if (FStarted)
        return;
    FPages = std::move(pages);
    FManner = std::move(manner);
}

int TRunPresenter::WidestLine(const std::vector<std::wstring>& lines) {
    std::wstring unknown;
    for (const std::wstring& line : lines)
        for (const wchar_t letter : line)
            if (!FLetterWidths.contains(letter) && unknown.find(letter) == std::wstring::npos)
                unknown += letter;
    if (!unknown.empty()) {
        TWindowDC dc(FPages.List);
        TSelectObject select(dc.Get(),
                             reinterpret_cast<HFONT>(::SendMessageW(FPages.List, WM_GETFONT, 0, 0)));
        for (const wchar_t letter : unknown) {
            INT width = 0;
            FLetterWidths[letter] = ::GetCharWidth32W(dc.Get(), letter, letter, &width) ? width : 0;
        }
    }
    // A line's width is the sum of its letters' advances: the list draws it without kerning.
    int widest = 0;
    for (const std::wstring& line : lines) {
        int width = 4;
        for (const wchar_t letter : line)
            width += FLetterWidths[letter];
        widest = std::max(widest, width);
    }
    return widest;
}

void TRunPresenter::ClearList() {
    // The list's font may have changed with the screen's scale since the last run.
    FLetterWidths.clear();
    ::SendMessageW(FPages.List, LB_RESETCONTENT, 0, 0);
    ::SendMessageW(FPages.List, LB_SETHORIZONTALEXTENT, 0, 0);
    FListExtent = 0;
    FWidestLine = 0;
    FBarsShownAhead = 0;
    ::ShowWindow(FPages.List, SW_SHOW);
}

void TRunPresenter::StartInstallation(const TInstallOptions& options) {
    if (FStarted)
        return;
    // The folder as the run takes it: full, whatever the path box holds.
    FListFolder = WithTrailingBackslash(FullPathOf(TrimControl(options.TargetText)));
    const TSessionPolicy policy = FManner.Policy;
    Start([options, policy](IInstallHost& host, TRunLog& log) -> const TRunEnd& {
        return InstallationEnd(RunRecordedInstallation(host, log, options, policy).Kind);
    });
}

void TRunPresenter::StartRemoval(const TUninstallOptions& options) {
    if (FStarted)
        return;
    FRemoving = true;
    FListFolder = options.Target;
    const TSessionPolicy policy = FManner.Policy;
    Start([options, policy](IInstallHost& host, TRunLog& log) -> const TRunEnd& {
        return RemovalEnd(RunRecordedUninstallation(host, log, options, policy));
    });
}

void TRunPresenter::Start(std::function<const TRunEnd&(IInstallHost&, TRunLog&)> run) {
    FStarted = true;
    FExitCode = ecRunFailed;
    // The run's list begins empty: its lines are numbered from there.
    ClearList();
    FWorker.Start(
        FPages.Window,
        [this, run = std::move(run)] {
            TWindowPort port(FPages.Window);
            TMarshallingHost host(port, FEvents, FState, false);
            FEnd = &run(host, FManner.Log ? *FManner.Log : NoLog());
            return FEnd->ExitCode;
        },
        ecRunFailed, FRemoving ? L"Не удалось начать удаление" : L"Не удалось начать установку");
    FSessionEnd.RunStarts(FPages.Window, SessionEndReason(FRemoving));
}

bool TRunPresenter::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_RUN_EVENTS:
        ApplyEvents();
        return true;
    case WM_RUN_ASK: {
        const std::unique_ptr<std::shared_ptr<TRunAsk>> ask(
            reinterpret_cast<std::shared_ptr<TRunAsk>*>(lParam));
        (*ask)->Answer = Answer((*ask)->Question);
        ::SetEvent((*ask)->Answered.Get());
        return true;
    }
    case WM_RUN_DONE:
        Done(static_cast<int>(wParam));
        return true;
    case WM_QUERYENDSESSION:
        // Refused while the run works, with the reason Windows shows; said once in the list and the log.
        if (!FSessionEnd.Working())
            return false;
        RefuseSessionEnd();
        result = FALSE;
        return true;
    case WM_ENDSESSION:
        // Ending all the same: the run stops, undoes itself before its commit, and the process ends with it.
        if (wParam && FSessionEnd.Working())
            FSessionEnd.EndWithRun(FWorker);
        return true;
    }
    return false;
}

void TRunPresenter::ApplyEvent(const TRunEvent& event, bool& lines, std::vector<std::wstring>& shown) {
    HWND list = FPages.List;
    switch (event.Kind) {
    case TRunEvent::TKind::Line:
    case TRunEvent::TKind::StepLine:
        // The run names the suite's files in full, for its log; the list names them from its folder.
        shown.push_back(QuotedPathsBelow(event.Text, FListFolder));
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.back().c_str()));
        lines = true;
        break;
    case TRunEvent::TKind::Complete:
        shown.push_back(CompleteListLine(list, event.Index, event.Text));
        lines = true;
        break;
    case TRunEvent::TKind::Protected:
        FPages.SetCanClose(!event.On);
        Application().SetBusyCursor(event.On);
        break;
    }
}

void TRunPresenter::ShowLines(bool lines, const std::vector<std::wstring>& shown) {
    // A line wider than the list (a long path of the clinic's, a long reason) is not cut off: the list
    // scrolls sideways as far as its widest line.
    // Only a line wider than the list needs the extent, and the list redraws itself whole for each change (up
    // to 13 ms under Wine): it grows by a quarter of the list's width at a time.
    // The run's widest line so far, not only this batch's: a line that fitted stops fitting once the list's
    // vertical bar takes its width.
    if (!shown.empty())
        FWidestLine = std::max(FWidestLine, WidestLine(shown));
    if (FWidestLine > FListExtent) {
        RECT client{};
        ::GetClientRect(FPages.List, &client);
        if (FWidestLine > client.right) {
            FListExtent = FWidestLine + client.right / 4;
            ::SendMessageW(FPages.List, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(FListExtent), 0);
        }
    }
    if (lines)
        ScrollToLine(FPages.List, ::SendMessageW(FPages.List, LB_GETCOUNT, 0, 0) - 1);
}

void TRunPresenter::ApplyEvents() {
    HWND list = FPages.List;
    // A batch of lines is drawn once, and the list scrolled once, to its newest line: drawn line by line,
    // fifty of them held the window for a tenth of a second under Wine. A batch that takes its time leaves
    // the rest for the next turn, so that the window answers in between.
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    bool lines = false;
    std::vector<std::wstring> shown; // the lines added or completed, to widen the list for
    // The turn is timed by the steady clock: the tick count moves in steps of up to 16 ms, a whole frame.
    const auto started = std::chrono::steady_clock::now();
    const bool more = FPump.ApplyBatch(
        [&](const TRunEvent& event) { ApplyEvent(event, lines, shown); },
        [&] { return std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(4); });
    ShowLines(lines, shown);
    FListStale = FListStale || lines;
    // A scroll bar that comes into view changes the list's frame, which is repainted and the list resized at
    // once; with the bar's own drawing after it, that held the window for 17 ms under Wine. The bar is shown
    // in a turn of its own, with the list's drawing still off; the next turn draws the lines.
    if (ShowNeededScrollBars() && ::PostMessageW(FPages.Window, WM_RUN_EVENTS, 0, 0))
        return;
    RedrawList();
    if (more)
        ::PostMessageW(FPages.Window, WM_RUN_EVENTS, 0, 0);
}

bool TRunPresenter::ShowNeededScrollBars() {
    HWND list = FPages.List;
    // Each bar once a run: a list that counted otherwise would hide it again, and it would come back at every
    // batch.
    const auto hidden = [this, list](LONG_PTR bar) {
        return !(FBarsShownAhead & bar) && !(::GetWindowLongPtrW(list, GWL_STYLE) & bar);
    };
    bool shown = false;
    RECT client{};
    ::GetClientRect(list, &client);
    // As the list itself decides: sideways once its widest line is wider than it, down once its lines are
    // more than it holds whole (the sideways bar, come first, may take its last line).
    if (hidden(WS_HSCROLL) && FListExtent > client.right) {
        ::ShowScrollBar(list, SB_HORZ, TRUE);
        FBarsShownAhead |= WS_HSCROLL;
        ::GetClientRect(list, &client);
        shown = true;
    }
    const LRESULT itemHeight = ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (hidden(WS_VSCROLL) && itemHeight > 0 && count > client.bottom / itemHeight) {
        ::ShowScrollBar(list, SB_VERT, TRUE);
        FBarsShownAhead |= WS_VSCROLL;
        shown = true;
    }
    if (shown) {
        // The sideways bar takes the list's last row: the newest line is scrolled back into view. And the
        // list is drawn whole once it draws again, whatever was painted while it did not.
        ScrollToLine(list, count - 1);
        FListStale = true;
    }
    return shown;
}

void TRunPresenter::RedrawList() {
    ::SendMessageW(FPages.List, WM_SETREDRAW, TRUE, 0);
    if (std::exchange(FListStale, false))
        ::InvalidateRect(FPages.List, nullptr, TRUE);
}

TRunAnswer TRunPresenter::Answer(const TRunQuestion& question) {
    RedrawList();
    bool lines = false;
    std::vector<std::wstring> shown;
    // What the run showed before it asked is on the screen before the box.
    return FPump.Answer(
        question, [&](const TRunEvent& event) { ApplyEvent(event, lines, shown); },
        [&](const TRunQuestion& asked) {
            ShowLines(lines, shown);
            ::UpdateWindow(FPages.List);
            TRunAnswer answer;
            switch (asked.Kind) {
            case TRunQuestion::TKind::YesNo:
                answer.Yes = ::AskYesNo(FPages.Window, asked.Text);
                break;
            case TRunQuestion::TKind::Error:
                ShowMessageBox(FPages.Window, asked.Text, TBoxIcon::Error);
                break;
            case TRunQuestion::TKind::FileInUse:
                answer.InUse = AskRetryCancel(FPages.Window, HeldFileQuestion(asked, FRemoving))
                                   ? TInUseAnswer::Retry
                                   : TInUseAnswer::Cancel;
                break;
            }
            return answer;
        });
}

void TRunPresenter::RefuseSessionEnd() {
    if (!FSessionEnd.Refuse())
        return;
    const std::wstring text = SessionEndRefusedText(FRemoving);
    // A line of the window's own, in its place among the run's (the queue numbers them all), and in the log.
    FEvents.Push({TRunEvent::TKind::Line, text});
    ApplyEvents();
    if (FManner.Log)
        RecordWindowLine(*FManner.Log, text);
}

void TRunPresenter::ShowLogPath() {
    if (FManner.LogPath.empty() || !FPages.LogLabel || !::IsWindow(FPages.LogLabel))
        return;
    ::SetWindowTextW(
        FPages.LogLabel,
        ((FRemoving ? L"Журнал удаления: " : L"Журнал установки: ") + Quoted(FManner.LogPath)).c_str());
    ::ShowWindow(FPages.LogLabel, SW_SHOW);
}

void TRunPresenter::Done(int result) {
    RedrawList();
    bool lines = false;
    std::vector<std::wstring> shown;
    FPump.ApplyAll([&](const TRunEvent& event) { ApplyEvent(event, lines, shown); });
    ShowLines(lines, shown);
    FWorker.Join();
    FSessionEnd.RunEnds();
    FExitCode = result;
    Application().SetBusyCursor(false);
    FPages.SetCanClose(true);
    // A worker that never got to its end (the system gave no memory) ended as failed: a stop's row.
    const TRunEnd& end =
        FEnd ? *FEnd : (FRemoving ? RemovalEnd(TRemovalEnd::Stopped) : InstallationEnd(TOutcome::Refused));
    if (end.ExitEnabled)
        ::EnableWindow(FPages.Exit, TRUE);
    ShowLogPath();
    const bool smallFonts = FManner.Policy.SmallFonts && FManner.Policy.SmallFonts();
    const TRunEndStep step = RunEndStep(end, {smallFonts, FManner.Interactive, FState.CloseRequested()});
    if (step.Close) {
        CloseAnswering(FPages.Window);
        return;
    }
    if (step.Box)
        ShowMessageBox(FPages.Window, step.Box, TBoxIcon::Information);
    if (!step.Question) {
        FPages.ShowPage(step.Page);
        return;
    }
    const bool yes = ::AskYesNo(FPages.Window, step.Question);
    if (FManner.Log)
        RecordAnswer(*FManner.Log, step.Question, yes);
    const TWizardStep next = AfterEndQuestion(end, yes, smallFonts);
    if (next.CloseWindow)
        CloseAnswering(FPages.Window);
    else
        FPages.ShowPage(next.Page);
}
