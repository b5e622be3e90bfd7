// Shared constants of the suite and its vocabulary tables.
#pragma once

#include <string_view>

// Name of the settings sub-folder, with its trailing backslash.
inline constexpr std::wstring_view SettingsDir = L"Settings\\";
