// The journal of an installation run, kept in the target from the run's start to its end, so that a run
// killed half-way (a power cut, the task manager, a session that ends) is undone by the next: which run it
// was, whether it had committed, every file whose predecessor it kept beside it (each written down before the
// predecessor is renamed: the next run puts back exactly those, and looks for no other), where the medium's
// database was copied and where the clinic's went at the commit (with the size and hash of the copy, so that
// a database the suite has written to since is never taken for the run's own), which settings keys the run
// changed and what they held, and the predecessors a commit could not remove. Portable: the text form is
// tested natively. The journal is read as hostile, as the install record is: a line that is not in one of the
// forms the run writes is dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The medium's database on its way to "DTAfb\T12.FDB": copied under a name of the run's first, it takes the
// name at the commit, and the clinic's database then its dated one.
struct TJournalDatabase {
    enum class TStage {
        Copying,  // the copy is being written, or lies under its temporary name
        Swapping, // the commit has begun: the clinic's database is at Kept or about to be, or there was none
    };
    TStage Stage = TStage::Copying;
    std::wstring Kept;                 // Swapping: the clinic's dated name; empty when there was no database
    std::optional<std::uint64_t> Size; // the copy's, once written
    std::string Hash;                  // the copy's content hash (ContentHash.h), once written
    bool operator==(const TJournalDatabase&) const = default;
};

// One settings key the run wrote, and what it held before.
struct TJournalSetting {
    std::wstring File; // relative to the target: one of RunSettingsFiles
    std::wstring Section, Key;
    std::optional<std::wstring> Before; // nothing: the key was not there
    std::wstring Written;
    bool operator==(const TJournalSetting&) const = default;
};

struct TRunJournal {
    std::wstring Run;       // the run's id: digits and Latin letters
    bool Committed = false; // the run's copies were all on the disk: nothing is to be put back
    std::optional<TJournalDatabase> Database;
    std::vector<TJournalSetting> Settings;
    std::vector<std::wstring> AddedSettingsFiles; // settings files the run made
    std::vector<std::wstring> Leftovers; // predecessors the commit could not remove, relative to the target
    // The files whose predecessors the run kept (KeptName), relative to the target. An earlier wizard's
    // journal lists none (`KeptListed` false): its run's kept files are found by their names.
    std::vector<std::wstring> Kept;
    bool KeptListed = true;
    bool operator==(const TRunJournal&) const = default;
};

// Where the journal lies in the target.
inline constexpr wchar_t RunJournalName[] = L"Uninstall\\journal.txt";
inline constexpr wchar_t RunJournalFile[] = L"journal.txt";

// The settings keys a run writes, file by file: the suite's options in "Settings\holter.ini" and, for the
// edition, the disk of "btooth.ini". The journal takes no other.
struct TSettingKey {
    const wchar_t* File; // relative to the target
    const wchar_t* Section;
    const wchar_t* Key;
    const wchar_t* Value;
};
inline constexpr wchar_t HolterIni[] = L"Settings\\holter.ini";
inline constexpr wchar_t BtoothIni[] = L"btooth.ini";
inline constexpr TSettingKey RunSettingKeys[] = {
    {HolterIni, L"options", L"FilterType", L"0"},
    {HolterIni, L"options", L"HardwareType", L"1"},
    {BtoothIni, L"Common", L"Disk", L"I"},
};

// UTF-8 text: a heading line, then "run", "state", "database", "setting", "added", "leftover" and "kept"
// lines.
std::string FormatRunJournal(const TRunJournal& journal);
// A line that lists one more kept file, appended to a journal as its file is kept.
std::string KeptLine(const std::wstring& relative);
// The journal a text holds; nothing when it is no journal (no heading, no run or a run id of other
// characters). Every other line is taken only in the form the run writes it: a database line names the
// medium's copy and the clinic's dated name in "DTAfb\" exactly as the run makes them, a settings line one of
// RunSettingKeys with a value that fits on an INI line, a leftover the kept name of a file of the suite's (no
// data folder, nothing outside the target) for this run, a kept file one of the suite's (the same rule);
// anything else is dropped, so that the next run never renames, writes or removes anything else. A database
// line of the earlier form ("database", the database and its dated name) is read as a commit whose copy is
// not known.
std::optional<TRunJournal> ParseRunJournal(std::string_view text);

// The name the predecessor of `file` (a file name or path) is kept under while run `run` goes on.
std::wstring KeptName(std::wstring_view file, std::wstring_view run);
// The file whose predecessor `keptName` is, for run `run`; empty when the name is not one of that run's.
// Only for an earlier wizard's journal, which does not list them.
std::wstring OriginalOfKept(std::wstring_view keptName, std::wstring_view run);

// The name the medium's database is copied under by run `run`, relative to the target, until the commit.
std::wstring DatabaseCopyName(std::wstring_view run);
// Whether a file name (no folder) is that of a half-made copy ("<name>.~tessaro-<id>.tmp") or of the
// medium's database under its run's name: what a killed run leaves and the next one removes.
bool IsRunTemporaryName(std::wstring_view name);
