// The skinned background: 32-bit bitmaps, their composition and the places of the two controls on it.
#pragma once

#include <cstdint>
#include <vector>

#include "common/Geometry.h"

// 32-bit pixels 0xAARRGGBB (in memory B, G, R, A: the layout of a top-down Windows DIB).
class TBitmap32 {
public:
    TBitmap32() = default;
    TBitmap32(int width, int height, std::uint32_t fill = 0) { SetSize(width, height, fill); }

    void SetSize(int width, int height, std::uint32_t fill = 0);
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    bool Empty() const noexcept { return FWidth == 0 || FHeight == 0; }

    std::uint32_t Pixel(int x, int y) const { return FPixels[Index(x, y)]; }
    void SetPixel(int x, int y, std::uint32_t value) { FPixels[Index(x, y)] = value; }
    const std::uint32_t* Bits() const noexcept { return FPixels.data(); }
    std::uint32_t* Bits() noexcept { return FPixels.data(); }

    // Opaque copy of the whole of `source` with its top-left corner at (x, y), clipped at the edges.
    void Draw(int x, int y, const TBitmap32& source);

private:
    std::size_t Index(int x, int y) const;
    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

constexpr std::uint32_t Argb(unsigned a, unsigned r, unsigned g, unsigned b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Blends every pixel (straight, not premultiplied alpha) onto opaque white and makes it opaque.
void FlattenOntoWhite(TBitmap32& bitmap);

// The Windows colour value (0x00BBGGRR) of the top-left pixel, alpha dropped.
std::uint32_t ControlColourOf(const TBitmap32& title);

enum class TSkinPart { Texture, TitleLeft, TitleRight, TitleMiddle, Logo, Title, Panels };

struct TSkinPlacement {
    TSkinPart Part;
    int X;
    int Y;
};

// The sizes of the seven images, in the order of TSkinPart.
struct TSkinSizes {
    TSize Texture, TitleLeft, TitleRight, TitleMiddle, Logo, Title, Panels;
};

// Every copy that composes a background of the given size, in drawing order.
std::vector<TSkinPlacement> SkinLayout(int width, int height, const TSkinSizes& sizes);

struct TSkinImages {
    TBitmap32 Texture, TitleLeft, TitleRight, TitleMiddle, Logo, Title, Panels;
    const TBitmap32& Get(TSkinPart part) const;
    TSkinSizes Sizes() const;
};

// Sizes `target` to width x height and composes the background into it.
void ComposeBackground(TBitmap32& target, int width, int height, const TSkinImages& images);

// `source` resampled to width x height (both at least 1): a cubic filter, which keeps edges and lettering
// sharp when enlarging, widened when reducing so that every source pixel counts. A uniform area stays
// exactly its colour, and a bitmap resampled to its own size stays unchanged.
TBitmap32 Resample(const TBitmap32& source, int width, int height);

// The background of a client area of width x height at `pixelsPerInch`: composed at the design size that
// the area stands for and resampled to the area, so that every part of the skin keeps its place and
// proportions. At the design resolution it is exactly ComposeBackground's.
void ComposeScaledBackground(TBitmap32& target, int width, int height, int pixelsPerInch,
                             const TSkinImages& images);

// The information box and the page control lie over the two light panels.
inline constexpr TRect RichEditBounds{16, 110, 282, 441};
inline constexpr TRect PagesBounds{320, 110, 619, 441};
