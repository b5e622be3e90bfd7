// The dated text log of the suite: the newest lines of a main (and optionally an additional) log file,
// each message also copied to the Windows application event log.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/LocalTime.h"
#include "common/TextCodec.h"

using TByteArray = std::array<std::uint8_t, 32768>;

// What the log takes from the system. The platform adapter supplies the real one; tests fix the clock
// and watch the event-log report through their own.
struct TLogSystem {
    std::function<TLocalTime()> Now;
    std::function<std::wstring()> DateSeparator;
    std::function<std::wstring()> TimeSeparator;
    // Reports one information entry with the one insertion string; must swallow its own failures.
    std::function<void(const std::wstring& insertion)> ReportToEventLog;
};
TLogSystem PlatformLogSystem();

inline constexpr std::wstring_view EventSourceName = L"Tessaro-Dedira";
inline constexpr std::wstring_view LogFileTitle = L"VavudEVI.log";

// "DD/MM/YYYY HH:NN:SS" with the given separators in place of "/" and ":".
std::wstring FormatLogTime(const TLocalTime& time, std::wstring_view dateSeparator,
                           std::wstring_view timeSeparator);

struct TLogFileContent {
    std::deque<std::wstring> Lines;
    TTextEncoding Encoding = TTextEncoding::Ansi;
};
// A log file's lines; CR LF, CR and LF all end a line, as they did for whoever wrote the file.
TLogFileContent ParseLogFile(std::string_view bytes);
std::string FormatLogFile(const TLogFileContent& content);

class TMyLog {
public:
    // The main log is "VavudEVI.log" beside the executable; an existing one is loaded. One that exists
    // but cannot be read starts an empty list: the log is created at start-up and must not stop it.
    TMyLog();
    explicit TMyLog(TLogSystem system);
    // The same with another main log file; tests keep their logs away from the executable.
    TMyLog(TLogSystem system, std::wstring logFileName);
    TMyLog(const TMyLog&) = delete;
    TMyLog& operator=(const TMyLog&) = delete;

    // Both reload from the named file and throw TError when it exists but cannot be read. Neither takes
    // the lock: files are named before several threads record messages.
    void SetLogFileName(const std::wstring& value);
    void SetAddLogFileName(const std::wstring& value);

    // Safe from any thread. Throws TError when a file cannot be written; the line stays in memory and
    // reaches the file with the next successful write.
    void AddMessage(const std::wstring& Message, bool OnlyAddLogfile = false);
    // `Message` followed by every byte of `BA` as two upper-case hex digits and a blank.
    void AddByteArray(const std::wstring& Message, const TByteArray& BA);

    const std::wstring& GetLogFileName() const noexcept { return LogFileName; }
    const std::wstring& GetAddLogFileName() const noexcept { return AddLogFilename; }
    std::vector<std::wstring> GetList() const;
    std::vector<std::wstring> GetAddList() const;

    // The most lines each list (and so each file) keeps.
    std::int32_t LogMaxSize = 1000;
    std::uint8_t LogType = 0;

private:
    static TLogFileContent LoadLines(const std::wstring& fileName);
    void Record(TLogFileContent& list, const std::wstring& fileName, const std::wstring& message);

    TLogSystem FSystem;
    mutable std::mutex Lock;
    std::wstring LogFileName;
    std::wstring AddLogFilename;
    TLogFileContent List;
    std::optional<TLogFileContent> AddList;
};

// The one log of the process, made at start-up before anything else and freed last; null only when it
// could not be made at all, so callers check it.
extern TMyLog* MyLog;
// Never throws.
void CreateMyLog();
void FreeMyLog();
