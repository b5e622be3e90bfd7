// Shell links written through the shell's link object and read back through it: where they go, what they
// hold, and when none is made. The user's desktop is pointed at a scratch folder for the tests.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include <gtest/gtest.h>

#include "RegistryState.h"
#include "WinScratch.h"
#include "support/Shortcut.h"
#include "win/ComPtr.h"

namespace {

constexpr wchar_t ShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t UserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct TLinkContent {
    std::wstring Target, Arguments, Description, WorkingDir;
};

TLinkContent ReadLink(const std::wstring& path) {
    TComPtr<IShellLinkW> link;
    CheckHResult(
        ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()),
        L"CLSID_ShellLink");
    const TComPtr<IPersistFile> file = link.As<IPersistFile>(IID_IPersistFile);
    CheckHResult(file->Load(path.c_str(), STGM_READ), L"Load");
    TLinkContent content;
    wchar_t text[INFOTIPSIZE] = {};
    // From the item list: the path the link stores beside it is in the ANSI code page.
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items) {
        ::SHGetPathFromIDListW(items, text);
        ::CoTaskMemFree(items);
    }
    content.Target = text;
    text[0] = 0;
    link->GetArguments(text, INFOTIPSIZE);
    content.Arguments = text;
    text[0] = 0;
    link->GetDescription(text, INFOTIPSIZE);
    content.Description = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    content.WorkingDir = text;
    return content;
}

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
    // Wine's shell copies the first into the second whenever it looks the folder up.
    TRegistryValueOverride userDesktop{HKEY_CURRENT_USER, UserShellFolders, L"Desktop", desktop};
    TRegistryValueOverride desktopValue{HKEY_CURRENT_USER, ShellFolders, L"Desktop", desktop};
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
        TRegistryValueOverride noUserDesktop(HKEY_CURRENT_USER, UserShellFolders, L"Desktop", std::nullopt);
        TRegistryValueOverride noDesktop(HKEY_CURRENT_USER, ShellFolders, L"Desktop", std::nullopt);
        CreateShortcut(program, 0, L"", L"", L"", L"", L"Ноль", linkPath);
    }
    EXPECT_EQ(linkPath, L"(unchanged)");
    EXPECT_TRUE(FilesContaining(desktop + L"\\", L".lnk").empty());
}

} // namespace
