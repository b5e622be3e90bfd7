#include "install/run/RunJournal.h"

#include <algorithm>

#include "common/StrUtils.h"
#include "common/TextCodec.h"
#include "install/steps/DatabaseFiles.h"
#include "install/record/InstallRecord.h"

namespace {

constexpr std::string_view Heading = "Тессаро-Холтер: установка не завершена";
constexpr std::wstring_view RunMarker = L".~tessaro-";
constexpr std::wstring_view KeptExtension = L".prev";
constexpr std::wstring_view CopyExtension = L".new";
constexpr std::wstring_view TempExtension = L".tmp";
// What a settings value may hold to go back on an INI line as it was (TIniFile's longest value).
constexpr std::size_t LongestValue = 2047;

bool IsRunIdCharacter(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-';
}

bool IsRunId(std::wstring_view id) {
    return !id.empty() && id.size() <= 40 && std::all_of(id.begin(), id.end(), IsRunIdCharacter);
}

bool IsDigits(std::string_view text, std::size_t most) {
    return !text.empty() && text.size() <= most &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsHash(std::string_view text) {
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool FitsOnIniLine(std::wstring_view value) {
    return value.size() <= LongestValue &&
           std::none_of(value.begin(), value.end(), [](wchar_t c) { return c < L' ' || c == 0x7F; });
}

// The file, section and key of a settings line as the run writes them; null for any other.
const TSettingKey* RunSettingKey(std::wstring_view file, std::wstring_view section, std::wstring_view key) {
    for (const TSettingKey& each : RunSettingKeys)
        if (file == each.File && section == each.Section && key == each.Key)
            return &each;
    return nullptr;
}

// A file of the suite's a run may replace: one the record may hold, outside the clinic's data and the
// uninstaller's folder.
bool IsSuitesFile(std::wstring_view path) {
    return IsRecordablePath(path) && !NeverRecorded(path);
}

bool IsSettingsFile(std::wstring_view file) {
    return std::any_of(std::begin(RunSettingKeys), std::end(RunSettingKeys),
                       [&](const TSettingKey& each) { return file == each.File; });
}

// "DTAfb\" and the dated name of the database, exactly as BackupFileName makes it.
bool IsKeptDatabase(std::wstring_view path) {
    const std::wstring folder = std::wstring(DatabaseFolder) + L"\\";
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
           IsDatedBackupName(path.substr(folder.size()), DatabaseFile().Name);
}

std::string DatabaseLine(const TJournalDatabase& database) {
    const bool swapping = database.Stage == TJournalDatabase::TStage::Swapping;
    return "database\t" + std::string(swapping ? "swapping" : "copying") + "\t" +
           (database.Kept.empty() ? std::string("-") : WideToUtf8(database.Kept)) + "\t" +
           (database.Size ? std::to_string(*database.Size) : std::string("-")) + "\t" +
           (database.Hash.empty() ? std::string("-") : database.Hash) + "\r\n";
}

std::optional<TJournalDatabase> ParseDatabase(const std::vector<std::string_view>& fields) {
    TJournalDatabase database;
    if (fields.size() == 3) {
        // An earlier run's form: the database renamed to its dated name before the copy, the copy unknown.
        const std::wstring kept = Utf8ToWide(fields[2]);
        if (Utf8ToWide(fields[1]) != DatabaseFile().Dest || !IsKeptDatabase(kept))
            return std::nullopt;
        database.Stage = TJournalDatabase::TStage::Swapping;
        database.Kept = kept;
        return database;
    }
    if (fields.size() != 5 || (fields[1] != "copying" && fields[1] != "swapping"))
        return std::nullopt;
    database.Stage =
        fields[1] == "swapping" ? TJournalDatabase::TStage::Swapping : TJournalDatabase::TStage::Copying;
    if (fields[2] != "-") {
        database.Kept = Utf8ToWide(fields[2]);
        if (database.Stage != TJournalDatabase::TStage::Swapping || !IsKeptDatabase(database.Kept))
            return std::nullopt;
    }
    if (fields[3] != "-") {
        if (!IsDigits(fields[3], 19) || !IsHash(fields[4]))
            return std::nullopt;
        database.Size = std::stoull(std::string(fields[3]));
        database.Hash = std::string(fields[4]);
    } else if (fields[4] != "-") {
        return std::nullopt;
    }
    return database;
}

std::optional<TJournalSetting> ParseSetting(const std::vector<std::string_view>& fields) {
    if (fields.size() != 6)
        return std::nullopt;
    TJournalSetting setting{
        Utf8ToWide(fields[1]), Utf8ToWide(fields[2]), Utf8ToWide(fields[3]), {}, Utf8ToWide(fields[5])};
    const TSettingKey* key = RunSettingKey(setting.File, setting.Section, setting.Key);
    if (!key || setting.Written != key->Value)
        return std::nullopt;
    if (fields[4] != "-") {
        if (fields[4].empty() || fields[4][0] != '=')
            return std::nullopt;
        setting.Before = Utf8ToWide(fields[4].substr(1));
        if (!FitsOnIniLine(*setting.Before))
            return std::nullopt;
    }
    return setting;
}

} // namespace

std::string FormatRunJournal(const TRunJournal& journal) {
    std::string text(Heading);
    text += "\r\nrun\t" + WideToUtf8(journal.Run) + "\r\nstate\t" +
            (journal.Committed ? "committed" : "open") + "\r\n";
    if (journal.Database)
        text += DatabaseLine(*journal.Database);
    for (const std::wstring& file : journal.AddedSettingsFiles)
        text += "added\t" + WideToUtf8(file) + "\r\n";
    for (const TJournalSetting& setting : journal.Settings) {
        std::string before = setting.Before ? "=" : "-";
        if (setting.Before)
            before += WideToUtf8(*setting.Before);
        text += "setting\t" + WideToUtf8(setting.File) + "\t" + WideToUtf8(setting.Section) + "\t" +
                WideToUtf8(setting.Key) + "\t" + before + "\t" + WideToUtf8(setting.Written) + "\r\n";
    }
    for (const std::wstring& leftover : journal.Leftovers)
        text += "leftover\t" + WideToUtf8(leftover) + "\r\n";
    // An earlier wizard's journal listed no kept files; the next run then looks for them by name.
    if (journal.KeptListed) {
        text += "kept-list\r\n";
        for (const std::wstring& kept : journal.Kept)
            text += KeptLine(kept);
    }
    return text;
}

std::string KeptLine(const std::wstring& relative) {
    return "kept\t" + WideToUtf8(relative) + "\r\n";
}

std::optional<TRunJournal> ParseRunJournal(std::string_view text) {
    TRunJournal journal;
    journal.KeptListed = false;
    bool heading = false;
    std::vector<std::wstring> leftovers;
    for (const std::string_view line : TextLines(text)) {
        if (!heading) {
            if (line != Heading)
                return std::nullopt;
            heading = true;
            continue;
        }
        const std::vector<std::string_view> fields = TabFields(line);
        if (fields.size() == 2 && fields[0] == "run") {
            journal.Run = Utf8ToWide(fields[1]);
        } else if (fields.size() == 2 && fields[0] == "state") {
            journal.Committed = fields[1] == "committed";
        } else if (fields[0] == "database") {
            if (auto database = ParseDatabase(fields))
                journal.Database = std::move(database);
        } else if (fields[0] == "setting") {
            if (auto setting = ParseSetting(fields))
                journal.Settings.push_back(std::move(*setting));
        } else if (fields.size() == 2 && fields[0] == "added") {
            const std::wstring file = Utf8ToWide(fields[1]);
            if (IsSettingsFile(file))
                journal.AddedSettingsFiles.push_back(file);
        } else if (fields.size() == 2 && fields[0] == "leftover") {
            leftovers.push_back(Utf8ToWide(fields[1]));
        } else if (fields.size() == 1 && fields[0] == "kept-list") {
            journal.KeptListed = true;
        } else if (fields.size() == 2 && fields[0] == "kept") {
            const std::wstring kept = Utf8ToWide(fields[1]);
            if (IsSuitesFile(kept) &&
                std::none_of(journal.Kept.begin(), journal.Kept.end(),
                             [&](const std::wstring& each) { return SameText(each, kept); }))
                journal.Kept.push_back(kept);
        }
    }
    if (!journal.KeptListed)
        journal.Kept.clear();
    if (!heading || !IsRunId(journal.Run))
        return std::nullopt;
    // Only a predecessor of this run's, of a file the run may have replaced.
    for (std::wstring& leftover : leftovers) {
        const std::wstring original = OriginalOfKept(leftover, journal.Run);
        if (!original.empty() && IsRecordablePath(leftover) && IsSuitesFile(original) &&
            leftover == KeptName(original, journal.Run))
            journal.Leftovers.push_back(std::move(leftover));
    }
    return journal;
}

std::wstring KeptName(std::wstring_view file, std::wstring_view run) {
    return std::wstring(file) + std::wstring(RunMarker) + std::wstring(run) + std::wstring(KeptExtension);
}

std::wstring OriginalOfKept(std::wstring_view keptName, std::wstring_view run) {
    const std::wstring suffix = std::wstring(RunMarker) + std::wstring(run) + std::wstring(KeptExtension);
    if (run.empty() || keptName.size() <= suffix.size() ||
        !SameText(keptName.substr(keptName.size() - suffix.size()), suffix))
        return {};
    return std::wstring(keptName.substr(0, keptName.size() - suffix.size()));
}

std::wstring DatabaseCopyName(std::wstring_view run) {
    return DatabaseFile().Dest + std::wstring(RunMarker) + std::wstring(run) + std::wstring(CopyExtension);
}

bool IsRunTemporaryName(std::wstring_view name) {
    std::wstring folded(name);
    for (wchar_t& c : folded)
        c = FoldCase(c);
    // The last marker: a half-made copy of the database's copy carries two.
    const std::size_t marker = folded.rfind(RunMarker);
    if (marker == 0 || marker == std::wstring_view::npos)
        return false;
    std::wstring_view rest = name.substr(marker + RunMarker.size());
    std::wstring_view extension;
    for (const std::wstring_view each : {TempExtension, CopyExtension})
        if (rest.size() > each.size() && SameText(rest.substr(rest.size() - each.size()), each))
            extension = each;
    if (extension.empty())
        return false;
    const std::wstring_view id = rest.substr(0, rest.size() - extension.size());
    // A copy of the database is named after the database alone.
    if (extension == CopyExtension && !SameText(name.substr(0, marker), DatabaseFile().Name))
        return false;
    return IsRunId(id);
}
