// One start resolved once: the command line, the registered folder and the defaults become one checked set
// of options, or a refusal with its exit code; and the exit codes of every kind of start.
#include <gtest/gtest.h>

#include "session/StartOptions.h"

namespace {

// A machine with the suite registered in `registered` (none when empty), the program started from `folder`.
TStartFacts Facts(const std::wstring& folder, const std::wstring& registered = {}) {
    TStartFacts facts;
    facts.Program = folder + L"Setup.exe";
    facts.ProgramFolder = folder;
    if (!registered.empty())
        facts.RegisteredFolder = registered;
    // Relative paths are taken against a current folder of "C:\Temp"; "." parts resolved.
    facts.FullPathOf = [](const std::wstring& path) {
        std::wstring full =
            (path.size() >= 2 && path[1] == L':') || path.starts_with(L"\\\\") ? path : L"C:\\Temp\\" + path;
        for (std::size_t dot; (dot = full.find(L"\\.\\")) != std::wstring::npos;)
            full.erase(dot, 2);
        if (full.ends_with(L"\\."))
            full.pop_back();
        for (wchar_t& c : full)
            if (c == L'/')
                c = L'\\';
        return full;
    };
    facts.Product = {L"Dedira", L"Тессаро - Холтер", L"Комплекс", L"Shell.exe", L"ООО", false};
    return facts;
}

TEST(StartOptions, InstallationsTakeTheFolderFromDirTheRegistryOrTheDefault) {
    struct TCase {
        const wchar_t* Arguments;
        const wchar_t* Registered;
        const wchar_t* Target;
        bool Driver;
        int Windows;
    };
    const TCase cases[] = {
        {L"", L"", L"C:\\Dedira", true, 0},
        {L"", L"D:\\Клиника\\Дедира\\", L"D:\\Клиника\\Дедира\\", true, 0},
        {L"/VERYSILENT /DIR=\"C:\\Программы\\Дедира\" /NODRIVER", L"D:\\Другая\\", L"C:\\Программы\\Дедира\\",
         false, 0},
        {L"/SILENT /WINDOWSXP /dir=E:\\x", L"", L"E:\\x\\", true, 1},
    };
    for (const TCase& c : cases) {
        const TStart start = ResolveStart(c.Arguments, Facts(L"F:\\Носитель\\", c.Registered));
        ASSERT_EQ(start.Action, TStartAction::Install) << &c - cases;
        EXPECT_EQ(start.Install.TargetText, c.Target);
        EXPECT_EQ(start.Install.InstallDriver, c.Driver);
        EXPECT_EQ(start.Install.WindowsIndex, c.Windows);
        EXPECT_EQ(start.Install.SourceFolder, L"F:\\Носитель\\");
        EXPECT_EQ(start.Install.ShellExe, L"Shell.exe");
    }
}

TEST(StartOptions, RefusedStartsSayWhyAndOnlyABadLineShowsTheHelp) {
    struct TCase {
        const wchar_t* Arguments;
        const wchar_t* Refusal; // a part of it
        bool Help;
        bool Quiet;
    };
    const TCase cases[] = {
        {L"/REBOOT=yes", L"Неизвестный параметр", true, false},
        {L"/DIR=\"C:\\Dedira /VERYSILENT", L"", true, true}, // the quote is never closed
        {L"/REBOOT /SUPPRESSMSGBOXES", L"Неизвестный параметр", true, true},
        {L"/DIR=Prog", L"полный путь", false, false},
        {L"/VERYSILENT /DIR=C:Prog", L"полный путь", false, true},
        {L"/DIR=C:\\.", L"Программу нелзя устанавливать в корневой каталог", false, false},
        {L"/DIR=D:/", L"Программу нелзя устанавливать в корневой каталог", false, false},
        {L"/DIR=\" \"", L"Не выбран путь для установки", false, false},
        {L"/UNINSTALL /DIR=Prog", L"полный путь", false, false},
        // A removal's folder is the suite's: no word of installing into it.
        {L"/UNINSTALL /DIR=D:/", L"Корневой каталог не может быть папкой комплекса", false, false},
        {L"/UNINSTALL /DIR=\" \"", L"В /DIR не указана папка комплекса", false, false},
        {L"/FINISHUNINSTALL=4 /DIR=C:\\.", L"Корневой каталог не может быть папкой комплекса", false, false},
        {L"/FINISHUNINSTALL=4", L"/DIR", false, false},
    };
    for (const TCase& c : cases) {
        const TStart start = ResolveStart(c.Arguments, Facts(L"F:\\"));
        EXPECT_EQ(start.Action, TStartAction::Refused) << &c - cases;
        EXPECT_NE(start.Refusal.find(c.Refusal), std::wstring::npos) << &c - cases;
        EXPECT_EQ(start.RefusalShowsHelp, c.Help) << &c - cases;
        EXPECT_EQ(start.Quiet, c.Quiet) << &c - cases;
        EXPECT_TRUE(start.Install.TargetText.empty());
    }
}

TEST(StartOptions, RemovalTakesDirTheUninstallersOwnFolderOrTheRegisteredOne) {
    struct TCase {
        const wchar_t* Arguments;
        const wchar_t* Folder;
        const wchar_t* Target;
    };
    const TCase cases[] = {
        {L"/UNINSTALL", L"C:\\Дедира\\Uninstall\\", L"C:\\Дедира\\"},
        {L"/UNINSTALL", L"F:\\", L"D:\\Зарегистрирован\\"},
        {L"/UNINSTALL /DIR=E:\\Другая", L"C:\\Дедира\\Uninstall\\", L"E:\\Другая\\"},
    };
    for (const TCase& c : cases) {
        const TStart start = ResolveStart(c.Arguments, Facts(c.Folder, L"D:\\Зарегистрирован"));
        ASSERT_EQ(start.Action, TStartAction::Uninstall);
        EXPECT_EQ(start.Uninstall.Target, c.Target);
        EXPECT_EQ(start.Uninstall.Running, std::wstring(c.Folder) + L"Setup.exe");
    }
    const TStart finish = ResolveStart(L"/FINISHUNINSTALL=42 /DIR=\"C:\\Дедира\"", Facts(L"C:\\Temp\\x\\"));
    ASSERT_EQ(finish.Action, TStartAction::FinishUninstall);
    EXPECT_EQ(finish.FinishProcess, 42u);
    EXPECT_EQ(finish.FinishTarget, L"C:\\Дедира\\");
}

} // namespace

namespace {
// The registered folder is as hostile as /DIR: one that /DIR would not let through is passed over.
TEST(StartOptions, ARegisteredFolderThatIsNoFullFolderIsPassedOver) {
    for (const wchar_t* registered : {L"C:\\", L"C:/.", L"Prog", L"\\\\?\\D:\\", L" "})
        EXPECT_EQ(ResolveStart(L"/VERYSILENT", Facts(L"F:\\", registered)).Install.TargetText, L"C:\\Dedira")
            << &registered;
}
} // namespace
