// Unpacking of zlib streams (deflate, RFC 1950 and 1951), for the images the program carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Whether the stream's own check sum of what it unpacks to is checked. A container that checks the packed
// bytes already (a PNG file's chunks carry CRCs) may leave it: it costs a pass over every unpacked byte.
enum class TStreamSum { Check, Trust };

// Unpacks a zlib stream whose unpacked size the caller knows beforehand, as an image's is, into `output`,
// which it fills exactly. A stream that unpacks to more or fewer bytes, needs a preset dictionary, or is
// damaged anywhere (its check sum included, unless trusted) is refused with TError; `output` then holds
// whatever came before the damage. Bytes after the stream's check sum are ignored.
void InflateZlib(std::span<const std::uint8_t> stream, std::span<std::uint8_t> output,
                 TStreamSum sum = TStreamSum::Check);
// The same into a buffer of its own; a size no stream of this length can unpack to is refused before
// anything is allocated.
std::vector<std::uint8_t> InflateZlib(std::span<const std::uint8_t> stream, std::size_t unpackedSize);

// The most that `packed` bytes of zlib stream can unpack to: the longest copy, 258 bytes, costs at least
// two bits. A buffer may be sized from a header once the header's size stays within it.
constexpr std::size_t MostUnpackedFrom(std::size_t packed) {
    constexpr std::size_t BytesPerPackedByte = 1032;
    return packed > SIZE_MAX / BytesPerPackedByte ? SIZE_MAX : packed * BytesPerPackedByte;
}
