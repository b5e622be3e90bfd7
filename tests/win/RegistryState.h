// Registry state for tests that change the machine's or the user's settings: a key's values read whole,
// put back as they were, and one text value set for a scope.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/HandlesWin.h"

struct TRegistryValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
    bool operator==(const TRegistryValue&) const = default;
};

struct TNoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return ::lstrcmpiW(a.c_str(), b.c_str()) < 0;
    }
};

// Registry names are compared without regard to case, as the registry itself does.
using TRegistryValues = std::map<std::wstring, TRegistryValue, TNoCaseLess>;

inline TRegistryValues ReadRegistryValues(HKEY root, const std::wstring& keyName) {
    TRegistryValues values;
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, keyName.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return values;
    const TUniqueRegKey key(raw);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        TRegistryValue value{type, std::vector<BYTE>(size)};
        nameLength = 16384;
        if (::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, value.Data.data(), &size) ==
            ERROR_SUCCESS) {
            value.Data.resize(size);
            values[std::wstring(name, nameLength)] = std::move(value);
        }
    }
    return values;
}

inline std::optional<std::wstring> ReadRegistryText(HKEY root, const std::wstring& keyName,
                                                    const std::wstring& valueName) {
    const TRegistryValues values = ReadRegistryValues(root, keyName);
    const auto found = values.find(valueName);
    if (found == values.end() || (found->second.Type != REG_SZ && found->second.Type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(reinterpret_cast<const wchar_t*>(found->second.Data.data()),
                      found->second.Data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

inline void WriteRegistryValue(HKEY root, const std::wstring& keyName, const std::wstring& valueName,
                               const TRegistryValue& value) {
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(root, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
        return;
    const TUniqueRegKey key(raw);
    ::RegSetValueExW(key.Get(), valueName.c_str(), 0, value.Type, value.Data.data(),
                     static_cast<DWORD>(value.Data.size()));
}

inline TRegistryValue TextValue(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

inline void DeleteRegistryValue(HKEY root, const std::wstring& keyName, const std::wstring& valueName) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, keyName.c_str(), 0, KEY_ALL_ACCESS, &raw) != ERROR_SUCCESS)
        return;
    const TUniqueRegKey key(raw);
    ::RegDeleteValueW(key.Get(), valueName.c_str());
}

// Every value of a key as it was at construction, put back at destruction: values added since are
// deleted, changed ones rewritten.
class TRegistryKeyGuard {
public:
    TRegistryKeyGuard(HKEY root, std::wstring keyName)
        : FRoot(root), FKeyName(std::move(keyName)), FSaved(ReadRegistryValues(FRoot, FKeyName)) {}
    TRegistryKeyGuard(const TRegistryKeyGuard&) = delete;
    TRegistryKeyGuard& operator=(const TRegistryKeyGuard&) = delete;
    ~TRegistryKeyGuard() { Restore(); }

    const TRegistryValues& Saved() const { return FSaved; }

    void Restore() const {
        for (const auto& [name, value] : ReadRegistryValues(FRoot, FKeyName)) {
            const auto saved = FSaved.find(name);
            if (saved == FSaved.end())
                DeleteRegistryValue(FRoot, FKeyName, name);
            else if (!(saved->second == value))
                WriteRegistryValue(FRoot, FKeyName, saved->first, saved->second);
        }
        const TRegistryValues now = ReadRegistryValues(FRoot, FKeyName);
        for (const auto& [name, value] : FSaved)
            if (!now.contains(name))
                WriteRegistryValue(FRoot, FKeyName, name, value);
    }

private:
    HKEY FRoot;
    std::wstring FKeyName;
    TRegistryValues FSaved;
};

// One value set for a scope and put back (or deleted again) at its end.
class TRegistryValueOverride {
public:
    TRegistryValueOverride(HKEY root, std::wstring keyName, std::wstring valueName,
                           const std::optional<std::wstring>& text)
        : FRoot(root), FKeyName(std::move(keyName)), FValueName(std::move(valueName)) {
        const TRegistryValues values = ReadRegistryValues(FRoot, FKeyName);
        if (const auto found = values.find(FValueName); found != values.end())
            FSaved = found->second;
        if (text)
            WriteRegistryValue(FRoot, FKeyName, FValueName, TextValue(*text));
        else
            DeleteRegistryValue(FRoot, FKeyName, FValueName);
    }
    TRegistryValueOverride(const TRegistryValueOverride&) = delete;
    TRegistryValueOverride& operator=(const TRegistryValueOverride&) = delete;
    ~TRegistryValueOverride() {
        if (FSaved)
            WriteRegistryValue(FRoot, FKeyName, FValueName, *FSaved);
        else
            DeleteRegistryValue(FRoot, FKeyName, FValueName);
    }

private:
    HKEY FRoot;
    std::wstring FKeyName;
    std::wstring FValueName;
    std::optional<TRegistryValue> FSaved;
};
