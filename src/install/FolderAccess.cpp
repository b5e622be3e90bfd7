#include "install/FolderAccess.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"

namespace {

constexpr wchar_t SystemSid[] = L"S-1-5-18";
constexpr wchar_t AdministratorsSid[] = L"S-1-5-32-544";
// Stands for whoever owns the object: an entry for it replaces the owner's implied right to change the list.
constexpr wchar_t OwnerRightsSid[] = L"S-1-3-4";
constexpr DWORD ReadAndRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr BYTE Inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

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
    if (!::ConvertSidToStringSidW(sid, &text))
        return {};
    const TUniqueLocal memory(text);
    return text;
}

// Lets this process take and give ownership where its token allows: an administrator may then own a folder
// another user made first. Nothing changes for a token without the privileges.
void EnableOwnershipPrivileges() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return;
    const TUniqueHandle token(raw);
    for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
            ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
}

} // namespace

TProtectedAccess::TProtectedAccess(const std::wstring& Readers, const std::wstring& Owner) {
    struct TGrant {
        std::wstring Sid;
        DWORD Mask;
    };
    std::vector<TGrant> grants{{SystemSid, FILE_ALL_ACCESS}, {AdministratorsSid, FILE_ALL_ACCESS}};
    if (!Readers.empty())
        grants.push_back({Readers, ReadAndRun});
    if (!Owner.empty())
        grants.push_back({Owner, FILE_ALL_ACCESS});
    grants.push_back({OwnerRightsSid, Owner.empty() ? ReadAndRun : DWORD{FILE_ALL_ACCESS}});

    DWORD size = sizeof(ACL);
    for (const TGrant& grant : grants) {
        FSids.push_back(SidBytes(grant.Sid));
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(FSids.back().size());
    }
    FList.assign((size + 3) & ~DWORD{3}, 0);
    if (!::InitializeAcl(List(), static_cast<DWORD>(FList.size()), ACL_REVISION))
        ThrowLastError(L"Не удалось составить список доступа");
    for (std::size_t i = 0; i < grants.size(); ++i)
        if (!::AddAccessAllowedAceEx(List(), ACL_REVISION, Inherited, grants[i].Mask, FSids[i].data()))
            ThrowLastError(L"Не удалось дать доступ учётной записи " + Quoted(grants[i].Sid));
    if (!::InitializeSecurityDescriptor(&FDescriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&FDescriptor, TRUE, List(), FALSE) ||
        !::SetSecurityDescriptorControl(&FDescriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        ThrowLastError(L"Не удалось составить описание доступа");
}

std::vector<TAccessEntry> TProtectedAccess::Entries() {
    std::vector<TAccessEntry> entries;
    ACL_SIZE_INFORMATION info{};
    if (!::GetAclInformation(List(), &info, sizeof info, AclSizeInformation))
        return entries;
    for (DWORD i = 0; i < info.AceCount; ++i) {
        void* raw = nullptr;
        if (!::GetAce(List(), i, &raw))
            continue;
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        entries.push_back({SidText(const_cast<DWORD*>(&ace->SidStart)), ace->Mask, ace->Header.AceFlags});
    }
    return entries;
}

bool TProtectedAccess::Protected() const {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    return ::GetSecurityDescriptorControl(const_cast<SECURITY_DESCRIPTOR*>(&FDescriptor), &control,
                                          &revision) &&
           (control & SE_DACL_PROTECTED);
}

void ProtectFolder(const std::wstring& Folder, TProtectedAccess& Access) {
    EnableOwnershipPrivileges();
    std::vector<BYTE> administrators = SidBytes(AdministratorsSid);
    // Owned by the administrators where the system lets us; the list alone is what matters, since it takes
    // the owner's implied rights away.
    ::SetNamedSecurityInfoW(const_cast<LPWSTR>(Folder.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                            administrators.data(), nullptr, nullptr, nullptr);
    const DWORD status =
        ::SetNamedSecurityInfoW(const_cast<LPWSTR>(Folder.c_str()), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, Access.List(), nullptr);
    if (status != ERROR_SUCCESS) {
        ::SetLastError(status);
        ThrowLastError(L"Не удалось ограничить доступ к папке " + Quoted(Folder));
    }
    // What the folder holds keeps no list of its own: one that a user gave a file before would let them
    // change it still.
    ACL empty{};
    ::InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((Folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = Folder + L"\\" + name;
        ::SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                administrators.data(), nullptr, nullptr, nullptr);
        const DWORD child =
            ::SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &empty, nullptr);
        if (child != ERROR_SUCCESS) {
            ::SetLastError(child);
            ThrowLastError(L"Не удалось ограничить доступ к файлу " + Quoted(path));
        }
    } while (::FindNextFileW(search.Get(), &found));
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
