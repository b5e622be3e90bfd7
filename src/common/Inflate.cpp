#include "common/Inflate.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/Error.h"

namespace {

[[noreturn]] void Damaged() {
    throw TError(L"сжатые данные повреждены");
}

class TBitReader {
public:
    explicit TBitReader(std::span<const std::uint8_t> input) : FInput(input) {}

    // The next `count` bits (at most 24), first bit lowest; running out of input is damage.
    std::uint32_t Peek(unsigned count) {
        while (FCount < count) {
            if (FPosition >= FInput.size()) {
                // A code shorter than the lookup width may end the input: pad with zeros, and let Drop
                // refuse any bit taken past the end.
                FPadding += 8;
                FCount += 8;
                continue;
            }
            FBuffer |= static_cast<std::uint64_t>(FInput[FPosition++]) << FCount;
            FCount += 8;
        }
        return static_cast<std::uint32_t>(FBuffer & ((std::uint64_t{1} << count) - 1));
    }
    void Drop(unsigned count) {
        if (count > FCount - std::min(FCount, FPadding))
            Damaged();
        FBuffer >>= count;
        FCount -= count;
    }
    std::uint32_t Bits(unsigned count) {
        const std::uint32_t value = Peek(count);
        Drop(count);
        return value;
    }
    // Skips to the next byte boundary; the whole bytes still buffered are handed back to the input.
    void AlignToByte() {
        Drop(FCount % 8);
        const unsigned whole = (FCount - std::min(FCount, FPadding)) / 8;
        FPosition -= whole;
        FBuffer = 0;
        FCount = 0;
        FPadding = 0;
    }
    // Whole bytes from a byte boundary (after AlignToByte).
    std::span<const std::uint8_t> Bytes(std::size_t count) {
        if (FInput.size() - FPosition < count)
            Damaged();
        const auto bytes = FInput.subspan(FPosition, count);
        FPosition += count;
        return bytes;
    }

private:
    std::span<const std::uint8_t> FInput;
    std::size_t FPosition = 0;
    std::uint64_t FBuffer = 0;
    unsigned FCount = 0;   // bits in FBuffer
    unsigned FPadding = 0; // of them, zeros past the end of the input
};

constexpr unsigned MaxBits = 15;
constexpr unsigned FastBits = 9;

// A canonical Huffman code: a table of the codes up to FastBits long, and the counts and symbols of every
// length for the few longer ones.
class THuffman {
public:
    // `lengths` holds a code length (0 for unused) per symbol. Over-subscribed codes are damage; so are
    // incomplete ones, unless `sparse` allows the two that deflate lets an encoder send: no code at all
    // (distances in a block of literals only) and a single code of one bit.
    void Build(const std::uint8_t* lengths, unsigned symbols, bool sparse) {
        FCount.fill(0);
        for (unsigned s = 0; s < symbols; ++s)
            ++FCount[lengths[s]];
        FCount[0] = 0;
        int left = 1;
        for (unsigned length = 1; length <= MaxBits; ++length) {
            left = left * 2 - FCount[length];
            if (left < 0)
                Damaged();
        }
        unsigned used = 0;
        for (unsigned length = 1; length <= MaxBits; ++length)
            used += FCount[length];
        if (left > 0 && !(sparse && (used == 0 || (used == 1 && FCount[1] == 1))))
            Damaged();

        std::array<std::uint16_t, MaxBits + 2> offset{};
        for (unsigned length = 1; length <= MaxBits; ++length)
            offset[length + 1] = static_cast<std::uint16_t>(offset[length] + FCount[length]);
        for (unsigned s = 0; s < symbols; ++s)
            if (lengths[s])
                FSymbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);

        // The fast table: each code's bits as they arrive (first bit lowest), every completion of its
        // remaining bits pointing at it. Entries of longer codes stay 0 and send Decode the slow way.
        FFast.fill(0);
        unsigned code = 0;
        unsigned index = 0;
        for (unsigned length = 1; length <= FastBits; ++length) {
            for (unsigned n = 0; n < FCount[length]; ++n, ++code, ++index) {
                unsigned reversed = 0;
                for (unsigned bit = 0; bit < length; ++bit)
                    reversed |= ((code >> bit) & 1u) << (length - 1 - bit);
                const std::uint16_t entry = static_cast<std::uint16_t>((FSymbol[index] << 4) | length);
                for (unsigned fill = reversed; fill < (1u << FastBits); fill += 1u << length)
                    FFast[fill] = entry;
            }
            code <<= 1;
        }
    }

    unsigned Decode(TBitReader& bits) const {
        const std::uint16_t entry = FFast[bits.Peek(FastBits)];
        if (entry) {
            bits.Drop(entry & 15u);
            return entry >> 4;
        }
        // Bit by bit through the lengths, comparing with the first code of each length.
        int code = 0;
        int first = 0;
        int index = 0;
        for (unsigned length = 1; length <= MaxBits; ++length) {
            code |= static_cast<int>(bits.Bits(1));
            const int count = FCount[length];
            if (code - first < count)
                return FSymbol[static_cast<std::size_t>(index + code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        Damaged();
    }

private:
    std::array<std::uint16_t, MaxBits + 1> FCount{};
    std::array<std::uint16_t, 288> FSymbol{};
    std::array<std::uint16_t, 1u << FastBits> FFast{};
};

constexpr std::uint16_t LengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t LengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t DistanceBase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                          33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                          1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t DistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                          6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

class TInflater {
public:
    TInflater(std::span<const std::uint8_t> stream, std::span<std::uint8_t> output, TStreamSum sum)
        : FBits(stream), FOutput(output), FSum(sum) {}

    void Run() {
        const unsigned method = FBits.Bits(8);
        const unsigned flags = FBits.Bits(8);
        if ((method & 15u) != 8 || (method >> 4) > 7 || (method * 256 + flags) % 31 != 0 || (flags & 0x20))
            Damaged();
        bool last = false;
        while (!last) {
            last = FBits.Bits(1) != 0;
            switch (FBits.Bits(2)) {
            case 0:
                Stored();
                break;
            case 1:
                Fixed();
                break;
            case 2:
                Dynamic();
                break;
            default:
                Damaged();
            }
        }
        FBits.AlignToByte();
        const auto sum = FBits.Bytes(4);
        const std::uint32_t expected = (std::uint32_t{sum[0]} << 24) | (std::uint32_t{sum[1]} << 16) |
                                       (std::uint32_t{sum[2]} << 8) | std::uint32_t{sum[3]};
        if (FSize != FOutput.size() || (FSum == TStreamSum::Check && Adler32() != expected))
            Damaged();
    }

private:
    // More than the unpacked size is damage.
    void Room(std::size_t count) const {
        if (FOutput.size() - FSize < count)
            Damaged();
    }

    void Stored() {
        FBits.AlignToByte();
        const auto header = FBits.Bytes(4);
        const unsigned length = header[0] | (header[1] << 8);
        const unsigned complement = header[2] | (header[3] << 8);
        if ((length ^ 0xFFFFu) != complement)
            Damaged();
        Room(length);
        const auto bytes = FBits.Bytes(length);
        if (!bytes.empty())
            std::memcpy(FOutput.data() + FSize, bytes.data(), bytes.size());
        FSize += bytes.size();
    }

    void Fixed() {
        std::uint8_t lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        // 32 distance codes, the last two of which no valid stream uses.
        std::uint8_t distances[32];
        std::fill(distances, distances + 32, 5);
        FLiterals.Build(lengths, 288, false);
        FDistances.Build(distances, 32, false);
        Codes();
    }

    void Dynamic() {
        const unsigned literals = FBits.Bits(5) + 257;
        const unsigned distances = FBits.Bits(5) + 1;
        const unsigned lengthCodes = FBits.Bits(4) + 4;
        if (literals > 286 || distances > 30)
            Damaged();
        static constexpr std::uint8_t Order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
        std::uint8_t codeLengths[19] = {};
        for (unsigned i = 0; i < lengthCodes; ++i)
            codeLengths[Order[i]] = static_cast<std::uint8_t>(FBits.Bits(3));
        THuffman lengthCode;
        lengthCode.Build(codeLengths, 19, false);

        std::uint8_t lengths[286 + 30] = {};
        for (unsigned i = 0; i < literals + distances;) {
            const unsigned symbol = lengthCode.Decode(FBits);
            if (symbol < 16) {
                lengths[i++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t value = 0;
            unsigned repeat = 0;
            if (symbol == 16) {
                if (i == 0)
                    Damaged();
                value = lengths[i - 1];
                repeat = 3 + FBits.Bits(2);
            } else if (symbol == 17) {
                repeat = 3 + FBits.Bits(3);
            } else {
                repeat = 11 + FBits.Bits(7);
            }
            if (i + repeat > literals + distances)
                Damaged();
            std::fill(lengths + i, lengths + i + repeat, value);
            i += repeat;
        }
        // A block without its end code could never end.
        if (lengths[256] == 0)
            Damaged();
        FLiterals.Build(lengths, literals, true);
        FDistances.Build(lengths + literals, distances, true);
        Codes();
    }

    void Codes() {
        for (;;) {
            const unsigned symbol = FLiterals.Decode(FBits);
            if (symbol < 256) {
                Room(1);
                FOutput[FSize++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            if (symbol == 256)
                return;
            const unsigned lengthIndex = symbol - 257;
            if (lengthIndex >= std::size(LengthBase))
                Damaged();
            const std::size_t length = LengthBase[lengthIndex] + FBits.Bits(LengthExtra[lengthIndex]);
            const unsigned distanceIndex = FDistances.Decode(FBits);
            if (distanceIndex >= std::size(DistanceBase))
                Damaged();
            const std::size_t distance =
                DistanceBase[distanceIndex] + FBits.Bits(DistanceExtra[distanceIndex]);
            if (distance > FSize)
                Damaged();
            Room(length);
            std::uint8_t* to = FOutput.data() + FSize;
            FSize += length;
            const std::uint8_t* from = to - distance;
            if (distance >= length) {
                std::memcpy(to, from, length);
            } else if (distance == 1) {
                std::memset(to, *from, length); // a run of one byte, the usual way of packing a plain area
            } else {
                // Overlapping: the copy repeats what it has just written.
                for (std::size_t i = 0; i < length; ++i)
                    to[i] = from[i];
            }
        }
    }

    std::uint32_t Adler32() const {
        std::uint32_t a = 1;
        std::uint32_t b = 0;
        const std::uint8_t* data = FOutput.data();
        std::size_t left = FSize;
        while (left) {
            // 5552 bytes is the most that can be summed before b could overflow 32 bits.
            const std::size_t run = std::min<std::size_t>(left, 5552);
            std::size_t i = 0;
            // Sixteen bytes at a time without the byte-to-byte dependence: b gains 16 times the a before
            // them and each byte weighted by how many of the sixteen sums it enters.
            for (; i + 16 <= run; i += 16) {
                std::uint32_t sum = 0;
                std::uint32_t weighted = 0;
                for (std::uint32_t k = 0; k < 16; ++k) {
                    sum += data[i + k];
                    weighted += (16 - k) * data[i + k];
                }
                b += 16 * a + weighted;
                a += sum;
            }
            for (; i < run; ++i) {
                a += data[i];
                b += a;
            }
            a %= 65521;
            b %= 65521;
            data += run;
            left -= run;
        }
        return (b << 16) | a;
    }

    TBitReader FBits;
    std::span<std::uint8_t> FOutput;
    TStreamSum FSum;
    std::size_t FSize = 0; // bytes unpacked so far
    THuffman FLiterals, FDistances;
};

} // namespace

void InflateZlib(std::span<const std::uint8_t> stream, std::span<std::uint8_t> output, TStreamSum sum) {
    TInflater(stream, output, sum).Run();
}

std::vector<std::uint8_t> InflateZlib(std::span<const std::uint8_t> stream, std::size_t unpackedSize) {
    if (unpackedSize > MostUnpackedFrom(stream.size()))
        Damaged();
    std::vector<std::uint8_t> output(unpackedSize);
    InflateZlib(stream, output);
    return output;
}
