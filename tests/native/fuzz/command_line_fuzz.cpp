// Any text as the program's command line: the parser never fails, a refused line keeps nothing that acts
// (no folder, removal, clean-up or option), an accepted one has no quote left open and no empty value, and
// a mode or a switch that asks for no boxes is always found in the raw text too.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "session/CommandLine.h"
#include "common/TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::wstring_view arguments = SkipProgramName(text);
    if (text.compare(text.size() - arguments.size(), arguments.size(), arguments) != 0)
        std::abort();

    const TCommandLine line = ParseCommandLine(arguments);
    if (!line.Error.empty()) {
        if (line.Dir || line.Uninstall || line.FinishUninstall || line.Help || line.NoDriver ||
            line.WindowsXP)
            std::abort();
    } else {
        if (std::count(arguments.begin(), arguments.end(), L'"') % 2 != 0)
            std::abort();
        if ((line.Dir && line.Dir->empty()) || (line.Log && line.Log->empty()))
            std::abort();
    }
    if ((line.Mode == TUiMode::VerySilent || line.SuppressMsgBoxes) && !NamesQuietSwitch(arguments))
        std::abort();
    return 0;
}
