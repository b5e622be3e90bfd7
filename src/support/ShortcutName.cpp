#include "support/ShortcutName.h"

namespace {

// The end of the folder part: the name starts after the last separator or drive colon.
std::size_t NameStart(std::wstring_view path) {
    const std::size_t last = path.find_last_of(L"\\/:");
    return last == std::wstring_view::npos ? 0 : last + 1;
}

// One backslash between the parts, however the first one ends.
std::wstring Join(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path += name;
    return path;
}

} // namespace

std::wstring LinkFileName(std::wstring_view FileName, std::wstring_view LinkName) {
    const std::wstring_view source = LinkName.empty() ? FileName : LinkName;
    const std::wstring_view name = source.substr(NameStart(source));
    const std::size_t dot = name.find_last_of(L'.');
    return std::wstring(name.substr(0, dot)) + L".lnk";
}

std::wstring LinkFilePath(std::wstring_view Folder, std::uint8_t Location, std::wstring_view SubFolder,
                          std::wstring_view LinkFile) {
    if (!SubFolder.empty() && Location != LinkLocationFolder)
        return Join(Join(Folder, SubFolder), LinkFile);
    return Join(Folder, LinkFile);
}

std::wstring LinkWorkingDir(std::wstring_view WorkingDir, std::wstring_view FileName) {
    if (!WorkingDir.empty())
        return std::wstring(WorkingDir);
    return std::wstring(FileName.substr(0, NameStart(FileName)));
}
