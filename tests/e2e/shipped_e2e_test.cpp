// The program that ships, on the medium that ships, as most clinics' PCs run it: the 32-bit Setup.exe on a
// 64-bit Windows (WOW64). A user's walk from the welcome page to the end at 96 and at 120 pixels per inch,
// each page photographed, and where a 32-bit program's installation lands there.
#include <gtest/gtest.h>

#include "InstallCase.h"
#include "PrefixResolution.h"

using namespace e2e;

namespace {

constexpr wchar_t UninstallKey[] = L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaroHolter";

// Whether the key exists in the 64-bit view of the machine's registry.
bool In64BitView(const std::wstring& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle) !=
        ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

// Whether a 32-bit process runs on a 64-bit Windows.
bool UnderWow64(HANDLE process) {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(process, &wow64) && wow64;
}

class ShippedTest : public InstallCase {
protected:
    void SetUp() override {
        InstallCase::SetUp();
        ASSERT_TRUE(UnderWow64(::GetCurrentProcess()))
            << "this suite needs a 64-bit prefix (WINEARCH=win64) and its own 32-bit build";
    }

    // The walk at one resolution: every page photographed as "<dpi>-<page>.png", the run to its end and the
    // way out that the resolution gives (the large-font advice at 96, the final question above).
    void Walk(int pixelsPerInch) {
        const TPrefixResolution resolution(static_cast<DWORD>(pixelsPerInch));
        const std::wstring dpi = std::to_wstring(pixelsPerInch);
        auto shot = [&](TWizard& wizard, const wchar_t* page, HWND window = nullptr) {
            wizard.Screenshot(L"wow64-" + dpi + L"-" + page + L".png", window);
        };
        const std::wstring target = Target(L"Программы\\Дедира " + dpi);

        TWizard& wizard = Launch(FOptions.Medium);
        wizard.WaitMainWindow();
        EXPECT_TRUE(UnderWow64(wizard.Process())) << "the shipped Setup.exe is a 32-bit program";
        wizard.WaitPage(WelcomePage, StartTimeout);
        shot(wizard, L"01-welcome");
        wizard.Click(NextButton);
        wizard.WaitPage(PathPage);
        wizard.SetPath(target);
        shot(wizard, L"02-path");
        wizard.Click(NextButton);
        const TNotice notice = wizard.WaitNotice();
        shot(wizard, L"03-driver-notice", notice.Handle);
        wizard.CloseNotice(notice);
        wizard.WaitPage(ComponentsPage);
        shot(wizard, L"04-components");

        wizard.Click(InstallButton);
        const TMessageBox question = wizard.WaitMessageBox(RunTimeout);
        EXPECT_EQ(ToUtf8(question.Text), ToUtf8(DriverQuestion));
        shot(wizard, L"05-progress");
        wizard.Answer(question, IDYES);
        TMessageBox box;
        const TRunOutcome outcome = wizard.WaitRunEnd(RunTimeout, &box);
        if (pixelsPerInch == 96) {
            ASSERT_EQ(outcome, TRunOutcome::FontPage) << ToUtf8(box.Text);
            shot(wizard, L"06-large-fonts");
            LeaveFromFontPage(wizard);
        } else {
            ASSERT_EQ(outcome, TRunOutcome::MessageBox);
            EXPECT_EQ(ToUtf8(box.Text), ToUtf8(L"Установка завершена. Выйти из программы установки?"));
            shot(wizard, L"06-final-question");
            wizard.Answer(box, IDYES);
            EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 0u);
        }
        ExpectDeployedFiles(FOptions.Medium, target, 0);
        EXPECT_EQ(DriverStarts(), std::vector<std::string>{DriverStart()});

        // A 32-bit installer's entry lies in the 32-bit view, which a 64-bit Windows keeps under
        // "WOW6432Node"; nothing of it in the 64-bit view's own place.
        EXPECT_EQ(EntryText(L"InstallLocation"), target);
        EXPECT_TRUE(In64BitView(std::wstring(L"SOFTWARE\\WOW6432Node\\") + UninstallKey));
        EXPECT_FALSE(In64BitView(std::wstring(L"SOFTWARE\\") + UninstallKey));
        RemoveDemoFonts(FOptions.Medium);
        RemoveUninstallEntry();
    }
};

TEST_F(ShippedTest, WalkAt96PixelsPerInchEndsOnTheLargeFontAdvice) {
    Walk(96);
}

TEST_F(ShippedTest, WalkAt120PixelsPerInchEndsWithTheFinalQuestion) {
    Walk(120);
}

} // namespace
