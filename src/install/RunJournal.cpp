#include "install/RunJournal.h"

#include <algorithm>

#include "common/StrUtils.h"
#include "common/TextCodec.h"
#include "install/InstallRecord.h"

namespace {

constexpr std::string_view Heading = "Тессаро-Холтер: установка не завершена";
constexpr std::wstring_view KeptMarker = L".~tessaro-";
constexpr std::wstring_view KeptExtension = L".prev";

bool IsRunId(std::wstring_view id) {
    return !id.empty() && id.size() <= 40 && std::all_of(id.begin(), id.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-';
    });
}

std::wstring_view FolderOf(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash);
}

} // namespace

std::string FormatRunJournal(const TRunJournal& journal) {
    std::string text(Heading);
    text += "\r\nrun\t" + WideToUtf8(journal.Run) + "\r\nstate\t" +
            (journal.Committed ? "committed" : "open") + "\r\n";
    if (!journal.Database.empty())
        text +=
            "database\t" + WideToUtf8(journal.Database) + "\t" + WideToUtf8(journal.DatabaseKept) + "\r\n";
    return text;
}

std::optional<TRunJournal> ParseRunJournal(std::string_view text) {
    TRunJournal journal;
    bool heading = false;
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
        } else if (fields.size() == 3 && fields[0] == "database") {
            const std::wstring database = Utf8ToWide(fields[1]);
            const std::wstring kept = Utf8ToWide(fields[2]);
            // Both in the target, in one folder, the kept one no data file of another name: a rename that
            // could only give the database its name back.
            if (IsRecordablePath(database) && IsRecordablePath(kept) &&
                SameText(FolderOf(database), FolderOf(kept)) && !SameText(database, kept) &&
                kept.size() > database.size() &&
                SameText(std::wstring_view(kept).substr(0, database.size()), database)) {
                journal.Database = database;
                journal.DatabaseKept = kept;
            }
        }
    }
    if (!heading || !IsRunId(journal.Run))
        return std::nullopt;
    return journal;
}

std::wstring KeptName(std::wstring_view file, std::wstring_view run) {
    return std::wstring(file) + std::wstring(KeptMarker) + std::wstring(run) + std::wstring(KeptExtension);
}

std::wstring OriginalOfKept(std::wstring_view keptName, std::wstring_view run) {
    const std::wstring suffix = std::wstring(KeptMarker) + std::wstring(run) + std::wstring(KeptExtension);
    if (run.empty() || keptName.size() <= suffix.size() ||
        !SameText(keptName.substr(keptName.size() - suffix.size()), suffix))
        return {};
    return std::wstring(keptName.substr(0, keptName.size() - suffix.size()));
}
