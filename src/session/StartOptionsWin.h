// The system's side of a start: its facts, and the run log where the start writes its record.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "install/run/RunLog.h"
#include "install/run/RunLogFile.h"
#include "session/StartOptions.h"

// The running program, its folder, the registered folder and the system's full paths.
TStartFacts SystemStartFacts(const TProductTexts& Product);

// The run log: at `Path`, or the temporary folder's dated one. A log that cannot be created is reported (a
// box unless `ShowErrors` is false) and the start goes on without one: the installation matters more than its
// record; `Path` is then empty.
struct TLogSetup {
    std::unique_ptr<TRunLogFile> File;
    std::unique_ptr<TRunLog> Log;
    std::wstring Path;
};
TLogSetup OpenRunLog(const std::optional<std::wstring>& Path, bool ShowErrors);
