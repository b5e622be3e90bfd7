#include "session/InstallSession.h"

#include <exception>

#include "common/Error.h"
#include "common/StrUtils.h"
#include "win/MessageBox.h"

TSessionEnd RunRecordedInstallation(IInstallHost& host, TRunLog& log, const TInstallOptions& options,
                                    TSessionPolicy policy) {
    log.Write(L"Установка: носитель " + Quoted(options.SourceFolder) + L", папка " +
              Quoted(options.TargetText));
    TLoggingHost logging(host, log, policy.AnswerQuestions, policy.SuppressErrors);
    try {
        switch (RunInstallation(logging, options)) {
        case TRunEnd::Completed:
            return TSessionEnd::Completed;
        case TRunEnd::Busy:
            return TSessionEnd::Busy;
        case TRunEnd::Incomplete:
        case TRunEnd::Stopped:
            break;
        }
        return TSessionEnd::Stopped;
    } catch (const TCancelled& cancelled) {
        // The user chose to stop after a box said why, or the session ends: the log records it, no box
        // repeats it.
        log.Write(std::wstring(RunLogTag::Error) + cancelled.Message());
    } catch (const TError& error) {
        // Written to the log, and shown unless the start said not to.
        logging.ShowError(error.Message());
    } catch (const std::exception& error) {
        logging.ShowError(UnexpectedErrorText(error.what()));
    } catch (...) {
        logging.ShowError(UnexpectedErrorText(nullptr));
    }
    return TSessionEnd::Failed;
}

std::optional<TRemovalEnd> RunRecordedUninstallation(IInstallHost& host, TRunLog& log,
                                                     const TUninstallOptions& options,
                                                     TSessionPolicy policy) {
    log.Write(L"Удаление: папка " + Quoted(options.Target));
    TLoggingHost logging(host, log, policy.AnswerQuestions, policy.SuppressErrors);
    try {
        return RunUninstallation(logging, options);
    } catch (const TCancelled& cancelled) {
        log.Write(std::wstring(RunLogTag::Error) + cancelled.Message());
    } catch (const TError& error) {
        logging.ShowError(error.Message());
    } catch (const std::exception& error) {
        logging.ShowError(UnexpectedErrorText(error.what()));
    } catch (...) {
        logging.ShowError(UnexpectedErrorText(nullptr));
    }
    return std::nullopt;
}

std::wstring UnexpectedErrorText(const char* what) {
    std::wstring text = L"Непредвиденная ошибка программы установки";
    // The library's own words are Latin ("bad_alloc"); anything else is left out rather than shown garbled.
    if (what && *what) {
        std::wstring detail;
        for (const char* c = what; *c && detail.size() < 200; ++c)
            detail += (*c >= 0x20 && *c < 0x7F) ? static_cast<wchar_t>(*c) : L'?';
        text += L": " + detail;
    }
    return text;
}

void TWindowlessHost::ShowError(const std::wstring& text) {
    ShowMessageBox(nullptr, text, TBoxIcon::Error);
}
