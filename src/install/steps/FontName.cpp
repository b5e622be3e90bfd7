#include "install/steps/FontName.h"

#include <cstdint>
#include <optional>

namespace {

constexpr std::uint32_t TagTtc = 0x74746366;  // "ttcf"
constexpr std::uint32_t TagName = 0x6E616D65; // "name"

constexpr std::uint16_t PlatformUnicode = 0;
constexpr std::uint16_t PlatformMacintosh = 1;
constexpr std::uint16_t PlatformWindows = 3;
constexpr std::uint16_t LanguageUsEnglish = 0x0409;
constexpr std::uint16_t NameFull = 4;
constexpr std::uint16_t NameFamily = 1;

// Big-endian reads that give nothing past the end.
class TReader {
public:
    explicit TReader(std::string_view bytes) : FBytes(bytes) {}
    std::optional<std::uint16_t> U16(std::size_t at) const {
        if (at > FBytes.size() || FBytes.size() - at < 2)
            return std::nullopt;
        return static_cast<std::uint16_t>(Byte(at) << 8 | Byte(at + 1));
    }
    std::optional<std::uint32_t> U32(std::size_t at) const {
        const auto high = U16(at), low = U16(at + 2);
        if (!high || !low)
            return std::nullopt;
        return static_cast<std::uint32_t>(*high) << 16 | *low;
    }
    std::optional<std::string_view> Span(std::size_t at, std::size_t size) const {
        if (at > FBytes.size() || FBytes.size() - at < size)
            return std::nullopt;
        return FBytes.substr(at, size);
    }

private:
    unsigned Byte(std::size_t at) const { return static_cast<unsigned char>(FBytes[at]); }
    std::string_view FBytes;
};

std::optional<std::size_t> NameTableOffset(const TReader& file) {
    std::size_t font = 0;
    const auto tag = file.U32(0);
    if (!tag)
        return std::nullopt;
    if (*tag == TagTtc) {
        const auto first = file.U32(12);
        if (!first)
            return std::nullopt;
        font = *first;
    }
    const auto tables = file.U16(font + 4);
    if (!tables)
        return std::nullopt;
    for (std::size_t i = 0; i < *tables; ++i) {
        const std::size_t record = font + 12 + i * 16;
        const auto recordTag = file.U32(record);
        if (!recordTag)
            return std::nullopt;
        if (*recordTag == TagName) {
            const auto offset = file.U32(record + 8);
            if (!offset)
                return std::nullopt;
            return *offset;
        }
    }
    return std::nullopt;
}

std::wstring Utf16Be(std::string_view bytes) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) << 8 |
                                     static_cast<unsigned char>(bytes[i + 1]));
    return text;
}

// Macintosh Roman: the ASCII half as it stands; the rest is not worth a table for a font's name.
std::wstring MacRoman(std::string_view bytes) {
    std::wstring text;
    for (char c : bytes)
        text += static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?';
    return text;
}

// Lower is better; nullopt for records that cannot serve.
std::optional<int> Preference(std::uint16_t platform, std::uint16_t encoding, std::uint16_t language) {
    if (platform == PlatformWindows && (encoding == 1 || encoding == 10 || encoding == 0))
        return language == LanguageUsEnglish ? 0 : 1;
    if (platform == PlatformUnicode)
        return 2;
    if (platform == PlatformMacintosh && encoding == 0)
        return language == 0 ? 3 : 4;
    return std::nullopt;
}

std::wstring NameOf(const TReader& file, std::size_t table, std::uint16_t wanted) {
    const auto count = file.U16(table + 2);
    const auto strings = file.U16(table + 4);
    if (!count || !strings)
        return {};
    std::optional<int> best;
    std::wstring result;
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t record = table + 6 + i * 12;
        const auto platform = file.U16(record), encoding = file.U16(record + 2),
                   language = file.U16(record + 4), id = file.U16(record + 6), length = file.U16(record + 8),
                   offset = file.U16(record + 10);
        if (!offset)
            break;
        if (*id != wanted)
            continue;
        const auto preference = Preference(*platform, *encoding, *language);
        if (!preference || (best && *best <= *preference))
            continue;
        const auto bytes = file.Span(table + *strings + *offset, *length);
        if (!bytes)
            continue;
        std::wstring text = *platform == PlatformMacintosh ? MacRoman(*bytes) : Utf16Be(*bytes);
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        if (text.empty())
            continue;
        best = preference;
        result = std::move(text);
    }
    return result;
}

} // namespace

std::wstring FontFullName(std::string_view fontFile) {
    const TReader file(fontFile);
    const auto table = NameTableOffset(file);
    if (!table)
        return {};
    std::wstring name = NameOf(file, *table, NameFull);
    if (name.empty())
        name = NameOf(file, *table, NameFamily);
    return name;
}
