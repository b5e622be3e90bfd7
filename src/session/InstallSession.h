// One installation as every kind of start makes it: the run recorded in the run log, its questions asked or
// answered, and an error that ends it written down and shown (or only written down). The window and the
// windowless unattended start share it, so that their records cannot differ.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "install/run/InstallHost.h"
#include "install/run/InstallRun.h"
#include "install/run/RunLog.h"
#include "install/record/Uninstall.h"

enum class TSessionEnd {
    Completed,  // every step ran
    Incomplete, // every step ran, but the package was not installed (its line says why)
    Stopped,    // a step ended the run and said why
    Failed,     // an error ended the run; it is in the log and, unless suppressed, was shown
    Busy,       // another installation or removal works in the folder: nothing was done
};

struct TSessionPolicy {
    bool AnswerQuestions = false; // every question gets the answer that lets the run go on
    bool SuppressErrors = false;  // error boxes only go to the log
};

TSessionEnd RunRecordedInstallation(IInstallHost& host, TRunLog& log, const TInstallOptions& options,
                                    TSessionPolicy policy);

// The removal, recorded the same way; nothing when an error ended it (written down and shown or not, as for
// an installation).
std::optional<TRemovalEnd> RunRecordedUninstallation(IInstallHost& host, TRunLog& log,
                                                     const TUninstallOptions& options, TSessionPolicy policy);

// The error of an exception that is not the run's own (no memory, a fault of the program's): shown and
// written down like any error, with what the library says of it.
std::wstring UnexpectedErrorText(const char* what);

// A host with no window at all, for an installation without one: the run log is the whole record.
class TWindowlessHost : public IInstallHost {
public:
    void AddLine(const std::wstring&) override {}
    std::size_t AddStepLine(const std::wstring&) override { return FLines++; }
    void CompleteLine(std::size_t, const std::wstring&) override {}
    bool AskYesNo(const std::wstring&) override { return true; }
    void ShowError(const std::wstring& text) override;
    void ShowProgressPage() override {}
    void SetProtected(bool) override {}
    void EnableExit() override {}
    void ShowLargeFontPage() override {}
    void CloseWindow() override {}
    void* OwnerWindow() override { return nullptr; }
    bool Unattended() override { return true; }
    TInUseAnswer FileInUse(const std::wstring&, const std::vector<std::wstring>&) override {
        return TInUseAnswer::GiveUp;
    }

private:
    std::size_t FLines = 0;
};
