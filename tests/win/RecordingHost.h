// A host for the installation run without a window: it keeps the list as the window would show it, records
// every call as one line of a transcript, and answers questions from a queue (No when it runs dry).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "install/InstallHost.h"

class TRecordingHost : public IInstallHost {
public:
    std::vector<std::wstring> Lines;      // the progress list
    std::vector<std::wstring> Transcript; // every call, in order
    std::deque<bool> Answers;
    int Pumps = 0;
    bool Protected = false;

    void AddLine(const std::wstring& text) override {
        Lines.push_back(text);
        Transcript.push_back(L"line: " + text);
    }
    std::size_t AddStepLine(const std::wstring& text) override {
        Lines.push_back(text);
        Transcript.push_back(L"step: " + text);
        return Lines.size() - 1;
    }
    void CompleteLine(std::size_t index, const std::wstring& suffix) override {
        Lines.at(index) += suffix;
        Transcript.push_back(L"complete: " + Lines.at(index));
    }
    void Pump() override { ++Pumps; }
    void Trace(const std::wstring& text) override { Transcript.push_back(L"trace: " + text); }
    bool AskYesNo(const std::wstring& text) override {
        const bool answer = !Answers.empty() && Answers.front();
        if (!Answers.empty())
            Answers.pop_front();
        Transcript.push_back(L"ask: " + text + (answer ? L" -> Yes" : L" -> No"));
        return answer;
    }
    void ShowError(const std::wstring& text) override { Transcript.push_back(L"error: " + text); }
    void ShowProgressPage() override {
        Lines.clear();
        Transcript.push_back(L"page: progress");
    }
    void SetProtected(bool on) override {
        Protected = on;
        Transcript.push_back(on ? L"protect: on" : L"protect: off");
    }
    void EnableExit() override { Transcript.push_back(L"exit: enabled"); }
    void ShowLargeFontPage() override { Transcript.push_back(L"page: large fonts"); }
    void CloseWindow() override { Transcript.push_back(L"close"); }
    void* OwnerWindow() override { return nullptr; }

    bool Saw(const std::wstring& entry) const {
        for (const auto& each : Transcript)
            if (each == entry)
                return true;
        return false;
    }
    bool SawPrefix(const std::wstring& prefix) const {
        for (const auto& each : Transcript)
            if (each.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};
