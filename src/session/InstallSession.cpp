#include "session/InstallSession.h"

#include <exception>

#include "common/Error.h"
#include "common/StrUtils.h"
#include "install/record/HandOver.h"
#include "install/record/InstallRecord.h"
#include "install/run/RunStop.h"
#include "session/CommandLine.h"
#include "win/MessageBox.h"

namespace {

// What the user must be told of an error that ended the run: in a box and the log, or the log alone where the
// start said so. A cancel is the user's own choice or the session's end: the log records it, no box repeats
// it.
void Report(TLoggingHost& logging, TRunLog& log, const std::wstring& reason, bool cancelled) {
    if (reason.empty())
        return;
    if (cancelled)
        RecordError(log, reason);
    else
        logging.ShowError(reason);
}

} // namespace

TRunOutcome RunRecordedInstallation(IInstallHost& host, TRunLog& log, const TInstallOptions& options,
                                    TSessionPolicy policy) {
    log.Write(L"Установка: носитель " + Quoted(options.SourceFolder) + L", папка " +
              Quoted(options.TargetText));
    TLoggingHost logging(host, log, policy.AnswerQuestions, policy.SuppressErrors);
    const TRunOutcome outcome = RunInstallation(logging, options);
    logging.FailOpenSteps();
    // The list says where the run was, the box why it stopped.
    const TRunEnd& end = InstallationEnd(outcome.Kind);
    if (end.Line)
        logging.AddLine(end.Line);
    Report(logging, log, outcome.Reason, outcome.Kind == TOutcome::Cancelled);
    // Whoever reads the log learns of the advice too, whether or not a window showed it.
    if (end.FontAdvice != TFontAdvice::None && policy.SmallFonts && policy.SmallFonts())
        logging.Trace(RunEndText::FontAdvice);
    return outcome;
}

TRemovalEnd RunRecordedUninstallation(IInstallHost& host, TRunLog& log, const TUninstallOptions& options,
                                      TSessionPolicy policy) {
    log.Write(L"Удаление: папка " + Quoted(options.Target));
    TLoggingHost logging(host, log, policy.AnswerQuestions, policy.SuppressErrors);
    std::wstring reason;
    bool cancelled = false;
    TRemovalEnd end = TRemovalEnd::Stopped;
    try {
        end = RunUninstallation(logging, options);
    } catch (const TCancelled& error) {
        reason = error.Message();
        cancelled = true;
    } catch (const TError& error) {
        reason = error.Message();
    } catch (const std::exception& error) {
        reason = UnexpectedErrorText(error.what());
    } catch (...) {
        reason = UnexpectedErrorText(nullptr);
    }
    logging.FailOpenSteps();
    Report(logging, log, reason, cancelled);
    return end;
}

void RecordAnswer(TRunLog& log, const std::wstring& question, bool yes) {
    log.Write(std::wstring(RunLogTag::Question) + question + (yes ? L" Ответ: Да" : L" Ответ: Нет"));
}

void RecordWindowLine(TRunLog& log, const std::wstring& line) {
    log.Write(std::wstring(RunLogTag::Line) + line);
}

void RecordError(TRunLog& log, const std::wstring& text) {
    log.Write(std::wstring(RunLogTag::Error) + text);
}

void RecordSessionEnd(TRunLog& log, int exitCode, bool runEnded) {
    // A run that ended wrote why itself.
    if (!runEnded)
        RecordError(log, RunStoppedText);
    log.Write(L"Код завершения: " + std::to_wstring(exitCode));
}

void HoldUninstaller() {
    HoldOwnImage();
}

void HandOverAfterRemoval(const TUninstallOptions& options, int exitCode, TRunLog& log) {
    if (exitCode != ecInstalled || !SameText(options.Running, options.Target + UninstallerName))
        return;
    std::wstring why;
    if (!HandOverCleanUp(options.Target, why))
        log.Write(L"Программа удаления оставлена в папке комплекса: " + why);
}

bool FinishRemoval(const std::wstring& target, unsigned long process) {
    return FinishUninstall(target, process);
}

void TWindowlessHost::ShowError(const std::wstring& text) {
    ShowMessageBox(nullptr, text, TBoxIcon::Error);
}
