#include "session/RunHost.h"

#include <utility>

#include "install/files/InUseText.h"
#include "install/run/RunStop.h"

bool TRunEvents::Push(TRunEvent event, std::size_t* Index) {
    std::lock_guard<std::mutex> locked(FLock);
    if (event.Kind == TRunEvent::TKind::Line || event.Kind == TRunEvent::TKind::StepLine) {
        event.Index = FLines++;
        if (Index)
            *Index = event.Index;
    }
    FQueue.push_back(std::move(event));
    return FQueue.size() == 1;
}

bool TRunEventPump::ApplyBatch(const TApply& apply, const std::function<bool()>& turnOver) {
    for (TRunEvent& event : FEvents.Take())
        FPending.push_back(std::move(event));
    while (!FPending.empty()) {
        const TRunEvent event = std::move(FPending.front());
        FPending.pop_front();
        apply(event);
        if (turnOver())
            break;
    }
    return !FPending.empty();
}

void TRunEventPump::ApplyAll(const TApply& apply) {
    while (ApplyBatch(apply, [] { return false; })) {
    }
}

TRunAnswer TRunEventPump::Answer(const TRunQuestion& question, const TApply& apply,
                                 const std::function<TRunAnswer(const TRunQuestion&)>& answer) {
    ApplyAll(apply);
    return answer(question);
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
    Post({TRunEvent::TKind::Line, text});
}

std::size_t TMarshallingHost::AddStepLine(const std::wstring& text) {
    std::size_t index = 0;
    if (FEvents.Push({TRunEvent::TKind::StepLine, text}, &index))
        FWindow.Wake();
    return index;
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

void TMarshallingHost::SetProtected(bool on) {
    // At once for the close requests, which the window's thread decides on; the window's own state (its
    // close query, the hourglass) follows in order with the lines.
    FState.SetProtected(on);
    Post({TRunEvent::TKind::Protected, {}, 0, on});
}

TInUseAnswer TMarshallingHost::FileInUse(const std::wstring& file,
                                         const std::vector<std::wstring>& programs) {
    return FWindow.Ask({TRunQuestion::TKind::FileInUse, file, programs}).InUse;
}

std::wstring HeldFileQuestion(const TRunQuestion& question, bool removal) {
    return InUseQuestion(question.Text, question.Programs, removal);
}

void StopRun() noexcept {
    RunStop().Request();
}

bool RunStopRequested() noexcept {
    return RunStop().Requested();
}
