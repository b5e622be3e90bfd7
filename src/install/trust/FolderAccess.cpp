#include "install/trust/FolderAccess.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/HeldFolders.h"

namespace {

std::vector<BYTE> SidBytes(const std::wstring& text) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidW(text.c_str(), &sid))
        ThrowLastError(L"Не удалось прочитать идентификатор учётной записи " + Quoted(text));
    const TUniqueLocal memory(sid);
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text))
        return {};
    const TUniqueLocal memory(text);
    return text;
}

// The entries of a list as the system holds it; entries of other kinds than the plain and the conditional
// ones (object entries, which files do not carry) are counted as granting everything, to be safe.
std::vector<TAccessEntry> EntriesOf(PACL list) {
    std::vector<TAccessEntry> entries;
    ACL_SIZE_INFORMATION info{};
    if (!::GetAclInformation(list, &info, sizeof info, AclSizeInformation))
        return entries;
    for (DWORD i = 0; i < info.AceCount; ++i) {
        void* raw = nullptr;
        if (!::GetAce(list, i, &raw))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(raw);
        const auto* plain = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        const std::wstring sid = SidText(const_cast<DWORD*>(&plain->SidStart));
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
            entries.push_back({sid, plain->Mask, header->AceFlags, true});
            break;
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
            entries.push_back({sid, plain->Mask, header->AceFlags, false});
            break;
        default:
            entries.push_back({L"", AccessRight::FullControl, 0, true});
            break;
        }
    }
    return entries;
}

class TSystemAccessFacts : public IAccessFacts {
public:
    TSecurityFacts Security(HANDLE Object, const std::wstring&) override {
        TSecurityFacts facts;
        PSID owner = nullptr;
        PACL list = nullptr;
        PSECURITY_DESCRIPTOR raw = nullptr;
        if (::GetSecurityInfo(Object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &list, nullptr, &raw) != ERROR_SUCCESS)
            return facts;
        const TUniqueLocal descriptor(raw);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        facts.Owner = SidText(owner);
        facts.NullList = list == nullptr;
        if (list)
            facts.Entries = EntriesOf(list);
        facts.Protected =
            ::GetSecurityDescriptorControl(raw, &control, &revision) && (control & SE_DACL_PROTECTED);
        facts.ReparsePoint = IsLinkObject(Object);
        facts.Known = !facts.Owner.empty();
        return facts;
    }

    bool KeepsAccessLists(HANDLE Object, const std::wstring&) override {
        DWORD flags = 0;
        // A volume that cannot say is taken at its word for nothing.
        return ::GetVolumeInformationByHandleW(Object, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
               (flags & FILE_PERSISTENT_ACLS);
    }

    std::wstring SystemOwner() override {
        wchar_t folder[MAX_PATH] = L"";
        const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return {};
        TUniqueFile system(::CreateFileW(folder, READ_CONTROL,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return system ? Security(system.Get(), folder).Owner : std::wstring();
    }
};

IAccessFacts*& StandIn() noexcept {
    static IAccessFacts* facts = nullptr;
    return facts;
}

} // namespace

TSecurityDescriptor::TSecurityDescriptor(const TAccessList& List) {
    if (!List.Owner.empty())
        FOwner = SidBytes(List.Owner);
    DWORD size = sizeof(ACL);
    for (const TAccessEntry& entry : List.Entries) {
        FSids.push_back(SidBytes(entry.Sid));
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(FSids.back().size());
    }
    FList.assign((size + 3) & ~DWORD{3}, 0);
    PACL list = reinterpret_cast<PACL>(FList.data());
    if (!::InitializeAcl(list, static_cast<DWORD>(FList.size()), ACL_REVISION))
        ThrowLastError(L"Не удалось составить список доступа");
    for (std::size_t i = 0; i < List.Entries.size(); ++i) {
        const TAccessEntry& entry = List.Entries[i];
        const BOOL added =
            entry.Allows
                ? ::AddAccessAllowedAceEx(list, ACL_REVISION, entry.Flags, entry.Mask, FSids[i].data())
                : ::AddAccessDeniedAceEx(list, ACL_REVISION, entry.Flags, entry.Mask, FSids[i].data());
        if (!added)
            ThrowLastError(L"Не удалось дать доступ учётной записи " + Quoted(entry.Sid));
    }
    // A list of inherited entries is marked as such, so that the folder above can pass its changes on later.
    const SECURITY_DESCRIPTOR_CONTROL control = List.Protected ? SE_DACL_PROTECTED : SE_DACL_AUTO_INHERITED;
    if (!::InitializeSecurityDescriptor(&FDescriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&FDescriptor, TRUE, list, FALSE) ||
        !::SetSecurityDescriptorControl(&FDescriptor, SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED, control) ||
        (!FOwner.empty() && !::SetSecurityDescriptorOwner(&FDescriptor, FOwner.data(), FALSE)))
        ThrowLastError(L"Не удалось составить описание доступа");
}

void TSecurityDescriptor::DropOwner() {
    ::SetSecurityDescriptorOwner(&FDescriptor, nullptr, FALSE);
    FOwner.clear();
}

IAccessFacts& SystemAccessFacts() noexcept {
    static TSystemAccessFacts facts;
    return facts;
}

IAccessFacts& AccessFacts() noexcept {
    return StandIn() ? *StandIn() : SystemAccessFacts();
}

void SetAccessFacts(IAccessFacts* Facts) noexcept {
    StandIn() = Facts;
}

DWORD ApplyAccess(HANDLE Object, const TAccessList& List) {
    try {
        TSecurityDescriptor descriptor(List);
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION | (descriptor.NamesOwner() ? OWNER_SECURITY_INFORMATION : 0);
        if (::SetKernelObjectSecurity(Object, what, descriptor.Get()))
            return 0;
        const DWORD code = ::GetLastError();
        // An owner this token may not give: the list alone still keeps everyone else out.
        if (code != ERROR_INVALID_OWNER || !descriptor.NamesOwner())
            return code;
        descriptor.DropOwner();
        return ::SetKernelObjectSecurity(Object, DACL_SECURITY_INFORMATION, descriptor.Get())
                   ? 0
                   : ::GetLastError();
    } catch (const TError&) {
        return ERROR_INVALID_SECURITY_DESCR;
    }
}

DWORD CreateFolderWithAccess(const std::wstring& Path, const TAccessList& List) {
    try {
        TSecurityDescriptor descriptor(List);
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
        if (::CreateDirectoryW(Path.c_str(), &attributes))
            return 0;
        const DWORD code = ::GetLastError();
        if (code != ERROR_INVALID_OWNER || !descriptor.NamesOwner())
            return code;
        descriptor.DropOwner();
        return ::CreateDirectoryW(Path.c_str(), &attributes) ? 0 : ::GetLastError();
    } catch (const TError&) {
        return ERROR_INVALID_SECURITY_DESCR;
    }
}

void EnableOwnershipPrivileges() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return;
    const TUniqueHandle token(raw);
    for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME}) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
            ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
}

std::wstring CurrentUserSid() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    const TUniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}
