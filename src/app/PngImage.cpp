#include "app/PngImage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "common/Inflate.h"

namespace {

[[noreturn]] void Damaged() {
    throw TError(L"изображение PNG повреждено");
}

[[noreturn]] void Unsupported() {
    throw TError(L"такой вид изображения PNG не поддерживается");
}

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

constexpr std::array<std::uint32_t, 256> CrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    static constexpr std::array<std::uint32_t, 256> Table = CrcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes)
        c = Table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

constexpr std::uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Far above the skin's sizes; a damaged header cannot make it reserve more than the data fills anyway.
constexpr std::uint32_t MaxSide = 16384;

enum TColourType : std::uint8_t { Grey = 0, Truecolour = 2, GreyAlpha = 4, TruecolourAlpha = 6 };

unsigned Channels(std::uint8_t colourType) {
    switch (colourType) {
    case Grey:
        return 1;
    case Truecolour:
        return 3;
    case GreyAlpha:
        return 2;
    case TruecolourAlpha:
        return 4;
    default:
        Unsupported();
    }
}

int Paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = estimate > left ? estimate - left : left - estimate;
    const int toUp = estimate > up ? estimate - up : up - estimate;
    const int toUpLeft = estimate > upLeft ? estimate - upLeft : upLeft - estimate;
    if (toLeft <= toUp && toLeft <= toUpLeft)
        return left;
    return toUp <= toUpLeft ? up : upLeft;
}

// row[i] += above[i] for every byte, four bytes at a time where it can: most rows of the skin's large
// panel image repeat the row above.
void AddBytes(std::uint8_t* row, const std::uint8_t* above, std::size_t count) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t a;
        std::uint32_t b;
        std::memcpy(&a, row + i, 4);
        std::memcpy(&b, above + i, 4);
        // Each byte's sum modulo 256: the low seven bits add without carrying into the next byte, and the
        // top bit is the exclusive or of the two top bits and the carry into it.
        const std::uint32_t sum = ((a & 0x7F7F7F7Fu) + (b & 0x7F7F7F7Fu)) ^ ((a ^ b) & 0x80808080u);
        std::memcpy(row + i, &sum, 4);
    }
    for (; i < count; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + above[i]);
}

// Undoes the filter of one row in place: `row` starts with its filter type, `above` (null for the first
// row) is the row before it, already undone.
void Unfilter(std::uint8_t* row, const std::uint8_t* above, std::size_t rowBytes, unsigned pixelBytes) {
    const std::uint8_t type = *row++;
    if (above)
        ++above;
    switch (type) {
    case 0:
        break;
    case 1:
        for (std::size_t i = pixelBytes; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + row[i - pixelBytes]);
        break;
    case 2:
        if (above)
            AddBytes(row, above, rowBytes);
        break;
    case 3:
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const unsigned left = i >= pixelBytes ? row[i - pixelBytes] : 0;
            const unsigned up = above ? above[i] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + ((left + up) >> 1));
        }
        break;
    case 4:
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
            const int up = above ? above[i] : 0;
            const int upLeft = above && i >= pixelBytes ? above[i - pixelBytes] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + Paeth(left, up, upLeft));
        }
        break;
    default:
        Damaged();
    }
}

} // namespace

TBitmap32 DecodePng(std::span<const std::uint8_t> png) {
    if (png.size() < sizeof(Signature) || !std::equal(Signature, Signature + sizeof(Signature), png.begin()))
        throw TError(L"это не изображение PNG");

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t colourType = 0;
    bool header = false;
    bool end = false;
    // The transparent colour of an image without alpha, when it has one.
    bool keyed = false;
    std::array<std::uint16_t, 3> key{};
    std::vector<std::span<const std::uint8_t>> data;
    std::size_t dataSize = 0;

    for (std::size_t at = sizeof(Signature); !end;) {
        if (png.size() - at < 12)
            Damaged();
        const std::uint32_t length = BigEndian(&png[at]);
        if (length > 0x7FFFFFFFu || png.size() - at - 12 < length)
            Damaged();
        const auto typed = png.subspan(at + 4, 4 + std::size_t{length}); // the type and the data
        if (Crc32(typed) != BigEndian(&png[at + 8 + length]))
            Damaged();
        const auto chunk = typed.subspan(4);
        const std::string_view type(reinterpret_cast<const char*>(typed.data()), 4);
        at += 12 + std::size_t{length};

        if (!header) {
            if (type != "IHDR" || length != 13)
                Damaged();
            header = true;
            width = BigEndian(&chunk[0]);
            height = BigEndian(&chunk[4]);
            colourType = chunk[9];
            if (width == 0 || height == 0 || width > MaxSide || height > MaxSide || chunk[10] != 0 ||
                chunk[11] != 0)
                Damaged();
            if (chunk[8] != 8 || chunk[12] != 0)
                Unsupported(); // another depth, or interlaced
            Channels(colourType);
        } else if (type == "IDAT") {
            data.push_back(chunk);
            dataSize += chunk.size();
        } else if (type == "IEND") {
            end = true;
        } else if (type == "tRNS" && (colourType == Grey || colourType == Truecolour)) {
            if (length != (colourType == Grey ? 2u : 6u))
                Damaged();
            keyed = true;
            for (std::size_t i = 0; i < length / 2; ++i)
                key[i] = static_cast<std::uint16_t>((chunk[2 * i] << 8) | chunk[2 * i + 1]);
            if (colourType == Grey)
                key[1] = key[2] = key[0];
        } else if (type == "IHDR" || (!(type[0] & 0x20) && type != "PLTE")) {
            // A second header, or a critical chunk this reader does not know.
            Unsupported();
        }
        // Ancillary chunks (gamma, colour profiles, texts), and a truecolour image's suggested palette,
        // change nothing in the pixels as stored.
    }
    if (data.empty())
        Damaged();

    // One data chunk is read in place; several are joined first.
    std::vector<std::uint8_t> joined;
    std::span<const std::uint8_t> stream = data.front();
    if (data.size() > 1) {
        joined.reserve(dataSize);
        for (const auto& part : data)
            joined.insert(joined.end(), part.begin(), part.end());
        stream = joined;
    }
    const unsigned channels = Channels(colourType);
    const std::size_t rowBytes = std::size_t{width} * channels;
    const std::size_t rawSize = (rowBytes + 1) * height;
    // Sized from the header only once the data could fill it; not cleared, since the unpacking fills it.
    if (rawSize > MostUnpackedFrom(stream.size()))
        Damaged();
    const std::unique_ptr<std::uint8_t[]> raw(new std::uint8_t[rawSize]);
    // The chunks' CRCs have checked every packed byte; the stream's own sum would only check the unpacking.
    InflateZlib(stream, {raw.get(), rawSize}, TStreamSum::Trust);

    TBitmap32 image(static_cast<int>(width), static_cast<int>(height));
    std::uint32_t* pixel = image.Bits();
    for (std::size_t y = 0; y < height; ++y) {
        // Each row is undone and turned into pixels while it is at hand.
        std::uint8_t* row = raw.get() + y * (rowBytes + 1);
        Unfilter(row, y ? row - (rowBytes + 1) : nullptr, rowBytes, channels);
        const std::uint8_t* p = row + 1;
        // One loop per colour type: the loops stay free of branches, and the large images are read fast.
        switch (colourType) {
        case TruecolourAlpha:
            for (std::size_t x = 0; x < width; ++x, p += 4)
                *pixel++ = Argb(p[3], p[0], p[1], p[2]);
            break;
        case Truecolour:
            for (std::size_t x = 0; x < width; ++x, p += 3)
                *pixel++ = Argb(keyed && p[0] == key[0] && p[1] == key[1] && p[2] == key[2] ? 0 : 255, p[0],
                                p[1], p[2]);
            break;
        case GreyAlpha:
            for (std::size_t x = 0; x < width; ++x, p += 2)
                *pixel++ = Argb(p[1], p[0], p[0], p[0]);
            break;
        default:
            for (std::size_t x = 0; x < width; ++x, ++p)
                *pixel++ = Argb(keyed && p[0] == key[0] ? 0 : 255, p[0], p[0], p[0]);
            break;
        }
    }
    return image;
}
