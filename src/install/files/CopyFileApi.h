// The read, write and flush functions a file copy goes through, as a table that tests may point at their
// own fakes to make a copy fail half-way or its content miss the disk.
#pragma once

#include <windows.h>

struct TCopyFileApi {
    decltype(&::ReadFile) Read = &::ReadFile;
    decltype(&::WriteFile) Write = &::WriteFile;
    decltype(&::FlushFileBuffers) Flush = &::FlushFileBuffers;
};

TCopyFileApi& CopyFileApi() noexcept;
