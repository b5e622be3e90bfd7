// How a complete run ends depends on the screen: at 120 dots per inch there is no large-font advice to give,
// so the wizard asks whether to leave. No keeps the progress page with "Выход" enabled.
#include <gtest/gtest.h>

#include "InstallCase.h"
#include "PrefixResolution.h"

namespace e2e {
namespace {

const std::wstring FinalQuestion = L"Установка завершена. Выйти из программы установки?";

class FinalQuestionTest : public InstallCase {};

TEST_F(FinalQuestionTest, AtLargeFontsTheRunEndsWithTheFinalQuestion) {
    TPrefixResolution resolution(120);
    TWizard& wizard = WalkToComponents(FOptions.Medium, Target(L"final-question"));
    wizard.Click(InstallButton);
    TMessageBox driver = wizard.WaitMessageBox(RunTimeout);
    ASSERT_EQ(ToUtf8(driver.Text), ToUtf8(DriverQuestion));
    wizard.Answer(driver, IDNO);

    TMessageBox last;
    const TRunOutcome outcome = wizard.WaitRunEnd(RunTimeout, &last);
    ASSERT_NE(outcome, TRunOutcome::FontPage) << "no large-font advice at 120 dots per inch";
    // "Выход" is enabled just before the question comes up.
    if (outcome == TRunOutcome::ExitEnabled)
        last = wizard.WaitMessageBox(RunTimeout);
    EXPECT_EQ(ToUtf8(last.Text), ToUtf8(FinalQuestion));
    wizard.Screenshot(L"17-final-question.png", last.Handle);
    wizard.Answer(last, IDNO);
    wizard.ExpectPageStays(ProgressPage);
    const std::vector<std::wstring> lines = wizard.ProgressLines();
    EXPECT_NE(FirstLineOf(lines, L"Копирование файла SDecision.Dll....Завершено"), lines.size()) << Joined(lines);

    wizard.Click(Exit);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 0u) << "a complete run ends with 0";
}

} // namespace
} // namespace e2e
