// The run log's file: UTF-8 with a byte-order mark, each line written through at once, so a run that is
// killed still leaves its record up to the last event.
#pragma once

#include <string>
#include <string_view>

#include "common/HandlesWin.h"
#include "common/LocalTime.h"

class TRunLogFile {
public:
    // Creates (or empties) the file; throws TError naming it when that is not possible.
    explicit TRunLogFile(std::wstring fileName);
    const std::wstring& FileName() const noexcept { return FFileName; }
    // Appends; a failure to write is not worth stopping an installation for.
    void Write(std::string_view utf8) noexcept;

private:
    std::wstring FFileName;
    TUniqueFile FFile;
};

// The user's temporary folder, then "TessaroSetup-YYYYMMDD-HHMMSS.log".
std::wstring DefaultRunLogPath(const TLocalTime& now);
