// A host for the installation steps that keeps the progress list as the window would show it, and a journal
// of every call in order (lines, completions, pumps), the questions, the error boxes and the traces.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "install/InstallHost.h"

class TRecordingHost : public IInstallHost {
public:
    std::vector<std::wstring> Lines;   // the list as shown
    std::vector<std::wstring> Journal; // "line: ...", "step: ...", "complete: ...", "pump"
    std::vector<std::wstring> Questions, Errors, Traces;
    std::deque<bool> Answers; // answers to the questions in turn; Yes when none is left
    int Pumps = 0;
    bool Protected = false, ExitEnabled = false, LargeFontPage = false, Closed = false, ProgressPage = false;

    void AddLine(const std::wstring& text) override {
        Lines.push_back(text);
        Journal.push_back(L"line: " + text);
    }
    std::size_t AddStepLine(const std::wstring& text) override {
        Lines.push_back(text);
        Journal.push_back(L"step: " + text);
        return Lines.size() - 1;
    }
    void CompleteLine(std::size_t index, const std::wstring& suffix) override {
        Lines.at(index) += suffix;
        Journal.push_back(L"complete: " + Lines.at(index));
    }
    void Pump() override {
        ++Pumps;
        Journal.push_back(L"pump");
    }
    void Trace(const std::wstring& text) override { Traces.push_back(text); }
    bool AskYesNo(const std::wstring& text) override {
        Questions.push_back(text);
        if (Answers.empty())
            return true;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void ShowError(const std::wstring& text) override { Errors.push_back(text); }
    void ShowProgressPage() override {
        Lines.clear();
        ProgressPage = true;
    }
    void SetProtected(bool on) override { Protected = on; }
    void EnableExit() override { ExitEnabled = true; }
    void ShowLargeFontPage() override { LargeFontPage = true; }
    void CloseWindow() override { Closed = true; }
    void* OwnerWindow() override { return nullptr; }
};
