// The journal of an installation run that has not reached its commit, kept in the target so that a run killed
// half-way (a power cut, the task manager) is undone by the next: which run it was, where the clinic's
// database was kept, and whether the run had committed. The predecessors of the files the run replaced lie
// beside them under names that carry the run's id (KeptName), which the next run finds by walking the target:
// the journal is written only a few times per run, so that keeping the predecessors costs no time.
// Portable: the text form is tested natively. The journal is read as hostile, as the install record is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct TRunJournal {
    std::wstring Run;          // the run's id: digits and Latin letters
    bool Committed = false;    // the run's copies were all on the disk: nothing is to be put back
    std::wstring Database;     // the clinic's database, relative to the target; empty when not kept
    std::wstring DatabaseKept; // the name it was kept under, relative to the target
    bool operator==(const TRunJournal&) const = default;
};

// Where the journal lies in the target.
inline constexpr wchar_t RunJournalName[] = L"Uninstall\\journal.txt";
inline constexpr wchar_t RunJournalFile[] = L"journal.txt";

// UTF-8 text: a heading line, then "run", "state" and "database" lines.
std::string FormatRunJournal(const TRunJournal& journal);
// The journal a text holds; nothing when it is no journal (no heading, no run or a run id of other
// characters). A database line whose paths are not both contained in the target, or not in the same folder,
// is dropped: the next run never renames anything outside the target.
std::optional<TRunJournal> ParseRunJournal(std::string_view text);

// The name the predecessor of `file` (a file name or path) is kept under while run `run` goes on.
std::wstring KeptName(std::wstring_view file, std::wstring_view run);
// The file whose predecessor `keptName` is, for run `run`; empty when the name is not one of that run's.
std::wstring OriginalOfKept(std::wstring_view keptName, std::wstring_view run);
