#include "session/InstallSession.h"

#include "common/Error.h"
#include "common/StrUtils.h"
#include "win/MessageBox.h"

TSessionEnd RunRecordedInstallation(IInstallHost& host, TRunLog& log, const TInstallOptions& options,
                                    TSessionPolicy policy) {
    log.Write(L"Установка: носитель " + Quoted(options.SourceFolder) + L", папка " +
              Quoted(options.TargetText));
    TLoggingHost logging(host, log, policy.AnswerQuestions, policy.SuppressErrors);
    try {
        return RunInstallation(logging, options) == TRunEnd::Completed ? TSessionEnd::Completed
                                                                       : TSessionEnd::Stopped;
    } catch (const TCancelled& cancelled) {
        // The user chose to stop after a box said why: the log records it, no box repeats it.
        log.Write(std::wstring(RunLogTag::Error) + cancelled.Message());
        return TSessionEnd::Failed;
    } catch (const TError& error) {
        // Written to the log, and shown unless the start said not to.
        logging.ShowError(error.Message());
        return TSessionEnd::Failed;
    }
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
    }
    return std::nullopt;
}

void TWindowlessHost::ShowError(const std::wstring& text) {
    ShowMessageBox(nullptr, text, TBoxIcon::Error);
}
