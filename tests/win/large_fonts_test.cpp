// The large-font page's system calls through stand-ins: nothing here changes the system's fonts or
// restarts anything.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/LargeFonts.h"

namespace {
struct TCallLog {
    std::vector<std::string> Calls;
    HWND Window = reinterpret_cast<HWND>(1);
    std::wstring PixelsPerInch;
    BOOL Result = TRUE;
};
TCallLog* GLog = nullptr;

BOOL WINAPI FakeSetupChangeFontSize(HWND window, const wchar_t* pixelsPerInch) {
    GLog->Calls.push_back("SetupChangeFontSize");
    GLog->Window = window;
    GLog->PixelsPerInch = pixelsPerInch ? pixelsPerInch : L"(null)";
    return GLog->Result;
}

class TFakeSystem : public TSystemCalls {
public:
    explicit TFakeSystem(TCallLog& log) : FLog(log) {}
    bool LibraryPresent = true;
    bool FunctionPresent = true;
    DWORD Platform = VER_PLATFORM_WIN32_NT;
    BOOL ExitResult = TRUE;
    UINT ExitFlags = 0;
    DWORD ExitReason = 99;

    HMODULE LoadSystemLibrary(const wchar_t* name) override {
        FLog.Calls.push_back("LoadLibrary " +
                             std::string(name == std::wstring(L"syssetup.dll") ? "syssetup.dll" : "other"));
        return LibraryPresent ? Module() : nullptr;
    }
    FARPROC FindExport(HMODULE library, const char* name) override {
        FLog.Calls.push_back(std::string("GetProcAddress ") + name +
                             (library == Module() ? "" : " elsewhere"));
        if (!FunctionPresent)
            return nullptr;
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetupChangeFontSize));
    }
    DWORD PlatformId() override { return Platform; }
    bool EnableShutdownPrivilege() override {
        FLog.Calls.push_back("EnableShutdownPrivilege");
        return false; // a refused privilege does not stop the restart attempt
    }
    BOOL ExitSystem(UINT flags, DWORD reason) override {
        FLog.Calls.push_back("ExitWindowsEx");
        ExitFlags = flags;
        ExitReason = reason;
        return ExitResult;
    }

private:
    static HMODULE Module() { return reinterpret_cast<HMODULE>(0x10000); }
    TCallLog& FLog;
};

class LargeFontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        GLog = &FLog;
        FPrevious = SetSystemCalls(&FSystem);
    }
    void TearDown() override {
        SetSystemCalls(FPrevious);
        GLog = nullptr;
    }
    TCallLog FLog;
    TFakeSystem FSystem{FLog};
    TSystemCalls* FPrevious = nullptr;
};

using TCalls = std::vector<std::string>;

bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}
} // namespace

TEST_F(LargeFontsTest, SwitchAsksTheSystemFunctionFor120AndReportsItsAnswer) {
    EXPECT_TRUE(SwitchToLargeFonts());
    EXPECT_EQ(FLog.Calls, (TCalls{"LoadLibrary syssetup.dll", "GetProcAddress SetupChangeFontSize",
                                  "SetupChangeFontSize"}));
    EXPECT_EQ(FLog.Window, nullptr);
    EXPECT_EQ(FLog.PixelsPerInch, L"120");

    // A failed call is a failure.
    FLog.Calls.clear();
    FLog.Result = FALSE;
    EXPECT_FALSE(SwitchToLargeFonts());

    FLog.Calls.clear();
    FSystem.FunctionPresent = false;
    EXPECT_FALSE(SwitchToLargeFonts());
    EXPECT_EQ(FLog.Calls, (TCalls{"LoadLibrary syssetup.dll", "GetProcAddress SetupChangeFontSize"}));

    FLog.Calls.clear();
    FSystem.LibraryPresent = false;
    EXPECT_FALSE(SwitchToLargeFonts());
    EXPECT_EQ(FLog.Calls, (TCalls{"LoadLibrary syssetup.dll"}));
}

TEST_F(LargeFontsTest, RestartTakesThePrivilegeOnTheNtFamilyOnlyAndPassesItsFlags) {
    EXPECT_EQ(RestartFlags, 0x12u) << "restart, closing only hung applications by force";
    EXPECT_TRUE(ExitWindowsWithPrivilege(RestartFlags));
    EXPECT_EQ(FLog.Calls, (TCalls{"EnableShutdownPrivilege", "ExitWindowsEx"}));
    EXPECT_EQ(FSystem.ExitFlags, 0x12u);
    EXPECT_EQ(FSystem.ExitReason, 0u);

    FLog.Calls.clear();
    FSystem.Platform = 1; // the Windows 9x family knows no privileges
    FSystem.ExitResult = FALSE;
    EXPECT_FALSE(ExitWindowsWithPrivilege(EWX_SHUTDOWN));
    EXPECT_EQ(FLog.Calls, (TCalls{"ExitWindowsEx"}));
    EXPECT_EQ(FSystem.ExitFlags, static_cast<UINT>(EWX_SHUTDOWN));
}

TEST(LargeFontsSystem, WithoutTheSetupLibraryTheSwitchFailsAndThePrivilegeIsOurs) {
    if (!RunningUnderWine())
        GTEST_SKIP() << "only under Wine, which has no syssetup.dll: elsewhere this would change the fonts";
    ASSERT_EQ(SetSystemCalls(nullptr), nullptr);
    EXPECT_FALSE(SwitchToLargeFonts());
    // Enabling a privilege in our own token changes nothing outside this process.
    TSystemCalls real;
    EXPECT_TRUE(real.EnableShutdownPrivilege());
    EXPECT_EQ(real.PlatformId(), static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
}
