// Which links inside the suite's folder are followed: by their owner, and level by level from the folder
// down.
#include <gtest/gtest.h>

#include "common/StrUtils.h"
#include "install/trust/LinkPolicy.h"

namespace {

constexpr wchar_t TrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

TEST(LinkPolicy, OnlyLinksOfTheSystemTheAdministratorsOrTheModuleInstallerAreTrusted) {
    struct TCase {
        bool Reparse;
        std::uint32_t Tag;
        const wchar_t* Owner;
        TLinkKind Kind;
    };
    const TCase cases[] = {
        {false, 0, L"S-1-5-21-1-2-3-1001", TLinkKind::NotALink},
        {true, 0xA0000003, L"S-1-5-18", TLinkKind::Trusted},     // a junction of the system
        {true, 0xA000000C, L"s-1-5-32-544", TLinkKind::Trusted}, // a symbolic link of the administrators
        {true, 0xA000000C, TrustedInstaller, TLinkKind::Trusted},
        {true, 0xA0000003, L"S-1-5-21-1-2-3-1001", TLinkKind::Foreign},  // a user's junction
        {true, 0xA0000003, L"S-1-5-32-545", TLinkKind::Foreign},         // the users' group
        {true, 0xA0000003, L"S-1-5-32-5440", TLinkKind::Foreign},        // no prefix match
        {true, 0xA0000003, L"", TLinkKind::Foreign},                     // the owner could not be read
        {true, 0, L"S-1-5-21-0-0-0-1000", TLinkKind::Foreign},           // no tag given: a link all the same
        {true, 0x80000013, L"S-1-5-21-1-2-3-1001", TLinkKind::NotALink}, // a deduplicated file
        {true, 0x9000001A, L"S-1-5-21-1-2-3-1001", TLinkKind::NotALink}, // a cloud file
    };
    for (const TCase& c : cases) {
        int asked = 0;
        EXPECT_EQ(LinkKindFrom(c.Reparse, c.Tag,
                               [&] {
                                   ++asked;
                                   return std::wstring(c.Owner);
                               }),
                  c.Kind)
            << c.Tag << " " << (c.Owner[0] ? "owned" : "no owner");
        EXPECT_EQ(asked, c.Kind == TLinkKind::NotALink ? 0 : 1) << "the owner is asked of links only";
    }
}

// The one link the run follows in the suite's folder ("DTAfb", an administrator's) is followed only to where
// it says it leads: a folder found elsewhere (a link on the way, a relative link) is not its destination.
TEST(LinkPolicy, AFolderOpenedThroughALinkIsWhereTheLinkSaysOnly) {
    struct TCase {
        const wchar_t* Substitute;
        const wchar_t* FinalDos;
        const wchar_t* FinalGuid;
        bool Leads;
    };
    const TCase cases[] = {
        {L"\\??\\D:\\Data\\DTAfb", L"\\\\?\\D:\\Data\\DTAfb", L"", true},
        {L"\\??\\D:\\Data\\DTAfb\\", L"\\\\?\\d:\\data\\dtafb", L"", true},
        {L"\\??\\D:\\Data\\DTAfb", L"\\\\?\\E:\\Elsewhere", L"", false}, // a link on the way
        {L"\\??\\D:\\Data\\DTAfb", L"\\\\?\\D:\\Data\\DTAfb2", L"", false},
        {L"\\??\\Volume{0a1b}\\", L"\\\\?\\C:\\Dedira\\DTAfb", L"\\\\?\\Volume{0a1b}\\", true},
        {L"\\??\\Volume{0a1b}\\Data", L"\\\\?\\D:\\Data", L"\\\\?\\Volume{0a1b}\\Other", false},
        {L"..\\Data", L"\\\\?\\C:\\Data", L"", false}, // relative to where the link lies
        {L"D:\\Data\\DTAfb", L"\\\\?\\D:\\Data\\DTAfb", L"", false},
        {L"", L"", L"", false},
        {L"\\??\\D:\\Data", L"", L"", false}, // where the folder is could not be told
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LinkLeadsTo(c.Substitute, c.FinalDos, c.FinalGuid), c.Leads) << &c - cases;
}

TEST(LinkPolicy, FinalPathsInTheirPlainFormAndWhetherTheyLieInAFolder) {
    EXPECT_EQ(PlainFinalPath(L"\\\\?\\C:\\Dedira\\Shell.exe"), L"C:\\Dedira\\Shell.exe");
    EXPECT_EQ(PlainFinalPath(L"\\\\?\\UNC\\server\\share\\Dedira"), L"\\\\server\\share\\Dedira");
    EXPECT_EQ(PlainFinalPath(L"\\\\?\\unc\\server\\share"), L"\\\\server\\share");
    EXPECT_EQ(PlainFinalPath(L"C:\\Dedira"), L"C:\\Dedira");

    struct TCase {
        const wchar_t* Path;
        const wchar_t* Folder;
        bool Within;
    };
    const TCase cases[] = {
        {L"C:\\Dedira\\Shell.exe", L"C:\\Dedira\\", true},
        {L"C:\\Dedira\\Shell.exe", L"C:\\Dedira", true},
        {L"c:\\DEDIRA\\dtafb\\T12.FDB", L"C:\\Dedira\\DTAfb", true},
        {L"C:\\Dedira", L"C:\\Dedira\\", true},
        {L"C:\\DediraX\\Shell.exe", L"C:\\Dedira", false}, // a sibling whose name starts the same
        {L"C:\\Other\\Shell.exe", L"C:\\Dedira\\", false},
        {L"C:\\Dedir", L"C:\\Dedira\\", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FinalPathWithin(c.Path, c.Folder), c.Within);
}

} // namespace

namespace {
TEST(LinkPolicy, LevelsOfATargetBelowItsDriveOrShare) {
    using TLevels = std::vector<std::wstring>;
    EXPECT_EQ(LevelsBelowRoot(L"C:\\Программы\\Дедира\\"),
              (TLevels{L"C:\\Программы", L"C:\\Программы\\Дедира"}));
    EXPECT_EQ(LevelsBelowRoot(L"C:\\Dedira"), (TLevels{L"C:\\Dedira"}));
    EXPECT_EQ(LevelsBelowRoot(L"\\\\?\\C:\\Dedira\\"), (TLevels{L"C:\\Dedira"}));
    EXPECT_EQ(LevelsBelowRoot(L"\\\\server\\share\\Dedira\\udf"),
              (TLevels{L"\\\\server\\share\\Dedira", L"\\\\server\\share\\Dedira\\udf"}));
    EXPECT_EQ(LevelsBelowRoot(L"C:\\"), TLevels{});
    EXPECT_EQ(LevelsBelowRoot(L"\\\\server\\share\\"), TLevels{});
    EXPECT_EQ(LevelsBelowRoot(L"Dedira\\udf"), TLevels{}) << "a relative path has no levels of its own";
}
} // namespace
