// Any bytes as a font file: the name reader never reads outside them and never fails.
#include <cstdint>
#include <string_view>

#include "install/steps/FontName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FontFullName(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
