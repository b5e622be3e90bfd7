// A host for the installation steps that keeps the progress list as the window would show it, a journal of
// the list's calls in order (lines, completions), a transcript of every call with the answers given, and the
// questions, error boxes and traces apart.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "install/run/InstallHost.h"

class TRecordingHost : public IInstallHost {
public:
    std::vector<std::wstring> Lines;      // the list as shown
    std::vector<std::wstring> Journal;    // "line: ...", "step: ...", "complete: ..."
    std::vector<std::wstring> Transcript; // every call: the journal's entries and "ask: ... -> Yes" etc.
    std::vector<std::wstring> Questions, Errors, Traces;
    std::deque<bool> Answers;              // answers to the questions in turn; Yes when none is left
    std::deque<TInUseAnswer> InUseAnswers; // answers to files in use in turn; give up when none is left
    std::function<void()> OnInUse;         // runs before each such answer (a holder lets go, say)
    bool Protected = false;

    void AddLine(const std::wstring& text) override {
        Lines.push_back(text);
        Note(L"line: " + text);
    }
    std::size_t AddStepLine(const std::wstring& text) override {
        Lines.push_back(text);
        Note(L"step: " + text);
        return Lines.size() - 1;
    }
    void CompleteLine(std::size_t index, const std::wstring& suffix) override {
        Lines.at(index) += suffix;
        Note(L"complete: " + Lines.at(index));
    }
    void Trace(const std::wstring& text) override {
        Traces.push_back(text);
        Transcript.push_back(L"trace: " + text);
    }
    bool AskYesNo(const std::wstring& text) override {
        Questions.push_back(text);
        bool answer = true;
        if (!Answers.empty()) {
            answer = Answers.front();
            Answers.pop_front();
        }
        Transcript.push_back(L"ask: " + text + (answer ? L" -> Yes" : L" -> No"));
        return answer;
    }
    void ShowError(const std::wstring& text) override {
        Errors.push_back(text);
        Transcript.push_back(L"error: " + text);
    }
    void SetProtected(bool on) override {
        Protected = on;
        Transcript.push_back(on ? L"protect: on" : L"protect: off");
    }
    void* OwnerWindow() override { return nullptr; }
    TInUseAnswer FileInUse(const std::wstring& file, const std::vector<std::wstring>& programs) override {
        if (OnInUse)
            OnInUse();
        TInUseAnswer answer = TInUseAnswer::GiveUp;
        if (!InUseAnswers.empty()) {
            answer = InUseAnswers.front();
            InUseAnswers.pop_front();
        }
        std::wstring holders;
        for (const auto& program : programs)
            holders += L" " + program;
        Transcript.push_back(L"in use: " + file + holders +
                             (answer == TInUseAnswer::Retry    ? L" -> retry"
                              : answer == TInUseAnswer::Cancel ? L" -> cancel"
                                                               : L" -> give up"));
        return answer;
    }

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

private:
    void Note(const std::wstring& entry) {
        Journal.push_back(entry);
        Transcript.push_back(entry);
    }
};
