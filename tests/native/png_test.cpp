// The skin's own PNG reader and its zlib unpacker, checked against the reference zlib's packing.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/PngImage.h"
#include "common/Error.h"
#include "common/Inflate.h"

namespace {
using TBytes = std::vector<std::uint8_t>;

TBytes Pack(const TBytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, 9, strategy), Z_OK);
    TBytes packed(deflateBound(&z, data.size()) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);
    return packed;
}

TBytes Random(std::size_t size, unsigned seed, unsigned range = 256) {
    std::mt19937 generator(seed);
    TBytes bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator() % range);
    return bytes;
}

// Bits as deflate sends them: values first bit lowest, Huffman codes first bit highest.
class TBitWriter {
public:
    void Value(unsigned value, unsigned bits) {
        for (unsigned i = 0; i < bits; ++i)
            Bit((value >> i) & 1u);
    }
    void Code(unsigned code, unsigned bits) {
        for (unsigned i = bits; i-- > 0;)
            Bit((code >> i) & 1u);
    }
    // The zlib frame around the deflate bits written so far.
    TBytes Zlib(const TBytes& unpacked) const {
        TBytes stream{0x78, 0x01};
        stream.insert(stream.end(), FBytes.begin(), FBytes.end());
        if (FCount % 8)
            stream.push_back(FPartial);
        const uLong sum = adler32(1, unpacked.data(), static_cast<uInt>(unpacked.size()));
        for (int shift = 24; shift >= 0; shift -= 8)
            stream.push_back(static_cast<std::uint8_t>(sum >> shift));
        return stream;
    }

private:
    void Bit(unsigned bit) {
        FPartial = static_cast<std::uint8_t>(FPartial | (bit << (FCount % 8)));
        if (++FCount % 8 == 0) {
            FBytes.push_back(FPartial);
            FPartial = 0;
        }
    }
    TBytes FBytes;
    std::uint8_t FPartial = 0;
    unsigned FCount = 0;
};

// The canonical Huffman codes of a set of code lengths, as deflate assigns them.
std::vector<unsigned> Canonical(const std::vector<unsigned>& lengths) {
    std::vector<unsigned> codes(lengths.size());
    unsigned code = 0;
    for (unsigned length = 1; length <= 15; ++length) {
        for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol)
            if (lengths[symbol] == length)
                codes[symbol] = code++;
        code <<= 1;
    }
    return codes;
}

// The code-length code of the hand-made blocks: symbols 0, 1 and 18 two bits each, 2 and 17 three.
const std::vector<unsigned> LengthCodeLengths{2, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 2};

// The start of a dynamic block with `literals` literal/length codes and one distance code, whose code
// lengths (symbol of the code-length code, extra bits) follow.
void DynamicHeader(TBitWriter& bits, const std::vector<std::pair<unsigned, unsigned>>& lengths,
                   unsigned literals = 257) {
    bits.Value(1, 1); // the last block
    bits.Value(2, 2); // dynamic codes
    bits.Value(literals - 257, 5);
    bits.Value(0, 5);  // 1 distance code
    bits.Value(15, 4); // all 19 code-length code lengths, in the order deflate sends them
    const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (unsigned symbol : order)
        bits.Value(LengthCodeLengths[symbol], 3);
    const std::vector<unsigned> codes = Canonical(LengthCodeLengths);
    for (auto [symbol, extra] : lengths) {
        bits.Code(codes[symbol], LengthCodeLengths[symbol]);
        if (symbol == 17)
            bits.Value(extra, 3);
        if (symbol == 18)
            bits.Value(extra, 7);
    }
}

// Zeros for `count` code lengths (at least 11) through symbol 18.
void Zeros(std::vector<std::pair<unsigned, unsigned>>& lengths, unsigned count) {
    while (count) {
        const unsigned run = std::min(count, 138u);
        lengths.push_back({18, run - 11});
        count -= run;
    }
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
        const TBytes crc =
            BigEndian(static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
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

int PaethOf(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The raw image data of `pixels` (rows of width * channels bytes), row y filtered with filters[y % size].
TBytes Filtered(const TBytes& pixels, std::size_t rowBytes, unsigned pixelBytes, const TBytes& filters) {
    TBytes raw;
    const std::size_t rows = pixels.size() / rowBytes;
    for (std::size_t y = 0; y < rows; ++y) {
        const std::uint8_t type = filters[y % filters.size()];
        raw.push_back(type);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int x = pixels[y * rowBytes + i];
            const int a = i >= pixelBytes ? pixels[y * rowBytes + i - pixelBytes] : 0;
            const int b = y ? pixels[(y - 1) * rowBytes + i] : 0;
            const int c = y && i >= pixelBytes ? pixels[(y - 1) * rowBytes + i - pixelBytes] : 0;
            const int predicted = type == 0   ? 0
                                  : type == 1 ? a
                                  : type == 2 ? b
                                  : type == 3 ? (a + b) / 2
                                              : PaethOf(a, b, c);
            raw.push_back(static_cast<std::uint8_t>(x - predicted));
        }
    }
    return raw;
}

TBytes Png(std::uint32_t width, std::uint32_t height, std::uint8_t colourType, const TBytes& raw,
           const std::vector<TChunk>& extra = {}) {
    std::vector<TChunk> chunks{Header(width, height, colourType)};
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    chunks.push_back({"IDAT", Pack(raw, 9)});
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

TEST(Inflate, UnpacksWhatZlibPacksWithEveryStrategy) {
    TBytes runs;
    for (int i = 0; i < 40000; ++i)
        runs.push_back(static_cast<std::uint8_t>((i / 700) % 3 == 0 ? 0 : i % 7));
    TBytes text;
    for (int i = 0; i < 3000; ++i) {
        const std::string line = "line " + std::to_string(i % 37) + " of the log\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    const std::vector<TBytes> inputs{{}, {'x'}, Random(70000, 1), Random(50000, 2, 4), runs, text};
    const std::vector<std::pair<int, int>> ways{{0, Z_DEFAULT_STRATEGY},
                                                {1, Z_DEFAULT_STRATEGY},
                                                {6, Z_DEFAULT_STRATEGY},
                                                {9, Z_DEFAULT_STRATEGY},
                                                {9, Z_FILTERED},
                                                {9, Z_HUFFMAN_ONLY},
                                                {9, Z_RLE},
                                                {9, Z_FIXED}};
    for (std::size_t i = 0; i < inputs.size(); ++i)
        for (auto [level, strategy] : ways) {
            SCOPED_TRACE("input " + std::to_string(i) + ", level " + std::to_string(level) + ", strategy " +
                         std::to_string(strategy));
            EXPECT_EQ(InflateZlib(Pack(inputs[i], level, strategy), inputs[i].size()), inputs[i]);
        }
}

TEST(Inflate, RefusesAWrongSizeAndEveryKindOfDamage) {
    const TBytes data = Random(1000, 3, 16);
    const TBytes packed = Pack(data, 9);
    EXPECT_THROW(InflateZlib(packed, data.size() - 1), TError);
    EXPECT_THROW(InflateZlib(packed, data.size() + 1), TError);
    // Cut anywhere, the stream is refused; nothing is read past its end.
    for (std::size_t size = 0; size < packed.size(); ++size)
        EXPECT_THROW(InflateZlib({packed.data(), size}, data.size()), TError) << size;
    TBytes badSum = packed;
    badSum.back() ^= 1;
    EXPECT_THROW(InflateZlib(badSum, data.size()), TError);
    // A container that checks the packed bytes itself may trust the stream's sum; the size still counts.
    TBytes out(data.size());
    InflateZlib(badSum, out, TStreamSum::Trust);
    EXPECT_EQ(out, data);
    TBytes longer(data.size() + 1);
    EXPECT_THROW(InflateZlib(badSum, longer, TStreamSum::Trust), TError);
    TBytes badHeader = packed;
    badHeader[1] ^= 1; // the header's own check fails
    EXPECT_THROW(InflateZlib(badHeader, data.size()), TError);
    TBytes dictionary = packed;
    dictionary[1] = 0x20;
    dictionary[1] =
        static_cast<std::uint8_t>(dictionary[1] + (31 - (dictionary[0] * 256 + dictionary[1]) % 31));
    EXPECT_THROW(InflateZlib(dictionary, data.size()), TError);
    const TBytes notDeflate{0x79, 0x5C, 0, 0, 0, 0};
    EXPECT_THROW(InflateZlib(notDeflate, 0), TError);
    // Damage inside the codes: every single flipped byte is refused or, rarely, still unpacks to other
    // bytes, which the check sum then refuses.
    for (std::size_t at = 2; at + 4 < packed.size(); at += 7) {
        TBytes flipped = packed;
        flipped[at] ^= 0x5A;
        EXPECT_THROW(InflateZlib(flipped, data.size()), TError) << at;
    }
    // Trailing bytes after the check sum are no concern of the stream.
    TBytes trailing = packed;
    trailing.push_back(0);
    EXPECT_EQ(InflateZlib(trailing, data.size()), data);
}

TEST(Inflate, TakesTheSparseCodesOtherEncodersSend) {
    // Literals only, with an empty distance code: "AAA".
    std::vector<std::pair<unsigned, unsigned>> lengths;
    Zeros(lengths, 65);
    lengths.push_back({1, 0}); // 'A'
    Zeros(lengths, 190);
    lengths.push_back({1, 0}); // end of block
    lengths.push_back({0, 0}); // the one distance code unused
    TBitWriter bits;
    DynamicHeader(bits, lengths);
    for (int i = 0; i < 3; ++i)
        bits.Code(0, 1); // 'A' is 0, the end 1
    bits.Code(1, 1);
    const TBytes aaa{'A', 'A', 'A'};
    EXPECT_EQ(InflateZlib(bits.Zlib(aaa), 3), aaa);

    // A single distance code of one bit: 'A' (code 0), then a copy of length 3 (symbol 257, code 11) from
    // distance 1 (code 0), then the end (code 10).
    std::vector<std::pair<unsigned, unsigned>> single;
    Zeros(single, 65);
    single.push_back({1, 0});
    Zeros(single, 190);
    single.push_back({2, 0});
    single.push_back({2, 0});
    single.push_back({1, 0}); // distance 1, alone
    TBitWriter copy;
    DynamicHeader(copy, single, 258);
    copy.Code(0, 1);
    copy.Code(3, 2);
    copy.Code(0, 1);
    copy.Code(2, 2);
    const TBytes aaaa{'A', 'A', 'A', 'A'};
    EXPECT_EQ(InflateZlib(copy.Zlib(aaaa), 4), aaaa);
}

TEST(Inflate, RefusesMalformedCodes) {
    // Symbol 16 (repeat the previous length) as the very first length.
    {
        TBitWriter bits;
        bits.Value(1, 1);
        bits.Value(2, 2);
        bits.Value(0, 5);
        bits.Value(0, 5);
        bits.Value(0, 4); // four code-length code lengths: 16, 17, 18, 0
        bits.Value(1, 3); // 16: one bit, code 1 (after symbol 0's code 0)
        bits.Value(0, 3);
        bits.Value(0, 3);
        bits.Value(1, 3);
        bits.Code(1, 1);
        bits.Value(0, 2);
        EXPECT_THROW(InflateZlib(bits.Zlib({}), 0), TError);
    }
    // No end-of-block code: the block could never end.
    {
        std::vector<std::pair<unsigned, unsigned>> lengths;
        Zeros(lengths, 65);
        lengths.push_back({1, 0});
        lengths.push_back({1, 0}); // 'B'
        Zeros(lengths, 190);
        lengths.push_back({0, 0});
        TBitWriter bits;
        DynamicHeader(bits, lengths);
        EXPECT_THROW(InflateZlib(bits.Zlib({}), 0), TError);
    }
    // Over-subscribed: three codes of one bit.
    {
        std::vector<std::pair<unsigned, unsigned>> lengths;
        Zeros(lengths, 65);
        lengths.push_back({1, 0});
        lengths.push_back({1, 0});
        Zeros(lengths, 189);
        lengths.push_back({1, 0});
        lengths.push_back({0, 0});
        TBitWriter bits;
        DynamicHeader(bits, lengths);
        EXPECT_THROW(InflateZlib(bits.Zlib({}), 0), TError);
    }
    // Block type 3 does not exist.
    {
        TBitWriter bits;
        bits.Value(1, 1);
        bits.Value(3, 2);
        EXPECT_THROW(InflateZlib(bits.Zlib({}), 0), TError);
    }
}

TEST(PngImage, ReadsEveryColourTypeThroughEveryFilter) {
    for (std::uint8_t colourType : {0, 2, 4, 6}) {
        const unsigned channels = ChannelsOf(colourType);
        const std::uint32_t width = 13, height = 11;
        const TBytes pixels = Random(std::size_t{width} * height * channels, colourType + 10u);
        // Rows of all five filters, and images of one filter throughout (the first row has no row above).
        for (const TBytes& filters : {TBytes{0, 1, 2, 3, 4}, TBytes{2}, TBytes{3}, TBytes{4}, TBytes{1}}) {
            SCOPED_TRACE("colour type " + std::to_string(colourType) + ", first filter " +
                         std::to_string(filters[0]));
            const TBytes raw = Filtered(pixels, std::size_t{width} * channels, channels, filters);
            const TBitmap32 image = DecodePng(Png(width, height, colourType, raw));
            ASSERT_EQ(image.Width(), 13);
            ASSERT_EQ(image.Height(), 11);
            for (std::uint32_t i = 0; i < width * height; ++i)
                ASSERT_EQ(image.Bits()[i], Expected(pixels, i, colourType)) << i;
        }
    }
}

TEST(PngImage, SplitDataAndChunksThatChangeNoPixel) {
    const TBytes pixels = Random(4 * 3 * 4, 7);
    const TBytes packed = Pack(Filtered(pixels, 16, 4, {4}), 9);
    const std::size_t half = packed.size() / 2;
    const TBytes png = File({Header(4, 3, 6),
                             {"gAMA", BigEndian(45455)},
                             {"tEXt", {'a', 0, 'b'}},
                             {"IDAT", TBytes(packed.begin(), packed.begin() + half)},
                             {"IDAT", {}},
                             {"IDAT", TBytes(packed.begin() + half, packed.end())},
                             {"IEND", {}}});
    const TBitmap32 image = DecodePng(png);
    for (std::uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(image.Bits()[i], Expected(pixels, i, 6)) << i;

    // A truecolour image's suggested palette.
    const TBytes rgb = Random(2 * 2 * 3, 8);
    EXPECT_EQ(DecodePng(Png(2, 2, 2, Filtered(rgb, 6, 3, {0}), {{"PLTE", {1, 2, 3}}})).Bits()[3],
              Expected(rgb, 3, 2));
}

TEST(PngImage, TransparentColourOfImagesWithoutAlpha) {
    const TBytes rgb{10, 20, 30, 10, 20, 31, 0, 0, 0};
    const TBitmap32 keyed =
        DecodePng(Png(3, 1, 2, Filtered(rgb, 9, 3, {0}), {{"tRNS", {0, 10, 0, 20, 0, 30}}}));
    EXPECT_EQ(keyed.Pixel(0, 0), Argb(0, 10, 20, 30));
    EXPECT_EQ(keyed.Pixel(1, 0), Argb(255, 10, 20, 31));
    EXPECT_EQ(keyed.Pixel(2, 0), Argb(255, 0, 0, 0));
    // A key above 255 matches no 8-bit sample.
    EXPECT_EQ(
        DecodePng(Png(3, 1, 2, Filtered(rgb, 9, 3, {0}), {{"tRNS", {1, 10, 0, 20, 0, 30}}})).Pixel(0, 0),
        Argb(255, 10, 20, 30));
    const TBytes grey{7, 8};
    const TBitmap32 greyKeyed = DecodePng(Png(2, 1, 0, Filtered(grey, 2, 1, {0}), {{"tRNS", {0, 8}}}));
    EXPECT_EQ(greyKeyed.Pixel(0, 0), Argb(255, 7, 7, 7));
    EXPECT_EQ(greyKeyed.Pixel(1, 0), Argb(0, 8, 8, 8));
    ExpectRefused(Png(2, 1, 0, Filtered(grey, 2, 1, {0}), {{"tRNS", {0, 8, 0}}}));
}

TEST(PngImage, RefusesWhatItCannotReadRight) {
    const TBytes pixels = Random(3 * 2 * 4, 9);
    const TBytes raw = Filtered(pixels, 12, 4, {1});
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
    const TChunk idat{"IDAT", Pack(raw, 9)};
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
    ExpectRefused(File({Header(3, 1, 6), idat, {"IEND", {}}})); // a row too many
    TBytes badFilter = raw;
    badFilter[0] = 5;
    ExpectRefused(Png(3, 2, 6, badFilter));
}

TEST(PngImage, ReadsTheSkin) {
    const std::filesystem::path skin = TESSARO_SKIN_DIR;
    for (const char* name :
         {"BACKGROUND", "MAIN", "LOGO", "TITLE_PNL_L", "TITLE_PNL_R", "TITLE_PNL_M", "TITLE"}) {
        std::ifstream file(skin / (std::string(name) + ".png"), std::ios::binary);
        const TBytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_FALSE(DecodePng(bytes).Empty()) << name;
    }
}
