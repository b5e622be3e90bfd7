// Reading the skin's PNG images without the system's imaging component, whose start costs the wizard's
// first page more than the reading itself. The pixels come from stb_image (src/app/StbImage.h).
#pragma once

#include <cstdint>
#include <span>

#include "app/Skin.h"

// The image in `png`, alpha straight as stored (opaque where the image has none; a truecolour or greyscale
// image's transparent colour made transparent). Reads 8 bits per channel, greyscale or truecolour, with
// or without alpha, not interlaced: what the skin is drawn in. Anything else, and any damage (chunk CRCs
// included), is refused with TError naming the reason.
TBitmap32 DecodePng(std::span<const std::uint8_t> png);
