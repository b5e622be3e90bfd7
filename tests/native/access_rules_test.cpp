// Who may change what an elevated run installs: the lists it gives its folders, as data, and the rules that
// decide from what the system reports whether a level of the suite's folder, a folder it reads from or a
// package it would run is the machine's own. The lists of real folders below are those Windows gives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/trust/AccessRules.h"

namespace {

using namespace AccessFlag;
namespace Right = AccessRight;

constexpr wchar_t TrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t AuthenticatedUsers[] = L"S-1-5-11";
constexpr wchar_t Everyone[] = L"S-1-1-0";
constexpr wchar_t CreatorOwner[] = L"S-1-3-0";
constexpr wchar_t Bob[] = L"S-1-5-21-1-2-3-1001";
constexpr wchar_t WineUser[] = L"S-1-5-21-0-0-0-1000";

TAccessEntry Allow(const wchar_t* sid, std::uint32_t mask, std::uint8_t flags = Inheritable) {
    return {sid, mask, flags, true};
}

TSecurityFacts Facts(const wchar_t* owner, std::vector<TAccessEntry> entries, bool isProtected = false) {
    TSecurityFacts facts;
    facts.Known = true;
    facts.Owner = owner;
    facts.Entries = std::move(entries);
    facts.Protected = isProtected;
    return facts;
}

// C:\ as Windows installs it: the users may make folders in it, and change what they make.
TSecurityFacts DriveRoot() {
    return Facts(TrustedInstaller,
                 {Allow(AccountSid::Administrators, Right::FullControl),
                  Allow(AccountSid::System, Right::FullControl), Allow(AccountSid::Users, Right::ReadAndRun),
                  Allow(AuthenticatedUsers, Right::Modify, Inheritable | InheritOnly),
                  Allow(AuthenticatedUsers, Right::AddFolderOrAppend, 0)});
}

// A folder an administrator made in C:\ as any program makes one: it inherits the users' Modify.
TSecurityFacts MadeInTheDriveRoot(const wchar_t* owner) {
    return Facts(owner, InheritedEntries(DriveRoot().Entries, true));
}

// The suite's folder as an elevated run leaves it.
TSecurityFacts SuiteFolder() {
    const TAccessList list = SuiteFolderAccess();
    return Facts(list.Owner.c_str(), list.Entries, true);
}

TSecurityFacts ProgramFiles() {
    return Facts(TrustedInstaller,
                 {Allow(TrustedInstaller, Right::FullControl, ContainerInherit),
                  Allow(AccountSid::System, Right::Modify), Allow(AccountSid::Administrators, Right::Modify),
                  Allow(AccountSid::Users, Right::ReadAndRun),
                  Allow(CreatorOwner, Right::GenericAll, Inheritable | InheritOnly),
                  Allow(L"S-1-15-2-1", Right::ReadAndRun), Allow(L"S-1-15-2-2", Right::ReadAndRun)},
                 true);
}

// Wine reports one owner for every file and a list made from the Unix mode; `world` is what the mode leaves
// to everyone.
TSecurityFacts UnderWine(std::uint32_t world) {
    return Facts(WineUser, {Allow(AccountSid::System, Right::FullControl),
                            Allow(WineUser, Right::FullControl), Allow(Everyone, world)});
}

TEST(AccessRules, TheListsAnElevatedRunGivesItsFolders) {
    constexpr std::uint32_t ReadAndAdd = Right::ReadAndRun | Right::AddFileOrWrite | Right::AddFolderOrAppend;
    struct TCase {
        const char* Name;
        TAccessList List;
        TAccessList Expected;
    };
    const TCase cases[] = {
        {"the suite's folder",
         SuiteFolderAccess(),
         {AccountSid::Administrators,
          {Allow(AccountSid::System, Right::FullControl),
           Allow(AccountSid::Administrators, Right::FullControl), Allow(AccountSid::Users, Right::ReadAndRun),
           Allow(AccountSid::OwnerRights, Right::ReadAndRun)},
          true}},
        {"DTAfb and Settings",
         DataFolderAccess(),
         {AccountSid::Administrators,
          {Allow(AccountSid::System, Right::FullControl),
           Allow(AccountSid::Administrators, Right::FullControl), Allow(AccountSid::Users, ReadAndAdd, 0),
           Allow(AccountSid::Users, Right::Modify, Inheritable | InheritOnly)},
          true}},
        {"the private folder of an elevated run",
         PrivateFolderAccess(L""),
         {L"",
          {Allow(AccountSid::System, Right::FullControl),
           Allow(AccountSid::Administrators, Right::FullControl),
           Allow(AccountSid::OwnerRights, Right::ReadAndRun)},
          true}},
        {"the private folder of a user's own run",
         PrivateFolderAccess(Bob),
         {L"",
          {Allow(AccountSid::System, Right::FullControl),
           Allow(AccountSid::Administrators, Right::FullControl), Allow(Bob, Right::FullControl),
           Allow(AccountSid::OwnerRights, Right::FullControl)},
          true}},
        {"a file the suite's programs write",
         UsersFileAccess(SuiteFolderAccess().Entries),
         {L"",
          {Allow(AccountSid::Users, Right::ReadWrite, 0),
           Allow(AccountSid::System, Right::FullControl, Inherited),
           Allow(AccountSid::Administrators, Right::FullControl, Inherited),
           Allow(AccountSid::Users, Right::ReadAndRun, Inherited),
           Allow(AccountSid::OwnerRights, Right::ReadAndRun, Inherited)},
          false}},
    };
    for (const TCase& c : cases)
        EXPECT_TRUE(c.List == c.Expected) << c.Name;

    // What the users may do, by what the rules read of these lists: nothing to the suite's folder but read;
    // add to DTAfb, never rename it; change a file of the suite's programs, never delete it.
    EXPECT_FALSE(OthersHold(SuiteFolder(), ~0u & ~Right::ReadAndRun, L""));
    const TAccessList data = DataFolderAccess();
    const TSecurityFacts dataFacts = Facts(data.Owner.c_str(), data.Entries, true);
    EXPECT_TRUE(OthersHold(dataFacts, Right::AddFileOrWrite, L""));
    EXPECT_FALSE(OthersHold(dataFacts, Right::Delete | Right::DeleteChild | Right::WriteDac, L""));
    const TSecurityFacts inData = Facts(Bob, InheritedEntries(data.Entries, false));
    EXPECT_TRUE(OthersHold(inData, Right::Delete, L"")) << "the clinic's files are the users' to change";
    const TAccessList file = UsersFileAccess(SuiteFolderAccess().Entries);
    const TSecurityFacts fileFacts = Facts(AccountSid::Administrators, file.Entries);
    EXPECT_TRUE(OthersHold(fileFacts, Right::AddFileOrWrite, L""));
    EXPECT_FALSE(OthersHold(fileFacts, Right::Delete | Right::WriteDac | Right::WriteOwner, L""));
}

TEST(AccessRules, InheritedEntriesForFoldersAndFiles) {
    struct TCase {
        std::uint8_t Flags;
        int FolderFlags; // -1: not inherited
        int FileFlags;
    };
    const TCase cases[] = {
        {Inheritable, Inheritable | Inherited, Inherited},
        {Inheritable | InheritOnly, Inheritable | Inherited, Inherited},
        {ContainerInherit, ContainerInherit | Inherited, -1},
        {ObjectInherit, ObjectInherit | InheritOnly | Inherited, Inherited},
        {Inheritable | NoPropagate, Inherited, Inherited},
        {ObjectInherit | NoPropagate, -1, Inherited},
        {ContainerInherit | NoPropagate | InheritOnly, Inherited, -1},
        {0, -1, -1},
        {Inheritable | Inherited, Inheritable | Inherited, Inherited},
    };
    for (const TCase& c : cases)
        for (const bool folder : {true, false}) {
            const std::vector<TAccessEntry> got =
                InheritedEntries({{L"S-1-5-32-545", 0x1234, c.Flags, false}}, folder);
            const int expected = folder ? c.FolderFlags : c.FileFlags;
            if (expected < 0) {
                EXPECT_TRUE(got.empty()) << int(c.Flags) << (folder ? " folder" : " file");
                continue;
            }
            ASSERT_EQ(got.size(), 1u) << int(c.Flags) << (folder ? " folder" : " file");
            EXPECT_EQ(got[0].Flags, expected) << int(c.Flags) << (folder ? " folder" : " file");
            EXPECT_EQ(got[0].Mask, 0x1234u);
            EXPECT_FALSE(got[0].Allows) << "a denial stays a denial";
        }
    // The order of the parent's entries is kept.
    const std::vector<TAccessEntry> below = InheritedEntries(SuiteFolderAccess().Entries, true);
    ASSERT_EQ(below.size(), 4u);
    EXPECT_EQ(below[2].Sid, AccountSid::Users);
}

TEST(AccessRules, WhoElseHoldsARight) {
    struct TCase {
        const char* Name;
        TSecurityFacts Facts;
        std::uint32_t Rights;
        const wchar_t* SystemOwner;
        bool Others;
    };
    TSecurityFacts unknown;
    TSecurityFacts noList = Facts(AccountSid::Administrators, {});
    noList.NullList = true;
    const TCase cases[] = {
        {"the suite's folder", SuiteFolder(), Right::Delete, L"", false},
        {"no answer", unknown, Right::Delete, L"", true},
        {"no list at all", noList, Right::Delete, L"", true},
        {"an empty list", Facts(AccountSid::Administrators, {}), Right::Delete, L"", false},
        {"the users' Modify in the drive's root passes down only", DriveRoot(), Right::Delete, L"", false},
        {"but it lands on what is made there", MadeInTheDriveRoot(AccountSid::Administrators), Right::Delete,
         L"", true},
        {"GENERIC_ALL", Facts(AccountSid::System, {Allow(Bob, Right::GenericAll, 0)}), Right::DeleteChild,
         L"", true},
        {"GENERIC_WRITE", Facts(AccountSid::System, {Allow(Bob, Right::GenericWrite, 0)}),
         Right::AddFileOrWrite, L"", true},
        {"a denial grants nothing", Facts(AccountSid::System, {{Bob, Right::FullControl, 0, false}}),
         Right::Delete, L"", false},
        {"the owner's entry of a machine's owner",
         Facts(AccountSid::Administrators, {Allow(AccountSid::OwnerRights, Right::ReadAndRun)}),
         Right::ListOrRead, L"", false},
        {"the owner's entry of a user", Facts(Bob, {Allow(AccountSid::OwnerRights, Right::ReadAndRun)}),
         Right::ListOrRead, L"", true},
        {"TrustedInstaller", ProgramFiles(), Right::Delete, L"", false},
        {"the system folder's owner under Wine", UnderWine(Right::ReadAndRun), Right::Delete, WineUser,
         false},
        {"that owner elsewhere", UnderWine(Right::ReadAndRun), Right::Delete, L"", true},
        {"a world-writable folder under Wine", UnderWine(Right::Modify | Right::DeleteChild),
         Right::DeleteChild, WineUser, true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(OthersHold(c.Facts, c.Rights, c.SystemOwner), c.Others) << c.Name;
}

TEST(AccessRules, LevelsNoOrdinaryUserCanRenameOrDelete) {
    TSecurityFacts link = Facts(AccountSid::Administrators, SuiteFolderAccess().Entries, true);
    link.ReparsePoint = true;
    TSecurityFacts unknown;
    const TSecurityFacts usersMayDeleteChildren =
        Facts(AccountSid::Administrators, {Allow(AccountSid::Users, Right::ReadAndRun | Right::DeleteChild)});
    struct TCase {
        const char* Name;
        std::vector<TSecurityFacts> Chain;
        const wchar_t* SystemOwner;
        std::optional<TLevelRefusal> Refusal;
    };
    const TCase cases[] = {
        {"C:\\Dedira", {DriveRoot()}, L"", std::nullopt},
        {"a folder of C:\\Program Files", {DriveRoot(), ProgramFiles()}, L"", std::nullopt},
        {"below a folder of ours", {DriveRoot(), SuiteFolder()}, L"", std::nullopt},
        {"below a folder made in C:\\ as programs make them",
         {DriveRoot(), MadeInTheDriveRoot(AccountSid::Administrators)},
         L"",
         TLevelRefusal{1, TTrustFault::OthersDelete}},
        {"below a user's folder",
         {DriveRoot(), SuiteFolder(), MadeInTheDriveRoot(Bob)},
         L"",
         TLevelRefusal{2, TTrustFault::ForeignOwner}},
        {"below a link", {DriveRoot(), link}, L"", TLevelRefusal{1, TTrustFault::Link}},
        {"a level whose owner cannot be read",
         {DriveRoot(), unknown},
         L"",
         TLevelRefusal{1, TTrustFault::Unknown}},
        {"a root that cannot be read", {unknown}, L"", TLevelRefusal{1, TTrustFault::Unknown}},
        {"a parent that lets the users delete the target",
         {DriveRoot(), usersMayDeleteChildren},
         L"",
         TLevelRefusal{2, TTrustFault::ParentDeletes}},
        {"a parent that lets the users delete the level",
         {usersMayDeleteChildren, SuiteFolder()},
         L"",
         TLevelRefusal{1, TTrustFault::ParentDeletes}},
        {"Wine's drive C:",
         {UnderWine(Right::ReadAndRun), UnderWine(Right::ReadAndRun)},
         WineUser,
         std::nullopt},
        {"a world-writable folder under Wine",
         {UnderWine(Right::ReadAndRun), UnderWine(Right::Modify | Right::DeleteChild)},
         WineUser,
         TLevelRefusal{1, TTrustFault::OthersDelete}},
    };
    for (const TCase& c : cases) {
        const std::optional<TLevelRefusal> got = RefusedLevel(c.Chain, c.SystemOwner);
        ASSERT_EQ(got.has_value(), c.Refusal.has_value()) << c.Name;
        if (got) {
            EXPECT_EQ(got->Level, c.Refusal->Level) << c.Name;
            EXPECT_EQ(got->Fault, c.Refusal->Fault) << c.Name;
        }
    }
    EXPECT_EQ(LevelRefusalText(L"C:\\Данные", TTrustFault::ForeignOwner),
              L"Папку «C:\\Данные» может подменить обычный пользователь: её владелец — не администратор. "
              L"Программа установки с правами администратора в такую папку не устанавливает: выберите другую "
              L"папку (например, «C:\\Dedira» или папку в «C:\\Program Files»).");
}

TEST(AccessRules, FoldersAndPackagesAnElevatedRunTrusts) {
    TSecurityFacts link = SuiteFolder();
    link.ReparsePoint = true;
    const TSecurityFacts usersChange = Facts(
        AccountSid::Administrators, {Allow(AccountSid::Users, Right::ReadAndRun | Right::AddFileOrWrite)});
    const TSecurityFacts script =
        Facts(AccountSid::Administrators, InheritedEntries(SuiteFolderAccess().Entries, false));
    struct TCase {
        const char* Name;
        TSecurityFacts Folder;
        TTrustFault Fault;
    };
    const TCase cases[] = {
        {"made by an elevated run", SuiteFolder(), TTrustFault::None},
        {"a user's folder after the take-over, inheriting",
         Facts(Bob, InheritedEntries(SuiteFolderAccess().Entries, true)), TTrustFault::ForeignOwner},
        {"an administrator's, inheriting",
         Facts(AccountSid::Administrators, InheritedEntries(SuiteFolderAccess().Entries, true)),
         TTrustFault::None},
        {"made by a user before the first installation", MadeInTheDriveRoot(Bob), TTrustFault::ForeignOwner},
        {"an administrator's that the users may change", MadeInTheDriveRoot(AccountSid::Administrators),
         TTrustFault::OthersChange},
        {"one the users may write into", usersChange, TTrustFault::OthersChange},
        {"a link", link, TTrustFault::Link},
        {"not known", TSecurityFacts{}, TTrustFault::Unknown},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(AdminFolderFault(c.Folder, L""), c.Fault) << c.Name;
        // A package is judged by its folder, then by its script.
        EXPECT_EQ(ForeignPackageFault(c.Folder, script, L""), c.Fault) << c.Name;
        EXPECT_EQ(ForeignPackageFault(SuiteFolder(), c.Folder, L""), c.Fault) << c.Name << " as the script";
    }
    // Under Wine every file is the system folder's owner's, and only the mode tells others apart.
    EXPECT_EQ(ForeignPackageFault(UnderWine(Right::ReadAndRun), UnderWine(Right::ReadAndRun), WineUser),
              TTrustFault::None);
    EXPECT_EQ(ForeignPackageFault(UnderWine(Right::ReadAndRun), UnderWine(Right::Modify), WineUser),
              TTrustFault::OthersChange);
    // A take-over is done again until it has let the users in, its last act; not where no list could tell.
    const TAccessList closed = ClosedSuiteFolderAccess();
    struct TTakeOver {
        const char* Name;
        TSecurityFacts Folder;
        const wchar_t* SystemOwner;
        bool Needed;
    };
    const TTakeOver takeOvers[] = {
        {"taken over", SuiteFolder(), TrustedInstaller, false},
        {"cut short", Facts(closed.Owner.c_str(), closed.Entries, true), TrustedInstaller, true},
        {"a user's", MadeInTheDriveRoot(Bob), TrustedInstaller, true},
        {"an administrator's, open to the users", MadeInTheDriveRoot(AccountSid::Administrators),
         TrustedInstaller, true},
        {"Wine's", UnderWine(Right::ReadAndRun), WineUser, false},
        {"Wine's world-writable", UnderWine(Right::Modify), WineUser, true},
    };
    for (const TTakeOver& c : takeOvers)
        EXPECT_EQ(TakeOverNeeded(c.Folder, c.SystemOwner), c.Needed) << c.Name;
    EXPECT_EQ(PackagePassedOverText(L"R311299", TTrustFault::ForeignOwner),
              L"Пакет выпуска «R311299» пропущен: его нет на носителе, а его владелец — не администратор.");
}

// The one link inside the suite's folder that is followed: "DTAfb", where an administrator moved the database
// to a larger disk. Not an administrator's link that anyone else may re-point, rename or delete, not one
// Wine's single owner made, not one by any other name.
TEST(AccessRules, TheOneLinkTheRunFollowsIsTheAdministratorsDatabaseFolder) {
    const auto linkOf = [](const wchar_t* owner, std::vector<TAccessEntry> entries) {
        TSecurityFacts link = Facts(owner, std::move(entries), true);
        link.ReparsePoint = true;
        return link;
    };
    const std::vector<TAccessEntry> machines = {Allow(AccountSid::System, Right::FullControl),
                                                Allow(AccountSid::Administrators, Right::FullControl),
                                                Allow(AccountSid::Users, Right::ReadAndRun)};
    std::vector<TAccessEntry> usersWrite = machines;
    usersWrite.push_back(Allow(AccountSid::Users, Right::AddFileOrWrite, 0));
    std::vector<TAccessEntry> usersAttributes = machines;
    usersAttributes.push_back(Allow(AuthenticatedUsers, Right::WriteAttributes, 0));
    std::vector<TAccessEntry> usersDelete = machines;
    usersDelete.push_back(Allow(Everyone, Right::Delete, 0));
    // The owner may change the list: a user's own entry for "whoever owns it" is theirs.
    std::vector<TAccessEntry> ownerChanges = machines;
    ownerChanges.push_back(Allow(AccountSid::OwnerRights, Right::FullControl, 0));
    struct TCase {
        const char* Name;
        const wchar_t* Relative;
        TSecurityFacts Link;
        TSecurityFacts Parent;
        TTrustFault Fault;
    };
    const TCase cases[] = {
        {"the administrators' junction", L"DTAfb", linkOf(AccountSid::Administrators, machines),
         SuiteFolder(), TTrustFault::None},
        {"the system's, named in other letters", L"dtafb", linkOf(AccountSid::System, machines),
         SuiteFolder(), TTrustFault::None},
        {"TrustedInstaller's", L"DTAfb", linkOf(TrustedInstaller, ownerChanges), SuiteFolder(),
         TTrustFault::None},
        {"an administrator's that the users may write", L"DTAfb",
         linkOf(AccountSid::Administrators, usersWrite), SuiteFolder(), TTrustFault::OthersChange},
        {"an administrator's whose attributes the users may change", L"DTAfb",
         linkOf(AccountSid::Administrators, usersAttributes), SuiteFolder(), TTrustFault::OthersChange},
        {"an administrator's that anyone may delete", L"DTAfb",
         linkOf(AccountSid::Administrators, usersDelete), SuiteFolder(), TTrustFault::OthersChange},
        {"an administrator's in a folder where anyone may delete what it holds", L"DTAfb",
         linkOf(AccountSid::Administrators, machines),
         Facts(AccountSid::Administrators, {Allow(Everyone, Right::FullControl)}),
         TTrustFault::ParentDeletes},
        {"a user's", L"DTAfb", linkOf(Bob, machines), SuiteFolder(), TTrustFault::ForeignOwner},
        {"a user's who may change its list", L"DTAfb", linkOf(Bob, ownerChanges), SuiteFolder(),
         TTrustFault::ForeignOwner},
        {"Wine's one owner", L"DTAfb", linkOf(WineUser, machines), SuiteFolder(), TTrustFault::ForeignOwner},
        {"an administrator's elsewhere", L"udf", linkOf(AccountSid::Administrators, machines), SuiteFolder(),
         TTrustFault::Link},
        {"an administrator's below the database's folder", L"DTAfb\\Архив",
         linkOf(AccountSid::Administrators, machines), SuiteFolder(), TTrustFault::Link},
        {"not known", L"DTAfb", TSecurityFacts{}, SuiteFolder(), TTrustFault::Unknown},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TrustedLinkFault(c.Relative, c.Link, c.Parent), c.Fault) << c.Name;
}

} // namespace
