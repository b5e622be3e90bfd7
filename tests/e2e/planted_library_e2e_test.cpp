// Libraries planted on the medium. The wizard runs with an administrator's rights from a folder others may
// have written to (a USB stick, a share, a Downloads folder); a library put there under the name of one it
// loads, or one the system loads for it, must not load: not from the program's folder, not from the current
// one. Each case copies the medium, plants the test library (PlantedLibrary.cpp, which leaves a marker file
// when it loads) beside Setup.exe under every such name and starts a program from the copy, the copy being
// its current folder too.
#include <gtest/gtest.h>

#include <exception>
#include <map>
#include <memory>
#include <vector>

#include "MediumBuilder.h"
#include "WizardDriver.h"
#include "WizardTexts.h"

using namespace e2e;

namespace {

// The libraries the wizard loads itself: the rich edit box, the monitors' resolution, the large-font page's
// system call, the files in use.
const std::vector<std::wstring> OwnLibraries = {L"Msftedit.dll", L"shcore.dll", L"syssetup.dll",
                                                L"rstrtmgr.dll"};
// Those the system loads on its behalf: themes, version information, the desktop composition, the older
// rich edit that the newer one wraps, the common controls. Wine's own uxtheme, version, riched20 and comctl32
// win over a file of their name wherever its search finds one (unlike its shcore, msftedit, rstrtmgr and
// dwmapi, which give way to it), so under Wine only a change of its load order would let those four load.
const std::vector<std::wstring> SystemLibraries = {L"uxtheme.dll", L"version.dll", L"dwmapi.dll",
                                                   L"riched20.dll", L"comctl32.dll"};

const std::wstring CancelQuestion = L"Вы уверены, что хотите отменить процесс установки?";

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// The markers in the folder: library file name -> the path it was loaded from.
std::map<std::wstring, std::wstring> Markers(const std::wstring& folder) {
    std::map<std::wstring, std::wstring> markers;
    WIN32_FIND_DATAW found{};
    TUniqueFind search(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    for (bool more = search.Valid(); more; more = ::FindNextFileW(search.Get(), &found)) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::string bytes = ReadFileBytes(JoinPath(folder, found.cFileName));
        markers[found.cFileName] =
            std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }
    return markers;
}

std::string Listed(const std::map<std::wstring, std::wstring>& markers) {
    std::wstring text;
    for (const auto& [name, path] : markers)
        text += L"\n  " + name + L" loaded from " + path;
    return ToUtf8(text);
}

class PlantedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        FOptions = ReadOptions();
        ASSERT_FALSE(FOptions.Medium.empty())
            << "give the medium folder: --medium=<folder> or TESSARO_MEDIUM";
        FLibrary = JoinPath(OwnFolder(), L"planted.dll");
        ASSERT_TRUE(FileExists(FLibrary)) << "no " << ToUtf8(FLibrary);
        // Folders of each case's own: none of them is made anew where a program of the case before has just
        // ended.
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::wstring folder = L"tessaro-e2e-planted-" + std::wstring(test.begin(), test.end());
        FMarkers = TempPath(folder + L"-markers");
        RemoveTree(FMarkers);
        ASSERT_TRUE(::CreateDirectoryW(FMarkers.c_str(), nullptr));
        FMedium = std::make_unique<TMediumBuilder>(FOptions.Medium, TempPath(folder + L"-medium"));
        for (const auto* names : {&OwnLibraries, &SystemLibraries})
            for (const std::wstring& name : *names)
                ASSERT_TRUE(::CopyFileW(FLibrary.c_str(), FMedium->Path(name).c_str(), FALSE))
                    << ToUtf8(name);
        FTarget = TempPath(folder + L"-target");
        RemoveTree(FTarget);
    }

    void TearDown() override {
        FProgram.reset();
        if (FMedium)
            RemoveTree(FMedium->Folder());
        RemoveTree(FTarget);
        RemoveTree(FMarkers);
    }

    // Starts the program at `exe` with the medium copy as its current folder.
    TWizard& Start(const std::wstring& exe, const std::wstring& arguments = {}) {
        const TLaunch launch{arguments, {{L"TESSARO_PLANTED_MARKERS", FMarkers}}};
        FProgram = std::make_unique<TWizard>(exe, FMedium->Folder(), std::wstring(), launch);
        return *FProgram;
    }

    TOptions FOptions;
    std::wstring FLibrary;
    std::wstring FMarkers;
    std::wstring FTarget;
    std::unique_ptr<TMediumBuilder> FMedium;
    std::unique_ptr<TWizard> FProgram;
};

// Without this the walk below would prove nothing: a library that never left its marker, or a Wine that
// never took a planted file, would let it pass whatever the wizard did.
TEST_F(PlantedLibraryTest, AProgramThatSearchesItsOwnFolderLoadsThePlantedLibraries) {
    const std::wstring naive = FMedium->Path(L"NaiveLoader.exe");
    ASSERT_TRUE(::CopyFileW(JoinPath(OwnFolder(), L"e2e_naive_loader.exe").c_str(), naive.c_str(), FALSE));
    std::wstring names;
    for (const std::wstring& name : OwnLibraries)
        names += (names.empty() ? L"" : L" ") + name;
    TWizard& program = Start(naive, names);
    EXPECT_EQ(program.WaitExit(StartTimeout), OwnLibraries.size());

    const std::map<std::wstring, std::wstring> markers = Markers(FMarkers);
    for (const std::wstring& name : OwnLibraries) {
        const auto marker = markers.find(name);
        ASSERT_NE(marker, markers.end())
            << ToUtf8(name) << " did not load from the medium; loaded:" << Listed(markers);
        EXPECT_EQ(ToUtf8(marker->second), ToUtf8(FMedium->Path(name)));
    }
}

TEST_F(PlantedLibraryTest, TheWizardLoadsNoneOfThemOnItsWayToTheComponents) {
    // A planted library is rarely what the wizard expects, and the wizard may well end early on it: the
    // markers are looked at however the walk went.
    try {
        TWizard& wizard = Start(FMedium->Path(L"Setup.exe"));
        wizard.WaitMainWindow();
        wizard.WaitPage(WelcomePage, StartTimeout);
        wizard.Click(NextButton);
        wizard.WaitPage(PathPage);
        wizard.SetPath(FTarget);
        wizard.Click(NextButton);
        // The notice, the rich edit box behind the pages and the scaling to the monitor have all been made
        // by the time the components page shows.
        wizard.CloseNotice(wizard.WaitNotice());
        wizard.WaitPage(ComponentsPage);
        wizard.Click(CancelButton);
        const TMessageBox question = wizard.WaitMessageBox();
        EXPECT_EQ(ToUtf8(question.Text), ToUtf8(CancelQuestion));
        wizard.Answer(question, IDYES);
        wizard.WaitPage(CancelPage);
        wizard.Click(Exit);
        EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what();
    }

    const std::map<std::wstring, std::wstring> markers = Markers(FMarkers);
    EXPECT_TRUE(markers.empty()) << "planted libraries loaded into the wizard:" << Listed(markers);
    // They were there to be found all along.
    for (const auto* names : {&OwnLibraries, &SystemLibraries})
        for (const std::wstring& name : *names)
            EXPECT_TRUE(FileExists(FMedium->Path(name))) << ToUtf8(name) << " is gone from the medium";
}

} // namespace
