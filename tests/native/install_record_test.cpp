// The installation's record and the version it is registered under.
#include <gtest/gtest.h>

#include "common/StrUtils.h"
#include "common/TextCodec.h"
#include "install/InstallRecord.h"
#include "install/PackageChoice.h"

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
