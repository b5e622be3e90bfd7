// The switches of an unattended installation.
#include <gtest/gtest.h>

#include "session/CommandLine.h"

TEST(CommandLine, SplitsOnBlanksOutsideQuotesAndKeepsBackslashes) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(SplitArguments(L""), V{});
    EXPECT_EQ(SplitArguments(L"  /SILENT\t/dir=\"C:\\Program Files\\Дедира\\\"  "),
              (V{L"/SILENT", L"/dir=C:\\Program Files\\Дедира\\"}));
    EXPECT_EQ(SplitArguments(L"\"/LOG=a b.txt\" /X=\"\""), (V{L"/LOG=a b.txt", L"/X="}));
    EXPECT_EQ(SkipProgramName(L"\"C:\\Медиа диск\\Setup.exe\" /SILENT"), L" /SILENT");
    EXPECT_EQ(SkipProgramName(L"Setup.exe"), L"");
    EXPECT_EQ(SkipProgramName(L"  Z:\\x\\Setup.exe /dir=\"a\""), L" /dir=\"a\"");
}

TEST(CommandLine, ReadsEverySwitchInAnyCase) {
    const TCommandLine line = ParseCommandLine(L"/verysilent /SuppressMsgBoxes /DIR=\"D:\\Мед карты\" "
                                               L"/nodriver /WindowsXP /log=\"C:\\logs\\setup.log\"");
    EXPECT_TRUE(line.Error.empty()) << line.Error;
    EXPECT_EQ(line.Mode, TUiMode::VerySilent);
    EXPECT_TRUE(line.SuppressMsgBoxes);
    EXPECT_EQ(line.Dir, L"D:\\Мед карты");
    EXPECT_TRUE(line.NoDriver);
    EXPECT_TRUE(line.WindowsXP);
    EXPECT_EQ(line.Log, L"C:\\logs\\setup.log");
    EXPECT_TRUE(line.AnswersQuestions());

    const TCommandLine none = ParseCommandLine(L"");
    EXPECT_TRUE(none.Error.empty());
    EXPECT_EQ(none.Mode, TUiMode::Interactive);
    EXPECT_FALSE(none.AnswersQuestions());
    EXPECT_FALSE(none.Dir);
    EXPECT_TRUE(ParseCommandLine(L"/?").Help);
    EXPECT_TRUE(ParseCommandLine(L"-help").Help);
}

TEST(CommandLine, TheLastOfRepeatedSwitchesWins) {
    const TCommandLine line = ParseCommandLine(L"/DIR=C:\\a /SILENT /dir=\"C:\\b c\" /VERYSILENT /Silent");
    EXPECT_TRUE(line.Error.empty());
    EXPECT_EQ(line.Dir, L"C:\\b c");
    EXPECT_EQ(line.Mode, TUiMode::Silent);
}

TEST(CommandLine, RefusesWhatItDoesNotKnowWithTheReason) {
    for (const wchar_t* bad :
         {L"/QUIET", L"/SILENT=1", L"/DIR", L"/DIR=", L"/LOG=\"\"", L"SILENT", L"/", L"/SILENT /NOSUCH"}) {
        const TCommandLine line = ParseCommandLine(bad);
        EXPECT_FALSE(line.Error.empty()) << bad;
    }
    EXPECT_NE(ParseCommandLine(L"/SILENT /NOSUCH=1").Error.find(L"/NOSUCH=1"), std::wstring::npos);
}

// An open quote swallows the rest of the line into one argument: whatever that says, the line is refused.
TEST(CommandLine, RefusesAQuoteLeftOpen) {
    const struct {
        const wchar_t* Line;
        TUiMode Mode;         // what the switches before the open quote asked for
        const wchar_t* Named; // the argument the refusal names
    } cases[] = {
        {L"/DIR=\"C:\\Dedira /VERYSILENT", TUiMode::Interactive, L"/DIR=C:\\Dedira /VERYSILENT"},
        {L"/VERYSILENT /DIR=\"C:\\Program Files\\Dedira", TUiMode::VerySilent, L"/DIR=C:\\Program Files"},
        {L"/SILENT \"/LOG=C:\\a.log", TUiMode::Silent, L"/LOG=C:\\a.log"},
        {L"/SILENT /DIR=\"a\"\"", TUiMode::Silent, L"/DIR=a"},
        {L"\"", TUiMode::Interactive, L""},
    };
    for (const auto& each : cases) {
        const TCommandLine line = ParseCommandLine(each.Line);
        EXPECT_NE(line.Error.find(L"кавычка"), std::wstring::npos) << each.Line;
        EXPECT_NE(line.Error.find(each.Named), std::wstring::npos) << line.Error;
        EXPECT_EQ(line.Mode, each.Mode) << each.Line;
        EXPECT_FALSE(line.Dir) << each.Line;
        EXPECT_FALSE(line.Log) << each.Line;
    }
    EXPECT_TRUE(ParseCommandLine(L"/DIR=\"C:\\a\"\"b c\"").Error.empty()) << "quotes in pairs";
}

// A refused line neither installs, removes nor cleans up: nothing read before the refusal acts. How the
// refusal is reported (mode, boxes, log) is kept.
TEST(CommandLine, ARefusedLineKeepsNothingThatActs) {
    for (const wchar_t* bad :
         {L"/DIR=C:\\Dedira /NODRIVER /WINDOWSXP /HELP /NOSUCH", L"/UNINSTALL /DIR=C:\\Dedira /SILENT=1",
          L"/FINISHUNINSTALL=12 /DIR=C:\\x /DIR=", L"/DIR=C:\\Dedira /UNINSTALL \"/LOG=x"}) {
        const TCommandLine line = ParseCommandLine(bad);
        EXPECT_FALSE(line.Error.empty()) << bad;
        EXPECT_FALSE(line.Dir || line.Uninstall || line.FinishUninstall || line.Help || line.NoDriver ||
                     line.WindowsXP)
            << bad;
    }
    const TCommandLine reported =
        ParseCommandLine(L"/VERYSILENT /SUPPRESSMSGBOXES /LOG=C:\\s.log /DIR=C:\\x /X");
    EXPECT_EQ(reported.Mode, TUiMode::VerySilent);
    EXPECT_TRUE(reported.SuppressMsgBoxes);
    EXPECT_EQ(reported.Log, L"C:\\s.log");
}

TEST(CommandLine, FindsTheSwitchesThatAskForNoBoxesAnywhere) {
    const struct {
        const wchar_t* Text;
        bool Quiet;
    } cases[] = {
        {L"/NOSUCH /VERYSILENT", true},
        {L"\"/DIR=C:\\x /verysilent", true},
        {L"/X -SuppressMsgBoxes", true},
        {L"/DIR=C:\\a/VERYSILENT", true},
        {L"/VERYSILENT", true},
        {L"/VERY\"SILENT\"", true},
        {L"", false},
        {L"/SILENT /NOSUCH", false},
        {L"VERYSILENT", false},
        {L"/VERYSILEN", false},
        {L"/SUPPRESSMSGBOX", false},
    };
    for (const auto& each : cases)
        EXPECT_EQ(NamesQuietSwitch(each.Text), each.Quiet) << each.Text;
}
