// Any bytes as a PNG image: the reader either refuses them with TError or gives an image of the size its
// header names, and never reads or writes outside its buffers. The input's chunk CRCs are put right first,
// so that mutated data gets past our checks into stb_image instead of being refused at the first CRC.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "app/PngImage.h"
#include "common/Error.h"

namespace {
std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        c ^= bytes[i];
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

void MendCrcs(std::vector<std::uint8_t>& png) {
    for (std::size_t at = 8; png.size() >= at + 12;) {
        const std::size_t length = BigEndian(&png[at]);
        if (png.size() - at - 12 < length)
            return;
        const std::uint32_t crc = Crc32(&png[at + 4], 4 + length);
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> png(data, data + size);
    MendCrcs(png);
    try {
        const TBitmap32 image = DecodePng(png);
        if (image.Empty() || size < 24)
            std::abort();
        const auto side = [&](std::size_t at) { return static_cast<int>(BigEndian(&png[at])); };
        if (image.Width() != side(16) || image.Height() != side(20))
            std::abort();
    } catch (const TError&) {
    }
    return 0;
}
