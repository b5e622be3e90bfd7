// What the user and the administrator read: the typography every text shares, the list's paths from the
// suite's folder, the box of a disk without room, and the help against the switches and exit codes the
// program has.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "common/StrUtils.h"
#include "install/run/SpacePlan.h"
#include "session/CommandLine.h"
#include "session/RunEnd.h"
#include "session/StartOptions.h"

namespace {

TEST(Typography, AfterAColonOnlyARussianWordLosesItsCapital) {
    struct TCase {
        const wchar_t* Text;
        const wchar_t* AfterColon;
    };
    const TCase cases[] = {
        {L"Отказано в доступе", L"отказано в доступе"},
        {L"Не удалось открыть файл", L"не удалось открыть файл"},
        {L"Ёмкость диска", L"ёмкость диска"},
        {L"Ѓ", L"Ѓ"},
        // A system in English, a name, an abbreviation, capitals: as they are.
        {L"Access is denied", L"Access is denied"},
        {L"Windows не ответила", L"Windows не ответила"},
        {L"SID не найден", L"SID не найден"},
        {L"ОШИБКА!!!", L"ОШИБКА!!!"},
        {L"МБ", L"МБ"},
        {L"Я", L"Я"},
        {L"В «DTAfb»", L"В «DTAfb»"},
        {L"«Файл»", L"«Файл»"},
        {L"уже", L"уже"},
        {L"", L""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LowerFirst(c.Text), c.AfterColon) << &c - cases;
}

TEST(Typography, TheListNamesTheSuitesFilesFromItsFolder) {
    struct TCase {
        const wchar_t* Text;
        const wchar_t* Folder;
        const wchar_t* Listed;
    };
    const TCase cases[] = {
        {L"Файл «C:\\Dedira\\backup\\R010321\\a.dll» не скопирован", L"C:\\Dedira\\",
         L"Файл «backup\\R010321\\a.dll» не скопирован"},
        {L"Прежняя база данных сохранена: «C:\\Dedira\\DTAfb\\T12.FDB.bak»", L"c:\\DEDIRA",
         L"Прежняя база данных сохранена: «DTAfb\\T12.FDB.bak»"},
        {L"«C:\\Мед карты\\Дедира\\udf» и «C:\\Мед карты\\Дедира\\x»", L"C:\\Мед карты\\Дедира\\",
         L"«udf» и «x»"},
        // The folder itself, a folder beside it, another disk: whole.
        {L"сохранены в папке «C:\\Dedira\\»", L"C:\\Dedira\\", L"сохранены в папке «C:\\Dedira\\»"},
        {L"«C:\\Dedira2\\a.dll»", L"C:\\Dedira\\", L"«C:\\Dedira2\\a.dll»"},
        {L"«D:\\Dedira\\a.dll»", L"C:\\Dedira\\", L"«D:\\Dedira\\a.dll»"},
        // No folder known, no quotes, a quote not closed: as it is.
        {L"«C:\\Dedira\\a.dll»", L"", L"«C:\\Dedira\\a.dll»"},
        {L"Каталог <DTAfb> создан...", L"C:\\Dedira\\", L"Каталог <DTAfb> создан..."},
        {L"Файл «C:\\Dedira\\a.dll", L"C:\\Dedira\\", L"Файл «C:\\Dedira\\a.dll"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(QuotedPathsBelow(c.Text, c.Folder), c.Listed) << &c - cases;
}

TEST(Typography, ADiskWithoutRoomIsNamedWithBothFigures) {
    constexpr std::uint64_t MiB = 1024 * 1024;
    struct TCase {
        const wchar_t* Disk;
        std::uint64_t Needed, Free;
        const wchar_t* Text;
    };
    const TCase cases[] = {
        {L"S:\\", 8 * MiB, 4089446, L"Недостаточно места на диске «S:\\»: нужно 8,0 МБ, свободно 3,9 МБ."},
        {L"C:\\", 1023, 0, L"Недостаточно места на диске «C:\\»: нужно 0,0 МБ, свободно 0,0 МБ."},
        {L"\\\\server\\share\\", 10 * MiB + 100000, MiB,
         L"Недостаточно места на диске «\\\\server\\share\\»: нужно 10,1 МБ, свободно 1,0 МБ."},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(NoSpaceText(c.Disk, c.Needed, c.Free), c.Text) << &c - cases;
}

// The help as an administrator reads it: the items of "Параметры:" (each switch of an item, "/? или /HELP"
// being two) and the line of each exit code.
struct THelp {
    std::vector<std::wstring> Switches;
    std::map<int, std::wstring> Codes;
};

THelp ReadHelp(const std::wstring& text) {
    THelp help;
    enum { None, Switches, Codes } section = None;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(L"\r\n", start), text.size());
        const std::wstring line = text.substr(start, end - start);
        start = end + 2;
        if (line == L"Параметры:")
            section = Switches;
        else if (line == L"Коды завершения:")
            section = Codes;
        if (!line.starts_with(L"  ") || section == None)
            continue;
        const std::size_t gap = line.find(L"  ", 2);
        EXPECT_NE(gap, std::wstring::npos)
            << "no text after the item: " << std::string(line.begin(), line.end());
        const std::wstring item = line.substr(2, gap - 2);
        if (section == Codes) {
            help.Codes[std::stoi(item)] = line.substr(gap + 2);
            continue;
        }
        for (std::size_t from = 0;;) {
            const std::size_t either = item.find(L" или ", from);
            help.Switches.push_back(item.substr(from, either - from));
            if (either == std::wstring::npos)
                break;
            from = either + 5;
        }
    }
    return help;
}

std::wstring HelpLineOf(const THelp& help, const std::wstring& name) {
    for (const std::wstring& item : help.Switches)
        if (item.substr(0, item.find(L'=')) == name)
            return item;
    return {};
}

TEST(Help, NamesEverySwitchAnAdministratorMayGiveAndNoOther) {
    struct TCase {
        const wchar_t* Argument;
        std::function<bool(const TCommandLine&)> Acts;
        bool InHelp;
    };
    const TCase cases[] = {
        {L"/SILENT", [](const TCommandLine& l) { return l.Mode == TUiMode::Silent; }, true},
        {L"/VERYSILENT", [](const TCommandLine& l) { return l.Mode == TUiMode::VerySilent; }, true},
        {L"/SUPPRESSMSGBOXES", [](const TCommandLine& l) { return l.SuppressMsgBoxes; }, true},
        {L"/DIR=\"C:\\Dedira\"", [](const TCommandLine& l) { return l.Dir == L"C:\\Dedira"; }, true},
        {L"/NODRIVER", [](const TCommandLine& l) { return l.NoDriver; }, true},
        {L"/WINDOWSXP", [](const TCommandLine& l) { return l.WindowsXP; }, true},
        {L"/LOG=\"C:\\setup.log\"", [](const TCommandLine& l) { return l.Log == L"C:\\setup.log"; }, true},
        {L"/UNINSTALL", [](const TCommandLine& l) { return l.Uninstall; }, true},
        {L"/?", [](const TCommandLine& l) { return l.Help; }, true},
        {L"/HELP", [](const TCommandLine& l) { return l.Help; }, true},
        // Only the uninstaller gives it, to its own copy.
        {L"/FINISHUNINSTALL=12", [](const TCommandLine& l) { return l.FinishUninstall == 12ul; }, false},
    };
    const THelp help = ReadHelp(CommandLineHelp());
    std::set<std::wstring> named;
    for (const TCase& c : cases) {
        const TCommandLine line = ParseCommandLine(c.Argument);
        EXPECT_TRUE(line.Error.empty() && c.Acts(line)) << &c - cases;
        const std::wstring argument = c.Argument;
        const std::wstring name = argument.substr(0, argument.find(L'='));
        EXPECT_EQ(!HelpLineOf(help, name).empty(), c.InHelp) << &c - cases;
        named.insert(name);
    }
    // Every switch the help names is one the program reads, spelt as the help spells it.
    for (const std::wstring& item : help.Switches) {
        EXPECT_TRUE(ParseCommandLine(item).Error.empty()) << std::string(item.begin(), item.end());
        EXPECT_TRUE(named.count(item.substr(0, item.find(L'=')))) << std::string(item.begin(), item.end());
    }
}

TEST(Help, SaysWhatTheQuietSwitchesLeaveAndWhenItShowsItself) {
    const std::wstring help = CommandLineHelp();
    // /VERYSILENT alone still shows an error: only /SUPPRESSMSGBOXES takes the boxes away.
    const TStart quiet = ResolveStart(L"/VERYSILENT", {});
    EXPECT_FALSE(quiet.Line.SuppressMsgBoxes);
    const std::size_t verySilent = help.find(L"/VERYSILENT  ");
    ASSERT_NE(verySilent, std::wstring::npos);
    const std::wstring line = help.substr(verySilent, help.find(L"\r\n", verySilent) - verySilent);
    EXPECT_NE(line.find(L"/SUPPRESSMSGBOXES"), std::wstring::npos);
    // /? shows its box whatever else the line asks for.
    EXPECT_EQ(ResolveStart(L"/VERYSILENT /SUPPRESSMSGBOXES /?", {}).Action, TStartAction::Help);
    EXPECT_NE(help.find(L"при любых других параметрах"), std::wstring::npos);
    // It speaks of the removal as well.
    EXPECT_NE(help.find(L"Установка и удаление"), std::wstring::npos);
}

TEST(Help, GivesEveryExitCodeWithEveryEndItCovers) {
    struct TCase {
        const char* End;
        int Code;
        const wchar_t* Says; // a part of the code's line
    };
    const TCase cases[] = {
        {"installed", InstallationEnd(TOutcome::Completed).ExitCode, L"установка или удаление выполнены"},
        {"removed", RemovalEnd(TRemovalEnd::Completed).ExitCode, L"установка или удаление выполнены"},
        {"nothing to remove", RemovalEnd(TRemovalEnd::NothingToRemove).ExitCode, L"удалять было нечего"},
        {"a refused command line", ecBadCommandLine, L"ошибка в командной строке"},
        {"a refused /DIR", ecBadCommandLine, L"в папке /DIR"},
        {"left before the run", ecNotInstalled, L"установка отменена до её начала"},
        {"removal declined", RemovalEnd(TRemovalEnd::Declined).ExitCode, L"удаление отклонено"},
        {"a run undone", InstallationEnd(TOutcome::Undone).ExitCode, L"прерваны ошибкой"},
        {"a run not fully undone", InstallationEnd(TOutcome::NotFullyUndone).ExitCode, L"прерваны ошибкой"},
        {"an error after the commit", InstallationEnd(TOutcome::Stopped).ExitCode, L"прерваны ошибкой"},
        {"a run cancelled", InstallationEnd(TOutcome::Cancelled).ExitCode, L"прерваны ошибкой"},
        {"a folder refused", InstallationEnd(TOutcome::Refused).ExitCode, L"прерваны ошибкой"},
        {"a package not installed", InstallationEnd(TOutcome::Incomplete).ExitCode,
         L"выполнены не полностью"},
        {"files left by the removal", RemovalEnd(TRemovalEnd::Incomplete).ExitCode,
         L"выполнены не полностью"},
        {"an error ended the removal", RemovalEnd(TRemovalEnd::Stopped).ExitCode, L"прерваны ошибкой"},
        {"another run in the folder", InstallationEnd(TOutcome::Busy).ExitCode,
         L"уже работает другая установка"},
        {"a removal beside another run", RemovalEnd(TRemovalEnd::Busy).ExitCode, L"или удаление"},
    };
    const THelp help = ReadHelp(CommandLineHelp());
    std::set<int> codes;
    for (const TCase& c : cases) {
        codes.insert(c.Code);
        const auto line = help.Codes.find(c.Code);
        ASSERT_NE(line, help.Codes.end()) << c.End;
        EXPECT_NE(line->second.find(c.Says), std::wstring::npos) << c.End;
    }
    std::set<int> listed, declared;
    for (const auto& [code, text] : help.Codes)
        listed.insert(code);
    for (const TExitCode code : ExitCodes)
        declared.insert(code);
    EXPECT_EQ(listed, codes);
    EXPECT_EQ(declared, codes);
}

} // namespace
