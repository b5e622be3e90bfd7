#include "app/Skin.h"

#include <algorithm>
#include <stdexcept>

void TBitmap32::SetSize(int width, int height, std::uint32_t fill) {
    if (width < 0 || height < 0)
        throw std::invalid_argument("negative bitmap size");
    FWidth = width;
    FHeight = height;
    FPixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

std::size_t TBitmap32::Index(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        throw std::out_of_range("pixel outside the bitmap");
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(x);
}

void TBitmap32::Draw(int x, int y, const TBitmap32& source) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + source.FWidth, FWidth);
    const int bottom = std::min(y + source.FHeight, FHeight);
    if (left >= right || top >= bottom)
        return;
    for (int row = top; row < bottom; ++row) {
        const std::uint32_t* from = &source.FPixels[source.Index(left - x, row - y)];
        std::copy(from, from + (right - left), &FPixels[Index(left, row)]);
    }
}

void FlattenOntoWhite(TBitmap32& bitmap) {
    std::uint32_t* pixel = bitmap.Bits();
    const std::size_t count =
        static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = pixel[i];
        const unsigned alpha = value >> 24;
        auto blend = [alpha](unsigned channel) {
            return (channel * alpha + 255u * (255u - alpha) + 127u) / 255u;
        };
        pixel[i] = Argb(255, blend((value >> 16) & 0xFF), blend((value >> 8) & 0xFF), blend(value & 0xFF));
    }
}

std::uint32_t ControlColourOf(const TBitmap32& title) {
    const std::uint32_t pixel = title.Pixel(0, 0);
    const std::uint32_t red = (pixel >> 16) & 0xFF;
    const std::uint32_t green = (pixel >> 8) & 0xFF;
    const std::uint32_t blue = pixel & 0xFF;
    return red | (green << 8) | (blue << 16);
}

std::vector<TSkinPlacement> SkinLayout(int width, int height, const TSkinSizes& sizes) {
    std::vector<TSkinPlacement> layout;
    // A tile starts at every multiple of the tile size up to and including the box's own size.
    const int tileWidth = std::max(sizes.Texture.Width, 1);
    const int tileHeight = std::max(sizes.Texture.Height, 1);
    int y = 0;
    do {
        int x = 0;
        do {
            layout.push_back({TSkinPart::Texture, x, y});
            x += tileWidth;
        } while (x <= width);
        y += tileHeight;
    } while (y <= height);

    layout.push_back({TSkinPart::TitleLeft, 0, 0});
    const int rightX = width - sizes.TitleRight.Width;
    layout.push_back({TSkinPart::TitleRight, rightX, 0});
    for (int x = sizes.TitleLeft.Width; x <= rightX - 1; ++x)
        layout.push_back({TSkinPart::TitleMiddle, x, 0});

    layout.push_back({TSkinPart::Logo, sizes.TitleLeft.Width - 5, 15});
    layout.push_back({TSkinPart::Title, (width - sizes.Title.Width) / 2, 20});
    layout.push_back({TSkinPart::Panels, -3, 95});
    return layout;
}

const TBitmap32& TSkinImages::Get(TSkinPart part) const {
    switch (part) {
    case TSkinPart::Texture:
        return Texture;
    case TSkinPart::TitleLeft:
        return TitleLeft;
    case TSkinPart::TitleRight:
        return TitleRight;
    case TSkinPart::TitleMiddle:
        return TitleMiddle;
    case TSkinPart::Logo:
        return Logo;
    case TSkinPart::Title:
        return Title;
    case TSkinPart::Panels:
        return Panels;
    }
    throw std::invalid_argument("unknown skin part");
}

TSkinSizes TSkinImages::Sizes() const {
    auto size = [](const TBitmap32& b) { return TSkinSize{b.Width(), b.Height()}; };
    return {size(Texture), size(TitleLeft), size(TitleRight), size(TitleMiddle),
            size(Logo),    size(Title),     size(Panels)};
}

void ComposeBackground(TBitmap32& target, int width, int height, const TSkinImages& images) {
    target.SetSize(width, height, Argb(255, 255, 255, 255));
    for (const TSkinPlacement& placement : SkinLayout(width, height, images.Sizes()))
        target.Draw(placement.X, placement.Y, images.Get(placement.Part));
}
