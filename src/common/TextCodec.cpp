// Portable conversions; wchar_t is 16 bits on Windows and 32 bits elsewhere, so code points go through
// AppendCodePoint / NextCodePoint, which know both.
#include "common/TextCodec.h"

#include <array>
#include <cstdint>

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

void AppendCodePoint(std::wstring& out, char32_t c) {
    if (c > 0x10FFFF || IsSurrogate(c))
        c = Replacement;
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

// Reads one code point at `pos` and advances; a lone surrogate or an out-of-range value gives U+FFFD.
char32_t NextCodePoint(std::wstring_view text, std::size_t& pos) {
    char32_t c = static_cast<char32_t>(text[pos++]);
    if constexpr (sizeof(wchar_t) == 2) {
        c &= 0xFFFF;
        if (c >= 0xD800 && c <= 0xDBFF && pos < text.size()) {
            char32_t low = static_cast<char32_t>(text[pos]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ++pos;
                return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
        }
    }
    if (c > 0x10FFFF || IsSurrogate(c))
        return Replacement;
    return c;
}

// Windows-1251, bytes 0x80..0xFF; 0x98 is unassigned.
constexpr std::array<char16_t, 128> Cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";

} // namespace

std::wstring Utf8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        int extra = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            AppendCodePoint(out, Replacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        for (; j < bytes.size() && j <= i + static_cast<std::size_t>(extra); ++j) {
            const auto next = static_cast<unsigned char>(bytes[j]);
            if ((next & 0xC0) != 0x80)
                break;
            c = (c << 6) | (next & 0x3F);
        }
        // A truncated or overlong sequence is one replacement; the byte that broke it starts afresh.
        if (j != i + 1 + static_cast<std::size_t>(extra) || c < minimum)
            c = Replacement;
        AppendCodePoint(out, c);
        i = j;
    }
    return out;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = NextCodePoint(text, pos);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring Utf16LeToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    for (std::size_t k = 0; k < units; ++k) {
        char32_t c = unit(k);
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        }
        AppendCodePoint(out, c);
    }
    if (bytes.size() % 2 != 0)
        AppendCodePoint(out, Replacement);
    return out;
}

std::string WideToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = NextCodePoint(text, pos);
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::wstring Cp1251ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        out.push_back(byte < 0x80 ? static_cast<wchar_t>(byte)
                                  : static_cast<wchar_t>(Cp1251High[byte - 0x80]));
    }
    return out;
}

std::string WideToCp1251(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = NextCodePoint(text, pos);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        if (c >= 0x0410 && c <= 0x044F) {
            mapped = static_cast<char>(0xC0 + (c - 0x0410));
        } else {
            for (std::size_t k = 0; k < Cp1251High.size(); ++k)
                if (Cp1251High[k] == c && c != Replacement) {
                    mapped = static_cast<char>(0x80 + k);
                    break;
                }
        }
        out.push_back(mapped);
    }
    return out;
}

TDecodedText DecodeText(std::string_view bytes) {
    if (StartsWith(bytes, Utf8Mark))
        return {Utf8ToWide(bytes.substr(Utf8Mark.size())), TTextEncoding::Utf8};
    if (StartsWith(bytes, Utf16LeMark))
        return {Utf16LeToWide(bytes.substr(Utf16LeMark.size())), TTextEncoding::Utf16Le};
    return {AnsiToWide(bytes), TTextEncoding::Ansi};
}

std::string EncodeText(std::wstring_view text, TTextEncoding encoding) {
    switch (encoding) {
    case TTextEncoding::Utf8:
        return std::string(Utf8Mark) + WideToUtf8(text);
    case TTextEncoding::Utf16Le:
        return std::string(Utf16LeMark) + WideToUtf16Le(text);
    case TTextEncoding::Ansi:
        break;
    }
    return WideToAnsi(text);
}
