// Who may change what an elevated run installs, as data and rules. A run with an administrator's rights gives
// the suite's folder to the administrators, as Program Files is given: owner Administrators, a list of its
// own that inherits nothing from the drive (the system and the administrators with full control, the users
// with reading and running); the users keep the right to change only what the suite's programs write. Before
// such a run trusts a folder it did not make, or runs a package it did not bring, it asks who owns it and who
// may change it: only the system, the administrators and TrustedInstaller (and whoever owns the system's own
// folder: under Wine that is the one user every file belongs to) count as the machine's own.
// Portable: the lists are built and the rules decided here and tested natively; the system's answers come in
// as TSecurityFacts (FolderAccess.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rights and entry flags the rules speak of, with the system's values.
namespace AccessRight {
inline constexpr std::uint32_t ListOrRead = 0x0001;
inline constexpr std::uint32_t AddFileOrWrite = 0x0002;
inline constexpr std::uint32_t AddFolderOrAppend = 0x0004;
inline constexpr std::uint32_t WriteEa = 0x0010;
inline constexpr std::uint32_t DeleteChild = 0x0040;
inline constexpr std::uint32_t WriteAttributes = 0x0100;
inline constexpr std::uint32_t Delete = 0x00010000;
inline constexpr std::uint32_t WriteDac = 0x00040000;
inline constexpr std::uint32_t WriteOwner = 0x00080000;
inline constexpr std::uint32_t GenericAll = 0x10000000;
inline constexpr std::uint32_t GenericWrite = 0x40000000;
inline constexpr std::uint32_t FullControl = 0x001F01FF;
inline constexpr std::uint32_t ReadAndRun = 0x001200A9;
// Reading, running and writing, without deleting: "Modify" less DELETE.
inline constexpr std::uint32_t ReadWrite = 0x001201BF;
inline constexpr std::uint32_t Modify = 0x001301BF;
} // namespace AccessRight

namespace AccessFlag {
inline constexpr std::uint8_t ObjectInherit = 0x01;
inline constexpr std::uint8_t ContainerInherit = 0x02;
inline constexpr std::uint8_t NoPropagate = 0x04;
inline constexpr std::uint8_t InheritOnly = 0x08;
inline constexpr std::uint8_t Inherited = 0x10;
inline constexpr std::uint8_t Inheritable = ObjectInherit | ContainerInherit;
} // namespace AccessFlag

namespace AccountSid {
inline constexpr wchar_t System[] = L"S-1-5-18";
inline constexpr wchar_t Administrators[] = L"S-1-5-32-544";
inline constexpr wchar_t Users[] = L"S-1-5-32-545";
// Stands for whoever owns the object: an entry for it replaces the owner's implied right to change the list.
inline constexpr wchar_t OwnerRights[] = L"S-1-3-4";
} // namespace AccountSid

// One entry of an access list.
struct TAccessEntry {
    std::wstring Sid; // string form, "S-1-5-18"
    std::uint32_t Mask = 0;
    std::uint8_t Flags = 0; // AccessFlag
    bool Allows = true;     // false: a denial
    bool operator==(const TAccessEntry&) const = default;
};

// What an object is given: its owner (empty: the system's default for the creator) and its list; a protected
// list inherits nothing from the folder above.
struct TAccessList {
    std::wstring Owner;
    std::vector<TAccessEntry> Entries;
    bool Protected = false;
    bool operator==(const TAccessList&) const = default;
};

// The suite's folder of an elevated run, and every folder such a run makes for what runs elevated (the
// uninstaller's, the run logs' of the system account): owned by the administrators, the system and the
// administrators with full control, the users (and the owner, whoever that is) reading and running.
TAccessList SuiteFolderAccess();
// The same while a take-over of an existing folder goes on: the users are let in last, once every entry below
// inherits the list, so that a take-over cut short (a power cut, an error) is done again by the next run.
TAccessList ClosedSuiteFolderAccess();
// "DTAfb\" and "Settings\", which the suite's programs write: as the suite's folder, but the users may add
// files and folders there and change and delete what is below, not the folder itself.
TAccessList DataFolderAccess();
// The folder that the hand-over and the driver's installer run from: the system and the administrators, and
// `user` (a run without an administrator's rights) with full control; nobody else, not even to read.
TAccessList PrivateFolderAccess(const std::wstring& user);
// The entries an object takes over from a folder's entries, as the system computes them: a folder takes what
// passes to folders (and passes on what passes further), a file what passes to files.
std::vector<TAccessEntry> InheritedEntries(const std::vector<TAccessEntry>& parent, bool folder);
// A file of the suite's folder that the suite's programs write ("btooth.ini", "ReleaseInfo",
// "Updater.exe.cfg"): the users may read and write it, not delete it; the rest comes from the folder.
TAccessList UsersFileAccess(const std::vector<TAccessEntry>& folderEntries);
// The names below the suite's folder that take lists of their own.
inline constexpr const wchar_t* DataFolderNames[] = {L"DTAfb", L"Settings"};
inline constexpr const wchar_t* UsersFileNames[] = {L"btooth.ini", L"ReleaseInfo", L"Updater.exe.cfg"};

// What the system reports of an object's security.
struct TSecurityFacts {
    bool Known = false; // false: the system did not answer
    std::wstring Owner;
    bool NullList = false; // no list at all: everyone may do anything
    std::vector<TAccessEntry> Entries;
    bool Protected = false;
    bool ReparsePoint = false; // the object itself is a link or another reparse point
};

// Whether `sid` belongs to the machine: the system, the administrators, TrustedInstaller, or the owner of the
// system's own folder (`systemOwner`; TrustedInstaller on Windows, the one user of every file under Wine).
bool MachineOwner(std::wstring_view sid, std::wstring_view systemOwner) noexcept;
// Whether an account that is not the machine's holds any of `rights` on the object through its list; entries
// that only pass down to what the object holds, and denials, do not count. No list, or none known, counts as
// yes.
bool OthersHold(const TSecurityFacts& facts, std::uint32_t rights, std::wstring_view systemOwner);

// Why a folder or a package is not the machine's own; None when it is.
enum class TTrustFault {
    None,
    Unknown,       // the system did not say who owns it or who may change it
    Link,          // it is a link or another reparse point
    ForeignOwner,  // it belongs to an ordinary user
    OthersChange,  // others may change it
    OthersDelete,  // others may rename or delete it
    ParentDeletes, // the folder above lets others rename or delete it
    Missing,       // it is not there (a package's script)
};
// The reason in words, to follow "because".
std::wstring TrustFaultText(TTrustFault fault);

// The levels of the suite's folder: `chain` holds the drive's root, then every existing level below it down
// to the target's parent (a target that exists is not part of it: the run takes it over). Each level must be
// the machine's and no ordinary user may rename or delete it, nor the target through the last of them. The
// index of the first level that fails (the level that others could rename: for a parent's fault its child,
// the target when `chain.size()` is returned) and why; nothing when all pass.
struct TLevelRefusal {
    std::size_t Level = 0;
    TTrustFault Fault = TTrustFault::None;
};
std::optional<TLevelRefusal> RefusedLevel(const std::vector<TSecurityFacts>& chain,
                                          std::wstring_view systemOwner);
// The refusal for the box and the list: the level named, another folder to be chosen.
std::wstring LevelRefusalText(const std::wstring& level, TTrustFault fault);
// The refusal of a folder on a volume that keeps no access lists (FAT, exFAT).
std::wstring NoAccessListsText(const std::wstring& target);

// Whether an existing suite's folder is to be taken over: it is not the machine's alone, or its take-over was
// cut short (the machine's list without the users' reading). Where the system gives every file one owner
// (`systemOwner` not one of the machine's own by name: Wine) no list could tell, and the first rule alone
// decides.
bool TakeOverNeeded(const TSecurityFacts& facts, std::wstring_view systemOwner);

// A folder that an elevated run trusts for what it reads and runs (the uninstaller's, the run logs'): the
// machine's, no link, and no one else may change it.
TTrustFault AdminFolderFault(const TSecurityFacts& facts, std::wstring_view systemOwner);

// The one link inside the suite's folder that is followed: "DTAfb" itself, where an administrator moved the
// database to a larger disk. Only when the system, the administrators or TrustedInstaller made it (by name:
// the one owner of every file under Wine counts for nothing here), no other account may change it or where it
// leads (its own list) and none may rename or delete it (the delete-child right of the folder above, the
// suite's folder). `relative` is its path below the suite's folder; any other link is foreign (Link).
TTrustFault TrustedLinkFault(std::wstring_view relative, const TSecurityFacts& link,
                             const TSecurityFacts& parent);

// A release package of the suite's folder that the medium did not bring (the updater's) runs elevated only
// when its folder and its script are both the machine's and no one else may change them.
TTrustFault ForeignPackageFault(const TSecurityFacts& folder, const TSecurityFacts& script,
                                std::wstring_view systemOwner);
// The line of a package passed over.
std::wstring PackagePassedOverText(const std::wstring& package, TTrustFault fault);
// The error of a medium's package whose script in the suite's folder is not the medium's.
std::wstring ScriptNotTheMediumsText(const std::wstring& package);
