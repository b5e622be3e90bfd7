// A stand-in for what the system reports of owners and lists (install/trust/FolderAccess.h): Wine gives every
// file one owner and keeps no lists, so a case says of the paths it names who owns them and who may change
// them; every other path is answered by the system. Put in place for the case's life.
#pragma once

#include <map>
#include <string>

#include "common/StrUtils.h"
#include "install/trust/FolderAccess.h"

class TAccessFactsKit : public IAccessFacts {
public:
    TAccessFactsKit() { SetAccessFacts(this); }
    ~TAccessFactsKit() override { SetAccessFacts(nullptr); }
    TAccessFactsKit(const TAccessFactsKit&) = delete;
    TAccessFactsKit& operator=(const TAccessFactsKit&) = delete;

    // `path` (no final "\") is owned by an ordinary user, who may change it.
    void UsersOwn(const std::wstring& path) {
        TSecurityFacts facts;
        facts.Known = true;
        facts.Owner = Bob;
        facts.Entries = {{AccountSid::Users, AccessRight::Modify, AccessFlag::Inheritable, true}};
        FFacts[Key(path)] = facts;
    }
    // `path` is the administrators' and no one else may change it.
    void AdministratorsOwn(const std::wstring& path) {
        const TAccessList list = SuiteFolderAccess();
        TSecurityFacts facts;
        facts.Known = true;
        facts.Owner = list.Owner;
        facts.Entries = list.Entries;
        facts.Protected = true;
        FFacts[Key(path)] = facts;
    }
    bool KeepsLists = true;
    static constexpr wchar_t Bob[] = L"S-1-5-21-1-2-3-1001";

    TSecurityFacts Security(HANDLE Object, const std::wstring& Path) override {
        const auto found = FFacts.find(Key(Path));
        if (found == FFacts.end())
            return SystemAccessFacts().Security(Object, Path);
        TSecurityFacts facts = found->second;
        facts.ReparsePoint = SystemAccessFacts().Security(Object, Path).ReparsePoint;
        return facts;
    }
    bool KeepsAccessLists(HANDLE Object, const std::wstring& Path) override {
        return KeepsLists && SystemAccessFacts().KeepsAccessLists(Object, Path);
    }
    std::wstring SystemOwner() override { return SystemAccessFacts().SystemOwner(); }

private:
    struct TLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const { return LessText(a, b); }
    };
    static std::wstring Key(const std::wstring& path) { return WithoutTrailingBackslash(path); }
    std::map<std::wstring, TSecurityFacts, TLess> FFacts;
};
