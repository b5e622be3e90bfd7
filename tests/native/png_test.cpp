// The skin's PNG reader: our checks around stb_image, on images made here and on the skin's own.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/PngImage.h"
#include "common/Error.h"

namespace {
using TBytes = std::vector<std::uint8_t>;

// A zlib stream of stored blocks: the packing is stb_image's concern, what is around it ours.
TBytes Pack(const TBytes& data) {
    TBytes packed{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t size = std::min<std::size_t>(data.size() - at, 65535);
        const bool last = at + size == data.size();
        packed.insert(packed.end(), {static_cast<std::uint8_t>(last), static_cast<std::uint8_t>(size),
                                     static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(~size),
                                     static_cast<std::uint8_t>(~size >> 8)});
        packed.insert(packed.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                      data.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    } while (at < data.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    const std::uint32_t sum = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8)
        packed.push_back(static_cast<std::uint8_t>(sum >> shift));
    return packed;
}

std::uint32_t Crc32(const TBytes& bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) {
        c ^= byte;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

TBytes Random(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    TBytes bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

struct TChunk {
    std::string Type;
    TBytes Data;
};

TBytes BigEndian(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

TBytes File(const std::vector<TChunk>& chunks) {
    TBytes file{137, 80, 78, 71, 13, 10, 26, 10};
    for (const TChunk& chunk : chunks) {
        const TBytes length = BigEndian(static_cast<std::uint32_t>(chunk.Data.size()));
        file.insert(file.end(), length.begin(), length.end());
        TBytes typed(chunk.Type.begin(), chunk.Type.end());
        typed.insert(typed.end(), chunk.Data.begin(), chunk.Data.end());
        file.insert(file.end(), typed.begin(), typed.end());
        const TBytes crc = BigEndian(Crc32(typed));
        file.insert(file.end(), crc.begin(), crc.end());
    }
    return file;
}

TChunk Header(std::uint32_t width, std::uint32_t height, std::uint8_t colourType, std::uint8_t depth = 8,
              std::uint8_t interlace = 0) {
    TBytes data = BigEndian(width);
    const TBytes h = BigEndian(height);
    data.insert(data.end(), h.begin(), h.end());
    data.insert(data.end(), {depth, colourType, 0, 0, interlace});
    return {"IHDR", data};
}

unsigned ChannelsOf(std::uint8_t colourType) {
    return colourType == 0 ? 1 : colourType == 2 ? 3 : colourType == 4 ? 2 : 4;
}

// The raw image data of `pixels`, rows of `rowBytes` bytes, unfiltered: undoing filters is stb_image's
// work, checked on the skin's own images against the imaging component (tests/win/skin_test.cpp).
TBytes Raw(const TBytes& pixels, std::size_t rowBytes) {
    TBytes raw;
    for (std::size_t at = 0; at < pixels.size(); at += rowBytes) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + static_cast<std::ptrdiff_t>(at),
                   pixels.begin() + static_cast<std::ptrdiff_t>(at + rowBytes));
    }
    return raw;
}

TBytes Png(std::uint32_t width, std::uint32_t height, std::uint8_t colourType, const TBytes& raw,
           const std::vector<TChunk>& extra = {}) {
    std::vector<TChunk> chunks{Header(width, height, colourType)};
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    chunks.push_back({"IDAT", Pack(raw)});
    chunks.push_back({"IEND", {}});
    return File(chunks);
}

// The bitmap's pixels as the file's channels would hold them, for comparing.
std::uint32_t Expected(const TBytes& pixels, std::size_t index, std::uint8_t colourType) {
    const std::uint8_t* p = &pixels[index * ChannelsOf(colourType)];
    switch (colourType) {
    case 0:
        return Argb(255, p[0], p[0], p[0]);
    case 2:
        return Argb(255, p[0], p[1], p[2]);
    case 4:
        return Argb(p[1], p[0], p[0], p[0]);
    default:
        return Argb(p[3], p[0], p[1], p[2]);
    }
}

void ExpectRefused(const TBytes& png) {
    EXPECT_THROW(DecodePng(png), TError);
}
} // namespace

TEST(PngImage, ReadsEveryColourTypeInItsChannels) {
    for (std::uint8_t colourType : {0, 2, 4, 6}) {
        SCOPED_TRACE("colour type " + std::to_string(colourType));
        const unsigned channels = ChannelsOf(colourType);
        const std::uint32_t width = 13, height = 11;
        const TBytes pixels = Random(std::size_t{width} * height * channels, colourType + 10u);
        const TBitmap32 image = DecodePng(Png(width, height, colourType, Raw(pixels, width * channels)));
        ASSERT_EQ(image.Width(), 13);
        ASSERT_EQ(image.Height(), 11);
        for (std::uint32_t i = 0; i < width * height; ++i)
            ASSERT_EQ(image.Bits()[i], Expected(pixels, i, colourType)) << i;
    }
}

TEST(PngImage, SplitDataAndChunksThatChangeNoPixel) {
    const TBytes pixels = Random(4 * 3 * 4, 7);
    const TBytes packed = Pack(Raw(pixels, 16));
    const std::size_t half = packed.size() / 2;
    // Empty data chunks are allowed anywhere among the others, the first place included.
    const TBytes png = File({Header(4, 3, 6),
                             {"gAMA", BigEndian(45455)},
                             {"tEXt", {'a', 0, 'b'}},
                             {"IDAT", {}},
                             {"IDAT", TBytes(packed.begin(), packed.begin() + half)},
                             {"IDAT", {}},
                             {"IDAT", TBytes(packed.begin() + half, packed.end())},
                             {"IEND", {}}});
    const TBitmap32 image = DecodePng(png);
    for (std::uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(image.Bits()[i], Expected(pixels, i, 6)) << i;

    // A truecolour image's suggested palette.
    const TBytes rgb = Random(2 * 2 * 3, 8);
    EXPECT_EQ(DecodePng(Png(2, 2, 2, Raw(rgb, 6), {{"PLTE", {1, 2, 3}}})).Bits()[3], Expected(rgb, 3, 2));
}

TEST(PngImage, TransparentColourOfImagesWithoutAlpha) {
    const TBytes rgb{10, 20, 30, 10, 20, 31, 0, 0, 0};
    const TBitmap32 keyed = DecodePng(Png(3, 1, 2, Raw(rgb, 9), {{"tRNS", {0, 10, 0, 20, 0, 30}}}));
    EXPECT_EQ(keyed.Pixel(0, 0), Argb(0, 10, 20, 30));
    EXPECT_EQ(keyed.Pixel(1, 0), Argb(255, 10, 20, 31));
    EXPECT_EQ(keyed.Pixel(2, 0), Argb(255, 0, 0, 0));
    // A key above 255 matches no 8-bit sample.
    EXPECT_EQ(DecodePng(Png(3, 1, 2, Raw(rgb, 9), {{"tRNS", {1, 10, 0, 20, 0, 30}}})).Pixel(0, 0),
              Argb(255, 10, 20, 30));
    const TBytes grey{7, 8};
    const TBitmap32 greyKeyed = DecodePng(Png(2, 1, 0, Raw(grey, 2), {{"tRNS", {0, 8}}}));
    EXPECT_EQ(greyKeyed.Pixel(0, 0), Argb(255, 7, 7, 7));
    EXPECT_EQ(greyKeyed.Pixel(1, 0), Argb(0, 8, 8, 8));
    ExpectRefused(Png(2, 1, 0, Raw(grey, 2), {{"tRNS", {0, 8, 0}}}));
}

TEST(PngImage, RefusesWhatItCannotReadRight) {
    const TBytes pixels = Random(3 * 2 * 4, 9);
    const TBytes raw = Raw(pixels, 12);
    const TBytes good = Png(3, 2, 6, raw);
    ASSERT_NO_THROW(DecodePng(good));

    TBytes signature = good;
    signature[1] = 'Q';
    ExpectRefused(signature);
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_THROW(DecodePng({good.data(), size}), TError) << size;
    // A check sum of a chunk, or a byte of its data.
    for (std::size_t at : {std::size_t{20}, std::size_t{29}, good.size() - 20}) {
        TBytes flipped = good;
        flipped[at] ^= 4;
        EXPECT_THROW(DecodePng(flipped), TError) << at;
    }
    const TChunk idat{"IDAT", Pack(raw)};
    ExpectRefused(File({idat, Header(3, 2, 6), {"IEND", {}}}));                      // the header not first
    ExpectRefused(File({Header(0, 2, 6), idat, {"IEND", {}}}));                      // no width
    ExpectRefused(File({Header(3, 2, 6, 16), idat, {"IEND", {}}}));                  // 16 bits a channel
    ExpectRefused(File({Header(3, 2, 6, 8, 1), idat, {"IEND", {}}}));                // interlaced
    ExpectRefused(File({Header(3, 2, 3), {"PLTE", {0, 0, 0}}, idat, {"IEND", {}}})); // palette
    ExpectRefused(File({Header(3, 2, 6), {"QUUX", {}}, idat, {"IEND", {}}}));        // unknown and critical
    ExpectRefused(File({Header(3, 2, 6), Header(3, 2, 6), idat, {"IEND", {}}}));
    ExpectRefused(File({Header(3, 2, 6), {"IEND", {}}})); // no data
    // A header far larger than its data could fill is refused before a buffer is made for it.
    ExpectRefused(File({Header(16384, 16384, 6), idat, {"IEND", {}}}));
    ExpectRefused(File({Header(3, 3, 6), idat, {"IEND", {}}})); // a row short
    TBytes badFilter = raw;
    badFilter[0] = 5;
    ExpectRefused(Png(3, 2, 6, badFilter));
    // Damage that the CRCs cannot see, in the packed data itself, is stb_image's to find; its reason
    // reaches our message.
    TBytes badStream = Pack(raw);
    badStream[1] ^= 1; // the zlib header's own check fails
    try {
        DecodePng(File({Header(3, 2, 6), {"IDAT", badStream}, {"IEND", {}}}));
        ADD_FAILURE() << "a damaged stream was read";
    } catch (const TError& error) {
        EXPECT_NE(error.Message().find(L"(bad zlib header)"), std::wstring::npos);
    }
}

TEST(PngImage, ReadsTheSkin) {
    const std::filesystem::path skin = TESSARO_SKIN_DIR;
    for (const char* name :
         {"BACKGROUND", "MAIN", "LOGO", "TITLE_PNL_L", "TITLE_PNL_R", "TITLE_PNL_M", "TITLE"}) {
        std::ifstream file(skin / (std::string(name) + ".png"), std::ios::binary);
        const TBytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_FALSE(DecodePng(bytes).Empty()) << name;
        // A byte changed anywhere after the signature is refused, the packed pixels included.
        for (std::size_t at = 8; at < bytes.size(); at += 53) {
            TBytes damaged = bytes;
            damaged[at] ^= 0x10;
            EXPECT_THROW(DecodePng(damaged), TError) << name << " at " << at;
        }
    }
}
