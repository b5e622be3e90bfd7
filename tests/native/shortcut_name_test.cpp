// The name, place and working folder of a shell link.
#include <gtest/gtest.h>

#include "support/ShortcutName.h"

TEST(ShortcutName, LinkFileNameReplacesTheExtensionAndDropsTheFolder) {
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L""), L"Shell.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L"Report 2.5"), L"Report 2.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L"Sub\\Name"), L"Name.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L"Тессаро - Холтер"), L"Тессаро - Холтер.lnk");
    // The full stop of a folder is no extension.
    EXPECT_EQ(LinkFileName(L"C:\\Suite.1\\Shell", L""), L"Shell.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L"a.b\\Name.x.y"), L"Name.x.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L"D:Name.txt"), L"Name.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\Suite\\Shell.exe", L"Sub/Name"), L"Name.lnk");
}

TEST(ShortcutName, LinkPathPutsTheSubFolderOnlyBelowAShellFolder) {
    const std::wstring desktop = L"C:\\users\\Пользователь\\Desktop";
    EXPECT_EQ(LinkFilePath(desktop, 0, L"", L"Shell.lnk"), desktop + L"\\Shell.lnk");
    EXPECT_EQ(LinkFilePath(desktop, 3, L"Программы\\Тессаро", L"Shell.lnk"),
              desktop + L"\\Программы\\Тессаро\\Shell.lnk");
    EXPECT_EQ(LinkFilePath(L"D:\\Links", 4, L"D:\\Links", L"Shell.lnk"), L"D:\\Links\\Shell.lnk");
    // A folder that already ends in a backslash gets no second one.
    EXPECT_EQ(LinkFilePath(L"D:\\Links\\", 4, L"D:\\Links\\", L"Shell.lnk"), L"D:\\Links\\Shell.lnk");
}

TEST(ShortcutName, EmptyWorkingFolderIsTheTargetsFolder) {
    EXPECT_EQ(LinkWorkingDir(L"", L"C:\\Suite\\Shell.exe"), L"C:\\Suite\\");
    EXPECT_EQ(LinkWorkingDir(L"D:\\Data", L"C:\\Suite\\Shell.exe"), L"D:\\Data");
    EXPECT_EQ(LinkWorkingDir(L"", L"Shell.exe"), L"");
}
