// The switches of an unattended installation.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

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
