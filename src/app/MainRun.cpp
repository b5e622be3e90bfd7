// The main window's side of a run on the worker thread: starting it, applying what it shows in order,
// answering what it asks with boxes over the window, and its end.
#include <algorithm>
#include <vector>

#include "app/Main.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/InUseText.h"
#include "session/InstallSession.h"
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

// The widest of `lines` in the list's font, with the margins the list leaves on either side.
int WidestLine(HWND list, const std::vector<std::wstring>& lines) {
    TWindowDC dc(list);
    TSelectObject select(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const std::wstring& line : lines) {
        SIZE extent{};
        if (::GetTextExtentPoint32W(dc.Get(), line.c_str(), static_cast<int>(line.size()), &extent))
            widest = std::max<int>(widest, extent.cx + 4);
    }
    return widest;
}

} // namespace

void TFMain::ClearRunList() {
    ::SendMessageW(FPages.LogList, LB_RESETCONTENT, 0, 0);
    ::SendMessageW(FPages.LogList, LB_SETHORIZONTALEXTENT, 0, 0);
    FListExtent = 0;
    ::ShowWindow(FPages.LogList, SW_SHOW);
}

void TFMain::StartRun(std::function<int(IInstallHost&)> run) {
    // One run per start: a second click that came before the run showed its page starts nothing.
    if (FRunStarted)
        return;
    FRunStarted = true;
    FExitCode = ecRunFailed;
    FWorker.Start(
        Handle(),
        [this, run = std::move(run)] {
            TWindowPort port(Handle());
            TMarshallingHost host(port, FRunEvents, FRunState, false);
            return run(host);
        },
        ecRunFailed, FRemoving ? L"Не удалось начать удаление" : L"Не удалось начать установку");
    FSessionEnd.RunStarts(Handle(), SessionEndReason(FRemoving));
}

void TFMain::ApplyRunEvent(const TRunEvent& event, bool& lines, std::vector<std::wstring>& shown) {
    HWND list = FPages.LogList;
    lines = lines || event.Kind == TRunEvent::TKind::Line || event.Kind == TRunEvent::TKind::StepLine ||
            event.Kind == TRunEvent::TKind::Complete;
    switch (event.Kind) {
    case TRunEvent::TKind::ProgressPage:
        ShowProgressPage();
        break;
    case TRunEvent::TKind::Line:
    case TRunEvent::TKind::StepLine:
        // The run names the suite's files in full, for its log; the list names them from its folder.
        shown.push_back(QuotedPathsBelow(event.Text, FListFolder));
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.back().c_str()));
        break;
    case TRunEvent::TKind::Complete:
        shown.push_back(CompleteListLine(list, event.Index, event.Text));
        break;
    case TRunEvent::TKind::Protected:
        FCanClose = !event.On;
        Application().SetBusyCursor(event.On);
        break;
    case TRunEvent::TKind::ExitEnabled:
        ::EnableWindow(FPages.BtnExit, TRUE);
        break;
    case TRunEvent::TKind::LargeFontPage:
        // An unattended window closes right after the run: the advice stays in the run log.
        if (FCommandLine.Mode == TUiMode::Interactive)
            Apply(NextStep(FPage, TWizardEvent::RunCompletedSmallFonts, FCanClose));
        break;
    case TRunEvent::TKind::Close:
        FCloseAfterRun = true;
        break;
    }
}

void TFMain::WidenRunList(const std::vector<std::wstring>& shown) {
    // A line wider than the list (a long path of the clinic's, a long reason) is not cut off: the list
    // scrolls sideways as far as its widest line.
    if (const int widest = shown.empty() ? 0 : WidestLine(FPages.LogList, shown); widest > FListExtent) {
        FListExtent = widest;
        ::SendMessageW(FPages.LogList, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(FListExtent), 0);
    }
}

void TFMain::ApplyRunEvents() {
    HWND list = FPages.LogList;
    // A batch of lines is drawn once, and the list scrolled once, to its newest line: drawn line by line,
    // fifty of them held the window for a tenth of a second under Wine. A batch that takes its time leaves
    // the rest for the next turn, so that the window answers in between.
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    bool lines = false;
    std::vector<std::wstring> shown; // the lines added or completed, to widen the list for
    const ULONGLONG started = ::GetTickCount64();
    const bool more =
        FRunEventPump.ApplyBatch([&](const TRunEvent& event) { ApplyRunEvent(event, lines, shown); },
                                 [&] { return ::GetTickCount64() - started >= 8; });
    WidenRunList(shown);
    if (lines)
        ScrollToLine(list, ::SendMessageW(list, LB_GETCOUNT, 0, 0) - 1);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    if (lines)
        ::InvalidateRect(list, nullptr, TRUE);
    if (more)
        ::PostMessageW(Handle(), WM_RUN_EVENTS, 0, 0);
}

TRunAnswer TFMain::AnswerRun(const TRunQuestion& question) {
    bool lines = false;
    std::vector<std::wstring> shown;
    // What the run showed before it asked is on the screen before the box.
    return FRunEventPump.Answer(
        question, [&](const TRunEvent& event) { ApplyRunEvent(event, lines, shown); },
        [&](const TRunQuestion& asked) {
            HWND list = FPages.LogList;
            WidenRunList(shown);
            if (lines)
                ScrollToLine(list, ::SendMessageW(list, LB_GETCOUNT, 0, 0) - 1);
            ::UpdateWindow(list);
            TRunAnswer answer;
            switch (asked.Kind) {
            case TRunQuestion::TKind::YesNo:
                answer.Yes = ::AskYesNo(Handle(), asked.Text);
                break;
            case TRunQuestion::TKind::Error:
                ShowMessageBox(Handle(), asked.Text, TBoxIcon::Error);
                break;
            case TRunQuestion::TKind::FileInUse:
                answer.InUse = AskRetryCancel(Handle(), InUseQuestion(asked.Text, asked.Programs, FRemoving))
                                   ? TInUseAnswer::Retry
                                   : TInUseAnswer::Cancel;
                break;
            }
            return answer;
        });
}

void TFMain::RefuseSessionEnd() {
    if (!FSessionEnd.Refuse())
        return;
    const std::wstring text = SessionEndRefusedText(FRemoving);
    // A line of the window's own, in its place among the run's (the queue numbers them all), and in the log.
    FRunEvents.Push({TRunEvent::TKind::Line, text});
    ApplyRunEvents();
    if (FRunLog)
        FRunLog->Write(std::wstring(RunLogTag::Line) + text);
}

void TFMain::RunDone(int result) {
    bool lines = false;
    std::vector<std::wstring> shown;
    FRunEventPump.ApplyAll([&](const TRunEvent& event) { ApplyRunEvent(event, lines, shown); });
    WidenRunList(shown);
    if (lines)
        ScrollToLine(FPages.LogList, ::SendMessageW(FPages.LogList, LB_GETCOUNT, 0, 0) - 1);
    FWorker.Join();
    FSessionEnd.RunEnds();
    FExitCode = result;
    Application().SetBusyCursor(false);
    FCanClose = true;
    // A removal always ends with "Выход"; an installation that an error ended keeps it disabled, as the run
    // left it, and the window's own close leaves.
    if (FRemoving)
        ::EnableWindow(FPages.BtnExit, TRUE);
    ShowRunLogPath();
    const bool interactive = FCommandLine.Mode == TUiMode::Interactive;
    if (FRemoving && FRemovalEnd == TRemovalEnd::Completed && interactive && !FCommandLine.SuppressMsgBoxes &&
        !FRunState.CloseRequested())
        ShowMessageBox(Handle(), UninstallText::Done, TBoxIcon::Information);
    // An unattended window has no one to leave it; a close asked for during the run, or the run's own, is
    // carried out now; a declined removal has nothing more to show.
    if (!interactive || FCloseAfterRun || FRunState.CloseRequested() ||
        (FRemoving && FRemovalEnd == TRemovalEnd::Declined))
        ::DestroyWindow(Handle());
}
