// The installation's record and the version it is registered under.
#include <gtest/gtest.h>

#include "common/StrUtils.h"
#include "common/TextCodec.h"
#include "install/record/InstallRecord.h"
#include "install/steps/PackageChoice.h"

TEST(InstallRecord, RoundTripsAndMergesASecondRun) {
    TInstallRecord record;
    MergeInstallRecord(record, {{L"fbclient.Dll", 11, "0a1b"}, {L"backup\\R010321\\Install.cmd", 240, "ff"}},
                       ClinicDataFolders());
    MergeInstallRecord(record, {{L"FBCLIENT.DLL", 12, "0c"}, {L"Программы\\Оболочка.exe", 3, "01"}},
                       {L"DTAfb"});
    ASSERT_EQ(record.Files.size(), 3u) << "the same file, another letter case, is one entry";
    EXPECT_EQ(record.Files[0].Size, 12u);
    EXPECT_EQ(record.DataFolders, ClinicDataFolders());

    const TInstallRecord read = ParseInstallRecord(FormatInstallRecord(record));
    ASSERT_EQ(read.Files.size(), 3u);
    EXPECT_EQ(read.Files[2].Path, L"Программы\\Оболочка.exe");
    EXPECT_EQ(read.Files[1].Hash, "ff");
    EXPECT_EQ(read.DataFolders, ClinicDataFolders());
    EXPECT_TRUE(InDataFolder(read, L"DTAfb\\T12.FDB.20240305-070809.bak"));
    EXPECT_TRUE(InDataFolder(read, L"settings"));
    EXPECT_FALSE(InDataFolder(read, L"DTAfbX\\T12.FDB"));
}

// A damaged record loses only its damaged lines, and nothing in it may lead the uninstaller out of the
// folder.
// The uninstaller removes a link only when it leads into the suite's folder: a sibling whose name starts the
// same, or the folder itself, is not inside it.
TEST(InstallRecord, OnlyWhatLiesBelowTheSuitesFolderIsInsideIt) {
    const std::wstring suite = L"C:\\Программы\\Дедира\\";
    EXPECT_TRUE(PathInFolder(L"c:\\программы\\дедира\\Shell.exe", suite));
    EXPECT_FALSE(PathInFolder(L"C:\\Программы\\Дедира2\\Shell.exe", suite));
    EXPECT_FALSE(PathInFolder(suite, suite));
    EXPECT_EQ(WithTrailingBackslash(L"C:\\Программы\\Дедира"), suite);
    EXPECT_EQ(WithTrailingBackslash(suite), suite);
    EXPECT_EQ(WithoutTrailingBackslash(suite + L"\\"), L"C:\\Программы\\Дедира");
    EXPECT_EQ(WithoutTrailingBackslash(L"C:\\"), L"C:\\");
}

TEST(InstallRecord, RefusesPathsOutsideTheTargetAndDamagedLines) {
    const std::string text = "heading\r\n"
                             "file\t5\tab\t..\\..\\Windows\\system.ini\r\n"
                             "file\t5\tab\tC:\\boot.ini\r\n"
                             "file\t5\tab\t\\rooted.txt\r\n"
                             "file\t5\tab\tbackup\\.\\x\r\n"
                             "file\tfive\tab\tsize.txt\r\n"
                             "file\t5\tXYZ\thash.txt\r\n"
                             "data\t..\r\n"
                             "file\t7\t0f\tgood.txt";
    const TInstallRecord record = ParseInstallRecord(text);
    ASSERT_EQ(record.Files.size(), 1u);
    EXPECT_EQ(record.Files[0].Path, L"good.txt");
    EXPECT_TRUE(record.DataFolders.empty());
}

namespace {

TInstallRecord RecordOfFileLines(const std::vector<std::string>& paths, std::string data = "") {
    std::string text = "heading\r\n" + data;
    for (const std::string& path : paths)
        text += "file\t1\t0a\t" + path + "\r\n";
    return ParseInstallRecord(text);
}

} // namespace

// Every spelling by which the system reaches a data folder is guarded, whatever the record's data lines say.
TEST(InstallRecord, TheDataGuardHoldsWhateverTheRecordSays) {
    const TInstallRecord none = ParseInstallRecord("heading\r\nfile\t1\t0a\tShell.exe\r\n");
    const TInstallRecord other = ParseInstallRecord("heading\r\ndata\tPrograms\r\n");
    ASSERT_TRUE(none.DataFolders.empty());
    for (const wchar_t* data :
         {L"DTAfb\\T12.FDB", L"DTAfb/T12.FDB", L"DTAfb.\\T12.FDB", L"dtafb \\T12.FDB", L"DTAFB. .\\T12.FDB",
          L"DTAfb", L"DTAfb\\", L".\\DTAfb\\T12.FDB", L"DTAfb\\\\T12.FDB",
          L"DTAfb::$INDEX_ALLOCATION\\T12.FDB", L"SETTINGS\\holter.ini", L"Settings/holter.ini",
          L"Settıngs\\holter.ini", L"ſettings\\holter.ini", L"Backup\\..\\DTAfb\\T12.FDB", L"Backup\\...\\x",
          L"Backup\\. .\\x", L"..\\x"}) {
        EXPECT_TRUE(InDataFolder(none, data)) << data;
        EXPECT_TRUE(InDataFolder(other, data)) << data;
        EXPECT_TRUE(InDataFolder(TInstallRecord{}, data)) << data;
    }
    for (const wchar_t* program : {L"DTAfbX\\T12.FDB", L"Backup\\DTAfb\\T12.FDB", L"Settings2", L"DTA fb",
                                   L"Shell.exe", L"Backup\\.\\x", L"", L".DTAfb\\x"})
        EXPECT_FALSE(InDataFolder(none, program)) << program;
    // The record's own data lines add to the guard.
    EXPECT_TRUE(InDataFolder(other, L"programs.\\x.exe"));
    EXPECT_FALSE(InDataFolder(none, L"Programs\\x.exe"));
}

TEST(InstallRecord, RefusesEveryNameTheSystemReadsAsAnotherOrAsADevice) {
    for (const char* bad : {"DTAfb/T12.FDB",
                            "Programs/Shell.exe",
                            "DTAfb.\\T12.FDB",
                            "Programs.\\Shell.exe",
                            "Shell.exe.",
                            "Shell.exe ",
                            "Programs \\Shell.exe",
                            "...\\x",
                            ". \\x",
                            " ",
                            "CON",
                            "con.txt",
                            "NUL .txt",
                            "Programs\\nul",
                            "AUX.dll\\x",
                            "prn",
                            "COM1",
                            "lpt9.log",
                            "COM0",
                            "COM\xC2\xB9",
                            "LPT\xC2\xB3.txt",
                            "CONIN$",
                            "conout$.x",
                            "PROGRA~1\\Shell.exe",
                            "UNINST~1\\Setup.exe",
                            "SHELL~12.EXE",
                            "a\x01.txt",
                            "a\tb",
                            "a\x1f",
                            "a*.exe",
                            "a?.exe",
                            "a<b",
                            "a>b",
                            "a|b",
                            "a\"b",
                            "a\\\\b",
                            "\\x",
                            "C:x",
                            "x::$DATA"})
        EXPECT_TRUE(RecordOfFileLines({bad}).Files.empty()) << bad;
    const std::vector<std::string> good = {"Shell.exe", "Программы\\Оболочка.exe",
                                           "COM10.txt", "CONSOLE.exe",
                                           "NULL.dll",  "LPT.txt",
                                           "a~b.txt",   "LONGNAME~1.TXT",
                                           "X~1.HTML",  ".hidden",
                                           "x.y z",     "backup\\R010321\\Install.cmd",
                                           "DTAfbX\\a"};
    const TInstallRecord kept = RecordOfFileLines(good);
    ASSERT_EQ(kept.Files.size(), good.size());
    for (std::size_t i = 0; i < good.size(); ++i)
        EXPECT_EQ(WideToUtf8(kept.Files[i].Path), good[i]);
}

// A record the run wrote never lists them: the run leaves those folders out.
TEST(InstallRecord, RefusesFilesInTheDataAndUninstallFolders) {
    for (const char* excluded :
         {"DTAfb\\T12.FDB", "dtafb\\T12.FDB", "Settings\\holter.ini", "SETTINGS", "Uninstall\\Setup.exe",
          "uninstall\\installed.txt", "Settıngs\\x.ini", "Unınstall\\Setup.exe"}) {
        EXPECT_TRUE(RecordOfFileLines({excluded}).Files.empty()) << excluded;
        EXPECT_TRUE(NeverRecorded(Utf8ToWide(excluded))) << excluded;
    }
    EXPECT_FALSE(NeverRecorded(L"Uninstaller\\x.exe"));
    // A data line may name the clinic's folders or add one; it may not climb out or name a device.
    const TInstallRecord record =
        RecordOfFileLines({}, "data\tDTAfb\r\ndata\tArchive\r\ndata\tCON\r\ndata\tx/y\r\ndata\tArchive.\r\n");
    EXPECT_EQ(record.DataFolders, (std::vector<std::wstring>{L"DTAfb", L"Archive"}));
}

TEST(InstallRecord, DisplayVersionSortsAsReleasesGrow) {
    const TDisplayVersion version = ReleaseDisplayVersion(L"1", L"010321");
    EXPECT_EQ(version.Text, L"1.2021.03.01");
    EXPECT_EQ(version.Major, 1u);
    EXPECT_EQ(version.Minor, 20210301u);
    EXPECT_LT(ReleaseDisplayVersion(L"1", L"311220").Minor, version.Minor);
    // A level that is no date: the release file's version alone.
    EXPECT_EQ(ReleaseDisplayVersion(L"1", L"R000000").Text, L"1");
    EXPECT_EQ(ReleaseDisplayVersion(L"1", L"991399").Text, L"1");
    EXPECT_EQ(ReleaseDisplayVersion(L"x", L"").Text, L"0");
}
