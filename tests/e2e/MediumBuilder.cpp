// Copies of the demo medium and the changes the end-to-end cases make to them, with Win32 file calls alone.
#include "MediumBuilder.h"

#include <utility>

#include "WizardDriver.h"
#include "common/HandlesWin.h"

namespace e2e {
namespace {

[[noreturn]] void Fail(const std::wstring& what, const std::wstring& path) {
    DWORD code = ::GetLastError();
    throw TDriverError(what + L" \"" + path + L"\" failed, error " + std::to_wstring(code));
}

DWORD Attributes(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

void SetAttributes(const std::wstring& path, DWORD attributes) {
    // Only these can be set; a copy's others (directory, compressed, ...) come from how it is made.
    attributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;
    if (!::SetFileAttributesW(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
        Fail(L"SetFileAttributesW", path);
}

void ChangeAttribute(const std::wstring& path, DWORD attribute, bool on) {
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        Fail(L"GetFileAttributesW", path);
    SetAttributes(path, on ? attributes | attribute : attributes & ~attribute);
}

bool IsDots(const wchar_t* name) {
    return lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0;
}

// Calls `visit` with the name and attributes of every entry of the folder but "." and "..".
template <typename TVisit> void ForEachEntry(const std::wstring& folder, TVisit visit) {
    WIN32_FIND_DATAW found{};
    TUniqueFind search(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    if (!search)
        Fail(L"FindFirstFileW", folder);
    do {
        if (!IsDots(found.cFileName))
            visit(std::wstring(found.cFileName), found.dwFileAttributes);
    } while (::FindNextFileW(search.Get(), &found));
}

void CreateFolders(const std::wstring& path) {
    // Every level below the drive or share, so that "C:\" or "\\server\share\" is never created itself.
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    if (!FolderExists(path) && !::CreateDirectoryW(path.c_str(), nullptr))
        Fail(L"CreateDirectoryW", path);
}

std::wstring Parent(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The span of the element `name` in an XML text: from its start tag to the end of its end tag.
std::pair<size_t, size_t> ElementSpan(const std::string& text, std::string_view name) {
    // Appended piece by piece: GCC 12 warns falsely about "<" + std::string(name).
    std::string open(1, '<');
    open.append(name);
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        char next = at + open.size() < text.size() ? text[at + open.size()] : '\0';
        if (next != '>' && next != ' ' && next != '/' && next != '\t' && next != '\r' && next != '\n')
            continue;
        size_t tagEnd = text.find('>', at);
        if (tagEnd == std::string::npos)
            break;
        if (text[tagEnd - 1] == '/')
            return {at, tagEnd + 1};
        std::string close("</");
        close.append(name).append(1, '>');
        size_t closeAt = text.find(close, tagEnd);
        if (closeAt == std::string::npos)
            break;
        return {at, closeAt + close.size()};
    }
    return {std::string::npos, std::string::npos};
}

} // namespace

bool FileExists(const std::wstring& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
    TUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        Fail(L"Opening", path);
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    CreateFolders(Parent(path));
    DWORD attributes = Attributes(path);
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly)
        SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    {
        TUniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            Fail(L"Creating", path);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            Fail(L"Writing", path);
    }
    if (readOnly)
        ChangeAttribute(path, FILE_ATTRIBUTE_READONLY, true);
}

void CopyTree(const std::wstring& source, const std::wstring& dest) {
    CreateFolders(dest);
    ForEachEntry(source, [&](const std::wstring& name, DWORD attributes) {
        std::wstring from = JoinPath(source, name);
        std::wstring to = JoinPath(dest, name);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from, to);
        } else if (!::CopyFileW(from.c_str(), to.c_str(), TRUE)) {
            Fail(L"CopyFileW to \"" + to + L"\" from", from);
        }
        // Set afterwards, so that a read-only folder still takes its files.
        SetAttributes(to, attributes);
    });
}

namespace {
// The Unix path Wine maps a Windows path to (UTF-8); its last part need not exist yet.
std::string UnixPath(const std::wstring& path) {
    using TUnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        Fail(L"wine_get_unix_file_name", path);
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    char* mapped = unixName(folder.c_str());
    if (!mapped)
        Fail(L"wine_get_unix_file_name", folder);
    std::string result = mapped;
    ::HeapFree(::GetProcessHeap(), 0, mapped);
    const std::wstring name = path.substr(folder.size() + 1);
    std::string utf8(name.size() * 3, '\0');
    utf8.resize(static_cast<std::size_t>(
        ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), utf8.data(),
                              static_cast<int>(utf8.size()), nullptr, nullptr)));
    return result + "/" + utf8;
}

// Runs one of the system's own programs (Wine starts them as any other) and waits for it.
void RunUnixProgram(const wchar_t* program, std::wstring line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        Fail(L"CreateProcessW", line);
    ::WaitForSingleObject(info.hProcess, 10000);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
}

// Waits a while for a system program's work to show: Wine may report its end before it is done.
bool Shows(const std::wstring& path, bool present) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if ((Attributes(path) != INVALID_FILE_ATTRIBUTES) == present)
            return true;
        ::Sleep(50);
    }
    return false;
}

std::wstring WideFromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

} // namespace

void PlantLink(const std::wstring& link, const std::wstring& destination) {
    const std::wstring bare =
        destination.ends_with(L'\\') ? destination.substr(0, destination.size() - 1) : destination;
    RunUnixProgram(L"Z:\\bin\\ln", L"/bin/ln -sfn \"" + WideFromUtf8(UnixPath(bare)) + L"\" \"" +
                                       WideFromUtf8(UnixPath(link)) + L"\"");
    if (!Shows(link, true))
        Fail(L"ln -s", link);
}

void SwapForLink(const std::wstring& folder, const std::wstring& destination) {
    RunUnixProgram(L"Z:\\bin\\mv", L"/bin/mv \"" + WideFromUtf8(UnixPath(folder)) + L"\" \"" +
                                       WideFromUtf8(UnixPath(folder + L".swapped")) + L"\"");
    if (!Shows(folder + L".swapped", true))
        Fail(L"mv", folder);
    PlantLink(folder, destination);
}

void SwapBack(const std::wstring& folder) {
    RemoveTree(folder);
    RunUnixProgram(L"Z:\\bin\\mv", L"/bin/mv \"" + WideFromUtf8(UnixPath(folder + L".swapped")) + L"\" \"" +
                                       WideFromUtf8(UnixPath(folder)) + L"\"");
    if (!Shows(folder, true))
        Fail(L"mv", folder);
}

void RemoveTree(const std::wstring& path) {
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RunUnixProgram(L"Z:\\bin\\rm", L"/bin/rm -f \"" + WideFromUtf8(UnixPath(path)) + L"\"");
        if (!Shows(path, false))
            Fail(L"rm", path);
        return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!::DeleteFileW(path.c_str()))
            Fail(L"DeleteFileW", path);
        return;
    }
    ForEachEntry(path, [&](const std::wstring& name, DWORD) { RemoveTree(JoinPath(path, name)); });
    if (!::RemoveDirectoryW(path.c_str()))
        Fail(L"RemoveDirectoryW", path);
}

std::wstring TempPath(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        Fail(L"GetTempPathW", name);
    return JoinPath(std::wstring(temp, length), name);
}

TMediumBuilder::TMediumBuilder(const std::wstring& source, const std::wstring& folder)
    : FSource(source), FFolder(folder) {
    if (!FileExists(JoinPath(source, L"Setup.exe")))
        throw TDriverError(L"no laid-out medium in \"" + source + L"\"");
    RemoveTree(FFolder);
    CopyTree(source, FFolder);
}

std::wstring TMediumBuilder::Path(const std::wstring& relative) const {
    return JoinPath(FFolder, relative);
}

TMediumBuilder& TMediumBuilder::RemoveFile(const std::wstring& relative) {
    std::wstring path = Path(relative);
    if (!FileExists(path))
        throw TDriverError(L"no file \"" + path + L"\" to remove");
    RemoveTree(path);
    return *this;
}

TMediumBuilder& TMediumBuilder::RemoveFolder(const std::wstring& relative) {
    std::wstring path = Path(relative);
    if (!FolderExists(path))
        throw TDriverError(L"no folder \"" + path + L"\" to remove");
    RemoveTree(path);
    return *this;
}

TMediumBuilder& TMediumBuilder::WriteFile(const std::wstring& relative, std::string_view content) {
    WriteFileBytes(Path(relative), content);
    return *this;
}

TMediumBuilder& TMediumBuilder::SetReadOnly(const std::wstring& relative, bool readOnly) {
    ChangeAttribute(Path(relative), FILE_ATTRIBUTE_READONLY, readOnly);
    return *this;
}

TMediumBuilder& TMediumBuilder::SetHidden(const std::wstring& relative, bool hidden) {
    ChangeAttribute(Path(relative), FILE_ATTRIBUTE_HIDDEN, hidden);
    return *this;
}

TMediumBuilder& TMediumBuilder::SetReleaseVersion(std::string_view value) {
    std::wstring path = Path(medium::ReleaseInfo);
    std::string text = ReadFileBytes(path);
    auto [start, end] = ElementSpan(text, "Version");
    size_t content = start == std::string::npos ? start : text.find('>', start) + 1;
    if (start == std::string::npos || content == end)
        throw TDriverError(L"no element Version with content in \"" + path + L"\"");
    size_t contentEnd = text.rfind('<', end - 1);
    text.replace(content, contentEnd - content, value);
    WriteFileBytes(path, text);
    return *this;
}

TMediumBuilder& TMediumBuilder::RemoveReleaseElement(std::string_view name) {
    std::wstring path = Path(medium::ReleaseInfo);
    std::string text = ReadFileBytes(path);
    auto [start, end] = ElementSpan(text, name);
    if (start == std::string::npos)
        throw TDriverError(L"no element " + std::wstring(name.begin(), name.end()) + L" in \"" + path +
                           L"\"");
    // The indentation before it goes too, so that no blank line is left behind.
    while (start > 0 && (text[start - 1] == ' ' || text[start - 1] == '\t'))
        --start;
    if (end < text.size() && text[end] == '\r')
        ++end;
    if (end < text.size() && text[end] == '\n')
        ++end;
    text.erase(start, end - start);
    WriteFileBytes(path, text);
    return *this;
}

TMediumBuilder& TMediumBuilder::EmptyBackup() {
    std::wstring backup = Path(medium::Backup);
    ForEachEntry(backup, [&](const std::wstring& name, DWORD) { RemoveTree(JoinPath(backup, name)); });
    return *this;
}

TMediumBuilder& TMediumBuilder::AddPackage(const std::wstring& name) {
    std::wstring backup = Path(medium::Backup);
    std::wstring package = JoinPath(backup, name);
    if (FolderExists(package))
        throw TDriverError(L"the package \"" + package + L"\" exists already");
    // From the medium the copy was made of, so that a package can be added to an emptied "backup" too.
    CopyTree(JoinPath(JoinPath(FSource, medium::Backup), medium::NewestPackage), package);
    WriteFileBytes(JoinPath(JoinPath(package, L"Files"), medium::PackageVersion), ToUtf8(name) + "\r\n");
    return *this;
}

TMediumBuilder& TMediumBuilder::AddPackageWithoutScript(const std::wstring& name) {
    AddPackage(name);
    RemoveTree(JoinPath(JoinPath(Path(medium::Backup), name), L"Install.cmd"));
    return *this;
}

} // namespace e2e
