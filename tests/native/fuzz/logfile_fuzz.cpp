// Any bytes as a log file: loading never fails, and saving what was loaded keeps every line.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "support/unitMyLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const TLogFileContent loaded = ParseLogFile(bytes);
    const std::string saved = FormatLogFile(loaded);
    const TLogFileContent reloaded = ParseLogFile(saved);
    if (reloaded.Lines.size() != loaded.Lines.size() || reloaded.Encoding != loaded.Encoding)
        std::abort();
    if (FormatLogFile(reloaded) != saved)
        std::abort();
    return 0;
}
