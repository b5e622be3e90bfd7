// How a run ends: a complete one at 120 dots per inch has no large-font advice to give, so the wizard asks
// whether to leave, and No keeps the progress page with "Выход" enabled; one that did not complete says so.
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
    EXPECT_NE(FirstLineOf(lines, L"Копирование файла SDecision.Dll....Завершено"), lines.size())
        << Joined(lines);

    wizard.Click(Exit);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 0u) << "a complete run ends with 0";
}

// A run that did not complete says so in its last question, over the list that names what went wrong, even on
// a screen with small fonts: the large-font advice follows only when the user stays. It ends with 1603.
TEST_F(FinalQuestionTest, AnIncompleteRunAsksOverItsListBeforeTheLargeFontAdvice) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-failing-script"));
    FCleanUp.push_back(medium.Folder());
    medium.WriteFile(std::wstring(medium::Backup) + L"\\" + medium::NewestPackage + L"\\Install.cmd",
                     "@echo off\r\nexit /b 5\r\n");
    TWizard& wizard = WalkToComponents(medium.Folder(), Target(L"incomplete"));
    wizard.Click(InstallButton);
    wizard.Answer(wizard.WaitMessageBox(RunTimeout), IDNO);
    TMessageBox last;
    ASSERT_EQ(wizard.WaitRunEnd(RunTimeout, &last), TRunOutcome::MessageBox)
        << "no advice page over the list";
    EXPECT_EQ(ToUtf8(last.Text),
              ToUtf8(L"Установка завершена с ошибками: они указаны в списке. Выйти из программы установки?"));
    const std::vector<std::wstring> lines = wizard.ProgressLines();
    EXPECT_EQ(ToUtf8(lines.back()),
              ToUtf8(L"Пакет выпуска «R010321» не установлен: сценарий завершился с кодом 5"));
    EXPECT_TRUE(wizard.LastProgressLineInView());
    EXPECT_EQ(wizard.ProgressLinesOverhang(), 0) << Joined(lines);
    wizard.Screenshot(L"21-incomplete-question.png", last.Handle);
    wizard.Answer(last, IDNO);
    wizard.WaitPage(FontPage);
    wizard.Click(Exit);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
}

} // namespace
} // namespace e2e
