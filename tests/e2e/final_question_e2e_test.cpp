// How a run ends, one case per end a user meets: a complete one at 120 dots per inch has no large-font advice
// to give, so the wizard asks whether to leave, and No keeps the progress page with "Выход" enabled; one that
// did not complete says so in its last question, over the list that names what went wrong, even on a screen
// with small fonts, and the large-font advice follows only when the user stays. Either way the log has the
// question with its answer, and the advice wherever the run would have shown it.
#include <gtest/gtest.h>

#include "InstallCase.h"
#include "PrefixResolution.h"

namespace e2e {
namespace {

const std::wstring FinalQuestion = L"Установка завершена. Выйти из программы установки?";
const std::wstring IncompleteQuestion =
    L"Установка завершена с ошибками: они указаны в списке. Выйти из программы установки?";
const std::wstring Advice =
    L"Сведения: Экран работает с мелким шрифтом (меньше 100 точек на дюйм): рекомендуется крупный шрифт";

class FinalQuestionTest : public InstallCase {};

TEST_F(FinalQuestionTest, EachEndAsksItsQuestionAndShowsItsPage) {
    struct TCase {
        const wchar_t* Name;
        int Dpi;
        bool ScriptFails; // the newest package's script ends with 5: the run does not complete
        const std::wstring* Question;
        bool Leave;               // the answer: Yes
        const std::wstring* Then; // the page after the answer; null: the window closes
        DWORD ExitCode;
        const wchar_t* Shot;
    };
    const TCase cases[] = {
        {L"complete", 120, false, &FinalQuestion, false, &ProgressPage, 0, L"17-final-question.png"},
        {L"incomplete", 96, true, &IncompleteQuestion, false, &FontPage, 1603, L"21-incomplete-question.png"},
        {L"incomplete-left", 96, true, &IncompleteQuestion, true, nullptr, 1603, nullptr},
    };
    TMediumBuilder failing(FOptions.Medium, TempPath(L"tessaro-e2e-medium-failing-script"));
    FCleanUp.push_back(failing.Folder());
    failing.WriteFile(std::wstring(medium::Backup) + L"\\" + medium::NewestPackage + L"\\Install.cmd",
                      "@echo off\r\nexit /b 5\r\n");
    for (const TCase& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Name));
        TPrefixResolution resolution(c.Dpi);
        const std::wstring log = LogPath(c.Name);
        TWizard& wizard = WalkToComponents(c.ScriptFails ? failing.Folder() : FOptions.Medium, Target(c.Name),
                                           {}, L"/LOG=" + Quoted(log));
        wizard.Click(InstallButton);
        TMessageBox driver = wizard.WaitMessageBox(RunTimeout);
        ASSERT_EQ(ToUtf8(driver.Text), ToUtf8(DriverQuestion));
        wizard.Answer(driver, IDNO);

        TMessageBox last;
        const TRunOutcome outcome = wizard.WaitRunEnd(RunTimeout, &last);
        ASSERT_NE(outcome, TRunOutcome::FontPage) << "no advice page over the question";
        // "Выход" is enabled just before the question comes up.
        if (outcome == TRunOutcome::ExitEnabled)
            last = wizard.WaitMessageBox(RunTimeout);
        EXPECT_EQ(ToUtf8(last.Text), ToUtf8(*c.Question));
        const std::vector<std::wstring> lines = wizard.ProgressLines();
        if (c.ScriptFails) {
            EXPECT_EQ(ToUtf8(lines.back()),
                      ToUtf8(L"Пакет выпуска «R010321» не установлен: сценарий завершился с кодом 5"));
            EXPECT_TRUE(wizard.LastProgressLineInView());
            EXPECT_EQ(wizard.ProgressLinesOverhang(), 0) << Joined(lines);
        } else {
            EXPECT_NE(FirstLineOf(lines, L"Копирование файла SDecision.Dll....Завершено"), lines.size())
                << Joined(lines);
        }
        if (c.Shot)
            wizard.Screenshot(c.Shot, last.Handle);
        wizard.Answer(last, c.Leave ? IDYES : IDNO);
        if (c.Then) {
            if (*c.Then == ProgressPage)
                wizard.ExpectPageStays(ProgressPage);
            else
                wizard.WaitPage(*c.Then);
            wizard.Click(Exit);
        }
        EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), c.ExitCode);
        const std::vector<std::wstring> entries = ReadRunLog(log);
        EXPECT_TRUE(LogHas(entries, L"Вопрос: " + *c.Question + (c.Leave ? L" Ответ: Да" : L" Ответ: Нет")))
            << Joined(entries);
        EXPECT_EQ(LogHas(entries, Advice), c.Dpi < 100) << Joined(entries);
    }
}

} // namespace
} // namespace e2e
