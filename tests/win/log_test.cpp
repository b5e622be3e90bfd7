// The log on Windows: the event-log report through its seam, the user's separators, and a locked log
// file beside the executable.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Error.h"
#include "common/FileIO.h"
#include "support/unitMyLog.h"
#include "support/unitMyLogWin.h"
#include "common/HandlesWin.h"

namespace {

struct TReport {
    std::wstring Server, Source;
    WORD Type = 0, Category = 0, Strings = 0;
    DWORD EventId = 0xFFFF;
    std::wstring Text;
};
std::vector<TReport> Reports;
int Deregistered = 0;
bool RegisterFails = false;
bool ReportFails = false;
HANDLE const FakeSource = reinterpret_cast<HANDLE>(0x1234);

HANDLE WINAPI FakeRegister(LPCWSTR server, LPCWSTR source) {
    if (RegisterFails) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    TReport report;
    report.Server = server ? server : L"";
    report.Source = source ? source : L"";
    Reports.push_back(report);
    return FakeSource;
}
BOOL WINAPI FakeReport(HANDLE source, WORD type, WORD category, DWORD id, PSID, WORD count, DWORD,
                       LPCWSTR* strings, LPVOID) {
    if (source != FakeSource || Reports.empty())
        return FALSE;
    TReport& report = Reports.back();
    report.Type = type;
    report.Category = category;
    report.EventId = id;
    report.Strings = count;
    if (count > 0)
        report.Text = strings[0];
    return ReportFails ? FALSE : TRUE;
}
BOOL WINAPI FakeDeregister(HANDLE source) {
    Deregistered += source == FakeSource;
    return TRUE;
}

class WinLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSaved = EventLogApi();
        Reports.clear();
        Deregistered = 0;
        RegisterFails = ReportFails = false;
        ::DeleteFileW(FFile.c_str());
    }
    void TearDown() override {
        EventLogApi() = FSaved;
        ::DeleteFileW(FFile.c_str());
    }
    void UseFakes() { EventLogApi() = TEventLogApi{&FakeRegister, &FakeReport, &FakeDeregister}; }
    std::wstring FFile = ExecutableFolder() + L"win_log_test.log";
    TEventLogApi FSaved;
};

TEST_F(WinLogTest, ReportsEachMessageAsAnInformationEntry) {
    UseFakes();
    TMyLog log(PlatformLogSystem(), FFile);
    log.AddMessage(L"Установка начата");
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Server, L"");
    EXPECT_EQ(Reports[0].Source, L"Tessaro-Dedira");
    EXPECT_EQ(Reports[0].Type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(Reports[0].Category, 0);
    EXPECT_EQ(Reports[0].EventId, 0u);
    EXPECT_EQ(Reports[0].Strings, 1);
    EXPECT_EQ(Reports[0].Text, L": Установка начата");
    EXPECT_EQ(Deregistered, 1);
}

TEST_F(WinLogTest, EventLogFailuresAreIgnored) {
    UseFakes();
    TMyLog log(PlatformLogSystem(), FFile);
    RegisterFails = true;
    EXPECT_NO_THROW(log.AddMessage(L"no source"));
    RegisterFails = false;
    ReportFails = true;
    EXPECT_NO_THROW(log.AddMessage(L"report refused"));
    EXPECT_EQ(Deregistered, 1) << "the source opened is closed even when the report fails";
    EXPECT_EQ(log.GetList().size(), 2u);

    EventLogApi() = FSaved; // the system's own event log, whatever it makes of the entry
    EXPECT_NO_THROW(log.AddMessage(L"real"));
}

TEST_F(WinLogTest, DateAndTimeSeparatorsComeFromTheUserLocale) {
    wchar_t savedDate[8] = {}, savedTime[8] = {};
    ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, savedDate, 8), 0);
    ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, savedTime, 8), 0);
    const TLogSystem system = PlatformLogSystem();
    EXPECT_EQ(system.DateSeparator(), savedDate);
    EXPECT_EQ(system.TimeSeparator(), savedTime);

    if (!::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, L"-") ||
        !::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, L"_"))
        GTEST_SKIP() << "the user's locale settings cannot be changed here";
    UseFakes();
    TMyLog log(PlatformLogSystem(), FFile);
    log.AddMessage(L"x");
    ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, savedDate);
    ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, savedTime);

    const std::wstring line = log.GetList().at(0); // DD-MM-YYYY HH_NN_SS: x
    ASSERT_EQ(line.size(), 22u);
    EXPECT_EQ(line[2], L'-');
    EXPECT_EQ(line[5], L'-');
    EXPECT_EQ(line[13], L'_');
    EXPECT_EQ(line[16], L'_');
    EXPECT_EQ(line.substr(19), L": x");
}

TEST_F(WinLogTest, LockedLogBesideTheExecutableDoesNotStopStartUp) {
    const std::wstring file = ExecutableFolder() + L"VavudEVI.log";
    ReplaceFileContents(file, "01/01/2026 00:00:00: earlier\r\n");
    {
        TUniqueFile locked(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        CreateMyLog();
        ASSERT_NE(MyLog, nullptr);
        EXPECT_EQ(MyLog->GetLogFileName(), file);
        EXPECT_TRUE(MyLog->GetList().empty());
        EXPECT_THROW(MyLog->SetLogFileName(file), TError);
        FreeMyLog();
    }
    CreateMyLog();
    ASSERT_NE(MyLog, nullptr);
    EXPECT_EQ(MyLog->GetList(), std::vector<std::wstring>{L"01/01/2026 00:00:00: earlier"});
    FreeMyLog();
    ::DeleteFileW(file.c_str());
}

} // namespace

#include "WinScratch.h"
#include "install/run/RunLogFile.h"

namespace {

// The run log is always made new: a file at its name (someone else's, or an earlier run's) is never written
// over; the log takes the next free number and says which file it is.
TEST(RunLogFile, ATakenNameIsNeverWrittenOver) {
    TScratchDir folder;
    const std::wstring name = folder.Folder() + L"журнал установки.log";
    PutFile(name, "someone else's");
    {
        TRunLogFile first(name);
        EXPECT_EQ(first.FileName(), folder.Folder() + L"журнал установки-2.log");
        first.Write("run");
    }
    const TRunLogFile second(name);
    EXPECT_EQ(second.FileName(), folder.Folder() + L"журнал установки-3.log");
    EXPECT_EQ(FileBytes(name), "someone else's");
    EXPECT_EQ(FileBytes(folder.Folder() + L"журнал установки-2.log"), "\xEF\xBB\xBFrun");
    EXPECT_THROW(TRunLogFile(folder.Folder() + L"нет такой папки\\setup.log"), TError);
}

} // namespace
