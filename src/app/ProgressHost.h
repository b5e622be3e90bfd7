// The main window as the installation run's host: the run's lines go into the progress list, its questions
// and errors into message boxes over the window, and its state changes to the window's page switching.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "install/InstallHost.h"

class TFMain;

class TProgressListHost : public IInstallHost {
public:
    explicit TProgressListHost(TFMain& main) : FMain(main) {}

    void AddLine(const std::wstring& text) override;
    std::size_t AddStepLine(const std::wstring& text) override;
    void CompleteLine(std::size_t index, const std::wstring& suffix) override;
    void Pump() override;
    bool AskYesNo(const std::wstring& text) override;
    void ShowError(const std::wstring& text) override;
    void ShowProgressPage() override;
    void SetProtected(bool on) override;
    void EnableExit() override;
    void ShowLargeFontPage() override;
    void CloseWindow() override;
    void* OwnerWindow() override;
    TInUseAnswer FileInUse(const std::wstring& file, const std::vector<std::wstring>& programs) override;
    bool CloseRequested() override;

private:
    HWND List() const;
    void ScrollToLine(std::size_t index);

    TFMain& FMain;
};
