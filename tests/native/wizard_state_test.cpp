// The wizard's page table, and the end of a run: each outcome of the installation and of the removal once,
// with its exit code, its last line, and what the window then does at large and at small fonts, with someone
// there and without.
#include <gtest/gtest.h>

#include "app/WizardState.h"
#include "session/CommandLine.h"

namespace {
using E = TWizardEvent;
using P = TPage;

struct TRow {
    P From;
    E Event;
    P To;
    bool Close;
    bool Focus;
};
} // namespace

TEST(WizardState, FollowsThePageTable) {
    const TRow table[] = {
        {P::tsStart, E::Created, P::tsStart, false, false},
        {P::tsStart, E::Next, P::tsInputPath, false, true},
        {P::tsInputPath, E::PathAccepted, P::tsInputComponents, false, false},
        {P::tsInputPath, E::PathRefused, P::tsInputPath, false, true},
        {P::tsInputComponents, E::Back, P::tsInputPath, false, false},
        {P::tsInputComponents, E::Install, P::tsProgressInstall, false, false},
        {P::tsStart, E::CancelConfirmed, P::tsCancel, false, false},
        {P::tsInputPath, E::CancelConfirmed, P::tsCancel, false, false},
        {P::tsInputComponents, E::CancelConfirmed, P::tsCancel, false, false},
        {P::tsCancel, E::Exit, P::tsCancel, true, false},
        {P::tsChangeFontSize, E::Exit, P::tsChangeFontSize, true, false},
    };
    for (const TRow& row : table) {
        const TWizardStep step = NextStep(row.From, row.Event, true);
        EXPECT_EQ(step.Page, row.To) << static_cast<int>(row.From) << " / " << static_cast<int>(row.Event);
        EXPECT_EQ(step.CloseWindow, row.Close)
            << static_cast<int>(row.From) << " / " << static_cast<int>(row.Event);
        EXPECT_EQ(step.FocusPath, row.Focus)
            << static_cast<int>(row.From) << " / " << static_cast<int>(row.Event);
    }
}

TEST(WizardState, EventsThatDoNotBelongToThePageChangeNothing) {
    // Once the run has started, nothing leads back to a page with the install button.
    for (E event : {E::Next, E::PathAccepted, E::Back, E::Install, E::CancelConfirmed}) {
        EXPECT_EQ(NextStep(P::tsProgressInstall, event, true).Page, P::tsProgressInstall);
        EXPECT_EQ(NextStep(P::tsCancel, event, true).Page, P::tsCancel);
    }
    EXPECT_EQ(NextStep(P::tsStart, E::Back, true).Page, P::tsStart);
    EXPECT_EQ(NextStep(P::tsInputComponents, E::Next, true).Page, P::tsInputComponents);
}

TEST(WizardState, ClosingHonoursCanCloseAndTheDisabledExit) {
    for (P page : {P::tsStart, P::tsInputPath, P::tsInputComponents, P::tsProgressInstall, P::tsCancel}) {
        EXPECT_TRUE(NextStep(page, E::CloseCommand, true).CloseWindow);
        EXPECT_FALSE(NextStep(page, E::CloseCommand, false).CloseWindow);
    }
    EXPECT_FALSE(NextStep(P::tsProgressInstall, E::Exit, true, false).CloseWindow);
    EXPECT_TRUE(NextStep(P::tsProgressInstall, E::Exit, true, true).CloseWindow);
    EXPECT_FALSE(PageHasCancel(P::tsProgressInstall));
    EXPECT_TRUE(PageHasCancel(P::tsInputComponents));
}

namespace {

const std::wstring Final = L"Установка завершена. Выйти из программы установки?";
const std::wstring Incomplete =
    L"Установка завершена с ошибками: они указаны в списке. Выйти из программы установки?";

std::wstring Text(const wchar_t* text) {
    return text ? text : L"(none)";
}

// What the window does at a run's end with someone there, at large (120 dpi) and at small (96) fonts: the
// question it asks (none: ""), the page it shows without a question or after a No; whether it closes at once.
struct TEndCase {
    const char* Name;
    const TRunEnd& End;
    int ExitCode;
    std::wstring Line; // "" for none
    bool ExitEnabled;
    std::wstring Box;
    std::wstring LargeQuestion;
    P LargePage;
    std::wstring SmallQuestion;
    P SmallPage;
    bool Leaves = false;
};

} // namespace

TEST(RunEnd, EachOutcomeHasItsCodeLineQuestionAndPage) {
    const P progress = P::tsProgressInstall, advice = P::tsChangeFontSize;
    const std::wstring stopped = L"Установка прервана после копирования файлов из-за ошибки.";
    const std::wstring removed = L"Удаление комплекса «Тессаро-Холтер» завершено.";
    const TEndCase cases[] = {
        // A complete run asks whether to leave; at small fonts the advice page ends it instead.
        {"completed", InstallationEnd(TOutcome::Completed), 0, L"", true, L"", Final, progress, L"", advice},
        // One that did not complete asks first, over its list; the advice follows a No.
        {"incomplete", InstallationEnd(TOutcome::Incomplete), 1603, L"", true, L"", Incomplete, progress,
         Incomplete, advice},
        // A run that ended early keeps its list, and "Выход" disabled: the advice is for an installed suite.
        {"undone", InstallationEnd(TOutcome::Undone), 1603, L"", false, L"", L"", progress, L"", progress},
        {"not fully undone", InstallationEnd(TOutcome::NotFullyUndone), 1603, L"", false, L"", L"", progress,
         L"", progress},
        {"stopped after the commit", InstallationEnd(TOutcome::Stopped), 1603, stopped, false, L"", L"",
         progress, L"", progress},
        {"cancelled", InstallationEnd(TOutcome::Cancelled), 1603, L"", false, L"", L"", progress, L"",
         progress},
        {"refused", InstallationEnd(TOutcome::Refused), 1603, L"", false, L"", L"", progress, L"", progress},
        {"busy", InstallationEnd(TOutcome::Busy), 1618, L"", false, L"", L"", progress, L"", progress},
        // A removal ends with "Выход", and a box when it removed the suite; declined, the window goes.
        {"removed", RemovalEnd(TRemovalEnd::Completed), 0, L"", true, removed, L"", progress, L"", progress},
        {"nothing to remove", RemovalEnd(TRemovalEnd::NothingToRemove), 0, L"", true, L"", L"", progress, L"",
         progress},
        {"removal declined", RemovalEnd(TRemovalEnd::Declined), 1602, L"", false, L"", L"", progress, L"",
         progress, true},
        {"removal incomplete", RemovalEnd(TRemovalEnd::Incomplete), 1603, L"", true, L"", L"", progress, L"",
         progress},
        {"removal beside another run", RemovalEnd(TRemovalEnd::Busy), 1618, L"", true, L"", L"", progress,
         L"", progress},
        {"removal stopped", RemovalEnd(TRemovalEnd::Stopped), 1603, L"", true, L"", L"", progress, L"",
         progress},
    };
    for (const TEndCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.End.ExitCode, c.ExitCode);
        EXPECT_EQ(c.End.Line ? c.End.Line : L"", c.Line);
        EXPECT_EQ(c.End.ExitEnabled, c.ExitEnabled);
        for (const bool small : {false, true}) {
            SCOPED_TRACE(small ? "small fonts" : "large fonts");
            const TRunEndStep step = RunEndStep(c.End, {small, true, false});
            EXPECT_EQ(step.Close, c.Leaves);
            if (c.Leaves)
                continue;
            EXPECT_EQ(Text(step.Box), c.Box.empty() ? L"(none)" : c.Box);
            const std::wstring& question = small ? c.SmallQuestion : c.LargeQuestion;
            const P page = small ? c.SmallPage : c.LargePage;
            EXPECT_EQ(Text(step.Question), question.empty() ? L"(none)" : question);
            if (question.empty()) {
                EXPECT_EQ(step.Page, page);
                continue;
            }
            EXPECT_EQ(AfterEndQuestion(c.End, false, small).Page, page) << "No stays";
            EXPECT_FALSE(AfterEndQuestion(c.End, false, small).CloseWindow);
            EXPECT_TRUE(AfterEndQuestion(c.End, true, small).CloseWindow) << "Yes leaves";
        }
        // With no one there to answer, or a close asked for during the run, the window goes at once: no
        // question, no box, no page.
        EXPECT_TRUE(RunEndStep(c.End, {true, false, false}).Close);
        EXPECT_TRUE(RunEndStep(c.End, {false, true, true}).Close);
    }
}
