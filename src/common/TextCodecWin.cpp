// The ANSI code page is whatever the system runs with (CP_ACP), as the profile-string service reads it.
#include "common/TextCodec.h"

#include <windows.h>

#include <climits>

std::wstring AnsiToWide(std::string_view bytes) {
    std::wstring out;
    // Chunks keep the int lengths of the API in range; a chunk may split a DBCS pair, which then shows as
    // one replacement character, an acceptable loss for such a file.
    constexpr std::size_t chunk = 1 << 24;
    for (std::size_t done = 0; done < bytes.size(); done += chunk) {
        const std::string_view part = bytes.substr(done, chunk);
        const int size = static_cast<int>(part.size());
        const int length = ::MultiByteToWideChar(CP_ACP, 0, part.data(), size, nullptr, 0);
        if (length <= 0)
            continue;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(length));
        ::MultiByteToWideChar(CP_ACP, 0, part.data(), size, out.data() + at, length);
    }
    return out;
}

std::string WideToAnsi(std::wstring_view text) {
    std::string out;
    constexpr std::size_t chunk = 1 << 22;
    for (std::size_t done = 0; done < text.size(); done += chunk) {
        std::wstring_view part = text.substr(done, chunk);
        const int size = static_cast<int>(part.size());
        const int length = ::WideCharToMultiByte(CP_ACP, 0, part.data(), size, nullptr, 0, nullptr, nullptr);
        if (length <= 0)
            continue;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(length));
        ::WideCharToMultiByte(CP_ACP, 0, part.data(), size, out.data() + at, length, nullptr, nullptr);
    }
    return out;
}
