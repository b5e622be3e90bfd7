// The font step: copied into the Windows fonts folder, listed in the registry for the next start of
// Windows, and announced to the running programs.
#include "install/steps/Fonts.h"

#include <windows.h>

#include <vector>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "install/files/Copies.h"
#include "install/steps/FontName.h"

namespace {

// Names as the suite has always listed them, letter case included: the registry keeps them as written.
const wchar_t* const FontList[] = {L"ARIAL.TTF",  L"ARIALN.TTF", L"COUR.TTF",   L"MICROSS.TTF",
                                   L"TAHOMA.TTF", L"TIMES.TTF",  L"verdana.TTF"};

constexpr wchar_t FontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t FontValueSuffix[] = L" (TrueType)";
// "уcтановлен" is written with a Latin "c": the suite's installers have always shown it so. Deliberate, not
// to be corrected (docs/design.md#deliberate-texts).
constexpr wchar_t FontLineStart[] = L"Шрифт <";
constexpr wchar_t FontLineEnd[] = L"> у"
                                  L"c"
                                  L"тановлен";

// Not in the import libraries: an export of gdi32 that Windows does not document, looked up where it lives.
using TGetFontResourceInfoW = BOOL(WINAPI*)(LPCWSTR, LPDWORD, LPVOID, DWORD);
constexpr DWORD FontResourceDescription = 1;

struct TFontFolders {
    std::wstring Source;
    std::wstring Dest;
};

// A font missing on the medium ends the step as the copy would have ended it, before anything is written.
void CheckReadable(const std::wstring& path) {
    const TUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        ThrowLastError(L"Не удалось открыть файл " + Quoted(path));
}

void RegisterFont(const std::wstring& valueName, const std::wstring& fileName) {
    HKEY raw = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, FontsKey, 0, KEY_ALL_ACCESS, &raw);
    if (status != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(status));
        ThrowLastError(L"Не удалось открыть раздел реестра " +
                       Quoted(L"HKEY_LOCAL_MACHINE\\" + std::wstring(FontsKey)));
    }
    const TUniqueRegKey key(raw);
    status = ::RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(fileName.c_str()),
                              static_cast<DWORD>((fileName.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(status));
        ThrowLastError(L"Не удалось записать в реестр значение " + Quoted(valueName));
    }
    // Written through at once: the next start of Windows must find the font even after a power cut.
    ::RegFlushKey(key.Get());
}

// Every top-level window gets the news, but none may hold the run: a hung or busy program is waited for a
// moment at most (SendMessageW would wait for it forever).
constexpr UINT FontChangeTimeout = 2000;

void BroadcastFontChange() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                          FontChangeTimeout, &result);
}

void InstallFont(IProgress& Progress, const TFontFolders& Folders, const std::wstring& FileName) {
    const std::wstring dest = Folders.Dest + FileName;
    if (FileExists(dest))
        return;
    const std::wstring source = Folders.Source + FileName;
    CheckReadable(source);
    // A font without a name would be listed as " (TrueType)", in place of any other such font.
    const std::wstring name = GetFontDisplayName(source);
    if (name.empty()) {
        Progress.Trace(L"Шрифт " + Quoted(FileName) + L" пропущен: " + Quoted(source) +
                       L" не читается как шрифт");
        return;
    }
    // A half-copied font listed in the registry would be skipped as present by every later run.
    if (!CopyFileStream(source, dest)) {
        ::DeleteFileW(dest.c_str());
        Progress.Trace(L"Шрифт " + Quoted(FileName) + L" не установлен: копирование в " + Quoted(dest) +
                       L" не удалось");
        return;
    }
    RegisterFont(name + FontValueSuffix, FileName);
    // Loaded and unloaded at once: the announcement lets running programs see the font; from the next start
    // of Windows on, the registry entry loads it.
    ::AddFontResourceW(dest.c_str());
    BroadcastFontChange();
    ::RemoveFontResourceW(dest.c_str());
    BroadcastFontChange();
    Progress.AddLine(FontLineStart + name + FontLineEnd);
}

} // namespace

std::wstring GetWindowsDir() {
    std::vector<wchar_t> buffer(MAX_PATH);
    UINT length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size())
        return {};
    return WithTrailingBackslash(std::wstring(buffer.data(), length));
}

std::wstring GetFontDisplayName(const std::wstring& Path) {
    // A file the system cannot load as a font has no name worth listing.
    if (::AddFontResourceW(Path.c_str()) == 0)
        return {};
    std::wstring name;
    HMODULE gdi = ::GetModuleHandleW(L"gdi32.dll");
    if (const FARPROC proc = gdi ? ::GetProcAddress(gdi, "GetFontResourceInfoW") : nullptr) {
        const auto getInfo = reinterpret_cast<TGetFontResourceInfoW>(reinterpret_cast<void (*)()>(proc));
        // The first call only tells the size it needs.
        DWORD size = 0;
        getInfo(Path.c_str(), &size, nullptr, FontResourceDescription);
        if (size > 0) {
            // Whole characters and a terminator of our own, whatever byte count the system asks for.
            std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
            DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
            getInfo(Path.c_str(), &bytes, buffer.data(), FontResourceDescription);
            name = buffer.data();
        }
    }
    ::RemoveFontResourceW(Path.c_str());
    // Where the system does not answer (Wine has the export, but only as a stub), the file tells the
    // same full name itself.
    if (name.empty())
        name = FontFullName(ReadWholeFile(Path).Bytes);
    return name;
}

namespace {
TFontFolders FoldersOf(const std::wstring& ProgramFolder) {
    TFontFolders folders;
    folders.Source = WithTrailingBackslash(ProgramFolder) + L"fonts\\";
    folders.Dest = GetWindowsDir() + L"fonts\\";
    return folders;
}
} // namespace

void InstallFonts(IProgress& Progress, const std::wstring& ProgramFolder) {
    const TFontFolders folders = FoldersOf(ProgramFolder);
    for (const wchar_t* fileName : FontList)
        InstallFont(Progress, folders, fileName);
}

std::uint64_t FontBytesToInstall(const std::wstring& ProgramFolder) {
    const TFontFolders folders = FoldersOf(ProgramFolder);
    std::uint64_t total = 0;
    for (const wchar_t* fileName : FontList)
        if (!FileExists(folders.Dest + fileName))
            total += FileSizeOf(folders.Source + fileName).value_or(0);
    return total;
}
