// The run log's file: UTF-8 with a byte-order mark, each line written through at once, so a run that is
// killed still leaves its record up to the last event.
#pragma once

#include <string>
#include <string_view>

#include "common/HandlesWin.h"
#include "common/LocalTime.h"

class TRunLogFile {
public:
    // Creates the file anew, never following a link in its place and never writing over a file that is there:
    // a taken name is given "-2", "-3", ... before its extension (FileName says which). Throws TError naming
    // it when that is not possible.
    explicit TRunLogFile(std::wstring fileName);
    const std::wstring& FileName() const noexcept { return FFileName; }
    // Appends; a failure to write is not worth stopping an installation for.
    void Write(std::string_view utf8) noexcept;

private:
    std::wstring FFileName;
    TUniqueFile FFile;
};

// The user's temporary folder, then "TessaroSetup-YYYYMMDD-HHMMSS.log". The system account's temporary folder
// is one every user may write into: its logs go to "%ProgramData%\Tessaro-Holter\Logs\", a folder of the
// administrators' (made so, or moved aside and made anew; the temporary folder where that cannot be done).
std::wstring DefaultRunLogPath(const TLocalTime& now);
