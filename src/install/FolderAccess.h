// The access lists of the folders whose programs run with an administrator's rights: the uninstaller's in the
// suite's folder, which any signed-in user may otherwise write, and the temporary folder its clean-up runs
// from. Only the system and the administrators may change what such a folder holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One entry of an access list as the system holds it.
struct TAccessEntry {
    std::wstring Sid; // string form, "S-1-5-18"
    DWORD Mask = 0;
    BYTE Flags = 0; // inheritance
    bool operator==(const TAccessEntry&) const = default;
};

// A security descriptor whose list is explicit and protected: nothing is inherited from the folder above.
class TProtectedAccess {
public:
    // The system and the administrators with full control; `Readers` (a SID string, e.g. the users' group
    // "S-1-5-32-545") with reading and running; `Owner` (the user's own SID, for a run without an
    // administrator's rights) with full control. Either may be empty. The owner's implied right to change
    // the list is taken away: a user who made the folder first cannot open it up again. Throws TError when
    // the system refuses a part.
    TProtectedAccess(const std::wstring& Readers, const std::wstring& Owner);
    TProtectedAccess(const TProtectedAccess&) = delete;
    TProtectedAccess& operator=(const TProtectedAccess&) = delete;

    PSECURITY_DESCRIPTOR Descriptor() noexcept { return &FDescriptor; }
    PACL List() noexcept { return reinterpret_cast<PACL>(FList.data()); }
    // The entries, read back from the list itself.
    std::vector<TAccessEntry> Entries();
    bool Protected() const;

private:
    std::vector<BYTE> FList;
    std::vector<std::vector<BYTE>> FSids;
    SECURITY_DESCRIPTOR FDescriptor{};
};

// The uninstaller's folder's list: the system and the administrators change it, every user reads and runs.
inline constexpr wchar_t UsersSid[] = L"S-1-5-32-545";

// Gives `Folder` the list, the administrators as its owner where the system lets us, and makes what the
// folder holds take the list over in place of lists of its own. Throws TError naming the folder when the list
// cannot be set.
void ProtectFolder(const std::wstring& Folder, TProtectedAccess& Access);

// The SID of the user this process runs as; empty when it cannot be read.
std::wstring CurrentUserSid();
