// The dated log: its file format, its two files, its limits and its behaviour under threads and failures.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "common/Error.h"
#include "common/FileIO.h"
#include "support/unitMyLog.h"

namespace {

class LogTest : public ::testing::Test {
protected:
    TLogSystem System() {
        return TLogSystem{[this] { return FNow; }, [this] { return FDateSeparator; },
                          [this] { return FTimeSeparator; },
                          [this](const std::wstring& text) {
                              std::lock_guard guard(FEventsLock);
                              FEvents.push_back(text);
                          }};
    }
    std::wstring Path(std::string_view name) const { return WidePath(FScratch / name); }
    std::vector<std::wstring> FileLines(std::string_view name) const {
        const TLogFileContent content = ParseLogFile(ReadBytes(FScratch / name));
        return {content.Lines.begin(), content.Lines.end()};
    }

    TScratchFolder FScratch;
    TLocalTime FNow{2026, 12, 8, 14, 5, 9};
    std::wstring FDateSeparator = L".";
    std::wstring FTimeSeparator = L":";
    std::mutex FEventsLock;
    std::vector<std::wstring> FEvents;
};

TEST_F(LogTest, WritesDatedLinesNewestFirstWithCrLfAndCopiesToTheEventLog) {
    TMyLog log(System(), Path("main.log"));
    EXPECT_FALSE(std::filesystem::exists(FScratch / "main.log")) << "creating writes nothing";
    log.AddMessage(L"Начало");
    FNow = {2027, 1, 2, 3, 4, 5};
    FDateSeparator = L"/";
    FTimeSeparator = L"-";
    log.AddMessage(L"");
    EXPECT_EQ(ReadBytes(FScratch / "main.log"), WideToCp1251(L"02/01/2027 03-04-05: \r\n"
                                                             L"08.12.2026 14:05:09: Начало\r\n"));
    EXPECT_EQ(FEvents, (std::vector<std::wstring>{L": Начало", L": "}));
}

TEST_F(LogTest, KeepsTheNewestThousandLines) {
    TMyLog log(System(), Path("main.log"));
    for (int i = 0; i <= 1000; ++i)
        log.AddMessage(L"m" + std::to_wstring(i));
    const auto lines = FileLines("main.log");
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines.front(), L"08.12.2026 14:05:09: m1000");
    EXPECT_EQ(lines.back(), L"08.12.2026 14:05:09: m1");
}

TEST_F(LogTest, KeepsTheEncodingTheFileWasLoadedWith) {
    const std::string utf8 = "\xEF\xBB\xBF" + WideToUtf8(L"старая\r\n");
    const std::string utf16 = "\xFF\xFE" + WideToUtf16Le(L"старая\n");
    const std::string ansi = WideToCp1251(L"старая");
    for (const std::string& bytes : {utf8, utf16, ansi}) {
        WriteBytes(FScratch / "main.log", bytes);
        TMyLog log(System(), Path("main.log"));
        log.AddMessage(L"новая");
        const TDecodedText before = DecodeText(bytes);
        EXPECT_EQ(ReadBytes(FScratch / "main.log"),
                  EncodeText(L"08.12.2026 14:05:09: новая\r\nстарая\r\n", before.Encoding));
    }
}

TEST_F(LogTest, OnlyAddLogfileWithoutAnAdditionalFileWritesNoFile) {
    TMyLog log(System(), Path("main.log"));
    log.AddMessage(L"x", true);
    EXPECT_TRUE(log.GetList().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FScratch.Path()), {}), 0);
    EXPECT_EQ(FEvents, std::vector<std::wstring>{L": x"});
}

TEST_F(LogTest, AdditionalFileKeepsItsLinesBelowTheNewOnes) {
    WriteBytes(FScratch / "add.log", "old 2\r\nold 1\r\n");
    TMyLog log(System(), Path("main.log"));
    log.SetAddLogFileName(Path("add.log"));
    log.AddMessage(L"both");
    log.AddMessage(L"additional only", true);
    EXPECT_EQ(FileLines("main.log"), std::vector<std::wstring>{L"08.12.2026 14:05:09: both"});
    EXPECT_EQ(FileLines("add.log"),
              (std::vector<std::wstring>{L"08.12.2026 14:05:09: additional only",
                                         L"08.12.2026 14:05:09: both", L"old 2", L"old 1"}));
    EXPECT_EQ(FEvents.size(), 2u);
}

TEST_F(LogTest, UnreadableFileStartsEmptyAtCreationButFailsWhenNamed) {
    std::filesystem::create_directories(FScratch / "locked.log"); // exists, cannot be read as a file
    TMyLog log(System(), Path("locked.log"));
    EXPECT_TRUE(log.GetList().empty());
    EXPECT_THROW(log.SetLogFileName(Path("locked.log")), TError);
    EXPECT_THROW(log.SetAddLogFileName(Path("locked.log")), TError);
    log.SetAddLogFileName(L"");

    // Naming a missing file is no error; it comes into being with the first message.
    log.SetLogFileName(Path("new.log"));
    log.AddMessage(L"first");
    EXPECT_EQ(FileLines("new.log").size(), 1u);
}

TEST_F(LogTest, FailedWriteKeepsTheLineForTheNextWriteAndReportsNothing) {
    TMyLog log(System(), Path("later/main.log"));
    log.SetAddLogFileName(Path("add.log"));
    EXPECT_THROW(log.AddMessage(L"lost?"), TError);
    EXPECT_FALSE(std::filesystem::exists(FScratch / "add.log"))
        << "the additional file waits for the main one";
    EXPECT_TRUE(FEvents.empty());

    std::filesystem::create_directories(FScratch / "later");
    log.AddMessage(L"next");
    EXPECT_EQ(FileLines("later/main.log").size(), 2u);
    EXPECT_EQ(FileLines("add.log").size(), 1u);
    EXPECT_EQ(FEvents, std::vector<std::wstring>{L": next"});
}

TEST_F(LogTest, ThreadsNeverLoseOrInterleaveLines) {
    TMyLog log(System(), Path("main.log"));
    log.LogMaxSize = 5000;
    constexpr int Threads = 8, Messages = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < Messages; ++i)
                log.AddMessage(L"thread " + std::to_wstring(t) + L" message " + std::to_wstring(i));
        });
    for (std::thread& thread : threads)
        thread.join();

    const auto lines = FileLines("main.log");
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(Threads * Messages));
    std::map<int, int> expectedNext; // reading newest first, each thread counts down
    for (int t = 0; t < Threads; ++t)
        expectedNext[t] = Messages - 1;
    const std::wstring prefix = L"08.12.2026 14:05:09: thread ";
    for (const std::wstring& line : lines) {
        ASSERT_EQ(line.substr(0, prefix.size()), prefix) << WideToUtf8(line);
        int t = -1, i = -1;
        ASSERT_EQ(std::swscanf(line.c_str() + prefix.size(), L"%d message %d", &t, &i), 2);
        ASSERT_EQ(i, expectedNext[t]--) << "thread " << t;
    }
    EXPECT_EQ(FEvents.size(), static_cast<std::size_t>(Threads * Messages));
}

TEST_F(LogTest, ByteArrayDumpsEveryByte) {
    TMyLog log(System(), Path("main.log"));
    TByteArray bytes{};
    bytes[0] = 0;
    bytes[1] = 26;
    bytes[2] = 255;
    bytes[32767] = 0xAB;
    log.AddByteArray(L"", bytes);
    log.AddByteArray(L"dump:", bytes);
    const auto lines = log.GetList();
    const std::wstring stamp = L"08.12.2026 14:05:09: ";
    EXPECT_EQ(lines[1].size(), stamp.size() + 98304);
    EXPECT_EQ(lines[1].substr(stamp.size(), 12), L"00 1A FF 00 ");
    EXPECT_EQ(lines[1].substr(lines[1].size() - 3), L"AB ");
    EXPECT_EQ(lines[0].substr(stamp.size(), 14), L"dump:00 1A FF ");
}

TEST(LogFile, ParsesEveryKindOfLineEnd) {
    const TLogFileContent content = ParseLogFile("a\r\nb\nc\rd\r\n\r\ne");
    EXPECT_EQ(std::vector<std::wstring>(content.Lines.begin(), content.Lines.end()),
              (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"", L"e"}));
    EXPECT_TRUE(ParseLogFile("").Lines.empty());
}

TEST(GlobalLog, LivesBesideTheExecutable) {
    ASSERT_EQ(MyLog, nullptr);
    CreateMyLog();
    ASSERT_NE(MyLog, nullptr);
    EXPECT_EQ(MyLog->GetLogFileName(), ExecutableFolder() + L"VavudEVI.log");
    EXPECT_EQ(MyLog->LogMaxSize, 1000);
    FreeMyLog();
    EXPECT_EQ(MyLog, nullptr);
}

} // namespace
