#include "install/run/RunLog.h"

#include <cstdio>

#include "common/TextCodec.h"
#include "install/files/InUseText.h"
#include "install/run/RunStop.h"

std::wstring FormatRunLogLine(const TLocalTime& t, std::wstring_view text) {
    wchar_t stamp[40];
    std::swprintf(stamp, std::size(stamp), L"%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.Year, t.Month, t.Day,
                  t.Hour, t.Minute, t.Second, t.Milliseconds);
    std::wstring line = stamp;
    // One event, one line: breaks inside a message would split it for whoever reads the file by lines.
    for (wchar_t c : text)
        line += (c == L'\r' || c == L'\n') ? L' ' : c;
    return line;
}

TRunLog::TRunLog(std::function<TLocalTime()> now, std::function<void(std::string_view)> write)
    : FNow(std::move(now)), FWrite(std::move(write)) {}

void TRunLog::Write(std::wstring_view text) {
    std::lock_guard<std::mutex> locked(FLock);
    FWrite(WideToUtf8(FormatRunLogLine(FNow(), text) + L"\r\n"));
}

void TLoggingHost::AddLine(const std::wstring& text) {
    FLog.Write(std::wstring(RunLogTag::Line) + text);
    FInner.AddLine(text);
}

std::size_t TLoggingHost::AddStepLine(const std::wstring& text) {
    FLog.Write(std::wstring(RunLogTag::Step) + text);
    // The inner host numbers the lines: the window's list may hold lines of its own between the run's.
    const std::size_t index = FInner.AddStepLine(text);
    FSteps[index] = {text};
    return index;
}

void TLoggingHost::CompleteLine(std::size_t index, const std::wstring& suffix) {
    if (const auto step = FSteps.find(index); step != FSteps.end()) {
        step->second.Text += suffix;
        step->second.Open = false;
        FLog.Write(std::wstring(RunLogTag::Completed) + step->second.Text);
    }
    FInner.CompleteLine(index, suffix);
}

void TLoggingHost::FailOpenSteps() {
    for (const auto& [index, step] : FSteps)
        if (step.Open)
            CompleteLine(index, L"ОШИБКА!!!");
}

void TLoggingHost::Trace(const std::wstring& text) {
    FLog.Write(std::wstring(RunLogTag::Detail) + text);
    FInner.Trace(text);
}

bool TLoggingHost::AskYesNo(const std::wstring& text) {
    if (FAnswerQuestions) {
        FLog.Write(std::wstring(RunLogTag::Question) + text + L" " + std::wstring(RunLogTag::UnaskedYes));
        return true;
    }
    const bool answer = FInner.AskYesNo(text);
    FLog.Write(std::wstring(RunLogTag::Question) + text + (answer ? L" Ответ: Да" : L" Ответ: Нет"));
    return answer;
}

void TLoggingHost::ShowError(const std::wstring& text) {
    FLog.Write(std::wstring(RunLogTag::Error) + text);
    if (!FSuppressErrors)
        FInner.ShowError(text);
}

TInUseAnswer TLoggingHost::FileInUse(const std::wstring& file, const std::vector<std::wstring>& programs) {
    // In the box's words; a program the system cannot name is no one's in particular.
    FLog.Write(std::wstring(RunLogTag::Detail) + InUseText(file, programs));
    if (!FAnswerQuestions) {
        const TInUseAnswer answer = FInner.FileInUse(file, programs);
        FLog.Write(std::wstring(RunLogTag::Detail) + (RunStop().Requested() ? L"Без ответа: сеанс завершается"
                                                      : answer == TInUseAnswer::Retry
                                                          ? L"Повтор по выбору пользователя"
                                                          : L"Отмена по выбору пользователя"));
        return answer;
    }
    if (file != FInUseFile) {
        FInUseFile = file;
        FInUseWaited = std::chrono::milliseconds{0};
    }
    if (FInUseWaited >= FPatience.Limit) {
        FLog.Write(std::wstring(RunLogTag::Detail) + L"Файл не освободился за " +
                   std::to_wstring(FInUseWaited.count() / 1000) + L" с");
        return TInUseAnswer::GiveUp;
    }
    // A session that ends cuts the wait short: the caller stops there.
    RunStop().WaitFor(FPatience.Interval);
    FInUseWaited += FPatience.Interval;
    return TInUseAnswer::Retry;
}

std::wstring NumberedLogPath(std::wstring_view path, unsigned number) {
    if (number <= 1)
        return std::wstring(path);
    const std::size_t name =
        path.find_last_of(L"\\/") == std::wstring_view::npos ? 0 : path.find_last_of(L"\\/") + 1;
    std::size_t dot = path.rfind(L'.');
    // A dot that begins the name, or lies in a folder's name, starts no extension.
    if (dot == std::wstring_view::npos || dot <= name)
        dot = path.size();
    return std::wstring(path.substr(0, dot)) + L"-" + std::to_wstring(number) +
           std::wstring(path.substr(dot));
}
