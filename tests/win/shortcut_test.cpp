// Shell links written through the shell's link object and read back through it: where they go, what they
// hold, and when none is made. The user's desktop is pointed at a scratch folder for the tests.
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ShellLinkKit.h"
#include "WinScratch.h"
#include "support/Shortcut.h"
#include "win/ComPtr.h"

namespace {

class Shortcut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(ole.Result()));
        ::CreateDirectoryW(desktop.c_str(), nullptr);
        ::CreateDirectoryW((scratch / L"Тессаро").c_str(), nullptr);
        PutFile(program, "program");
    }

    TOleInit ole;
    TScratchDir scratch;
    const std::wstring desktop = scratch / L"Рабочий стол";
    const std::wstring program = scratch / L"Тессаро\\Shell.exe";
    TDesktopFolder desktopFolder{desktop};
    std::wstring linkPath = L"(unchanged)";
};

TEST_F(Shortcut, DesktopLinkHoldsTargetArgumentsDescriptionAndTheTargetsFolder) {
    const std::wstring description =
        L"Комплекс суточного мониторирования электрокардиограмм \"Тессаро - Холтер\"";
    CreateShortcut(program, 0, L"", L"", L"/base \"D:\\Данные ЭКГ\"", description, L"Тессаро - Холтер",
                   linkPath);

    EXPECT_EQ(linkPath, desktop + L"\\Тессаро - Холтер.lnk");
    ASSERT_TRUE(FileExists(linkPath));
    const TLinkContent link = ReadLink(linkPath);
    EXPECT_EQ(link.Target, program);
    EXPECT_EQ(link.Arguments, L"/base \"D:\\Данные ЭКГ\"");
    EXPECT_EQ(link.Description, description);
    EXPECT_EQ(link.WorkingDir, scratch / L"Тессаро\\");

    // The same call again overwrites the link with what it is given now.
    CreateShortcut(program, 0, L"", L"", L"", L"Другое описание", L"Тессаро - Холтер", linkPath);
    EXPECT_EQ(ReadLink(linkPath).Description, L"Другое описание");
    EXPECT_EQ(ReadLink(linkPath).Arguments, L"");
}

TEST_F(Shortcut, SubFolderOfTheDesktopAndNameFromTheTarget) {
    const std::wstring sub = desktop + L"\\Программы\\Тессаро";
    ::CreateDirectoryW((desktop + L"\\Программы").c_str(), nullptr);
    ::CreateDirectoryW(sub.c_str(), nullptr);
    CreateShortcut(program, 0, L"Программы\\Тессаро", L"", L"", L"", L"", linkPath);
    EXPECT_EQ(linkPath, sub + L"\\Shell.lnk");
    EXPECT_TRUE(FileExists(linkPath));
}

TEST_F(Shortcut, GivenFolderTakesTheLinkDirectly) {
    const std::wstring links = scratch / L"Ссылки";
    ::CreateDirectoryW(links.c_str(), nullptr);
    const std::wstring work = scratch / L"Рабочая папка";
    CreateShortcut(program, 4, links, work, L"-x", L"Отчёт", L"Sub\\Отчёт 2.5", linkPath);

    EXPECT_EQ(linkPath, links + L"\\Отчёт 2.lnk");
    ASSERT_TRUE(FileExists(linkPath));
    const TLinkContent link = ReadLink(linkPath);
    EXPECT_EQ(link.Target, program);
    EXPECT_EQ(link.WorkingDir, work);
    EXPECT_EQ(link.Arguments, L"-x");
}

TEST_F(Shortcut, NoFolderMeansNoLinkAndLinkPathUnchanged) {
    CreateShortcut(program, 5, desktop, L"", L"", L"", L"Пять", linkPath);
    EXPECT_EQ(linkPath, L"(unchanged)");
    {
        TDesktopFolder noDesktop(std::nullopt);
        CreateShortcut(program, 0, L"", L"", L"", L"", L"Ноль", linkPath);
    }
    EXPECT_EQ(linkPath, L"(unchanged)");
    EXPECT_TRUE(FilesContaining(desktop + L"\\", L".lnk").empty());
}

// A run's thread starts COM at its first object, not before (that costs a hidden window, and the desktop's
// start in a session with none yet), and ends it with its scope.
TEST(ComOnDemand, StartsAtTheFirstObjectAndEndsWithItsScope) {
    std::thread([] {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        {
            Ole::TComOnDemand scope;
            EXPECT_EQ(::CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
            TComPtr<IShellLinkW> link;
            ASSERT_HRESULT_SUCCEEDED(Ole::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                           IID_IShellLinkW, link.PutVoid()));
            ASSERT_HRESULT_SUCCEEDED(::CoGetApartmentType(&type, &qualifier));
            EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA);
        }
        EXPECT_EQ(::CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
    }).join();
}

} // namespace
