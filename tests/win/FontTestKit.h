// Test fonts for the font step: real TrueType faces from the host's Liberation fonts, renamed so that no
// name clashes with a font the system lists already, and a guard that leaves the Windows fonts folder and
// the system's font list as it found them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "RegistryState.h"
#include "WinScratch.h"
#include "install/steps/Fonts.h"

inline constexpr wchar_t SystemFontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
// The host's fonts through Wine's drive for the root of the file system.
inline constexpr wchar_t HostFonts[] = L"Z:\\usr\\share\\fonts\\truetype\\liberation\\";

struct TTestFont {
    const wchar_t* FileName;    // as the font step lists it
    const wchar_t* HostFile;    // the face it is made from
    const wchar_t* DisplayName; // the face's full name after the renaming
};

// In the order of the font step.
inline const TTestFont TestFonts[] = {
    {L"ARIAL.TTF", L"LiberationSans-Regular.ttf", L"Tessarotst Sans"},
    {L"ARIALN.TTF", L"LiberationSansNarrow-Regular.ttf", L"Tessarotst Sans Narrow"},
    {L"COUR.TTF", L"LiberationMono-Regular.ttf", L"Tessarotst Mono"},
    {L"MICROSS.TTF", L"LiberationSans-Bold.ttf", L"Tessarotst Sans Bold"},
    {L"TAHOMA.TTF", L"LiberationSerif-Bold.ttf", L"Tessarotst Serif Bold"},
    {L"TIMES.TTF", L"LiberationSerif-Regular.ttf", L"Tessarotst Serif"},
    {L"verdana.TTF", L"LiberationMono-Bold.ttf", L"Tessarotst Mono Bold"},
};

inline std::wstring WindowsFontsFolder() {
    return GetWindowsDir() + L"Fonts\\";
}

inline void ReplaceAll(std::string& bytes, std::string_view from, std::string_view to) {
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size()))
        bytes.replace(at, from.size(), to);
}

inline std::string Utf16Be(std::string_view ascii) {
    std::string wide;
    for (char c : ascii) {
        wide += '\0';
        wide += c;
    }
    return wide;
}

// The face with every "Liberation" of its name records, single-byte and UTF-16BE, turned into a name of the
// same length: offsets stay as they are, and the system reads a family it has never seen.
inline std::string RenamedFontBytes(const TTestFont& font) {
    std::string bytes = FileBytes(std::wstring(HostFonts) + font.HostFile);
    EXPECT_GT(bytes.size(), 10000u) << "missing host font " << WideToUtf8(font.HostFile);
    ReplaceAll(bytes, Utf16Be("Liberation"), Utf16Be("Tessarotst"));
    ReplaceAll(bytes, "Liberation", "Tessarotst");
    return bytes;
}

// Puts every test font into Folder (ending in a backslash) but those named in Skip.
inline void PutTestFonts(const std::wstring& folder, std::initializer_list<std::wstring_view> skip = {}) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const TTestFont& font : TestFonts) {
        if (std::find(skip.begin(), skip.end(), std::wstring_view(font.FileName)) == skip.end())
            PutFile(folder + font.FileName, RenamedFontBytes(font));
    }
}

// The seven names in the Windows fonts folder and the system's font list, put back at the end of a test.
// Test fonts left there by an earlier run that never finished are taken away first.
class TSystemFontsGuard {
public:
    TSystemFontsGuard() {
        for (const TTestFont& font : TestFonts) {
            const std::wstring path = WindowsFontsFolder() + font.FileName;
            if (FileExists(path) && GetFontDisplayName(path).rfind(L"Tessarotst", 0) == 0)
                ::DeleteFileW(path.c_str());
            if (FileExists(path))
                FForeign.push_back(font.FileName);
        }
        for (const auto& [name, value] : ReadRegistryValues(HKEY_LOCAL_MACHINE, SystemFontsKey))
            if (name.rfind(L"Tessarotst", 0) == 0)
                DeleteRegistryValue(HKEY_LOCAL_MACHINE, SystemFontsKey, name);
        FRegistry = std::make_unique<TRegistryKeyGuard>(HKEY_LOCAL_MACHINE, SystemFontsKey);
    }
    TSystemFontsGuard(const TSystemFontsGuard&) = delete;
    TSystemFontsGuard& operator=(const TSystemFontsGuard&) = delete;
    ~TSystemFontsGuard() {
        const std::wstring folder = WindowsFontsFolder();
        for (const TTestFont& font : TestFonts) {
            if (std::find(FForeign.begin(), FForeign.end(), font.FileName) == FForeign.end())
                ::DeleteFileW((folder + font.FileName).c_str());
            for (const std::wstring& left : FilesContaining(folder, font.FileName + std::wstring(L".~")))
                ::DeleteFileW((folder + left).c_str());
        }
    }

    // Fonts of the list that the system has of its own: tests that need the folder without them skip.
    bool HasForeignFonts() const { return !FForeign.empty(); }

    // The font list as the test found it.
    const TRegistryValues& Saved() const { return FRegistry->Saved(); }

private:
    std::vector<std::wstring> FForeign;
    std::unique_ptr<TRegistryKeyGuard> FRegistry;
};
