// The record of one installation run: a UTF-8 file, one line per event with the local time to the
// millisecond, kept by a host that stands between the run and whoever shows it. The window's list and the
// log's progress lines come from the same calls, so they cannot differ.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/LocalTime.h"
#include "install/run/InstallHost.h"

// "YYYY-MM-DD HH:MM:SS.mmm " followed by the text.
std::wstring FormatRunLogLine(const TLocalTime& time, std::wstring_view text);

// The name a run log takes when `path` is taken: "-2", "-3", ... before the extension of its file name
// ("setup.log" -> "setup-2.log"; "setup" -> "setup-2"). `number` 1 is the path itself.
std::wstring NumberedLogPath(std::wstring_view path, unsigned number);

// What the run log's progress entries start with; a reader rebuilds the list from them.
namespace RunLogTag {
inline constexpr std::wstring_view Line = L"Строка: ";    // a plain line
inline constexpr std::wstring_view Step = L"Шаг: ";       // a step line as it was added
inline constexpr std::wstring_view Completed = L"Итог: "; // the last step line as it was completed
inline constexpr std::wstring_view Question = L"Вопрос: ";
// The answer of a question no one was shown: the start asked for no questions.
inline constexpr std::wstring_view UnaskedYes =
    L"Ответ: Да (вопрос не показывался: запуск без участия пользователя)";
inline constexpr std::wstring_view Error = L"Ошибка: ";
inline constexpr std::wstring_view Detail = L"Сведения: ";
} // namespace RunLogTag

class TRunLog {
public:
    // Write receives each line as UTF-8 with its CR LF; the byte-order mark is the file's business.
    TRunLog(std::function<TLocalTime()> now, std::function<void(std::string_view)> write);
    // From any thread: the window's writes a line of its own when the session is to end.
    void Write(std::wstring_view text);

private:
    std::function<TLocalTime()> FNow;
    std::function<void(std::string_view)> FWrite;
    std::mutex FLock;
};

// How long an unattended run waits for a file that another program holds: it tries again every Interval
// and gives up after Limit.
struct TInUsePatience {
    std::chrono::milliseconds Interval{2000};
    std::chrono::milliseconds Limit{30000};
};

// Forwards every call to the inner host and writes it to the log. With AnswerQuestions the inner host is
// never asked: every question gets Yes, the answer that lets the run go on. With SuppressErrors error boxes
// are only written to the log.
class TLoggingHost : public IInstallHost {
public:
    TLoggingHost(IInstallHost& inner, TRunLog& log, bool answerQuestions, bool suppressErrors,
                 TInUsePatience patience = {})
        : FInner(inner), FLog(log), FAnswerQuestions(answerQuestions), FSuppressErrors(suppressErrors),
          FPatience(patience) {}

    void AddLine(const std::wstring& text) override;
    std::size_t AddStepLine(const std::wstring& text) override;
    void CompleteLine(std::size_t index, const std::wstring& suffix) override;
    void Trace(const std::wstring& text) override;
    bool AskYesNo(const std::wstring& text) override;
    void ShowError(const std::wstring& text) override;
    void SetProtected(bool on) override { FInner.SetProtected(on); }
    void* OwnerWindow() override { return FInner.OwnerWindow(); }
    bool Unattended() override { return FAnswerQuestions || FInner.Unattended(); }
    // Unattended, the same file is waited for with the patience given; otherwise the inner host decides.
    TInUseAnswer FileInUse(const std::wstring& file, const std::vector<std::wstring>& programs) override;

    // Completes with "ОШИБКА!!!" every step line still open once the run has ended: an error or a cancel
    // cut its work short, and the line must not read as if it were still under way.
    void FailOpenSteps();

private:
    IInstallHost& FInner;
    TRunLog& FLog;
    bool FAnswerQuestions, FSuppressErrors;
    TInUsePatience FPatience;
    std::wstring FInUseFile; // the file waited for, and how long so far
    std::chrono::milliseconds FInUseWaited{0};
    struct TStep {
        std::wstring Text;
        bool Open = true;
    };
    std::map<std::size_t, TStep> FSteps; // the step lines by the inner host's index, to log them whole
};
