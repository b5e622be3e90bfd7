// Any bytes as an install record: every path the reader keeps stays inside the target and never names a
// clinic data folder or anything in one, under any spelling the system reads as it; no record, however
// edited, lifts the guard of those folders; and what the reader kept reads back the same once written.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/StrUtils.h"
#include "install/record/InstallRecord.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The first name a relative path reaches, as the file system compares it, reckoned on its own here rather
// than with the reader's helpers: "/" separates, empty and dot-and-blank parts are skipped, a stream's suffix
// and the final dots and blanks are cut off, letters folded (the dotless i and the long s to their Latin
// capitals' letters). A part that may lead upwards counts as the data folder itself.
bool ReachesDataFolder(std::wstring_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::wstring_view part = path.substr(start, end - start);
        start = end + 1;
        part = part.substr(0, part.find(L':'));
        std::size_t dots = 0, last = 0;
        for (std::size_t i = 0; i < part.size(); ++i) {
            if (part[i] == L'.')
                ++dots;
            else if (part[i] != L' ')
                last = i + 1;
        }
        if (last == 0) {
            if (dots >= 2)
                return true;
            continue;
        }
        std::wstring name;
        for (wchar_t c : part.substr(0, last))
            name += c == static_cast<wchar_t>(0x131)   ? L'i'
                    : c == static_cast<wchar_t>(0x17F) ? L's'
                                                       : FoldCase(c);
        return name == L"dtafb" || name == L"settings";
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TInstallRecord record =
        ParseInstallRecord(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const TRecordedFile& file : record.Files)
        if (!IsContainedPath(file.Path) || ReachesDataFolder(file.Path) ||
            InDataFolder(TInstallRecord{}, file.Path))
            std::abort();
    for (const std::wstring& folder : record.DataFolders)
        if (!IsContainedPath(folder))
            std::abort();
    for (const wchar_t* guarded :
         {L"DTAfb\\T12.FDB", L"dtafb/T12.FDB", L"DTAfb.\\T12.FDB", L"Settings", L"SETTINGS \\holter.ini"})
        if (!InDataFolder(record, guarded))
            std::abort();

    const TInstallRecord again = ParseInstallRecord(FormatInstallRecord(record));
    if (again.DataFolders != record.DataFolders || again.Files.size() != record.Files.size())
        std::abort();
    for (std::size_t i = 0; i < record.Files.size(); ++i)
        if (again.Files[i].Path != record.Files[i].Path || again.Files[i].Size != record.Files[i].Size ||
            again.Files[i].Hash != record.Files[i].Hash)
            std::abort();
    return 0;
}
