#include "install/trust/AccessRules.h"

#include "common/StrUtils.h"
#include "install/trust/LinkPolicy.h"

namespace {

using namespace AccessFlag;

// The rights that change what a folder or file holds, or who may: writing, adding, deleting, the list and the
// owner. Attributes and times are not among them.
constexpr std::uint32_t ChangeRights = AccessRight::AddFileOrWrite | AccessRight::AddFolderOrAppend |
                                       AccessRight::WriteEa | AccessRight::DeleteChild | AccessRight::Delete |
                                       AccessRight::WriteDac | AccessRight::WriteOwner;
// Renaming or deleting the object itself, or giving oneself the right to.
constexpr std::uint32_t DeleteRights = AccessRight::Delete | AccessRight::WriteDac | AccessRight::WriteOwner;
// Renaming or deleting what a folder holds, whatever its own list says.
constexpr std::uint32_t DeleteChildRights =
    AccessRight::DeleteChild | AccessRight::WriteDac | AccessRight::WriteOwner;
// What GENERIC_WRITE means for files and folders.
constexpr std::uint32_t FileGenericWrite = 0x00120116;

TAccessEntry Allow(const wchar_t* sid, std::uint32_t mask, std::uint8_t flags = Inheritable) {
    return {sid, mask, flags, true};
}

std::uint32_t Expanded(std::uint32_t mask) {
    if (mask & AccessRight::GenericAll)
        mask |= AccessRight::FullControl;
    if (mask & AccessRight::GenericWrite)
        mask |= FileGenericWrite;
    return mask;
}

} // namespace

TAccessList SuiteFolderAccess() {
    return {AccountSid::Administrators,
            {Allow(AccountSid::System, AccessRight::FullControl),
             Allow(AccountSid::Administrators, AccessRight::FullControl),
             Allow(AccountSid::Users, AccessRight::ReadAndRun),
             Allow(AccountSid::OwnerRights, AccessRight::ReadAndRun)},
            true};
}

TAccessList ClosedSuiteFolderAccess() {
    TAccessList list = SuiteFolderAccess();
    std::erase_if(list.Entries, [](const TAccessEntry& entry) { return entry.Sid == AccountSid::Users; });
    return list;
}

TAccessList DataFolderAccess() {
    constexpr std::uint32_t ReadAndAdd =
        AccessRight::ReadAndRun | AccessRight::AddFileOrWrite | AccessRight::AddFolderOrAppend;
    return {AccountSid::Administrators,
            {Allow(AccountSid::System, AccessRight::FullControl),
             Allow(AccountSid::Administrators, AccessRight::FullControl),
             // The folder itself: adding, never renaming or deleting it.
             Allow(AccountSid::Users, ReadAndAdd, 0),
             // What it holds: the database, its copies, the settings.
             Allow(AccountSid::Users, AccessRight::Modify, Inheritable | InheritOnly)},
            true};
}

TAccessList PrivateFolderAccess(const std::wstring& user) {
    TAccessList list{{},
                     {Allow(AccountSid::System, AccessRight::FullControl),
                      Allow(AccountSid::Administrators, AccessRight::FullControl)},
                     true};
    if (!user.empty())
        list.Entries.push_back({user, AccessRight::FullControl, Inheritable, true});
    list.Entries.push_back(
        Allow(AccountSid::OwnerRights, user.empty() ? AccessRight::ReadAndRun : AccessRight::FullControl));
    return list;
}

std::vector<TAccessEntry> InheritedEntries(const std::vector<TAccessEntry>& parent, bool folder) {
    std::vector<TAccessEntry> inherited;
    for (const TAccessEntry& entry : parent) {
        const std::uint8_t flags = entry.Flags;
        const bool toFiles = flags & ObjectInherit;
        const bool toFolders = flags & ContainerInherit;
        const bool further = !(flags & NoPropagate);
        TAccessEntry child = entry;
        if (!folder) {
            if (!toFiles)
                continue;
            child.Flags = Inherited;
        } else if (toFolders) {
            child.Flags = further ? static_cast<std::uint8_t>((flags & Inheritable) | Inherited) : Inherited;
        } else if (toFiles && further) {
            // Not for the folder itself, only on to the files it holds.
            child.Flags = ObjectInherit | InheritOnly | Inherited;
        } else {
            continue;
        }
        inherited.push_back(std::move(child));
    }
    return inherited;
}

TAccessList UsersFileAccess(const std::vector<TAccessEntry>& folderEntries) {
    TAccessList list{{}, {Allow(AccountSid::Users, AccessRight::ReadWrite, 0)}, false};
    for (TAccessEntry& entry : InheritedEntries(folderEntries, false))
        list.Entries.push_back(std::move(entry));
    return list;
}

bool MachineOwner(std::wstring_view sid, std::wstring_view systemOwner) noexcept {
    return !sid.empty() && (IsTrustedOwner(sid) || (!systemOwner.empty() && SameText(sid, systemOwner)));
}

bool OthersHold(const TSecurityFacts& facts, std::uint32_t rights, std::wstring_view systemOwner) {
    if (!facts.Known || facts.NullList)
        return true;
    for (const TAccessEntry& entry : facts.Entries) {
        if (!entry.Allows || (entry.Flags & InheritOnly) || !(Expanded(entry.Mask) & rights))
            continue;
        // The owner's entry is the owner's.
        const std::wstring_view holder = SameText(entry.Sid, AccountSid::OwnerRights)
                                             ? std::wstring_view(facts.Owner)
                                             : std::wstring_view(entry.Sid);
        if (!MachineOwner(holder, systemOwner))
            return true;
    }
    return false;
}

namespace {
// The faults of an object itself, in the order they are told.
TTrustFault OwnFault(const TSecurityFacts& facts, std::uint32_t rights, TTrustFault othersFault,
                     std::wstring_view systemOwner) {
    if (!facts.Known)
        return TTrustFault::Unknown;
    if (facts.ReparsePoint)
        return TTrustFault::Link;
    if (!MachineOwner(facts.Owner, systemOwner))
        return TTrustFault::ForeignOwner;
    if (OthersHold(facts, rights, systemOwner))
        return othersFault;
    return TTrustFault::None;
}
} // namespace

std::wstring TrustFaultText(TTrustFault fault) {
    switch (fault) {
    case TTrustFault::None:
        return {};
    case TTrustFault::Unknown:
        return L"не удалось узнать её владельца и права доступа";
    case TTrustFault::Link:
        return L"она — ссылка";
    case TTrustFault::ForeignOwner:
        return L"её владелец — не администратор";
    case TTrustFault::OthersChange:
        return L"её могут изменить не только администраторы";
    case TTrustFault::OthersDelete:
        return L"её могут переименовать или удалить не только администраторы";
    case TTrustFault::ParentDeletes:
        return L"папка над ней позволяет переименовать или удалить её не только администраторам";
    case TTrustFault::Missing:
        return L"её нет";
    }
    return {};
}

std::optional<TLevelRefusal> RefusedLevel(const std::vector<TSecurityFacts>& chain,
                                          std::wstring_view systemOwner) {
    for (std::size_t level = 1; level <= chain.size(); ++level) {
        const TSecurityFacts& parent = chain[level - 1];
        if (!parent.Known)
            return TLevelRefusal{level, TTrustFault::Unknown};
        if (OthersHold(parent, DeleteChildRights, systemOwner))
            return TLevelRefusal{level, TTrustFault::ParentDeletes};
        if (level == chain.size())
            break;
        const TTrustFault fault =
            OwnFault(chain[level], DeleteRights, TTrustFault::OthersDelete, systemOwner);
        if (fault != TTrustFault::None)
            return TLevelRefusal{level, fault};
    }
    return std::nullopt;
}

std::wstring LevelRefusalText(const std::wstring& level, TTrustFault fault) {
    return L"Папку " + Quoted(level) + L" может подменить обычный пользователь: " + TrustFaultText(fault) +
           L". Программа установки с правами администратора в такую папку не устанавливает: выберите другую "
           L"папку (например, «C:\\Dedira» или папку в «C:\\Program Files»).";
}

std::wstring NoAccessListsText(const std::wstring& target) {
    return L"Диск папки " + Quoted(target) +
           L" не хранит прав доступа (FAT, exFAT): защитить на нём программы комплекса от изменения "
           L"обычными пользователями нельзя. Выберите папку на диске NTFS.";
}

bool TakeOverNeeded(const TSecurityFacts& facts, std::wstring_view systemOwner) {
    if (AdminFolderFault(facts, systemOwner) != TTrustFault::None)
        return true;
    if (!IsTrustedOwner(systemOwner))
        return false;
    for (const TAccessEntry& entry : facts.Entries)
        if (entry.Allows && SameText(entry.Sid, AccountSid::Users) && !(entry.Flags & InheritOnly))
            return false;
    return true;
}

TTrustFault AdminFolderFault(const TSecurityFacts& facts, std::wstring_view systemOwner) {
    return OwnFault(facts, ChangeRights, TTrustFault::OthersChange, systemOwner);
}

TTrustFault TrustedLinkFault(std::wstring_view relative, const TSecurityFacts& link,
                             const TSecurityFacts& parent) {
    if (!SameText(relative, L"DTAfb"))
        return TTrustFault::Link;
    if (!link.Known || !parent.Known)
        return TTrustFault::Unknown;
    if (!IsTrustedOwner(link.Owner))
        return TTrustFault::ForeignOwner;
    // Where a link leads is changed through its attributes' right as well as its data's.
    if (OthersHold(link, ChangeRights | AccessRight::WriteAttributes, {}))
        return TTrustFault::OthersChange;
    if (OthersHold(parent, DeleteChildRights, {}))
        return TTrustFault::ParentDeletes;
    return TTrustFault::None;
}

TTrustFault ForeignPackageFault(const TSecurityFacts& folder, const TSecurityFacts& script,
                                std::wstring_view systemOwner) {
    const TTrustFault fault = OwnFault(folder, ChangeRights, TTrustFault::OthersChange, systemOwner);
    if (fault != TTrustFault::None)
        return fault;
    return OwnFault(script, ChangeRights, TTrustFault::OthersChange, systemOwner);
}

std::wstring PackagePassedOverText(const std::wstring& package, TTrustFault fault) {
    std::wstring why;
    switch (fault) {
    case TTrustFault::ForeignOwner:
        why = L"его владелец — не администратор";
        break;
    case TTrustFault::OthersChange:
    case TTrustFault::OthersDelete:
    case TTrustFault::ParentDeletes:
        why = L"его могут изменить не только администраторы";
        break;
    case TTrustFault::Link:
        why = L"он — ссылка";
        break;
    case TTrustFault::Missing:
        why = L"в нём нет сценария установки";
        break;
    case TTrustFault::None:
    case TTrustFault::Unknown:
        why = L"не удалось узнать его владельца и права доступа";
        break;
    }
    return L"Пакет выпуска " + Quoted(package) + L" пропущен: его нет на носителе, а " + why + L".";
}

std::wstring ScriptNotTheMediumsText(const std::wstring& package) {
    return L"Сценарий установки пакета " + Quoted(package) +
           L" в папке комплекса отличается от сценария на носителе: он не запущен.";
}
