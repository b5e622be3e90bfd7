#include "session/RunHost.h"

#include <utility>

bool TRunEvents::Push(TRunEvent event) {
    std::lock_guard<std::mutex> locked(FLock);
    FQueue.push_back(std::move(event));
    return FQueue.size() == 1;
}

std::deque<TRunEvent> TRunEvents::Take() {
    std::lock_guard<std::mutex> locked(FLock);
    return std::exchange(FQueue, {});
}

bool TRunState::RequestClose() noexcept {
    if (FProtected.load())
        return false;
    FCloseRequested.store(true);
    return true;
}

void TMarshallingHost::Post(TRunEvent event) {
    if (FEvents.Push(std::move(event)))
        FWindow.Wake();
}

void TMarshallingHost::AddLine(const std::wstring& text) {
    ++FLines;
    Post({TRunEvent::TKind::Line, text});
}

std::size_t TMarshallingHost::AddStepLine(const std::wstring& text) {
    Post({TRunEvent::TKind::StepLine, text, FLines});
    return FLines++;
}

void TMarshallingHost::CompleteLine(std::size_t index, const std::wstring& suffix) {
    Post({TRunEvent::TKind::Complete, suffix, index});
}

bool TMarshallingHost::AskYesNo(const std::wstring& text) {
    return FWindow.Ask({TRunQuestion::TKind::YesNo, text, {}}).Yes;
}

void TMarshallingHost::ShowError(const std::wstring& text) {
    FWindow.Ask({TRunQuestion::TKind::Error, text, {}});
}

void TMarshallingHost::ShowProgressPage() {
    FLines = 0;
    Post({TRunEvent::TKind::ProgressPage});
}

void TMarshallingHost::SetProtected(bool on) {
    // At once for the close requests, which the window's thread decides on; the window's own state (its
    // close query, the hourglass) follows in order with the lines.
    FState.SetProtected(on);
    Post({TRunEvent::TKind::Protected, {}, 0, on});
}

void TMarshallingHost::EnableExit() {
    Post({TRunEvent::TKind::ExitEnabled});
}

void TMarshallingHost::ShowLargeFontPage() {
    Post({TRunEvent::TKind::LargeFontPage});
}

void TMarshallingHost::CloseWindow() {
    Post({TRunEvent::TKind::Close});
}

TInUseAnswer TMarshallingHost::FileInUse(const std::wstring& file,
                                         const std::vector<std::wstring>& programs) {
    return FWindow.Ask({TRunQuestion::TKind::FileInUse, file, programs}).InUse;
}
