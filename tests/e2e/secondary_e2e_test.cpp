// The wizard's secondary windows and the large-font page, driven from outside like the main walk. The
// large-font page comes only after an installation run; these tests reach it, and replace the system calls
// behind it, through the test build's hooks (environment variables, tests/seams/TestSeams.h), so that nothing
// ever changes the fonts or restarts the machine.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "WizardDriver.h"
#include "WizardTexts.h"

using namespace e2e;

namespace {

const std::wstring ChangeSettings = L"Изменить настройки";

const std::wstring DriverNotice = L"Внимание!\r Если на вашем компьютере уже установлен комплекс "
                                  L"\"Тессаро-Холтер\",\r снимите галочку установки драйвера!";
const std::wstring RestartQuestion = L"Изменения в настройки внесены, для того чтобы они\r\nвступили в силу, "
                                     L"требуется перзагрузить операционную систему.\r\nВыполнить "
                                     L"перезагрузку сейчас?";
const std::wstring FontChangeFailed =
    L"Не удалось изменить размер шрифта автоматически.\r\nУстановите крупный размер шрифта (120 точек на "
    L"дюйм) в настройках экрана Windows и перезагрузите компьютер.";

std::wstring TempPath(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, temp);
    return JoinPath(std::wstring(temp, length), name);
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class SecondaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        FOptions = ReadOptions();
        ASSERT_FALSE(FOptions.Medium.empty())
            << "give the medium folder: --medium=<folder> or TESSARO_MEDIUM";
        FExe = JoinPath(FOptions.Medium, L"Setup.exe");
        ASSERT_NE(::GetFileAttributesW(FExe.c_str()), INVALID_FILE_ATTRIBUTES) << "no " << ToUtf8(FExe);
        if (!FOptions.Shots.empty())
            ::CreateDirectoryW(FOptions.Shots.c_str(), nullptr);
        FWorkingFolder = TempPath(L"tessaro-e2e-cwd");
        ::CreateDirectoryW(FWorkingFolder.c_str(), nullptr);
        FRecord = TempPath(L"tessaro-e2e-system-calls.txt");
        ::DeleteFileW(FRecord.c_str());
    }

    void TearDown() override {
        FWizard.reset();
        for (const wchar_t* name :
             {L"TESSARO_E2E_LARGE_FONTS_PAGE", L"TESSARO_E2E_SYSTEM_CALLS", L"TESSARO_E2E_SYSTEM_RECORD"})
            ::SetEnvironmentVariableW(name, nullptr);
        ::DeleteFileW(FRecord.c_str());
    }

    TWizard& Launch() {
        FWizard = std::make_unique<TWizard>(FExe, FWorkingFolder, FOptions.Shots);
        FWizard->WaitMainWindow();
        return *FWizard;
    }

    // The large-font page with the system's set-up function `calls` ("absent" or "succeeds").
    TWizard& StartOnFontPage(const wchar_t* calls) {
        ::SetEnvironmentVariableW(L"TESSARO_E2E_LARGE_FONTS_PAGE", L"1");
        ::SetEnvironmentVariableW(L"TESSARO_E2E_SYSTEM_CALLS", calls);
        ::SetEnvironmentVariableW(L"TESSARO_E2E_SYSTEM_RECORD", FRecord.c_str());
        TWizard& wizard = Launch();
        wizard.WaitPage(FontPage, StartTimeout);
        return wizard;
    }

    TOptions FOptions;
    std::wstring FExe;
    std::wstring FWorkingFolder;
    std::wstring FRecord;
    std::unique_ptr<TWizard> FWizard;
};

TEST_F(SecondaryTest, ComponentsPageShowsTheDriverNoticeEachTimeItIsEntered) {
    TWizard& wizard = Launch();
    wizard.WaitPage(WelcomePage, StartTimeout);
    wizard.Click(L"Далее");
    wizard.WaitPage(PathPage);
    wizard.Click(L"Далее");

    TNotice notice = wizard.WaitNotice();
    EXPECT_EQ(ToUtf8(notice.Text), ToUtf8(DriverNotice));
    EXPECT_EQ(ToUtf8(WindowText(notice.Handle)), "") << "the notice has an empty title";
    EXPECT_FALSE(::IsWindowEnabled(wizard.MainWindow())) << "the wizard waits while the notice is up";
    EXPECT_TRUE(::GetWindowLongW(notice.Handle, GWL_EXSTYLE) & WS_EX_TOPMOST);
    wizard.Screenshot(L"08-driver-notice.png", notice.Handle);
    wizard.CloseNotice(notice);
    wizard.WaitPage(ComponentsPage);

    wizard.Click(L"Назад");
    wizard.WaitPage(PathPage);
    wizard.Click(L"Далее");
    notice = wizard.WaitNotice();
    EXPECT_EQ(ToUtf8(notice.Text), ToUtf8(DriverNotice));
    wizard.CloseNotice(notice);
    wizard.ExpectPageStays(ComponentsPage);

    RemoveEmptyFolder(L"C:\\Dedira\\Settings");
    RemoveEmptyFolder(L"C:\\Dedira");
}

TEST_F(SecondaryTest, WithoutTheSystemFunctionTheFontPageWarnsAndAsksNoRestart) {
    TWizard& wizard = StartOnFontPage(L"absent");
    HWND page = wizard.VisiblePage();
    std::wstring text = wizard.PageText(page);
    while (text.ends_with(L"\r\n"))
        text.resize(text.size() - 2);
    EXPECT_EQ(ToUtf8(text),
              ToUtf8(L"В настройках операционной системы Вашего компьютера выбрано использование \r\n"
                     L"\"мелкого\" размера шрифта.\r\n\r\n"
                     L"Для корректной работы программы \"Тессаро-Холтер\" требуется использование \r\n"
                     L"\"крупного\" размера шрифта.\r\n\r\n"
                     L"Рекомендуется произвести изменения. Для этого надо нажать кнопку \"Изменить \r\n"
                     L"настройки\". В появившемся окне надо ответить \"Да\".\r\n\r\n"
                     L"Если Вы считаете, что установка \"крупного\" размера шрифта Вам не нужна, \r\n"
                     L"нажмите кнопку \"Выход\"."));
    wizard.Screenshot(L"09-large-fonts.png");

    wizard.Click(ChangeSettings);
    TMessageBox box = wizard.WaitMessageBox();
    EXPECT_EQ(ToUtf8(box.Text), ToUtf8(FontChangeFailed));
    wizard.Screenshot(L"10-large-fonts-failed.png", box.Handle);
    wizard.Answer(box, IDOK);
    wizard.ExpectPageStays(FontPage); // and no restart question follows

    wizard.Click(L"Выход");
    // The page was opened by the seam, not by a run: nothing was installed.
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
    const std::string calls = ReadFile(FRecord);
    EXPECT_NE(calls.find("LoadLibrary syssetup.dll"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("ExitWindowsEx"), std::string::npos) << calls;
}

TEST_F(SecondaryTest, AfterTheFontChangeNoKeepsThePageAndYesRestartsGently) {
    TWizard& wizard = StartOnFontPage(L"succeeds");
    wizard.Click(ChangeSettings);
    TMessageBox question = wizard.WaitMessageBox();
    EXPECT_EQ(ToUtf8(question.Text), ToUtf8(RestartQuestion));
    wizard.Screenshot(L"11-restart-question.png", question.Handle);
    wizard.Answer(question, IDNO);
    wizard.ExpectPageStays(FontPage);
    std::string calls = ReadFile(FRecord);
    EXPECT_NE(calls.find("SetupChangeFontSize null 120"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("ExitWindowsEx"), std::string::npos) << calls;

    // Again: the system function is called anew and the question asked anew.
    wizard.Click(ChangeSettings);
    question = wizard.WaitMessageBox();
    EXPECT_EQ(ToUtf8(question.Text), ToUtf8(RestartQuestion));
    wizard.Answer(question, IDYES);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
    calls = ReadFile(FRecord);
    EXPECT_NE(calls.find("EnableShutdownPrivilege\nExitWindowsEx 0x12 0\n"), std::string::npos) << calls;
    std::size_t changes = 0;
    for (std::size_t at = calls.find("SetupChangeFontSize"); at != std::string::npos;
         at = calls.find("SetupChangeFontSize", at + 1))
        ++changes;
    EXPECT_EQ(changes, 4u) << calls; // looked up and called, twice
}

// A restart the system refuses (another program vetoes it) is reported, and the wizard stays on its page
// instead of closing as if the restart were under way.
TEST_F(SecondaryTest, ARefusedRestartIsReportedAndTheWizardStays) {
    TWizard& wizard = StartOnFontPage(L"restart-refused");
    wizard.Click(ChangeSettings);
    wizard.Answer(wizard.WaitMessageBox(), IDYES);
    TMessageBox refused = wizard.WaitMessageBox();
    EXPECT_NE(refused.Text.find(L"Не удалось перезагрузить компьютер"), std::wstring::npos)
        << ToUtf8(refused.Text);
    wizard.Answer(refused, IDOK);
    wizard.ExpectPageStays(FontPage);
    EXPECT_NE(ReadFile(FRecord).find("ExitWindowsEx 0x12 0"), std::string::npos);
    wizard.Click(Exit);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
}

} // namespace
