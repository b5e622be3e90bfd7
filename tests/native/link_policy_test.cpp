// Which links inside the suite's folder are followed: by their owner, and level by level from the folder
// down.
#include <gtest/gtest.h>

#include <map>

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

TEST(LinkPolicy, FirstForeignLevelFromTheTargetDownToTheFolder) {
    const std::map<std::wstring, TLinkKind> links{
        {L"C:\\Dedira\\DTAfb", TLinkKind::Trusted}, // moved to a larger disk by the administrator
        {L"C:\\Dedira\\backup\\R010321", TLinkKind::Foreign},
        {L"C:\\Planted", TLinkKind::Foreign},
        {L"C:\\Other", TLinkKind::Foreign},
    };
    std::vector<std::wstring> asked;
    const auto kindOf = [&](const std::wstring& path) {
        asked.push_back(path);
        for (const auto& [link, kind] : links)
            if (SameText(link, path))
                return kind;
        return TLinkKind::NotALink;
    };
    struct TCase {
        const wchar_t* Target;
        const wchar_t* Folder;
        const wchar_t* Foreign;
    };
    const TCase cases[] = {
        {L"C:\\Dedira\\", L"C:\\Dedira\\udf", L""},
        {L"C:\\Dedira\\", L"C:\\Dedira\\DTAfb\\", L""},
        {L"C:\\Dedira\\", L"C:\\Dedira\\backup\\R010321\\Files\\", L"C:\\Dedira\\backup\\R010321"},
        {L"c:\\dedira\\", L"C:\\Dedira\\BACKUP\\r010321", L"C:\\Dedira\\BACKUP\\r010321"},
        {L"C:\\Dedira\\", L"C:\\Dedira\\", L""},
        {L"C:\\Planted\\", L"C:\\Planted\\udf\\", L"C:\\Planted"}, // the target itself
        {L"C:\\Planted\\", L"C:\\Planted", L"C:\\Planted"},
        {L"C:\\Dedira\\", L"C:\\Other\\", L"C:\\Other"}, // outside the target: itself alone
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FirstForeignLevel(c.Target, c.Folder, kindOf), c.Foreign) << &c - cases;

    asked.clear();
    FirstForeignLevel(L"C:\\Dedira\\", L"C:\\Dedira\\backup\\R311220\\Files", kindOf);
    EXPECT_EQ(asked,
              (std::vector<std::wstring>{L"C:\\Dedira", L"C:\\Dedira\\backup", L"C:\\Dedira\\backup\\R311220",
                                         L"C:\\Dedira\\backup\\R311220\\Files"}))
        << "every level is looked at, and only those";
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
