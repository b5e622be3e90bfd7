// The run's host for a window on another thread: what the run shows reaches the window in order, with the
// lines' indices the window's list gives them; what it asks waits for the window's answer; a close during
// the run is refused in the protected stretch and otherwise remembered.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "session/RunHost.h"

namespace {

// A window's thread: it applies the events it is woken for to a list, as the main window does, and answers
// questions from a script, noting the list as it was when each question came.
class TFakeWindow final : public IRunWindow {
public:
    explicit TFakeWindow(TRunEvents& events) : FEvents(events) {}

    void Wake() override {
        std::lock_guard<std::mutex> locked(FLock);
        ++FWakes;
        Apply();
    }
    TRunAnswer Ask(const TRunQuestion& question) override {
        std::lock_guard<std::mutex> locked(FLock);
        Apply(); // the window applies what came before the question first
        ListAtQuestion.push_back(List);
        Questions.push_back(question.Text);
        TRunAnswer answer;
        answer.Yes = question.Kind == TRunQuestion::TKind::YesNo;
        answer.InUse = TInUseAnswer::Retry;
        return answer;
    }
    void* Owner() override { return this; }

    std::vector<std::wstring> List;
    std::vector<std::vector<std::wstring>> ListAtQuestion;
    std::vector<std::wstring> Questions;
    std::vector<TRunEvent::TKind> Others;
    int FWakes = 0;

private:
    void Apply() {
        for (const TRunEvent& event : FEvents.Take()) {
            switch (event.Kind) {
            case TRunEvent::TKind::ProgressPage:
                List.clear();
                break;
            case TRunEvent::TKind::Line:
            case TRunEvent::TKind::StepLine:
                List.push_back(event.Text);
                break;
            case TRunEvent::TKind::Complete:
                List.at(event.Index) += event.Text;
                break;
            default:
                Others.push_back(event.Kind);
            }
        }
    }
    TRunEvents& FEvents;
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
        host.AddLine(L"earlier run");
        host.ShowProgressPage();
        const std::size_t first = host.AddStepLine(L"Создание настроечных файлов....");
        host.AddLine(L"Каталог <DTAfb> создан...");
        second = host.AddStepLine(L"Копирование файла T12.FDB....");
        host.CompleteLine(first, L"Завершено");
        answer = host.AskYesNo(L"Подключите интерфейсный блок?");
        host.CompleteLine(second, L"ОШИБКА!!!");
        inUse = host.FileInUse(L"C:\\Dedira\\fbclient.Dll", {L"Firebird"});
        host.ShowError(L"Ошибка");
        host.EnableExit();
        host.CloseWindow();
    });
    worker.join();
    window.Wake(); // what is left after the last question
    EXPECT_EQ(second, 2u) << "indices count the lines since the progress page";
    EXPECT_TRUE(answer);
    EXPECT_EQ(inUse, TInUseAnswer::Retry);
    EXPECT_EQ(window.List, (std::vector<std::wstring>{L"Создание настроечных файлов....Завершено",
                                                      L"Каталог <DTAfb> создан...",
                                                      L"Копирование файла T12.FDB....ОШИБКА!!!"}));
    ASSERT_EQ(window.ListAtQuestion.size(), 3u);
    EXPECT_EQ(window.ListAtQuestion[0].back(), L"Копирование файла T12.FDB....")
        << "a question comes after every line shown before it";
    EXPECT_EQ(window.ListAtQuestion[1].back(), L"Копирование файла T12.FDB....ОШИБКА!!!");
    EXPECT_EQ(window.Questions[1], L"C:\\Dedira\\fbclient.Dll");
    EXPECT_EQ(window.Others,
              (std::vector<TRunEvent::TKind>{TRunEvent::TKind::ExitEnabled, TRunEvent::TKind::Close}));
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
        EXPECT_FALSE(host.CloseRequested()) << "and not remembered";
    }
    EXPECT_TRUE(state.RequestClose());
    EXPECT_TRUE(host.CloseRequested());
    window.Wake();
    EXPECT_EQ(window.Others,
              (std::vector<TRunEvent::TKind>{TRunEvent::TKind::Protected, TRunEvent::TKind::Protected}));
}

TEST(RunHost, EventsWakeTheWindowOncePerBatch) {
    TRunEvents events;
    EXPECT_TRUE(events.Push({TRunEvent::TKind::Line, L"a"}));
    EXPECT_FALSE(events.Push({TRunEvent::TKind::Line, L"b"})) << "the window is woken already";
    EXPECT_EQ(events.Take().size(), 2u);
    EXPECT_TRUE(events.Push({TRunEvent::TKind::Line, L"c"}));
}

} // namespace
