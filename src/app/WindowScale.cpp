#include "app/WindowScale.h"

#include <algorithm>
#include <array>
#include <charconv>

int Scaled(int designLength, int pixelsPerInch) {
    return ScaleSize(designLength, pixelsPerInch, DesignPixelsPerInch);
}

int Unscaled(int length, int pixelsPerInch) {
    return ScaleSize(length, DesignPixelsPerInch, pixelsPerInch);
}

TRect Scaled(const TRect& design, int pixelsPerInch) {
    const int left = Scaled(design.Left, pixelsPerInch);
    const int top = Scaled(design.Top, pixelsPerInch);
    return {left, top, Scaled(design.Left + design.Width, pixelsPerInch) - left,
            Scaled(design.Top + design.Height, pixelsPerInch) - top};
}

TRect Scaled(const TRect& design, int pixelsPerInch, TPoint parentOrigin) {
    const TRect inWindow =
        Scaled({design.Left + parentOrigin.Left, design.Top + parentOrigin.Top, design.Width, design.Height},
               pixelsPerInch);
    return {inWindow.Left - Scaled(parentOrigin.Left, pixelsPerInch),
            inWindow.Top - Scaled(parentOrigin.Top, pixelsPerInch), inWindow.Width, inWindow.Height};
}

int FittingFontHeight(int designHeight, int pixelsPerInch, const std::function<bool(int height)>& linesFit) {
    const int scaled = Scaled(designHeight, pixelsPerInch);
    if (scaled <= designHeight)
        return scaled;
    const int lowest = std::max(designHeight, scaled - std::max(1, scaled / 12));
    for (int height = scaled; height > lowest; --height)
        if (linesFit(height))
            return height;
    return lowest;
}

int FitPixelsPerInch(int pixelsPerInch, TSize designClient, TSize frame, TSize workArea) {
    if (pixelsPerInch <= DesignPixelsPerInch)
        return pixelsPerInch > 0 ? pixelsPerInch : DesignPixelsPerInch;
    auto fits = [&](int candidate) {
        return Scaled(designClient.Width, candidate) + frame.Width <= workArea.Width &&
               Scaled(designClient.Height, candidate) + frame.Height <= workArea.Height;
    };
    // The scaled size grows with the resolution: the first that fits, from the top down, is the largest.
    for (int candidate = pixelsPerInch; candidate > DesignPixelsPerInch; --candidate)
        if (fits(candidate))
            return candidate;
    return DesignPixelsPerInch;
}

TPoint KeepInWorkArea(TPoint place, TSize window, const TRect& workArea) {
    const int right = workArea.Left + workArea.Width - window.Width;
    const int bottom = workArea.Top + workArea.Height - window.Height;
    return {std::max(workArea.Left, std::min(place.Left, right)),
            std::max(workArea.Top, std::min(place.Top, bottom))};
}

namespace {
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Half-points (fs) and twips: the control words whose parameter is a length on the screen.
bool IsLength(std::string_view word) {
    constexpr std::array<std::string_view, 10> lengths{"fs",  "li", "ri", "fi", "lin",
                                                       "rin", "sb", "sa", "tx", "tb"};
    return std::find(lengths.begin(), lengths.end(), word) != lengths.end();
}
} // namespace

std::string ScaleRtfLengths(std::string_view rtf, int to, int from) {
    std::string result;
    result.reserve(rtf.size());
    std::size_t i = 0;
    while (i < rtf.size()) {
        if (rtf[i] != '\\' || i + 1 >= rtf.size() || !IsLetter(rtf[i + 1])) {
            // Text, or a control symbol (an escaped character, \'hh): copied, the symbol whole.
            const std::size_t length = rtf[i] == '\\' && i + 1 < rtf.size() ? 2 : 1;
            result.append(rtf.substr(i, length));
            i += length;
            continue;
        }
        std::size_t end = i + 1;
        while (end < rtf.size() && IsLetter(rtf[end]))
            ++end;
        const std::string_view word = rtf.substr(i + 1, end - i - 1);
        const std::size_t number = end;
        if (end < rtf.size() && rtf[end] == '-')
            ++end;
        while (end < rtf.size() && IsDigit(rtf[end]))
            ++end;
        int value = 0;
        const auto parsed = std::from_chars(rtf.data() + number, rtf.data() + end, value);
        if (IsLength(word) && end > number && parsed.ec == std::errc() && parsed.ptr == rtf.data() + end) {
            result += '\\';
            result.append(word);
            result += std::to_string(ScaleSize(value, to, from));
        } else {
            result.append(rtf.substr(i, end - i));
        }
        i = end;
    }
    return result;
}
