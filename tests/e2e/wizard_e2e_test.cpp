// The wizard walked end to end as a user walks it: each test starts a fresh Setup.exe from the medium
// folder, with the driver's own working directory elsewhere, and ends it.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "WizardDriver.h"
#include "WizardTexts.h"

using namespace e2e;

namespace {

const std::wstring EmptyEntryText = L"Не выбран путь для установки программы!";
const std::wstring RootEntryText = L"Программу нелзя устанавливать в корневой каталог!";
const std::wstring CancelQuestion = L"Вы уверены, что хотите отменить процесс установки?";

// A text block as its lines joined the platform's way; a last line break may follow.
std::string Lines(std::initializer_list<const wchar_t*> lines) {
    std::wstring text;
    bool first = true;
    for (const wchar_t* line : lines) {
        if (!first)
            text += L"\r\n";
        text += line;
        first = false;
    }
    return ToUtf8(text);
}

std::string Shown(std::wstring text) {
    while (text.size() >= 2 && text.ends_with(L"\r\n"))
        text.resize(text.size() - 2);
    return ToUtf8(text);
}

std::wstring DriverWorkingFolder() {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = JoinPath(std::wstring(temp, length), L"tessaro-e2e-cwd");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        FOptions = ReadOptions();
        ASSERT_FALSE(FOptions.Medium.empty())
            << "give the medium folder: --medium=<folder> or TESSARO_MEDIUM";
        FExe = JoinPath(FOptions.Medium, L"Setup.exe");
        ASSERT_NE(::GetFileAttributesW(FExe.c_str()), INVALID_FILE_ATTRIBUTES) << "no " << ToUtf8(FExe);
        if (!FOptions.Shots.empty())
            ::CreateDirectoryW(FOptions.Shots.c_str(), nullptr);
        FWorkingFolder = DriverWorkingFolder();
        // The working directory of a wizard started from a shortcut or a file manager is anything but the
        // medium; making it a folder of our own exposes every path resolved against it.
        ASSERT_TRUE(::SetCurrentDirectoryW(FWorkingFolder.c_str()));
    }

    TWizard& Start() {
        FWizard = std::make_unique<TWizard>(FExe, FWorkingFolder, FOptions.Shots);
        FWizard->WaitMainWindow();
        FWizard->WaitPage(WelcomePage, StartTimeout);
        return *FWizard;
    }

    TWizard& StartOnPathPage() {
        TWizard& wizard = Start();
        wizard.Click(NextButton);
        wizard.WaitPage(PathPage);
        return wizard;
    }

    // The box must be answered with OK, keep the path page, and give the focus back to the entry.
    void ExpectRefusal(TWizard& wizard, const std::wstring& text, const wchar_t* shot) {
        TMessageBox box = wizard.WaitMessageBox();
        EXPECT_EQ(ToUtf8(box.Text), ToUtf8(text));
        if (shot)
            wizard.Screenshot(shot, box.Handle);
        wizard.Answer(box, IDOK);
        wizard.ExpectPageStays(PathPage);
        HWND entry = wizard.PathBox();
        for (int i = 0; i < 50 && wizard.FocusWindow() != entry; ++i)
            ::Sleep(20);
        EXPECT_EQ(wizard.FocusWindow(), entry) << "the focus should return to the target folder box";
    }

    TOptions FOptions;
    std::wstring FExe;
    std::wstring FWorkingFolder;
    std::unique_ptr<TWizard> FWizard;
};

const std::wstring DefaultTarget = L"C:\\Dedira";
const std::wstring DefaultSettings = L"C:\\Dedira\\Settings";

// Leaves the default target as a fresh machine has it; false when it holds more than the wizard made.
bool RemoveDefaultTarget() {
    return RemoveEmptyFolder(DefaultSettings) && RemoveEmptyFolder(DefaultTarget);
}

TEST_F(WizardTest, OpensOnWelcomeAndOffersDefaultFolder) {
    TWizard& wizard = Start();
    HWND main = wizard.MainWindow();
    EXPECT_EQ(ToUtf8(WindowText(main)), ToUtf8(L"Установка комплекса"));
    RECT client{};
    ASSERT_TRUE(::GetClientRect(main, &client));
    EXPECT_EQ(client.right - client.left, 972);
    EXPECT_EQ(client.bottom - client.top, 583);
    const LONG style = ::GetWindowLongW(main, GWL_STYLE);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) << "the window must keep its size";
    // The program loads the common controls itself: the themed ones of version 6 from the side-by-side
    // store that its manifest names, not System32's older library.
    std::wstring controls = LoadedLibraryPath(wizard.ProcessId(), L"comctl32.dll");
    ::CharLowerBuffW(controls.data(), static_cast<DWORD>(controls.size()));
    EXPECT_NE(controls.find(L"\\winsxs\\"), std::wstring::npos) << ToUtf8(controls);
    wizard.WaitButton(CancelButton);
    EXPECT_EQ(Shown(wizard.PageText(wizard.VisiblePage())),
              Lines({L"Добро пожаловать в программу установки комплекса ", L"\"ТЕССАРО-ХОЛТЕР\"!", L"",
                     L"Для продолжения установки, нажмите кнопку \"Далее\".", L"",
                     L"Для выхода из программы установки нажмите кнопку \"Отмена\"."}));
    wizard.Screenshot(L"01-welcome.png");

    wizard.Click(NextButton);
    HWND page = wizard.WaitPage(PathPage);
    EXPECT_EQ(Shown(wizard.PageText(page)),
              Lines({L"Пожалуйста, задайте путь куда устанавливать программную часть ",
                     L"комплекса \"Тессаро-Холтер\""}));
    wizard.WaitButton(L"Выбрать");
    wizard.WaitButton(CancelButton);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(L"C:\\Dedira"));
    wizard.Screenshot(L"02-path.png");
}

TEST_F(WizardTest, NextCreatesTargetAndSettingsThenBackAndForward) {
    ASSERT_TRUE(RemoveDefaultTarget()) << "C:\\Dedira holds files from elsewhere; this test needs it absent";

    TWizard& wizard = StartOnPathPage();
    wizard.Click(NextButton);
    HWND page = wizard.WaitPage(ComponentsPage);
    EXPECT_EQ(Shown(wizard.PageText(page)),
              Lines({L" - Если у Вас есть 2-х канальный кабель для регистрации детских ЭКГ, поставьте ",
                     L"галочку в поле \"Регистрация 2-х канальной ЭКГ\".",
                     L" - Если у Вас есть универсальный регистратор, поставьте галочку в поле ",
                     L"\"Универсальный регистратор\".",
                     L" - Если у Вас установлен монитор АД \"BPLab\", поставьте галочку в поле \"установлен ",
                     L"монитор АД \"BPLab\"\".", L"",
                     L" - Задайте, пожалуйста, тип ЭКГ, который Вы чаще всего будете регистрировать.", L"",
                     L" - Нажмите кнопку \"Начать установку\", для того чтобы установить программное ",
                     L"обеспечение на Ваш компъютер.", L"",
                     L"Все настройки можно изменить позже, во время работы с программой ",
                     L"\"Тессаро-Холтер\" в меню \"Настройки\"."}));
    wizard.WaitButton(L"Начать установку");
    wizard.WaitButton(L"Устанавливать драйвер");
    wizard.Screenshot(L"03-components.png");
    EXPECT_TRUE(FolderExists(DefaultTarget));
    EXPECT_TRUE(FolderExists(DefaultSettings));

    wizard.Click(BackButton);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(L"C:\\Dedira\\"));
    // A second pass must not add another backslash nor trip over the folders that now exist.
    wizard.Click(NextButton);
    wizard.WaitPage(ComponentsPage);
    wizard.Click(BackButton);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(L"C:\\Dedira\\"));
    RemoveDefaultTarget();
}

TEST_F(WizardTest, EntryIsTrimmedAndGetsOneBackslash) {
    TWizard& wizard = StartOnPathPage();
    wizard.SetPath(L" \t C:\\Dedira  \t");
    wizard.Click(NextButton);
    wizard.WaitPage(ComponentsPage);
    wizard.Click(BackButton);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(L"C:\\Dedira\\"));
    RemoveDefaultTarget();
}

TEST_F(WizardTest, EmptyEntryIsRefusedWithError) {
    TWizard& wizard = StartOnPathPage();
    wizard.SetPath(L"");
    wizard.Click(NextButton);
    ExpectRefusal(wizard, EmptyEntryText, L"04-path-empty-error.png");

    // Blanks alone are no folder either.
    wizard.SetPath(L"  \t ");
    wizard.Click(NextButton);
    ExpectRefusal(wizard, EmptyEntryText, nullptr);
}

TEST_F(WizardTest, DriveRootIsRefusedWithWarning) {
    TWizard& wizard = StartOnPathPage();
    wizard.SetPath(L"C:\\");
    wizard.Click(NextButton);
    ExpectRefusal(wizard, RootEntryText, L"05-path-root-warning.png");
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(L"C:\\"));

    // The backslash is added before the length is judged, and it reaches the box even on refusal.
    wizard.SetPath(L"C:");
    wizard.Click(NextButton);
    ExpectRefusal(wizard, RootEntryText, nullptr);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(L"C:\\"));
}

TEST_F(WizardTest, RelativeEntryIsCreatedBesideTheWizard) {
    const std::wstring name = L"Prog e2e";
    const std::wstring target = JoinPath(FOptions.Medium, name);
    const std::wstring settings = JoinPath(target, L"Settings");
    const std::wstring stray = JoinPath(FWorkingFolder, name);
    ASSERT_TRUE(RemoveEmptyFolder(settings) && RemoveEmptyFolder(target));
    ASSERT_TRUE(RemoveEmptyFolder(JoinPath(stray, L"Settings")) && RemoveEmptyFolder(stray));

    TWizard& wizard = StartOnPathPage();
    wizard.SetPath(name);
    wizard.Click(NextButton);
    wizard.WaitPage(ComponentsPage);
    EXPECT_TRUE(FolderExists(target)) << ToUtf8(target);
    EXPECT_TRUE(FolderExists(settings)) << ToUtf8(settings);
    EXPECT_FALSE(FolderExists(stray))
        << "created in the working directory it was started with: " << ToUtf8(stray);
    wizard.Click(BackButton);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(name + L"\\"));

    RemoveEmptyFolder(settings);
    RemoveEmptyFolder(target);
}

TEST_F(WizardTest, CancelAnsweredNoStaysThenYesEndsOnCancelPage) {
    ASSERT_TRUE(RemoveDefaultTarget());
    TWizard& wizard = Start();
    wizard.Click(CancelButton);
    TMessageBox question = wizard.WaitMessageBox();
    EXPECT_EQ(ToUtf8(question.Text), ToUtf8(CancelQuestion));
    wizard.Screenshot(L"06-cancel-question.png", question.Handle);
    wizard.Answer(question, IDNO);
    wizard.ExpectPageStays(WelcomePage);

    // Cancelling late, after the target was made, must leave the target alone.
    wizard.Click(NextButton);
    wizard.WaitPage(PathPage);
    wizard.Click(NextButton);
    wizard.WaitPage(ComponentsPage);
    wizard.Click(CancelButton);
    question = wizard.WaitMessageBox();
    EXPECT_EQ(ToUtf8(question.Text), ToUtf8(CancelQuestion));
    wizard.Answer(question, IDYES);
    HWND page = wizard.WaitPage(CancelPage);
    EXPECT_EQ(Shown(wizard.PageText(page)),
              Lines({L"Установка комплекса \"Тессаро-Холтер\" отменена!", L"",
                     L"Нажмите кнопку \"Выход\", для выхода из программы установки."}));
    wizard.Screenshot(L"07-cancel.png");
    EXPECT_TRUE(FolderExists(DefaultSettings));

    wizard.Click(Exit);
    // Left without installing: the code deployment tools know as "cancelled by the user".
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
    RemoveDefaultTarget();
}

TEST_F(WizardTest, EnterGoesForwardAndEscapeAsksToCancel) {
    TWizard& wizard = Start();
    wizard.PressKey(VK_RETURN);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(wizard.FocusWindow(), wizard.PathBox()) << "the target folder box should have the focus";

    wizard.PressKey(VK_ESCAPE);
    TMessageBox question = wizard.WaitMessageBox();
    EXPECT_EQ(ToUtf8(question.Text), ToUtf8(CancelQuestion));
    wizard.Answer(question, IDNO);
    wizard.ExpectPageStays(PathPage);
}

TEST_F(WizardTest, CloseCommandOnWelcomeEndsAtOnce) {
    TWizard& wizard = Start();
    wizard.PostToMain(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
}

} // namespace
