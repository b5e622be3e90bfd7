// Any bytes as a run's journal: whatever the reader keeps is only ever what a run writes (the database's own
// copy and dated name in "DTAfb\", the settings keys the run writes, kept names of this run's of files
// outside the clinic's data), so that the next run renames, writes or removes nothing else; and what it kept
// reads back the same once written.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "install/steps/DatabaseFiles.h"
#include "install/record/InstallRecord.h"
#include "install/run/RunJournal.h"

namespace {

bool KnownKey(const TJournalSetting& setting) {
    return std::any_of(std::begin(RunSettingKeys), std::end(RunSettingKeys), [&](const TSettingKey& key) {
        return setting.File == key.File && setting.Section == key.Section && setting.Key == key.Key &&
               setting.Written == key.Value;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto journal = ParseRunJournal(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!journal)
        return 0;
    if (journal->Database && !journal->Database->Kept.empty()) {
        const std::wstring& kept = journal->Database->Kept;
        const std::wstring folder = std::wstring(DatabaseFolder) + L"\\";
        if (kept.rfind(folder, 0) != 0 || !IsDatedBackupName(kept.substr(folder.size()), DatabaseFile().Name))
            std::abort();
    }
    for (const TJournalSetting& setting : journal->Settings)
        if (!KnownKey(setting) || (setting.Before && setting.Before->size() > 2047))
            std::abort();
    for (const std::wstring& leftover : journal->Leftovers) {
        const std::wstring original = OriginalOfKept(leftover, journal->Run);
        if (original.empty() || !IsContainedPath(leftover) || NeverRecorded(original))
            std::abort();
    }
    if (ParseRunJournal(FormatRunJournal(*journal)) != journal)
        std::abort();
    return 0;
}
