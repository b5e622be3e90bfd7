// Unpacking of zlib streams (deflate, RFC 1950 and 1951), for the images the program carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Unpacks a zlib stream whose unpacked size the caller knows beforehand, as an image's is. A stream that
// unpacks to more or fewer bytes, needs a preset dictionary, or is damaged anywhere (its check sum
// included) is refused with TError. Bytes after the stream's check sum are ignored.
std::vector<std::uint8_t> InflateZlib(std::span<const std::uint8_t> stream, std::size_t unpackedSize);
