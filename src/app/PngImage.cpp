#include "app/PngImage.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/StbImage.h"
#include "common/Error.h"

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
constexpr std::uint32_t MaxSide = STBI_MAX_DIMENSIONS;

enum TColourType : std::uint8_t { Grey = 0, Truecolour = 2, GreyAlpha = 4, TruecolourAlpha = 6 };

// What the walk over the chunks learned that stb_image's pixels must be checked or mended against.
struct TLayout {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    // A transparent colour with a sample above 255, which no 8-bit pixel can match: stb_image keeps only
    // its low byte and would make pixels of that value transparent.
    bool KeyOutOfRange = false;
    // Whether a data chunk is empty, and where the end chunk ends.
    bool EmptyData = false;
    std::size_t End = 0;
};

// stb_image reads the pixels, but it checks no CRC, so damage inside a chunk would come out as other
// pixels; and it reads kinds of image (other depths, palettes, interlacing) whose conversion to 8-bit
// colour is not the imaging component's. This walk refuses both before stb_image sees the file.
TLayout CheckChunks(std::span<const std::uint8_t> png) {
    if (png.size() < sizeof(Signature) || !std::equal(Signature, Signature + sizeof(Signature), png.begin()))
        throw TError(L"это не изображение PNG");

    TLayout layout;
    unsigned channels = 0;
    std::uint8_t colourType = 0;
    std::size_t dataSize = 0;
    bool data = false;
    for (std::size_t at = sizeof(Signature);;) {
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
        const bool first = at == sizeof(Signature);
        at += 12 + std::size_t{length};

        if (first) {
            if (type != "IHDR" || length != 13)
                Damaged();
            layout.Width = BigEndian(&chunk[0]);
            layout.Height = BigEndian(&chunk[4]);
            colourType = chunk[9];
            if (layout.Width == 0 || layout.Height == 0 || layout.Width > MaxSide ||
                layout.Height > MaxSide || chunk[10] != 0 || chunk[11] != 0)
                Damaged();
            channels = colourType == Grey              ? 1
                       : colourType == GreyAlpha       ? 2
                       : colourType == Truecolour      ? 3
                       : colourType == TruecolourAlpha ? 4
                                                       : 0;
            if (chunk[8] != 8 || chunk[12] != 0 || channels == 0)
                Unsupported(); // another depth, interlaced, or a palette
        } else if (type == "IDAT") {
            data = true;
            dataSize += length;
            layout.EmptyData |= length == 0;
        } else if (type == "IEND") {
            layout.End = at;
            break;
        } else if (type == "tRNS" && (colourType == Grey || colourType == Truecolour)) {
            if (length != (colourType == Grey ? 2u : 6u))
                Damaged();
            for (std::size_t i = 0; i < length; i += 2)
                layout.KeyOutOfRange |= chunk[i] != 0;
        } else if (type == "IHDR" || (!(type[0] & 0x20) && type != "PLTE")) {
            // A second header, or a critical chunk not known here (stb_image would take Apple's CgBI).
            Unsupported();
        }
    }
    // The longest copy of deflate, 258 bytes, costs at least two bits: a header whose rows the data could
    // not fill is refused before stb_image reserves memory for them.
    constexpr std::size_t MostPerPackedByte = 1032;
    const std::size_t rawSize = (std::size_t{layout.Width} * channels + 1) * layout.Height;
    if (!data || (dataSize <= SIZE_MAX / MostPerPackedByte && rawSize > dataSize * MostPerPackedByte))
        Damaged();
    if (png.size() > INT_MAX)
        Damaged();
    return layout;
}

// The file without its empty data chunks, up to its end chunk. stb_image copies an empty data chunk that
// comes before the others through a null pointer; such chunks hold nothing, and ordinary encoders write none.
std::vector<std::uint8_t> WithoutEmptyData(std::span<const std::uint8_t> png, std::size_t end) {
    std::vector<std::uint8_t> copy(png.begin(), png.begin() + sizeof(Signature));
    for (std::size_t at = sizeof(Signature); at < end;) {
        const std::size_t size = 12 + std::size_t{BigEndian(&png[at])};
        if (size != 12 || std::memcmp(&png[at + 4], "IDAT", 4) != 0)
            copy.insert(copy.end(), png.begin() + static_cast<std::ptrdiff_t>(at),
                        png.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return copy;
}

struct TStbFree {
    void operator()(stbi_uc* pixels) const noexcept { stbi_image_free(pixels); }
};

} // namespace

TBitmap32 DecodePng(std::span<const std::uint8_t> png) {
    const TLayout layout = CheckChunks(png);
    std::vector<std::uint8_t> mended;
    if (layout.EmptyData) {
        mended = WithoutEmptyData(png, layout.End);
        png = mended;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    // Four channels whatever the file holds: stb_image adds opaque alpha, or the transparent colour's.
    const std::unique_ptr<stbi_uc, TStbFree> rgba(
        stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 4));
    if (!rgba) {
        const char* reason = stbi_failure_reason();
        // The one reason that is no damage of the file.
        if (reason && std::strcmp(reason, "outofmem") == 0)
            throw TError(L"не хватило памяти, чтобы прочитать изображение PNG");
        std::wstring text = L"изображение PNG повреждено";
        if (reason)
            text.append(L" (").append(reason, reason + std::strlen(reason)).append(L")");
        throw TError(text);
    }
    if (static_cast<std::uint32_t>(width) != layout.Width ||
        static_cast<std::uint32_t>(height) != layout.Height)
        Damaged();

    TBitmap32 image(width, height);
    const std::uint32_t opaque = layout.KeyOutOfRange ? 0xFF000000u : 0;
    const stbi_uc* p = rgba.get();
    std::uint32_t* pixel = image.Bits();
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i, p += 4)
        pixel[i] = Argb(p[3], p[0], p[1], p[2]) | opaque;
    return image;
}
