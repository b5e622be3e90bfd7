#include <gtest/gtest.h>

#include "session/TargetPath.h"

namespace {

// An absolute entry is its own full path; a relative one is left so and judged by length alone.
TPathCheck Check(std::wstring_view entry) {
    return CheckTargetPath(entry, [](const std::wstring& path) { return path; });
}

} // namespace

TEST(TargetPath, TrimsBlanksAndControlCharactersAndAddsOneBackslash) {
    EXPECT_EQ(Check(L"  D:\\Data  ").Path, L"D:\\Data\\");
    EXPECT_EQ(Check(L"\t\r\nD:\\Data\\\x1f").Path, L"D:\\Data\\");
    EXPECT_EQ(Check(L"C:\\Dedira\\").Path, L"C:\\Dedira\\");
    // Blanks inside the path belong to it.
    EXPECT_EQ(Check(L" C:\\Программы\\Мой Дедира ").Path, L"C:\\Программы\\Мой Дедира\\");
}

TEST(TargetPath, RefusesEmptyEntries) {
    for (const wchar_t* entry : {L"", L"   ", L"\t \x01 "}) {
        const TPathCheck check = Check(entry);
        EXPECT_EQ(check.Verdict, TPathVerdict::Empty) << entry;
        EXPECT_TRUE(check.Path.empty());
    }
}

TEST(TargetPath, LengthAloneDecidesARootBeforeTheFullPathIsAsked) {
    int asked = 0;
    const TFullPathOf counting = [&](const std::wstring& path) {
        ++asked;
        return path;
    };
    EXPECT_EQ(CheckTargetPath(L"C:", counting).Verdict, TPathVerdict::Root);
    EXPECT_EQ(CheckTargetPath(L"C:\\", counting).Verdict, TPathVerdict::Root);
    EXPECT_EQ(CheckTargetPath(L"ab\\", counting).Verdict, TPathVerdict::Root);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Check(L"C:").Path, L"C:\\"); // written back before the refusal
    const TPathCheck shortest = Check(L"D:\\x");
    EXPECT_EQ(shortest.Verdict, TPathVerdict::Accepted);
    EXPECT_EQ(shortest.Path, L"D:\\x\\");
    EXPECT_EQ(Check(L"Prog").Path, L"Prog\\");
    EXPECT_EQ(Check(L"Prog").Verdict, TPathVerdict::Accepted);
}

namespace {

// What the system may hand back as a full path, or pass through as given ("\\?\" paths are not resolved).
const wchar_t* const Roots[] = {
    // drives
    L"C:\\", L"D:/", L"C:\\.", L"C:\\\\", L"c:\\.\\.\\", L"C:\\Dedira\\..", L"C:\\..\\..\\", L"C:\\...",
    L"C:\\ . \\", L"C:\\::$INDEX_ALLOCATION", L"C:", L"\\", L"/",
    // the device namespace
    L"\\\\?\\C:\\", L"\\\\?\\C:", L"\\\\.\\C:\\", L"//?/C:/", L"\\\\?\\C:\\.\\", L"\\\\?\\", L"\\??\\C:\\",
    L"\\\\?\\Volume{0b5a4f2c-1d2e-11ef-9a3b-806e6f6e6963}\\", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\",
    L"\\\\?\\GLOBALROOT\\??\\C:\\",
    // shares
    L"\\\\server\\share\\", L"\\\\server\\share", L"//server/share/", L"\\\\server\\share\\x\\..",
    L"\\\\server\\", L"\\\\", L"\\\\?\\UNC\\server\\share\\", L"\\\\.\\UNC\\server\\share",
    L"\\\\?\\unc\\server\\share\\.", L"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share\\",
    L"\\??\\UNC\\server\\share"};

const wchar_t* const Folders[] = {L"C:\\Dedira\\",
                                  L"D:/Dedira",
                                  L"C:\\.x",
                                  L"C:\\a\\..\\b",
                                  L"C:\\..\\Dedira",
                                  L"C:\\ a",
                                  L"\\\\?\\C:\\Dedira\\",
                                  L"\\\\.\\C:\\Dedira",
                                  L"\\\\server\\share\\Dedira\\",
                                  L"\\\\?\\UNC\\server\\share\\Dedira",
                                  L"\\\\?\\Volume{0b5a4f2c}\\Dedira",
                                  L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\Dedira",
                                  L"\\??\\C:\\Dedira",
                                  L"Dedira"};

} // namespace

TEST(TargetPath, KnowsARootInEverySpelling) {
    for (const wchar_t* root : Roots) {
        EXPECT_TRUE(IsRootFolder(root)) << root;
        EXPECT_EQ(Check(root).Verdict, TPathVerdict::Root) << root;
    }
    for (const wchar_t* folder : Folders) {
        EXPECT_FALSE(IsRootFolder(folder)) << folder;
        EXPECT_EQ(Check(folder).Verdict, TPathVerdict::Accepted) << folder;
    }
}

// The full path decides and the entry goes back into the box as typed.
TEST(TargetPath, JudgesARelativeEntryByTheFolderItLeadsTo) {
    const TFullPathOf fromMedium = [](const std::wstring& path) { return L"E:\\Medium\\" + path; };
    const struct {
        const wchar_t* Entry;
        TPathVerdict Verdict;
    } cases[] = {
        {L"..\\..\\Medium\\..", TPathVerdict::Root}, {L"..\\.", TPathVerdict::Root},
        {L"Dedira", TPathVerdict::Accepted},         {L"..\\Dedira", TPathVerdict::Accepted},
        {L"Dedira\\..\\..", TPathVerdict::Root},
    };
    for (const auto& each : cases) {
        const TPathCheck check = CheckTargetPath(each.Entry, fromMedium);
        EXPECT_EQ(check.Verdict, each.Verdict) << each.Entry;
        EXPECT_EQ(check.Path, std::wstring(each.Entry) + L"\\");
    }
    EXPECT_EQ(RefusalText(TPathVerdict::Root), L"Программу нелзя устанавливать в корневой каталог!");
}

TEST(TargetPath, DirSwitchTakesOnlyAFullPath) {
    for (const wchar_t* full : {L"C:\\Dedira", L"c:/Dedira", L" D:\\Мед карты ", L"\\\\server\\share\\Dedira",
                                L"//server/share", L"\\\\?\\C:\\Dedira", L"\\\\.\\C:\\Dedira", L"", L"  "}) {
        EXPECT_EQ(DirSwitchRefusal(full), L"") << full;
    }
    for (const wchar_t* relative : {L"Dedira", L"C:Dedira", L"C:", L"\\Dedira", L"/Dedira", L".\\Dedira",
                                    L"..\\Dedira", L"1:\\Dedira", L"Д:\\Dedira"}) {
        EXPECT_FALSE(IsFullPath(relative)) << relative;
        EXPECT_EQ(DirSwitchRefusal(relative),
                  L"В /DIR нужен полный путь к папке, например /DIR=\"C:\\Dedira\", а задано «" +
                      std::wstring(relative) + L"».");
    }
}
