// The run's host for a window on another thread: what the run shows reaches the window in order, with the
// lines' indices the window's list gives them; what it asks waits for the window's answer; a close during
// the run is refused in the protected stretch and otherwise remembered.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "session/RunHost.h"

namespace {

// A window's thread that is busy elsewhere, as the main window under load: a wake is only noted (the posted
// message waits its turn), and a turn applies one event through the window's own pump, leaving the rest for
// later turns; questions are answered through the pump too, noting the list as it was when each was answered.
class TFakeWindow final : public IRunWindow {
public:
    explicit TFakeWindow(TRunEvents& events) : FPump(events) {}

    void Wake() override {
        std::lock_guard<std::mutex> locked(FLock);
        ++FWakes;
    }
    // One turn of the window's: one event applied; true when more wait.
    bool Turn() {
        std::lock_guard<std::mutex> locked(FLock);
        return FPump.ApplyBatch(Applier(), [] { return true; });
    }
    TRunAnswer Ask(const TRunQuestion& question) override {
        std::lock_guard<std::mutex> locked(FLock);
        return FPump.Answer(question, Applier(), [this](const TRunQuestion& asked) {
            ListAtQuestion.push_back(List);
            Questions.push_back(asked.Text);
            TRunAnswer answer;
            answer.Yes = asked.Kind == TRunQuestion::TKind::YesNo;
            answer.InUse = TInUseAnswer::Retry;
            return answer;
        });
    }
    void* Owner() override { return this; }
    // What is left, as the window applies it at the run's end.
    void Drain() {
        std::lock_guard<std::mutex> locked(FLock);
        FPump.ApplyAll(Applier());
    }

    std::vector<std::wstring> List;
    std::vector<std::vector<std::wstring>> ListAtQuestion;
    std::vector<std::wstring> Questions;
    std::vector<TRunEvent::TKind> Others;
    int FWakes = 0;

private:
    TRunEventPump::TApply Applier() {
        return [this](const TRunEvent& event) {
            switch (event.Kind) {
            case TRunEvent::TKind::Line:
            case TRunEvent::TKind::StepLine:
                ASSERT_EQ(event.Index, List.size()) << "a line's index is its place in the list";
                List.push_back(event.Text);
                break;
            case TRunEvent::TKind::Complete:
                List.at(event.Index) += event.Text;
                break;
            default:
                Others.push_back(event.Kind);
            }
        };
    }
    TRunEventPump FPump;
    std::mutex FLock;
};

TEST(RunHost, TheWindowSeesTheRunsLinesInOrderAndAnswersOnlyAfterThem) {
    TRunEvents events;
    TRunState state;
    TFakeWindow window(events);
    std::size_t second = 0;
    bool answer = false;
    TInUseAnswer inUse = TInUseAnswer::GiveUp;
    std::thread worker([&] {
        TMarshallingHost host(window, events, state, false);
        const std::size_t first = host.AddStepLine(L"Создание настроечных файлов....");
        host.AddLine(L"Каталог <DTAfb> создан...");
        second = host.AddStepLine(L"Копирование файла T12.FDB....");
        host.CompleteLine(first, L"Завершено");
        answer = host.AskYesNo(L"Подключите интерфейсный блок?");
        host.CompleteLine(second, L"ОШИБКА!!!");
        inUse = host.FileInUse(L"C:\\Dedira\\fbclient.Dll", {L"Firebird"});
        host.ShowError(L"Ошибка");
    });
    worker.join();
    window.Drain(); // what is left after the last question
    EXPECT_EQ(second, 2u) << "indices count the run's lines";
    EXPECT_TRUE(answer);
    EXPECT_EQ(inUse, TInUseAnswer::Retry);
    EXPECT_EQ(window.List, (std::vector<std::wstring>{L"Создание настроечных файлов....Завершено",
                                                      L"Каталог <DTAfb> создан...",
                                                      L"Копирование файла T12.FDB....ОШИБКА!!!"}));
    ASSERT_EQ(window.ListAtQuestion.size(), 3u);
    ASSERT_EQ(window.ListAtQuestion[0].size(), 3u) << "a question comes after every line shown before it";
    EXPECT_EQ(window.ListAtQuestion[0].back(), L"Копирование файла T12.FDB....")
        << "a question comes after every line shown before it";
    EXPECT_EQ(window.ListAtQuestion[1].back(), L"Копирование файла T12.FDB....ОШИБКА!!!");
    EXPECT_EQ(window.Questions[1], L"C:\\Dedira\\fbclient.Dll");
    EXPECT_TRUE(window.Others.empty());
}

// Lines left over from a turn that ran out of time are shown before the question too.
TEST(RunHost, AQuestionComesAfterTheLinesATurnLeftOver) {
    TRunEvents events;
    TRunState state;
    TFakeWindow window(events);
    TMarshallingHost host(window, events, state, false);
    for (const wchar_t* line : {L"Каталог создан...", L"Каталог <DTAfb> создан...", L"Шрифты"})
        host.AddLine(line);
    EXPECT_TRUE(window.Turn()) << "two lines left for the next turn";
    EXPECT_TRUE(host.AskYesNo(L"Подключите интерфейсный блок?"));
    ASSERT_EQ(window.ListAtQuestion.size(), 1u);
    EXPECT_EQ(window.ListAtQuestion[0].size(), 3u);
}

TEST(RunHost, ACloseIsRefusedInTheProtectedStretchAndRememberedOutsideIt) {
    TRunEvents events;
    TRunState state;
    TFakeWindow window(events);
    TMarshallingHost host(window, events, state, true);
    EXPECT_TRUE(host.Unattended());
    {
        TProtectedStretch stretch(host);
        EXPECT_FALSE(state.RequestClose()) << "refused";
        EXPECT_FALSE(state.CloseRequested()) << "and not remembered";
    }
    EXPECT_TRUE(state.RequestClose());
    EXPECT_TRUE(state.CloseRequested());
    window.Drain();
    EXPECT_EQ(window.Others,
              (std::vector<TRunEvent::TKind>{TRunEvent::TKind::Protected, TRunEvent::TKind::Protected}));
}

// A line the window adds of its own while the run goes on (the session's end refused) takes its place in the
// list, and the run's later lines and completions keep theirs.
TEST(RunHost, TheWindowsOwnLineKeepsTheRunsLinesInPlace) {
    TRunEvents events;
    TRunState state;
    TFakeWindow window(events);
    TMarshallingHost host(window, events, state, false);
    const std::size_t first = host.AddStepLine(L"Копирование файла T12.FDB....");
    events.Push({TRunEvent::TKind::Line, L"Завершение сеанса Windows отложено"});
    const std::size_t second = host.AddStepLine(L"Копирование файла fbclient.Dll....");
    host.CompleteLine(second, L"Завершено");
    host.CompleteLine(first, L"Завершено");
    window.Drain();
    EXPECT_EQ(window.List, (std::vector<std::wstring>{L"Копирование файла T12.FDB....Завершено",
                                                      L"Завершение сеанса Windows отложено",
                                                      L"Копирование файла fbclient.Dll....Завершено"}));
}

TEST(RunHost, EventsWakeTheWindowOncePerBatch) {
    TRunEvents events;
    EXPECT_TRUE(events.Push({TRunEvent::TKind::Line, L"a"}));
    EXPECT_FALSE(events.Push({TRunEvent::TKind::Line, L"b"})) << "the window is woken already";
    EXPECT_EQ(events.Take().size(), 2u);
    EXPECT_TRUE(events.Push({TRunEvent::TKind::Line, L"c"}));
}

} // namespace
