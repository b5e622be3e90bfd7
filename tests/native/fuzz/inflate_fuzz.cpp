// Any bytes as a zlib stream: the first two give the size it must unpack to. The unpacker either refuses
// the stream with TError or gives exactly that many bytes, and never reads or writes outside its buffers.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/Error.h"
#include "common/Inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t unpacked = (std::size_t{data[0]} << 8) | data[1];
    try {
        if (InflateZlib(std::span<const std::uint8_t>(data + 2, size - 2), unpacked).size() != unpacked)
            std::abort();
    } catch (const TError&) {
    }
    return 0;
}
