#include "install/InstallRecord.h"

#include <algorithm>
#include <charconv>

#include "common/StrUtils.h"
#include "common/TextCodec.h"

namespace {

constexpr std::string_view Heading = "Тессаро-Холтер: установленные файлы";
constexpr std::string_view DataTag = "data";
constexpr std::string_view FileTag = "file";

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool IsHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

} // namespace

std::vector<std::wstring> ClinicDataFolders() {
    return {L"DTAfb", L"Settings"};
}

bool IsContainedPath(std::wstring_view path) {
    if (path.empty() || path.front() == L'\\' || path.front() == L'/' ||
        path.find(L':') != std::wstring_view::npos)
        return false;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
        const std::wstring_view part = path.substr(start, end - start);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string FormatInstallRecord(const TInstallRecord& record) {
    std::string text(Heading);
    text += "\r\n";
    for (const std::wstring& folder : record.DataFolders)
        text += std::string(DataTag) + "\t" + WideToUtf8(folder) + "\r\n";
    for (const TRecordedFile& file : record.Files)
        text += std::string(FileTag) + "\t" + std::to_string(file.Size) + "\t" + file.Hash + "\t" +
                WideToUtf8(file.Path) + "\r\n";
    return text;
}

TInstallRecord ParseInstallRecord(std::string_view text) {
    TInstallRecord record;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.size() == 2 && fields[0] == DataTag) {
            const std::wstring folder = Utf8ToWide(fields[1]);
            if (IsContainedPath(folder))
                record.DataFolders.push_back(folder);
        } else if (fields.size() == 4 && fields[0] == FileTag && IsHex(fields[2])) {
            std::uint64_t size = 0;
            const auto [rest, error] =
                std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), size);
            const std::wstring path = Utf8ToWide(fields[3]);
            if (error == std::errc{} && rest == fields[1].data() + fields[1].size() && IsContainedPath(path))
                record.Files.push_back({path, size, std::string(fields[2])});
        }
    }
    return record;
}

void MergeInstallRecord(TInstallRecord& record, const std::vector<TRecordedFile>& files,
                        const std::vector<std::wstring>& dataFolders) {
    for (const std::wstring& folder : dataFolders)
        if (std::none_of(record.DataFolders.begin(), record.DataFolders.end(),
                         [&](const std::wstring& known) { return SameText(known, folder); }))
            record.DataFolders.push_back(folder);
    for (const TRecordedFile& file : files) {
        const auto known =
            std::find_if(record.Files.begin(), record.Files.end(),
                         [&](const TRecordedFile& each) { return SameText(each.Path, file.Path); });
        if (known != record.Files.end())
            *known = file;
        else
            record.Files.push_back(file);
    }
}

bool InDataFolder(const TInstallRecord& record, std::wstring_view path) {
    return std::any_of(record.DataFolders.begin(), record.DataFolders.end(),
                       [&](const std::wstring& folder) { return PathInFolder(path, folder); });
}
