// The large-font page's actions against a stand-in system that behaves as Windows does where it matters to
// them: nothing here changes the system's fonts or restarts anything.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "app/LargeFonts.h"

namespace {

// What the stand-in's set-up function was asked, and what it answers.
struct TFontSwitch {
    int Calls = 0;
    std::wstring PixelsPerInch;
    BOOL Answer = TRUE;
};
TFontSwitch* GSwitch = nullptr;

BOOL WINAPI FakeSetupChangeFontSize(HWND, const wchar_t* pixelsPerInch) {
    ++GSwitch->Calls;
    GSwitch->PixelsPerInch = pixelsPerInch ? pixelsPerInch : L"(null)";
    return GSwitch->Answer;
}

// The set-up function lives where Windows keeps it, and nowhere else; the NT family restarts only for a
// process whose token holds the shutdown privilege, the 9x family for anyone.
class TFakeSystem : public TSystemCalls {
public:
    bool LibraryPresent = true;
    bool FunctionPresent = true;
    DWORD Platform = VER_PLATFORM_WIN32_NT;
    bool UserMayShutDown = true;
    bool ExitVetoed = false;
    std::optional<UINT> Exited; // the flags of the restart or shut-down that took place

    HMODULE LoadSystemLibrary(const wchar_t* name) override {
        return LibraryPresent && ::lstrcmpiW(name, L"syssetup.dll") == 0 ? SetupLibrary() : nullptr;
    }
    FARPROC FindExport(HMODULE library, const char* name) override {
        if (!FunctionPresent || library != SetupLibrary() || std::strcmp(name, "SetupChangeFontSize") != 0)
            return nullptr;
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetupChangeFontSize));
    }
    DWORD PlatformId() override { return Platform; }
    bool EnableShutdownPrivilege() override {
        FPrivilegeHeld = Platform == VER_PLATFORM_WIN32_NT && UserMayShutDown;
        return FPrivilegeHeld;
    }
    BOOL ExitSystem(UINT flags, DWORD) override {
        if (ExitVetoed || (Platform == VER_PLATFORM_WIN32_NT && !FPrivilegeHeld))
            return FALSE;
        Exited = flags;
        return TRUE;
    }

private:
    static HMODULE SetupLibrary() { return reinterpret_cast<HMODULE>(0x10000); }
    bool FPrivilegeHeld = false;
};

class LargeFontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        GSwitch = &FSwitch;
        FPrevious = SetSystemCalls(&FSystem);
    }
    void TearDown() override {
        SetSystemCalls(FPrevious);
        GSwitch = nullptr;
    }
    TFontSwitch FSwitch;
    TFakeSystem FSystem;
    TSystemCalls* FPrevious = nullptr;
};

bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

TEST_F(LargeFontsTest, SwitchAsksTheSystemFor120AndFailsWhenItCannotOrWillNot) {
    EXPECT_TRUE(SwitchToLargeFonts());
    EXPECT_EQ(FSwitch.Calls, 1);
    EXPECT_EQ(FSwitch.PixelsPerInch, L"120");

    FSwitch.Answer = FALSE; // the user said no to the system's own question, or the change failed
    EXPECT_FALSE(SwitchToLargeFonts());

    FSwitch = {};
    FSystem.FunctionPresent = false;
    EXPECT_FALSE(SwitchToLargeFonts());
    FSystem.LibraryPresent = false;
    EXPECT_FALSE(SwitchToLargeFonts());
    EXPECT_EQ(FSwitch.Calls, 0);
}

TEST_F(LargeFontsTest, RestartTakesThePrivilegeOnTheNtFamilyAndReportsWhatTheSystemDid) {
    // A restart, not a shut-down, that forces no application which still answers to close.
    EXPECT_TRUE(RestartFlags & EWX_REBOOT);
    EXPECT_FALSE(RestartFlags & (EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE));

    EXPECT_TRUE(ExitWindowsWithPrivilege(RestartFlags));
    EXPECT_EQ(FSystem.Exited, RestartFlags);

    FSystem.Exited.reset();
    FSystem.ExitVetoed = true;
    EXPECT_FALSE(ExitWindowsWithPrivilege(RestartFlags));
    FSystem.ExitVetoed = false;
    FSystem.UserMayShutDown = false;
    EXPECT_FALSE(ExitWindowsWithPrivilege(RestartFlags));
    EXPECT_FALSE(FSystem.Exited);

    // The 9x family knows no privileges: a refused one does not stop the restart there.
    FSystem.Platform = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_TRUE(ExitWindowsWithPrivilege(RestartFlags));
    EXPECT_EQ(FSystem.Exited, RestartFlags);
}

TEST(LargeFontsSystem, UnderWineTheSwitchFailsAndOnlyOurOwnTokenChanges) {
    if (!RunningUnderWine())
        GTEST_SKIP() << "only under Wine, which has no syssetup.dll: elsewhere this would change the fonts";
    ASSERT_EQ(SetSystemCalls(nullptr), nullptr);
    EXPECT_FALSE(SwitchToLargeFonts());
    // Enabling a privilege in our own token changes nothing outside this process.
    TSystemCalls real;
    EXPECT_TRUE(real.EnableShutdownPrivilege());
    EXPECT_EQ(real.PlatformId(), static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
}
