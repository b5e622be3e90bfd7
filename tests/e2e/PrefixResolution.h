// The screen resolution of the test prefix, as Wine's programs read it at their start.
#pragma once

#include <windows.h>

#include <optional>

#include "WizardDriver.h"

namespace e2e {

// What every Wine program started from now on takes for the screen's resolution; the value that was there
// before (or its absence) comes back when the object goes.
class TPrefixResolution {
public:
    explicit TPrefixResolution(DWORD pixelsPerInch) {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &FKey, nullptr) != ERROR_SUCCESS)
            throw TDriverError(L"cannot open HKCU\\Control Panel\\Desktop");
        DWORD value = 0;
        DWORD size = sizeof(value);
        DWORD type = 0;
        if (::RegQueryValueExW(FKey, Name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            FPrevious = value;
        Set(pixelsPerInch);
    }
    TPrefixResolution(const TPrefixResolution&) = delete;
    TPrefixResolution& operator=(const TPrefixResolution&) = delete;
    ~TPrefixResolution() {
        if (FPrevious)
            Set(*FPrevious);
        else
            ::RegDeleteValueW(FKey, Name);
        ::RegCloseKey(FKey);
    }

private:
    void Set(DWORD pixelsPerInch) {
        if (::RegSetValueExW(FKey, Name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pixelsPerInch),
                             sizeof(pixelsPerInch)) != ERROR_SUCCESS)
            throw TDriverError(L"cannot set LogPixels");
    }

    static constexpr const wchar_t* Name = L"LogPixels";
    HKEY FKey = nullptr;
    std::optional<DWORD> FPrevious;
};

} // namespace e2e
