#include <gtest/gtest.h>

#include "app/WizardState.h"

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
        {P::tsProgressInstall, E::RunCompletedSmallFonts, P::tsChangeFontSize, false, false},
        {P::tsProgressInstall, E::RunCompletedQuit, P::tsProgressInstall, true, false},
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
    EXPECT_FALSE(NextStep(P::tsProgressInstall, E::RunCompletedQuit, false).CloseWindow);
    EXPECT_FALSE(PageHasCancel(P::tsProgressInstall));
    EXPECT_TRUE(PageHasCancel(P::tsInputComponents));
}
