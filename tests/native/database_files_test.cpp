// The database deployment's file plan and the name an existing database is kept under.
#include <gtest/gtest.h>

#include "install/steps/DatabaseFiles.h"

namespace {

std::size_t FileCount(const std::vector<TDeployGroup>& groups) {
    std::size_t count = 0;
    for (const TDeployGroup& group : groups)
        count += group.Files.size();
    return count;
}

TEST(DatabaseFiles, EveryIndexButZeroChoosesTheWindowsXpSet) {
    const auto seven = ServerFileGroups(0);
    EXPECT_EQ(FileCount(seven), 23u);
    EXPECT_EQ(seven.front().Files.back().Name, L"gds32.dll");
    for (int index : {1, 2, -1}) {
        const auto xp = ServerFileGroups(index);
        EXPECT_EQ(FileCount(xp), 21u);
        EXPECT_EQ(xp.front().Files[7].Source, L"Firebird\\msvcp71.Dll");
        EXPECT_EQ(xp.front().Files.back().Name, L"firebird.msg");
    }
}

TEST(DatabaseFiles, OnlyTheOwnLibrariesForgiveAFailedCopy) {
    const auto groups = ServerFileGroups(0);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_TRUE(groups[0].FailureStops && groups[1].FailureStops && groups[2].FailureStops);
    EXPECT_FALSE(groups[3].FailureStops);
    EXPECT_EQ(groups[1].Folder, L"intl");
    EXPECT_EQ(groups[1].Files[1].Source, L"Firebird\\intl\\fbintl.dll");
    EXPECT_EQ(groups[1].Files[1].Dest, L"intl\\fbintl.dll");
    EXPECT_EQ(groups[3].Files[0].Source, L"UDF\\Compare.Dll");
    EXPECT_EQ(groups[3].Files[0].Dest, L"udf\\Compare.Dll");
    EXPECT_EQ(CopyStepText(groups[3].Files[2].Name), L"Копирование файла ProcessingECG.Dll....");
}

TEST(DatabaseFiles, BackupNameCarriesTheLocalTimeWithLeadingZeros) {
    EXPECT_EQ(BackupFileName(L"T12.FDB", {2024, 3, 5, 7, 8, 9}), L"T12.FDB.20240305-070809.bak");
    EXPECT_EQ(BackupFileName(L"T12.FDB", {1999, 12, 31, 23, 59, 58}), L"T12.FDB.19991231-235958.bak");
    EXPECT_EQ(BackupFileName(L"T12.FDB", {2024, 3, 5, 7, 8, 9}, 1), L"T12.FDB.20240305-070809-2.bak");
    // What it makes, and nothing else, is told as such: a journal names no other file as the kept database.
    for (int attempt : {0, 1, 9, 99})
        EXPECT_TRUE(IsDatedBackupName(BackupFileName(L"T12.FDB", {2024, 3, 5, 7, 8, 9}, attempt), L"T12.FDB"))
            << attempt;
    for (const wchar_t* other :
         {L"T12.FDB.20240305-070809-101.bak", L"T12.FDB.20240305-070809-01.bak",
          L"T12.FDB.2024035-070809.bak", L"T12.FDB.20240305_070809.bak", L"T12.FDB.20240305-070809.bak.exe",
          L"T13.FDB.20240305-070809.bak", L"T12.FDB.20240305-070809-x.bak", L"T12.FDB.bak"})
        EXPECT_FALSE(IsDatedBackupName(other, L"T12.FDB")) << other;
}

} // namespace
