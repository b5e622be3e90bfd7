// Every message rewrites the whole file: the line limit bounds that cost, and the file is never left
// half-written because the write goes through ReplaceFileContents.
#include "support/unitMyLog.h"

#include <memory>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"

namespace {

void AppendTwoDigits(std::wstring& out, int value) {
    out.push_back(static_cast<wchar_t>(L'0' + (value / 10) % 10));
    out.push_back(static_cast<wchar_t>(L'0' + value % 10));
}

std::unique_ptr<TMyLog> GlobalLog;

} // namespace

TMyLog* MyLog = nullptr;

std::wstring FormatLogTime(const TLocalTime& time, std::wstring_view dateSeparator,
                           std::wstring_view timeSeparator) {
    std::wstring out;
    AppendTwoDigits(out, time.Day);
    out += dateSeparator;
    AppendTwoDigits(out, time.Month);
    out += dateSeparator;
    AppendTwoDigits(out, time.Year / 100);
    AppendTwoDigits(out, time.Year % 100);
    out += L' ';
    AppendTwoDigits(out, time.Hour);
    out += timeSeparator;
    AppendTwoDigits(out, time.Minute);
    out += timeSeparator;
    AppendTwoDigits(out, time.Second);
    return out;
}

TLogFileContent ParseLogFile(std::string_view bytes) {
    TDecodedText decoded = DecodeText(bytes);
    TLogFileContent content;
    content.Encoding = decoded.Encoding;
    const std::wstring& text = decoded.Text;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            content.Lines.push_back(text.substr(start));
            break;
        }
        content.Lines.push_back(text.substr(start, end - start));
        start = end + ((text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1);
    }
    return content;
}

std::string FormatLogFile(const TLogFileContent& content) {
    std::size_t size = 0;
    for (const std::wstring& line : content.Lines)
        size += line.size() + 2;
    std::wstring text;
    text.reserve(size);
    for (const std::wstring& line : content.Lines) {
        text += line;
        text += L"\r\n";
    }
    return EncodeText(text, content.Encoding);
}

TMyLog::TMyLog() : TMyLog(PlatformLogSystem()) {}

TMyLog::TMyLog(TLogSystem system)
    : TMyLog(std::move(system), ExecutableFolder() + std::wstring(LogFileTitle)) {}

TMyLog::TMyLog(TLogSystem system, std::wstring logFileName)
    : FSystem(std::move(system)), LogFileName(std::move(logFileName)) {
    try {
        List = LoadLines(LogFileName);
    } catch (const TError&) {
        // A locked or damaged log must not stop the program; the next message starts the file afresh.
    }
}

TLogFileContent TMyLog::LoadLines(const std::wstring& fileName) {
    TFileBytes file = ReadWholeFile(fileName);
    if (file.Status == TReadStatus::NotFound)
        return {};
    if (file.Status == TReadStatus::Failed)
        throw TError(L"Не удалось прочитать файл журнала " + Quoted(fileName) + L": " + file.Error);
    return ParseLogFile(file.Bytes);
}

void TMyLog::SetLogFileName(const std::wstring& value) {
    LogFileName = value;
    LogMaxSize = 1000;
    List = {};
    List = LoadLines(value);
}

void TMyLog::SetAddLogFileName(const std::wstring& value) {
    AddLogFilename = value;
    AddList.emplace();
    if (!value.empty())
        *AddList = LoadLines(value);
}

std::vector<std::wstring> TMyLog::GetList() const {
    std::lock_guard guard(Lock);
    return {List.Lines.begin(), List.Lines.end()};
}

std::vector<std::wstring> TMyLog::GetAddList() const {
    std::lock_guard guard(Lock);
    if (!AddList)
        return {};
    return {AddList->Lines.begin(), AddList->Lines.end()};
}

void TMyLog::Record(TLogFileContent& list, const std::wstring& fileName, const std::wstring& message) {
    list.Lines.push_front(FormatLogTime(FSystem.Now(), FSystem.DateSeparator(), FSystem.TimeSeparator()) +
                          L": " + message);
    // A negative limit would otherwise never be satisfied.
    const std::size_t limit = LogMaxSize > 0 ? static_cast<std::size_t>(LogMaxSize) : 0;
    while (list.Lines.size() > limit)
        list.Lines.pop_back();
    ReplaceFileContents(fileName, FormatLogFile(list));
}

void TMyLog::AddMessage(const std::wstring& Message, bool OnlyAddLogfile) {
    {
        std::lock_guard guard(Lock);
        if (!OnlyAddLogfile)
            Record(List, LogFileName, Message);
        if (!AddLogFilename.empty() && AddList)
            Record(*AddList, AddLogFilename, Message);
    }
    try {
        FSystem.ReportToEventLog(L": " + Message);
    } catch (...) {
        // The event log is a copy; losing it must not fail the message.
    }
}

void TMyLog::AddByteArray(const std::wstring& Message, const TByteArray& BA) {
    static constexpr wchar_t Digits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(Message.size() + BA.size() * 3);
    text += Message;
    for (std::uint8_t byte : BA) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0x0F];
        text += L' ';
    }
    AddMessage(text, false);
}

void CreateMyLog() {
    try {
        GlobalLog = std::make_unique<TMyLog>();
    } catch (...) {
        GlobalLog.reset();
    }
    MyLog = GlobalLog.get();
}

void FreeMyLog() {
    MyLog = nullptr;
    GlobalLog.reset();
}
