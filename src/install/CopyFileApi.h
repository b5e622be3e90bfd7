// The read and write functions a file copy goes through, as a table that tests may point at their own
// fakes to make a copy fail half-way.
#pragma once

#include <windows.h>

struct TCopyFileApi {
    decltype(&::ReadFile) Read = &::ReadFile;
    decltype(&::WriteFile) Write = &::WriteFile;
};

TCopyFileApi& CopyFileApi() noexcept;
