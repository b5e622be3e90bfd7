// The system's side of the access rules (AccessRules.h): security descriptors made from the lists, the lists
// given to open objects and to folders as they are made, and what the system reports of who owns an object,
// who may change it and whether its volume keeps lists at all. What it reports goes through one seam,
// IAccessFacts, that tests stand in for: Wine keeps no lists and gives every file one owner.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "install/trust/AccessRules.h"

// A security descriptor built from a list: the owner where the list names one, the entries, the protected
// bit (or, for a list of inherited entries, the mark that it was inherited).
class TSecurityDescriptor {
public:
    // Throws TError when the system refuses a part (a SID it cannot read).
    explicit TSecurityDescriptor(const TAccessList& List);
    TSecurityDescriptor(const TSecurityDescriptor&) = delete;
    TSecurityDescriptor& operator=(const TSecurityDescriptor&) = delete;

    PSECURITY_DESCRIPTOR Get() noexcept { return &FDescriptor; }
    bool NamesOwner() const noexcept { return !FOwner.empty(); }
    // The same descriptor without its owner, for a system that will not let this process give it.
    void DropOwner();

private:
    std::vector<BYTE> FOwner;
    std::vector<std::vector<BYTE>> FSids;
    std::vector<BYTE> FList;
    SECURITY_DESCRIPTOR FDescriptor{};
};

// What the system reports; tests stand in for it.
class IAccessFacts {
public:
    virtual ~IAccessFacts() = default;
    // The owner and list of `Object` (open with READ_CONTROL), and whether it is a link; `Path` names it.
    virtual TSecurityFacts Security(HANDLE Object, const std::wstring& Path) = 0;
    // Whether the volume that holds `Object` keeps access lists (NTFS does; FAT and exFAT do not).
    virtual bool KeepsAccessLists(HANDLE Object, const std::wstring& Path) = 0;
    // The owner of the system's own folder (System32).
    virtual std::wstring SystemOwner() = 0;
};
IAccessFacts& AccessFacts() noexcept;
// The system's own answers, for a stand-in that changes only some.
IAccessFacts& SystemAccessFacts() noexcept;
// Puts a stand-in in place of the system's answers; null puts the system's back.
void SetAccessFacts(IAccessFacts* Facts) noexcept;

// Gives the open object (open with WRITE_DAC, and WRITE_OWNER where the list names an owner) the list as it
// stands: no entry is passed on by the system to what the object holds. 0 or the system's code.
DWORD ApplyAccess(HANDLE Object, const TAccessList& List);
// Makes one folder with the list from its first moment. 0 or the system's code.
DWORD CreateFolderWithAccess(const std::wstring& Path, const TAccessList& List);

// The SID of the user this process runs as; empty when it cannot be read.
std::wstring CurrentUserSid();
// Lets this process take ownership and restore lists where its token allows: an administrator may then
// change an object another user made first. Nothing changes for a token without the privileges.
void EnableOwnershipPrivileges();
