// The installation run and the removal go on a worker thread of their own; the window's thread only paints
// and answers. This host is the worker's side of the window: what the run shows (its lines, its protected
// stretch) is queued and applied by the window's thread in order, at once and without waiting; what it asks
// (a question, an error box, a file held by another program) waits for the window's answer. Portable: the
// window is reached through IRunWindow, which a test fakes.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "install/run/InstallHost.h"

// What the run shows, in the order it showed it.
struct TRunEvent {
    enum class TKind {
        Line,      // Text added
        StepLine,  // Text added; its index is the count of lines before it
        Complete,  // Text (the suffix) appended to line Index
        Protected, // the protected stretch begins (On) or ends
    };
    TKind Kind;
    std::wstring Text = {};
    std::size_t Index = 0;
    bool On = false;
    bool operator==(const TRunEvent&) const = default;
};

// What the run asks; the window shows it over itself and answers.
struct TRunQuestion {
    enum class TKind { YesNo, Error, FileInUse };
    TKind Kind;
    std::wstring Text;                  // the question, the error, or the file that is held
    std::vector<std::wstring> Programs; // the programs that hold the file, as far as the system can tell
};
struct TRunAnswer {
    bool Yes = false;                          // a question's answer
    TInUseAnswer InUse = TInUseAnswer::Cancel; // a held file's
};

// The run's events on their way from the worker to the window's thread.
class TRunEvents {
public:
    // Queues one; true when the queue was empty, so that the window's thread must be woken. A line, the run's
    // or one the window adds of its own (the session's end refused), gets its index in the list here, in
    // `Index` where given: the lines of the run's list, whoever added them (the list is empty as a run
    // begins).
    bool Push(TRunEvent event, std::size_t* Index = nullptr);
    // Everything queued so far, oldest first.
    std::deque<TRunEvent> Take();

private:
    std::mutex FLock;
    std::deque<TRunEvent> FQueue;
    std::size_t FLines = 0;
};

// The window's side of the queue: events applied in order, a batch at a time so that the window answers in
// between; before a question is answered, everything the run showed before it.
class TRunEventPump {
public:
    using TApply = std::function<void(const TRunEvent&)>;
    explicit TRunEventPump(TRunEvents& events) : FEvents(events) {}
    // Applies what is queued, oldest first, until `turnOver` says the window's turn is over (asked after each
    // event); true when events are left for the next turn.
    bool ApplyBatch(const TApply& apply, const std::function<bool()>& turnOver);
    // Applies every event queued so far.
    void ApplyAll(const TApply& apply);
    // The answer to a question of the run, given by `answer` once every event queued before the question
    // has been applied: the user sees what the run showed before it asks.
    TRunAnswer Answer(const TRunQuestion& question, const TApply& apply,
                      const std::function<TRunAnswer(const TRunQuestion&)>& answer);

private:
    TRunEvents& FEvents;
    std::deque<TRunEvent> FPending; // taken from the queue, not applied yet
};

// What both threads read while a run is under way.
class TRunState {
public:
    // The window's close or cancel during the run, on the window's thread: refused (false) during the
    // protected stretch and not remembered; otherwise remembered (true), and the window closes when the run
    // has ended, asking nothing more.
    bool RequestClose() noexcept;
    bool CloseRequested() const noexcept { return FCloseRequested.load(); }
    bool Protected() const noexcept { return FProtected.load(); }
    void SetProtected(bool on) noexcept { FProtected.store(on); }

private:
    std::atomic<bool> FProtected{false};
    std::atomic<bool> FCloseRequested{false};
};

// The window's thread as the worker reaches it.
class IRunWindow {
public:
    virtual ~IRunWindow() = default;
    // Lets the window's thread know that events wait; returns at once.
    virtual void Wake() = 0;
    // Shows the question on the window's thread, once every event queued before it has been applied, and
    // waits for the answer.
    virtual TRunAnswer Ask(const TRunQuestion& question) = 0;
    // The window that owns the shell's dialogs; null where there is none.
    virtual void* Owner() = 0;
};

class TMarshallingHost final : public IInstallHost {
public:
    TMarshallingHost(IRunWindow& window, TRunEvents& events, TRunState& state, bool unattended)
        : FWindow(window), FEvents(events), FState(state), FUnattended(unattended) {}

    void AddLine(const std::wstring& text) override;
    std::size_t AddStepLine(const std::wstring& text) override;
    void CompleteLine(std::size_t index, const std::wstring& suffix) override;
    bool AskYesNo(const std::wstring& text) override;
    void ShowError(const std::wstring& text) override;
    void SetProtected(bool on) override;
    void* OwnerWindow() override { return FWindow.Owner(); }
    bool Unattended() override { return FUnattended; }
    TInUseAnswer FileInUse(const std::wstring& file, const std::vector<std::wstring>& programs) override;

private:
    void Post(TRunEvent event);

    IRunWindow& FWindow;
    TRunEvents& FEvents;
    TRunState& FState;
    bool FUnattended;
};

// The box that asks about a file another program holds (TRunQuestion::TKind::FileInUse), in the words of an
// installation or of a removal.
std::wstring HeldFileQuestion(const TRunQuestion& question, bool removal);

// The run asked to stop where it is, because the session ends (install/run/RunStop.h), and whether it was:
// a question of the run's is then answered by no one.
void StopRun() noexcept;
bool RunStopRequested() noexcept;
