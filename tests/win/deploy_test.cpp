// The database deployment from a medium laid out in a scratch folder into a target folder, watched through a
// recording host: the lines as the list shows them, the stop rules, the errors, and the kept database.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RecordingHost.h"
#include "WinScratch.h"
#include "common/Error.h"
#include "common/HandlesWin.h"
#include "install/files/TargetFolder.h"
#include "install/run/RunTransaction.h"
#include "install/steps/DatabaseServer.h"

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const std::vector<std::wstring> Windows7Set = {
    L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",  L"icudt30.Dll", L"icuin30.Dll",
    L"icuuc30.Dll",  L"msvcp80.Dll",   L"msvcr80.Dll",  L"firebird.msg", L"gbak.exe",    L"gds32.dll"};
const std::vector<std::wstring> WindowsXpSet = {
    L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll", L"icudt30.Dll",
    L"icuin30.Dll",  L"icuuc30.Dll",   L"msvcp71.Dll",  L"msvcr71.Dll", L"firebird.msg"};
const std::vector<std::wstring> IntlFiles = {L"fbintl.conf", L"fbintl.dll"};
const std::vector<std::wstring> ServerUdfFiles = {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql", L"ib_udf.sql",
                                                  L"ib_udf2.sql"};
const std::vector<std::wstring> OwnUdfFiles = {L"Compare.Dll", L"PosStr.Dll", L"ProcessingECG.Dll",
                                               L"SDecision.Dll"};

std::wstring Step(const std::wstring& name, const wchar_t* suffix = L"Завершено") {
    return L"Копирование файла " + name + L"...." + suffix;
}

void AppendSteps(std::vector<std::wstring>& lines, const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names)
        lines.push_back(Step(name));
}

std::string MediumBytes(const std::wstring& name) {
    return "medium copy of " + WideToUtf8(name);
}

TLocalTime FixedTime() {
    return {2024, 3, 5, 7, 8, 9};
}

// Reads of the file whose path ends in Suffix fail; every other read is slowed by DelayMs.
struct TReadFake {
    static std::wstring& FailingSuffix() {
        static std::wstring suffix;
        return suffix;
    }
    static DWORD& DelayMs() {
        static DWORD delay = 0;
        return delay;
    }
    static BOOL WINAPI Read(HANDLE file, LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
        const std::wstring& suffix = FailingSuffix();
        wchar_t path[2048];
        const DWORD length = ::GetFinalPathNameByHandleW(file, path, 2048, FILE_NAME_NORMALIZED);
        if (!suffix.empty() && length >= suffix.size() && length < 2048 &&
            ::CompareStringOrdinal(path + length - suffix.size(), static_cast<int>(suffix.size()),
                                   suffix.c_str(), static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL) {
            ::SetLastError(ERROR_CRC);
            return FALSE;
        }
        if (DelayMs())
            ::Sleep(DelayMs());
        return ::ReadFile(file, buffer, size, done, overlapped);
    }
};

class Deploy : public ::testing::Test {
protected:
    void SetUp() override {
        FSavedClock = DeployClock();
        DeployClock() = &FixedTime;
        FSavedApi = CopyFileApi();
        CopyFileApi().Read = &TReadFake::Read;
        TReadFake::FailingSuffix().clear();
        TReadFake::DelayMs() = 0;

        for (const wchar_t* folder :
             {L"", L"DTAfb", L"Firebird", L"Firebird\\intl", L"Firebird\\udf", L"UDF"})
            ::CreateDirectoryW((FMedium + folder).c_str(), nullptr);
        PutFile(FMedium + L"DTAfb\\T12.FDB", MediumBytes(L"T12.FDB"));
        for (const auto* set : {&Windows7Set, &WindowsXpSet})
            for (const std::wstring& name : *set)
                PutFile(FMedium + L"Firebird\\" + name, MediumBytes(name));
        for (const std::wstring& name : IntlFiles)
            PutFile(FMedium + L"Firebird\\intl\\" + name, MediumBytes(name));
        for (const std::wstring& name : ServerUdfFiles)
            PutFile(FMedium + L"Firebird\\udf\\" + name, MediumBytes(name));
        for (const std::wstring& name : OwnUdfFiles)
            PutFile(FMedium + L"UDF\\" + name, MediumBytes(name));
        // The path page has made the target folder before the run starts.
        ::CreateDirectoryW(FTarget.c_str(), nullptr);
    }
    void TearDown() override {
        DeployClock() = FSavedClock;
        CopyFileApi() = FSavedApi;
    }
    // The step inside a run of its own, as the installation runs it: committed when it completes (the
    // medium's database takes its name then), undone when it stops or fails.
    TDeployResult Run(int windowsIndex) {
        TTargetFolder target(FTarget);
        TRunTransaction transaction(FHost, target);
        transaction.Begin(false);
        try {
            const TDeployResult result =
                DeployDatabaseServer(FHost, FMedium, target, windowsIndex, transaction);
            if (result == TDeployResult::Completed) {
                transaction.Commit();
                transaction.Finish();
            } else {
                transaction.RollBack();
            }
            return result;
        } catch (...) {
            transaction.RollBack();
            throw;
        }
    }
    std::string RunError(int windowsIndex) {
        try {
            Run(windowsIndex);
        } catch (const TError& error) {
            return WideToUtf8(error.Message());
        }
        return "<no error>";
    }
    std::vector<std::wstring> CompleteRun(const std::vector<std::wstring>& serverSet) {
        std::vector<std::wstring> lines{Step(L"T12.FDB")};
        AppendSteps(lines, serverSet);
        AppendSteps(lines, IntlFiles);
        AppendSteps(lines, ServerUdfFiles);
        AppendSteps(lines, OwnUdfFiles);
        return lines;
    }

    TScratchDir FDir;
    const std::wstring FMedium = FDir / L"Носитель установки\\";
    const std::wstring FTarget = FDir / L"Тессаро Холтер\\";
    const std::wstring FDatabase = FTarget + L"DTAfb\\T12.FDB";
    TRecordingHost FHost;
    TDeployClock FSavedClock = nullptr;
    TCopyFileApi FSavedApi;
};

TEST_F(Deploy, FirstInstallationForWindows7CopiesEveryFileInOrder) {
    EXPECT_EQ(Run(0), TDeployResult::Completed);
    std::vector<std::wstring> expected{L"Каталог <DTAfb> создан..."};
    const std::vector<std::wstring> steps = CompleteRun(Windows7Set);
    expected.insert(expected.end(), steps.begin(), steps.end());
    EXPECT_THAT(FHost.Lines, ElementsAreArray(expected));
    EXPECT_EQ(steps.size(), 24u);
    EXPECT_THAT(FHost.Errors, IsEmpty());

    EXPECT_EQ(FileBytes(FDatabase), MediumBytes(L"T12.FDB"));
    EXPECT_EQ(FileBytes(FTarget + L"gds32.dll"), MediumBytes(L"gds32.dll"));
    EXPECT_EQ(FileBytes(FTarget + L"intl\\fbintl.dll"), MediumBytes(L"fbintl.dll"));
    EXPECT_EQ(FileBytes(FTarget + L"udf\\ib_udf2.sql"), MediumBytes(L"ib_udf2.sql"));
    EXPECT_EQ(FileBytes(FTarget + L"udf\\SDecision.Dll"), MediumBytes(L"SDecision.Dll"));
    EXPECT_FALSE(FileExists(FTarget + L"msvcp71.Dll"));

    ASSERT_EQ(FHost.Traces.size(), 24u);
    EXPECT_THAT(WideToUtf8(FHost.Traces[0]),
                HasSubstr(std::to_string(MediumBytes(L"T12.FDB").size()) + " байт"));
}

TEST_F(Deploy, WindowsXpSetIntoAnExistingDatabaseFolder) {
    ::CreateDirectoryW((FTarget + L"DTAfb").c_str(), nullptr);
    EXPECT_EQ(Run(1), TDeployResult::Completed);
    EXPECT_THAT(FHost.Lines, ElementsAreArray(CompleteRun(WindowsXpSet)));
    EXPECT_EQ(FileBytes(FTarget + L"msvcr71.Dll"), MediumBytes(L"msvcr71.Dll"));
    EXPECT_FALSE(FileExists(FTarget + L"gbak.exe"));
}

TEST_F(Deploy, DatabaseFolderThatCannotBeMadeStopsWithTheErrorBox) {
    PutFile(FTarget + L"DTAfb", "a file in the folder's place");
    EXPECT_EQ(Run(0), TDeployResult::Stopped);
    EXPECT_THAT(FHost.Errors, ElementsAreArray({L"Ошибка при создании каталога <DTAfb>!"}));
    EXPECT_THAT(FHost.Lines, ElementsAreArray({std::wstring(L"Ошибка при создании каталога <DTAfb>!"),
                                               std::wstring(UndoText::CopiesRemoved)}));
}

TEST_F(Deploy, LaterRunsKeepEachEarlierDatabaseUnderADatedName) {
    ::CreateDirectoryW((FTarget + L"DTAfb").c_str(), nullptr);
    PutFile(FDatabase, "recordings of the first clinic day");
    EXPECT_EQ(Run(0), TDeployResult::Completed);
    const std::wstring kept = FTarget + L"DTAfb\\T12.FDB.20240305-070809.bak";
    // The kept database's line comes with the commit, after the step's own.
    ASSERT_EQ(FHost.Lines.size(), 25u);
    EXPECT_EQ(FHost.Lines[0], Step(L"T12.FDB"));
    EXPECT_EQ(FHost.Lines.back(), L"Прежняя база данных сохранена: «" + kept + L"»");
    EXPECT_EQ(FileBytes(kept), "recordings of the first clinic day");
    EXPECT_EQ(FileBytes(FDatabase), MediumBytes(L"T12.FDB"));

    // The same second again (a clock set back): the earlier copy is not overwritten.
    PutFile(FDatabase, "recordings of the second day");
    FHost = TRecordingHost();
    EXPECT_EQ(Run(0), TDeployResult::Completed);
    const std::wstring keptAgain = FTarget + L"DTAfb\\T12.FDB.20240305-070809-2.bak";
    EXPECT_EQ(FHost.Lines.back(), L"Прежняя база данных сохранена: «" + keptAgain + L"»");
    EXPECT_EQ(FileBytes(kept), "recordings of the first clinic day");
    EXPECT_EQ(FileBytes(keptAgain), "recordings of the second day");
}

// The database server holding the database (or a running program one of the server's files) is the usual
// reinstall: the user is told which file, and either the program lets go and the run goes on, or the user
// cancels and nothing has changed.
TEST_F(Deploy, HeldFilesAreNamedAndEitherRetriedOrLeftAsTheyWere) {
    ::CreateDirectoryW((FTarget + L"DTAfb").c_str(), nullptr);
    PutFile(FDatabase, "open in the server");
    // Held as a server holds it: others may read, but not rename or replace it.
    TUniqueFile held(
        ::CreateFileW(FDatabase.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());

    // Held at the commit, when the medium's copy is to take its name: cancelled, the run is undone.
    FHost.InUseAnswers = {TInUseAnswer::Cancel};
    EXPECT_THROW(Run(0), TCancelled);
    EXPECT_TRUE(FHost.SawPrefix(L"in use: " + FDatabase));
    EXPECT_EQ(FileBytes(FDatabase), "open in the server");
    EXPECT_THAT(FilesContaining(FTarget + L"DTAfb\\", L".bak"), IsEmpty());
    EXPECT_THAT(FilesContaining(FTarget + L"DTAfb\\", L"~tessaro"), IsEmpty());
    EXPECT_FALSE(FileExists(FTarget + L"aliases.conf"));

    // Given up (an unattended run that waited long enough): the error names the file.
    FHost = TRecordingHost();
    EXPECT_THAT(RunError(0), HasSubstr(WideToUtf8(FDatabase)));
    EXPECT_EQ(FileBytes(FDatabase), "open in the server");

    // The holder lets go while the question is up; the retry gets through, the old database is kept.
    FHost = TRecordingHost();
    FHost.InUseAnswers = {TInUseAnswer::Retry};
    FHost.OnInUse = [&] { held.Reset(); };
    EXPECT_EQ(Run(0), TDeployResult::Completed);
    EXPECT_EQ(FileBytes(FDatabase), MediumBytes(L"T12.FDB"));
    EXPECT_EQ(FilesContaining(FTarget + L"DTAfb\\", L".bak").size(), 1u);

    // A server file held open, which the next release replaces: the same question, for that file. (One
    // that is there as the medium has it is left alone, held or not.)
    const std::wstring library = FTarget + L"fbclient.Dll";
    PutFile(FMedium + L"Firebird\\fbclient.Dll", "fbclient.Dll of the next release");
    held.Reset(
        ::CreateFileW(library.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    FHost = TRecordingHost();
    FHost.InUseAnswers = {TInUseAnswer::Retry};
    FHost.OnInUse = [&] { held.Reset(); };
    EXPECT_EQ(Run(0), TDeployResult::Completed);
    EXPECT_TRUE(FHost.SawPrefix(L"in use: " + library));
    EXPECT_THAT(FilesContaining(FTarget, L".tmp"), IsEmpty());
}

TEST_F(Deploy, FileMissingFromTheMediumRaisesNamingItAndLeavesItsLineOpen) {
    const std::wstring missing = FMedium + L"Firebird\\fbclient.Dll";
    ::DeleteFileW(missing.c_str());
    EXPECT_THAT(RunError(0), HasSubstr(WideToUtf8(missing)));
    ASSERT_EQ(FHost.Lines.size(), 6u);
    EXPECT_EQ(FHost.Lines[3], Step(L"firebird.conf"));
    EXPECT_EQ(FHost.Lines[4], L"Копирование файла fbclient.Dll....");
    EXPECT_EQ(FHost.Lines[5], UndoText::CopiesRemoved);

    // An own library raises as well: only a failed copy is forgiven there.
    PutFile(missing, MediumBytes(L"fbclient.Dll"));
    ::DeleteFileW((FMedium + L"UDF\\PosStr.Dll").c_str());
    FHost = TRecordingHost();
    EXPECT_THAT(RunError(0), HasSubstr("PosStr.Dll"));
    EXPECT_EQ(FHost.Lines.at(FHost.Lines.size() - 2), L"Копирование файла PosStr.Dll....");
}

TEST_F(Deploy, DatabaseMissingFromTheMediumLeavesTheOldOneInPlace) {
    ::CreateDirectoryW((FTarget + L"DTAfb").c_str(), nullptr);
    PutFile(FDatabase, "the only copy of the recordings");
    ::DeleteFileW((FMedium + L"DTAfb\\T12.FDB").c_str());
    EXPECT_THAT(RunError(0), HasSubstr("T12.FDB"));
    EXPECT_THAT(FHost.Lines, ElementsAreArray({L"Копирование файла T12.FDB....", UndoText::CopiesRemoved}));
    EXPECT_EQ(FileBytes(FDatabase), "the only copy of the recordings");
    EXPECT_THAT(FilesContaining(FTarget + L"DTAfb\\", L".bak"), IsEmpty());

    // A copy that fails half-way gives it back as well.
    PutFile(FMedium + L"DTAfb\\T12.FDB", MediumBytes(L"T12.FDB"));
    TReadFake::FailingSuffix() = L"\\DTAfb\\T12.FDB";
    FHost = TRecordingHost();
    EXPECT_EQ(Run(0), TDeployResult::Stopped);
    EXPECT_THAT(FHost.Lines,
                ElementsAreArray({Step(L"T12.FDB", L"ОШИБКА!!!"), std::wstring(UndoText::CopiesRemoved)}));
    EXPECT_EQ(FileBytes(FDatabase), "the only copy of the recordings");
    EXPECT_THAT(FilesContaining(FTarget + L"DTAfb\\", L".bak"), IsEmpty());
}

TEST_F(Deploy, FailedCopiesStopTheServerFilesButNotTheOwnLibraries) {
    TReadFake::FailingSuffix() = L"\\UDF\\ProcessingECG.Dll";
    EXPECT_EQ(Run(0), TDeployResult::Completed);
    ASSERT_EQ(FHost.Lines.size(), 25u);
    EXPECT_EQ(FHost.Lines[22], Step(L"PosStr.Dll"));
    EXPECT_EQ(FHost.Lines[23], Step(L"ProcessingECG.Dll", L"ОШИБКА!!!"));
    EXPECT_EQ(FHost.Lines[24], Step(L"SDecision.Dll"));
    EXPECT_FALSE(FileExists(FTarget + L"udf\\ProcessingECG.Dll"));
    EXPECT_EQ(FileBytes(FTarget + L"udf\\SDecision.Dll"), MediumBytes(L"SDecision.Dll"));

    TReadFake::FailingSuffix() = L"\\intl\\fbintl.conf";
    FHost = TRecordingHost();
    EXPECT_EQ(Run(0), TDeployResult::Stopped);
    EXPECT_EQ(FHost.Lines.at(13), Step(L"fbintl.conf", L"ОШИБКА!!!"));
    EXPECT_EQ(FHost.Lines.size(), 15u);
}

} // namespace
