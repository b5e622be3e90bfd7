// stb_image (Debian's libstb-dev) as the skin needs it: PNG from memory only. Every file that includes the
// header does so through this one, so that the declarations and the implementation see the same settings.
#pragma once

// Only the PNG reader is compiled, and no reading from files: the images come from the program's resources.
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_SIMD
// The skin's largest image is 958 pixels wide; this is far above it, and a damaged header naming more is
// refused before anything is reserved for it.
#define STBI_MAX_DIMENSIONS 16384
// Allocation stays with the C runtime's malloc, realloc and free, stb_image's default.

#include <stb_image.h>
