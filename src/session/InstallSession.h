// One installation or removal as every kind of start makes it: the run recorded in the run log, its questions
// asked or answered, a line cut short completed as failed, the reason of an error written down and shown (or
// only written down), and the end's line and advice (RunEnd.h) in the list and the log. The window and the
// windowless unattended start share it, so that their records cannot differ. Also what a start does around
// a removal: the uninstaller's own file held, and its hand-over once the removal has completed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "install/record/Uninstall.h"
#include "install/run/InstallHost.h"
#include "install/run/InstallRun.h"
#include "install/run/RunLog.h"
#include "session/RunEnd.h"

struct TSessionPolicy {
    bool AnswerQuestions = false;   // every question gets the answer that lets the run go on
    bool SuppressErrors = false;    // error boxes only go to the log
    bool (*SmallFonts)() = nullptr; // the screen's large-font test, for the advice in the log; null: none
};

TRunOutcome RunRecordedInstallation(IInstallHost& host, TRunLog& log, const TInstallOptions& options,
                                    TSessionPolicy policy);
// The removal, recorded the same way; an error or a cancel that stops it is Stopped.
TRemovalEnd RunRecordedUninstallation(IInstallHost& host, TRunLog& log, const TUninstallOptions& options,
                                      TSessionPolicy policy);

// What a start adds to the record of its own: the window's last question with the answer, a line of the
// window's (the session's end refused), a refused command line.
void RecordAnswer(TRunLog& log, const std::wstring& question, bool yes);
void RecordWindowLine(TRunLog& log, const std::wstring& line);
void RecordError(TRunLog& log, const std::wstring& text);
// The log's last lines when the session ends during a run: why the run went unfinished (where it did not end
// by itself in time) and the exit code.
void RecordSessionEnd(TRunLog& log, int exitCode, bool runEnded);

// A removal started from the suite's own uninstaller holds that program's file from the start (HandOver.h);
// after a removal that completed (exit code 0), its copy in a private folder removes it. A removal that did
// not complete keeps its uninstaller for the next; one that cannot hand over says why in the log.
void HoldUninstaller();
void HandOverAfterRemoval(const TUninstallOptions& options, int exitCode, TRunLog& log);
// /FINISHUNINSTALL: the hand-over's other half; false when refused (nothing done).
bool FinishRemoval(const std::wstring& target, unsigned long process);

// A host with no window at all, for an installation without one: the run log is the whole record.
class TWindowlessHost : public IInstallHost {
public:
    void AddLine(const std::wstring&) override {}
    std::size_t AddStepLine(const std::wstring&) override { return FLines++; }
    void CompleteLine(std::size_t, const std::wstring&) override {}
    bool AskYesNo(const std::wstring&) override { return true; }
    void ShowError(const std::wstring& text) override;
    void SetProtected(bool) override {}
    void* OwnerWindow() override { return nullptr; }
    bool Unattended() override { return true; }
    TInUseAnswer FileInUse(const std::wstring&, const std::vector<std::wstring>&) override {
        return TInUseAnswer::GiveUp;
    }

private:
    std::size_t FLines = 0;
};
