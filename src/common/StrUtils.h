// Small text helpers shared by the wizard's pages and the installation run.
#pragma once

#include <string>
#include <string_view>

// Removes every leading and trailing character of code 32 or below.
std::wstring TrimControl(std::wstring_view text);
