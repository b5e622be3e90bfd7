// The suite's folder's gateway against the real file system under Wine: what any user could plant in
// "DTAfb" and "Settings" (a hard link to a file elsewhere, a link in a folder's or a file's place, a folder
// swapped for a link while the run holds it) is never written through, renamed, removed or given anything,
// and nothing outside the folder changes; what the run makes itself is made, renamed and replaced within the
// folders it holds.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "MediumBuilder.h"
#include "WinScratch.h"
#include "common/Error.h"
#include "install/files/Copies.h"
#include "install/files/TargetFolder.h"
#include "install/trust/Links.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
using TUse = TTargetFolder::TUse;

// What a call through the gateway came to: "ok", the system's code, or the error it threw.
std::string Outcome(const std::function<DWORD()>& call) {
    try {
        const DWORD code = call();
        return code ? "code " + std::to_string(code) : "ok";
    } catch (const TForeignLink& link) {
        return "link " + WideToUtf8(link.Line());
    } catch (const TError& error) {
        return "error " + WideToUtf8(error.Message());
    }
}

class TargetFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* folder : {L"Дедира", L"Дедира\\DTAfb", L"Дедира\\Settings", L"Чужая папка"})
            ::CreateDirectoryW((dir / folder).c_str(), nullptr);
        PutFile(dir / L"Чужая папка\\system.ini", "the system's own");
        PutFile(dir / L"Чужая папка\\T12.FDB", "another program's database");
        PutFile(dir / L"Чужая папка\\boot.ini", "read-only elsewhere");
        ::SetFileAttributesW((dir / L"Чужая папка\\boot.ini").c_str(), FILE_ATTRIBUTE_READONLY);
        PutFile(dir / L"Дедира\\DTAfb\\T12.FDB", "the clinic's recordings");
        PutFile(dir / L"Носитель.dll", "the medium's file");
    }
    void TearDown() override {
        ::SetFileAttributesW((dir / L"Чужая папка\\boot.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
        // Links are taken away as links before the scratch folder goes.
        for (const wchar_t* link : {L"Дедира\\udf", L"Дедира\\Settings\\link.ini", L"Дедира\\Settings"})
            if (::GetFileAttributesW((dir / link).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)
                e2e::RemoveTree(dir / link);
    }
    // Whatever the gateway did, the folder outside the suite's is as it was.
    void ExpectOutsideAsItWas() {
        EXPECT_EQ(FileBytes(dir / L"Чужая папка\\system.ini"), "the system's own");
        EXPECT_EQ(FileBytes(dir / L"Чужая папка\\T12.FDB"), "another program's database");
        EXPECT_EQ(::GetFileAttributesW((dir / L"Чужая папка\\boot.ini").c_str()) & FILE_ATTRIBUTE_READONLY,
                  DWORD{FILE_ATTRIBUTE_READONLY});
        EXPECT_THAT(FilesContaining(dir / L"Чужая папка", L"~tessaro"), IsEmpty());
    }

    TScratchDir dir;
    const std::wstring target = dir / L"Дедира";
    const std::wstring outside = dir / L"Чужая папка";
};

// A hard link any user may make in "Settings" of a file elsewhere, and links in a folder's and a file's
// place: each way of writing, renaming, removing or reading for a change is refused, and what they lead to
// stays as it was.
TEST_F(TargetFolderTest, WhatAUserPlantedIsNeverWrittenThroughRenamedOrRemoved) {
    ASSERT_TRUE(::CreateHardLinkW((dir / L"Дедира\\Settings\\holter.ini").c_str(),
                                  (dir / L"Чужая папка\\system.ini").c_str(), nullptr));
    // Named as a half-made copy of a killed run's, which the next run removes wherever it finds one.
    ASSERT_TRUE(::CreateHardLinkW((dir / L"Дедира\\DTAfb\\T12.FDB.~tessaro-0123456789abcdef.tmp").c_str(),
                                  (dir / L"Чужая папка\\boot.ini").c_str(), nullptr));
    e2e::PlantLink(dir / L"Дедира\\udf", outside);
    e2e::PlantLink(dir / L"Дедира\\Settings\\link.ini", dir / L"Чужая папка\\T12.FDB");
    TTargetFolder folder(target);
    const std::string otherNames = "code " + std::to_string(OtherNames);
    const std::string linkInPlace = "code " + std::to_string(LinkInPlace);
    struct TCase {
        const char* Name;
        std::function<DWORD()> Call;
        std::string Outcome; // the start of it
    };
    const TCase cases[] = {
        {"a link's folder held",
         [&] {
             folder.Folder(L"udf");
             return DWORD{0};
         },
         "link " + WideToUtf8(ForeignLinkLine(dir / L"Дедира\\udf"))},
        {"a file below a link made",
         [&] { return DWORD(folder.CreateNew(L"udf\\fbudf.dll", GENERIC_WRITE).Valid()); }, "link "},
        {"a copy below a link", [&] { return DWORD(CopyInto(folder, dir / L"Носитель.dll", L"udf\\x.dll")); },
         "link "},
        {"a hard link read for a change",
         [&] { return DWORD(folder.Read(L"Settings\\holter.ini", TUse::Change).Status != TReadStatus::Ok); },
         "code 1"},
        {"a hard link replaced",
         [&] {
             folder.Replace(L"Settings\\holter.ini", "[options]");
             return DWORD{0};
         },
         "error "},
        {"a hard link rewritten",
         [&] {
             folder.Rewrite(L"Settings\\holter.ini", "[options]");
             return DWORD{0};
         },
         "error "},
        {"a hard link made read-only", [&] { return folder.SetReadOnly(L"Settings\\holter.ini", true); },
         otherNames},
        {"a hard link copied over",
         [&] { return DWORD(!CopyInto(folder, dir / L"Носитель.dll", L"Settings\\holter.ini")); }, "error "},
        {"a read-only hard link removed",
         [&] { return folder.Remove(L"DTAfb\\T12.FDB.~tessaro-0123456789abcdef.tmp"); }, otherNames},
        {"a file's link removed", [&] { return folder.Remove(L"Settings\\link.ini"); }, linkInPlace},
        {"a file's link opened to change",
         [&] {
             DWORD code = 0;
             folder.Open(L"Settings\\link.ini", GENERIC_WRITE, ShareAll, TUse::Change, &code);
             return code;
         },
         linkInPlace},
        {"a file's link copied over",
         [&] { return DWORD(!CopyInto(folder, dir / L"Носитель.dll", L"Settings\\link.ini")); }, "error "},
    };
    for (const TCase& c : cases) {
        const std::string outcome = Outcome(c.Call);
        EXPECT_EQ(outcome.substr(0, c.Outcome.size()), c.Outcome) << c.Name << ": " << outcome;
        ExpectOutsideAsItWas();
    }
    EXPECT_THAT(Outcome([&] {
                    folder.Replace(L"Settings\\holter.ini", "x");
                    return DWORD{0};
                }),
                HasSubstr(WideToUtf8(TargetErrorText(OtherNames))));
    EXPECT_THAT(FilesContaining(dir / L"Дедира\\Settings", L"~tessaro"), IsEmpty()) << "no temporary left";
}

// A folder swapped for a link while the run holds it (the host's programs do it under Wine, which does not
// keep them from it, as Windows does) is found when the folders are looked at again, and is lost to the run:
// nothing below it is read, written or removed any more, while the other folders go on.
TEST_F(TargetFolderTest, AFolderSwappedWhileHeldIsFoundAndLostToTheRun) {
    PutFile(dir / L"Дедира\\Settings\\holter.ini", "[options]\r\nFilterType=0\r\n");
    TTargetFolder folder(target);
    ASSERT_EQ(folder.Read(L"Settings\\holter.ini", TUse::Change).Status, TReadStatus::Ok);
    ASSERT_NE(folder.Folder(L"DTAfb"), nullptr);
    folder.Recheck();
    e2e::SwapForLink(dir / L"Дедира\\Settings", outside);
    const std::string swapped = "link " + WideToUtf8(SwappedFolderLine(dir / L"Дедира\\Settings"));
    EXPECT_EQ(Outcome([&] {
                  folder.Recheck();
                  return DWORD{0};
              }),
              swapped);
    const std::function<DWORD()> afterwards[] = {
        [&] { return folder.Remove(L"Settings\\system.ini"); },
        [&] { return DWORD(folder.Read(L"Settings\\system.ini").Status != TReadStatus::Ok); },
        [&] { return folder.Replace(L"Settings\\system.ini", "changed").Valid() ? 0u : 1u; },
        [&] { return DWORD(folder.CreateNew(L"Settings\\new.ini", GENERIC_WRITE).Valid()); },
    };
    for (const auto& call : afterwards)
        EXPECT_EQ(Outcome(call), swapped);
    ExpectOutsideAsItWas();
    EXPECT_EQ(Outcome([&] { return folder.Remove(L"DTAfb\\T12.FDB"); }), "ok") << "the other folders go on";
    folder.Recheck();
    e2e::SwapBack(dir / L"Дедира\\Settings");
    EXPECT_EQ(FileBytes(dir / L"Дедира\\Settings\\holter.ini"), "[options]\r\nFilterType=0\r\n");
}

// What the run makes itself: a file new under a name no one could have prepared, renamed into its place
// within its folder, a replacement that leaves the old file whole where it fails, a folder moved aside; and a
// folder held may be neither renamed nor deleted by anyone until it is let go of.
TEST_F(TargetFolderTest, FilesAreMadeAndRenamedWithinTheFoldersTheRunHolds) {
    TTargetFolder folder(target);
    std::wstring temporary;
    TUniqueFile file = folder.CreateBeside(L"Settings\\holter.ini", temporary);
    ASSERT_TRUE(file.Valid());
    EXPECT_TRUE(temporary.starts_with(L"Settings\\holter.ini.~tessaro-") && temporary.ends_with(L".tmp"))
        << WideToUtf8(temporary);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), "[options]", 9, &written, nullptr));
    EXPECT_EQ(folder.Rename(file.Get(), L"Settings\\holter.ini", false), 0u);
    file.Reset();
    EXPECT_EQ(FileBytes(dir / L"Дедира\\Settings\\holter.ini"), "[options]");
    DWORD code = 0;
    EXPECT_FALSE(folder.CreateNew(L"Settings\\holter.ini", GENERIC_WRITE, &code).Valid()) << "made new only";
    EXPECT_TRUE(code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) << code;

    folder.Replace(L"Settings\\holter.ini", "[options]\r\nFilterType=0\r\n");
    EXPECT_EQ(FileBytes(dir / L"Дедира\\Settings\\holter.ini"), "[options]\r\nFilterType=0\r\n");
    ASSERT_TRUE(
        ::SetFileAttributesW((dir / L"Дедира\\Settings\\holter.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THAT(Outcome([&] { return folder.Replace(L"Settings\\holter.ini", "lost").Valid() ? 0u : 1u; }),
                HasSubstr("error "));
    ::SetFileAttributesW((dir / L"Дедира\\Settings\\holter.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FileBytes(dir / L"Дедира\\Settings\\holter.ini"), "[options]\r\nFilterType=0\r\n");
    EXPECT_THAT(FilesContaining(dir / L"Дедира\\Settings", L"~tessaro"), IsEmpty());

    // Held, the folder can be neither renamed nor deleted; let go of, it can.
    EXPECT_FALSE(::MoveFileW((dir / L"Дедира\\Settings").c_str(), (dir / L"Дедира\\Другие").c_str()));
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    const std::wstring aside = folder.MoveAside(L"Settings");
    EXPECT_TRUE(aside.starts_with(L"Settings.~tessaro-")) << WideToUtf8(aside);
    EXPECT_TRUE(FolderExists(dir / (L"Дедира\\" + aside)));
    EXPECT_FALSE(FolderExists(dir / L"Дедира\\Settings"));
}

} // namespace
