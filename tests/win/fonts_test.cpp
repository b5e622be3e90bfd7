// The font step against the real Windows fonts folder and font list of the Wine prefix, with real TrueType
// faces on a medium in a scratch folder; everything a test adds to the system is taken away again.
#include <windows.h>

#include <cwchar>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "FontTestKit.h"
#include "RecordingHost.h"
#include "WinScratch.h"
#include "common/Error.h"
#include "install/files/CopyFileApi.h"
#include "install/steps/Fonts.h"

namespace {

// "уcтановлен" with a Latin "c", as the step writes it.
std::wstring InstalledLine(const std::wstring& name) {
    return L"Шрифт <" + name +
           L"> у\x0063"
           L"тановлен";
}

class Fonts : public ::testing::Test {
protected:
    void SetUp() override {
        if (system.HasForeignFonts())
            GTEST_SKIP() << "the prefix has fonts of the list of its own";
        mediumFonts = medium.Folder() + L"fonts\\";
    }

    // The values of the system's font list that differ from what the test found.
    TRegistryValues Changed() const {
        TRegistryValues changed;
        for (const auto& [name, value] : ReadRegistryValues(HKEY_LOCAL_MACHINE, SystemFontsKey)) {
            const auto saved = system.Saved().find(name);
            if (saved == system.Saved().end() || !(saved->second == value))
                changed[name] = value;
        }
        return changed;
    }

    std::wstring Text(const TRegistryValue& value) const {
        std::wstring text(reinterpret_cast<const wchar_t*>(value.Data.data()), value.Data.size() / 2);
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }

    TSystemFontsGuard system;
    TScratchDir medium;
    std::wstring mediumFonts;
    const std::wstring windowsFonts = WindowsFontsFolder();
    TRecordingHost host;
};

TEST_F(Fonts, MissingFontsAreCopiedListedAndReportedOnceOnly) {
    PutTestFonts(mediumFonts);
    InstallFonts(host, medium.Folder());

    ASSERT_EQ(host.Lines.size(), std::size(TestFonts));
    const TRegistryValues changed = Changed();
    EXPECT_EQ(changed.size(), std::size(TestFonts));
    for (std::size_t i = 0; i < std::size(TestFonts); ++i) {
        const TTestFont& font = TestFonts[i];
        // The name comes from the file itself.
        EXPECT_EQ(GetFontDisplayName(mediumFonts + font.FileName), font.DisplayName);
        EXPECT_EQ(host.Lines[i], InstalledLine(font.DisplayName));
        EXPECT_EQ(FileBytes(windowsFonts + font.FileName), FileBytes(mediumFonts + font.FileName));
        const auto value = changed.find(font.DisplayName + std::wstring(L" (TrueType)"));
        ASSERT_NE(value, changed.end()) << WideToUtf8(font.DisplayName);
        EXPECT_EQ(value->second.Type, DWORD{REG_SZ});
        EXPECT_EQ(Text(value->second), font.FileName);
    }
    // The file keeps the letter case of the list.
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((windowsFonts + L"VERDANA.TTF").c_str(), &found));
    ASSERT_TRUE(search.Valid());
    EXPECT_STREQ(found.cFileName, L"verdana.TTF");

    // All seven present now: nothing more happens.
    TRecordingHost again;
    InstallFonts(again, medium.Folder());
    EXPECT_TRUE(again.Lines.empty());
    EXPECT_EQ(Changed(), changed);
}

TEST_F(Fonts, OnlyTheMissingFontIsInstalled) {
    PutTestFonts(mediumFonts);
    PutTestFonts(windowsFonts, {L"TAHOMA.TTF"});
    InstallFonts(host, medium.Folder());

    ASSERT_EQ(host.Lines.size(), 1u);
    EXPECT_EQ(host.Lines[0], InstalledLine(L"Tessarotst Serif Bold"));
    const TRegistryValues changed = Changed();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed.begin()->first, L"Tessarotst Serif Bold (TrueType)");
    EXPECT_EQ(Text(changed.begin()->second), L"TAHOMA.TTF");
}

TEST_F(Fonts, PresentFontIsNotLookedForOnTheMediumButOneMissingOnBothSidesEndsTheStep) {
    PutTestFonts(mediumFonts, {L"ARIAL.TTF", L"ARIALN.TTF"});
    PutTestFonts(windowsFonts,
                 {L"ARIALN.TTF", L"COUR.TTF", L"MICROSS.TTF", L"TAHOMA.TTF", L"TIMES.TTF", L"verdana.TTF"});
    try {
        InstallFonts(host, medium.Folder());
        FAIL() << "the step went on without ARIALN.TTF";
    } catch (const TError& error) {
        EXPECT_NE(error.Message().find(mediumFonts + L"ARIALN.TTF"), std::wstring::npos)
            << WideToUtf8(error.Message());
    }
    EXPECT_TRUE(host.Lines.empty());
    EXPECT_FALSE(FileExists(windowsFonts + L"COUR.TTF"));
    EXPECT_TRUE(Changed().empty());
}

TEST_F(Fonts, FileThatIsNoFontIsLeftOutWithoutATrace) {
    PutTestFonts(mediumFonts);
    PutFile(mediumFonts + L"ARIAL.TTF", Pattern(70000, 5));
    EXPECT_EQ(GetFontDisplayName(mediumFonts + L"ARIAL.TTF"), L"");
    InstallFonts(host, medium.Folder());

    EXPECT_FALSE(FileExists(windowsFonts + L"ARIAL.TTF"));
    EXPECT_TRUE(FilesContaining(windowsFonts, L"ARIAL.TTF").empty());
    ASSERT_EQ(host.Lines.size(), std::size(TestFonts) - 1);
    EXPECT_EQ(host.Lines[0], InstalledLine(L"Tessarotst Sans Narrow"));
    const TRegistryValues changed = Changed();
    EXPECT_EQ(changed.size(), std::size(TestFonts) - 1);
    EXPECT_FALSE(changed.contains(L" (TrueType)"));
    for (const auto& [name, value] : changed)
        EXPECT_NE(Text(value), L"ARIAL.TTF") << WideToUtf8(name);
}

// Fails the second font's copy (ARIALN.TTF) at its first write, after part of it went to the disk, however
// many writes the fonts before it took.
BOOL WINAPI SecondWriteFails(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
    static bool failed = false;
    wchar_t path[MAX_PATH * 2] = L"";
    const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH * 2, FILE_NAME_NORMALIZED);
    if (!failed && length > 0 && length < MAX_PATH * 2 && std::wcsstr(path, L"ARIALN.TTF")) {
        failed = true;
        ::WriteFile(file, buffer, size / 2, done, overlapped);
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return ::WriteFile(file, buffer, size, done, overlapped);
}

TEST_F(Fonts, CopyFailingHalfWayLeavesNothingAndTheNextFontFollows) {
    PutTestFonts(mediumFonts);
    const TCopyFileApi saved = CopyFileApi();
    CopyFileApi().Write = &SecondWriteFails;
    InstallFonts(host, medium.Folder());
    CopyFileApi() = saved;

    EXPECT_TRUE(FilesContaining(windowsFonts, L"ARIALN.TTF").empty());
    ASSERT_EQ(host.Lines.size(), std::size(TestFonts) - 1);
    EXPECT_EQ(host.Lines[0], InstalledLine(L"Tessarotst Sans"));
    EXPECT_EQ(host.Lines[1], InstalledLine(L"Tessarotst Mono"));
    const TRegistryValues changed = Changed();
    EXPECT_EQ(changed.size(), std::size(TestFonts) - 1);
    EXPECT_FALSE(changed.contains(L"Tessarotst Sans Narrow (TrueType)"));
    EXPECT_TRUE(FileExists(windowsFonts + L"verdana.TTF"));
}

} // namespace

namespace {
// A top-level window on a thread that never handles its messages again: what a hung program looks like to
// the font step's announcement.
class THungWindow {
public:
    THungWindow() : FThread([this] { Live(); }) {
        while (!FReady.load())
            ::Sleep(5);
    }
    THungWindow(const THungWindow&) = delete;
    THungWindow& operator=(const THungWindow&) = delete;
    ~THungWindow() {
        FRelease.store(true);
        FThread.join();
    }

private:
    void Live() {
        HWND window = ::CreateWindowExW(0, L"Static", L"hung", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 50, 50,
                                        nullptr, nullptr, nullptr, nullptr);
        FReady.store(true);
        while (!FRelease.load())
            ::Sleep(20);
        ::DestroyWindow(window);
    }
    std::atomic<bool> FReady{false}, FRelease{false};
    std::thread FThread;
};
} // namespace

TEST_F(Fonts, AProgramThatNeverAnswersDoesNotHoldUpTheStep) {
    PutTestFonts(mediumFonts);
    THungWindow hung;
    const auto started = std::chrono::steady_clock::now();
    InstallFonts(host, medium.Folder());
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(host.Lines.size(), std::size(TestFonts));
    // Two announcements a font; a program that does not answer is waited for a few seconds at most, and
    // once the system counts it as hung, not at all.
    EXPECT_LT(took, std::chrono::seconds(30));
}
