// The run log: its line format, and the host that writes every event of a run to it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/TextCodec.h"
#include "install/run/RunLog.h"
#include "install/run/RunStop.h"

namespace {

// An inner host that remembers what reached it.
struct TInner : IInstallHost {
    std::vector<std::wstring> Lines, Errors, Questions;
    void AddLine(const std::wstring& t) override { Lines.push_back(t); }
    std::size_t AddStepLine(const std::wstring& t) override {
        Lines.push_back(t);
        return Lines.size() - 1;
    }
    void CompleteLine(std::size_t i, const std::wstring& s) override { Lines.at(i) += s; }
    bool AskYesNo(const std::wstring& t) override {
        Questions.push_back(t);
        return false;
    }
    void ShowError(const std::wstring& t) override { Errors.push_back(t); }
    void SetProtected(bool) override {}
    void* OwnerWindow() override { return nullptr; }
    TInUseAnswer InUseAnswer = TInUseAnswer::Cancel;
    int InUseAsked = 0;
    TInUseAnswer FileInUse(const std::wstring&, const std::vector<std::wstring>&) override {
        ++InUseAsked;
        return InUseAnswer;
    }
};

struct TLogFixture {
    std::string Bytes;
    TRunLog Log{[] { return TLocalTime{2026, 12, 9, 7, 5, 3, 42}; },
                [this](std::string_view s) { Bytes += s; }};
    std::vector<std::wstring> Entries() const {
        std::vector<std::wstring> result;
        const std::wstring text = Utf8ToWide(Bytes);
        std::size_t start = 0;
        for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
            result.push_back(text.substr(start + 24, end - start - 24));
        return result;
    }
};

} // namespace

// A log is never written over: a taken name is numbered before its extension, and only in the file's own
// name.
TEST(RunLog, TakenNamesAreNumberedBeforeTheExtension) {
    struct TCase {
        const wchar_t* Path;
        unsigned Number;
        const wchar_t* Numbered;
    };
    const TCase cases[] = {
        {L"C:\\Windows\\Logs\\setup.log", 1, L"C:\\Windows\\Logs\\setup.log"},
        {L"C:\\Windows\\Logs\\setup.log", 2, L"C:\\Windows\\Logs\\setup-2.log"},
        {L"C:\\Логи\\установка.2024.log", 13, L"C:\\Логи\\установка.2024-13.log"},
        {L"C:\\Логи.d\\setup", 3, L"C:\\Логи.d\\setup-3"},
        {L"C:\\Логи\\.log", 2, L"C:\\Логи\\.log-2"},
        {L"setup.log", 2, L"setup-2.log"},
        {L"\\\\server\\share\\a b.txt", 4, L"\\\\server\\share\\a b-4.txt"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(NumberedLogPath(c.Path, c.Number), c.Numbered) << c.Number;
}

TEST(RunLog, LinesCarryTheTimeToTheMillisecondAndStayOneLine) {
    EXPECT_EQ(FormatRunLogLine({2026, 1, 2, 3, 4, 5, 6}, L"Копирование"),
              L"2026-01-02 03:04:05.006 Копирование");
    EXPECT_EQ(FormatRunLogLine({2026, 12, 31, 23, 59, 59, 999}, L"a\r\nb\nc"),
              L"2026-12-31 23:59:59.999 a  b c");
    TLogFixture f;
    f.Log.Write(L"Тессаро");
    EXPECT_EQ(f.Bytes, WideToUtf8(L"2026-12-09 07:05:03.042 Тессаро\r\n"));
}

// A step line an error cut short (its copy broke off) is completed as failed once the run has ended, in the
// list and the log; a completed one is left as it is.
TEST(RunLog, HostWritesEveryLineAsTheListShowsIt) {
    TLogFixture f;
    TInner inner;
    TLoggingHost host(inner, f.Log, false, false);
    host.AddLine(L"Каталог создан...");
    const std::size_t step = host.AddStepLine(L"Копирование файла T12.FDB....");
    host.Trace(L"T12.FDB: 1024 байт");
    host.CompleteLine(step, L"Завершено");
    host.AddStepLine(L"Копирование файла icuin30.Dll....");
    host.AddLine(L"Установка прервана: скопированные файлы удалены.");
    host.FailOpenSteps();
    host.FailOpenSteps();
    EXPECT_EQ(inner.Lines,
              (std::vector<std::wstring>{L"Каталог создан...", L"Копирование файла T12.FDB....Завершено",
                                         L"Копирование файла icuin30.Dll....ОШИБКА!!!",
                                         L"Установка прервана: скопированные файлы удалены."}));
    EXPECT_EQ(f.Entries(),
              (std::vector<std::wstring>{L"Строка: Каталог создан...", L"Шаг: Копирование файла T12.FDB....",
                                         L"Сведения: T12.FDB: 1024 байт",
                                         L"Итог: Копирование файла T12.FDB....Завершено",
                                         L"Шаг: Копирование файла icuin30.Dll....",
                                         L"Строка: Установка прервана: скопированные файлы удалены.",
                                         L"Итог: Копирование файла icuin30.Dll....ОШИБКА!!!"}));
}

TEST(RunLog, QuestionsAndErrorsFollowTheMode) {
    {
        TLogFixture f;
        TInner inner;
        TLoggingHost host(inner, f.Log, false, false);
        EXPECT_FALSE(host.AskYesNo(L"Выйти?"));
        host.ShowError(L"Ошибка при создании каталога!");
        EXPECT_EQ(inner.Questions.size(), 1u);
        EXPECT_EQ(inner.Errors.size(), 1u);
        EXPECT_EQ(f.Entries(), (std::vector<std::wstring>{L"Вопрос: Выйти? Ответ: Нет",
                                                          L"Ошибка: Ошибка при создании каталога!"}));
    }
    {
        TLogFixture f;
        TInner inner;
        TLoggingHost host(inner, f.Log, true, true);
        EXPECT_TRUE(host.AskYesNo(L"Выйти?"));
        host.ShowError(L"Ошибка при создании каталога!");
        EXPECT_TRUE(inner.Questions.empty());
        EXPECT_TRUE(inner.Errors.empty());
        EXPECT_EQ(f.Entries(),
                  (std::vector<std::wstring>{
                      L"Вопрос: Выйти? Ответ: Да (вопрос не показывался: запуск без участия пользователя)",
                      L"Ошибка: Ошибка при создании каталога!"}));
    }
}

TEST(RunLog, HeldFilesAreAskedAboutOrWaitedForUnattended) {
    {
        // With someone there, the inner host decides, and the log says who holds the file and what was
        // chosen.
        TLogFixture f;
        TInner inner;
        TLoggingHost host(inner, f.Log, false, false);
        EXPECT_EQ(host.FileInUse(L"C:\\Dedira\\fbclient.Dll", {L"Firebird Server", L"Тессаро"}),
                  TInUseAnswer::Cancel);
        EXPECT_EQ(inner.InUseAsked, 1);
        EXPECT_EQ(f.Entries(),
                  (std::vector<std::wstring>{
                      L"Сведения: Файл «C:\\Dedira\\fbclient.Dll» открыт другими программами: «Firebird "
                      L"Server», «Тессаро».",
                      L"Сведения: Отмена по выбору пользователя"}));
    }
    {
        // Unattended, nobody is asked: the same file is tried again after each interval until the limit;
        // another file starts its own count.
        TLogFixture f;
        TInner inner;
        TLoggingHost host(inner, f.Log, true, true,
                          {std::chrono::milliseconds{60}, std::chrono::milliseconds{120}});
        EXPECT_EQ(host.FileInUse(L"a", {}), TInUseAnswer::Retry);
        EXPECT_EQ(host.FileInUse(L"a", {}), TInUseAnswer::Retry);
        EXPECT_EQ(host.FileInUse(L"a", {}), TInUseAnswer::GiveUp);
        EXPECT_EQ(host.FileInUse(L"b", {}), TInUseAnswer::Retry);
        EXPECT_EQ(inner.InUseAsked, 0);
        const auto entries = f.Entries();
        ASSERT_GE(entries.size(), 4u);
        EXPECT_EQ(entries[0], L"Сведения: Файл «a» открыт другой программой.");
        EXPECT_EQ(entries[3], L"Сведения: Файл не освободился за 0 с");
    }
    {
        // A session that ends cuts the wait short: the run stops at once rather than after half a minute.
        TLogFixture f;
        TInner inner;
        TLoggingHost host(inner, f.Log, true, true, {std::chrono::seconds{30}, std::chrono::seconds{60}});
        std::thread session([] {
            std::this_thread::sleep_for(std::chrono::milliseconds{50});
            RunStop().Request();
        });
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(host.FileInUse(L"a", {}), TInUseAnswer::Retry);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds{10});
        EXPECT_THROW(RunStop().Check(), TRunStopped);
        session.join();
        RunStop().Reset();
    }
}
