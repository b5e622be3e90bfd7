// Any bytes as a PNG image: the reader either refuses them with TError or gives an image of the size its
// header names, and never reads or writes outside its buffers.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/PngImage.h"
#include "common/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const TBitmap32 image = DecodePng(std::span<const std::uint8_t>(data, size));
        if (image.Empty() || size < 24)
            std::abort();
        const auto side = [&](std::size_t at) {
            return static_cast<int>((std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) |
                                    (std::uint32_t{data[at + 2]} << 8) | data[at + 3]);
        };
        if (image.Width() != side(16) || image.Height() != side(20))
            std::abort();
    } catch (const TError&) {
    }
    return 0;
}
