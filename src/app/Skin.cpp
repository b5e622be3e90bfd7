#include "app/Skin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "app/WindowScale.h"

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

namespace {
// Catmull-Rom: interpolates (passes through the source pixels) and rings little at edges.
double Cubic(double x) {
    constexpr double a = -0.5;
    x = std::fabs(x);
    if (x < 1.0)
        return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
    if (x < 2.0)
        return (((x - 5.0) * x + 8.0) * x - 4.0) * a;
    return 0.0;
}

constexpr int WeightBits = 14;
constexpr int WeightOne = 1 << WeightBits;

// The source pixels that make one target pixel along an axis, with fixed-point weights that sum to one.
struct TTaps {
    int First = 0;
    std::vector<int> Weights;
};

std::vector<TTaps> AxisTaps(int from, int to) {
    const double scale = static_cast<double>(from) / to;
    const double stretch = std::max(scale, 1.0); // reducing widens the filter over the pixels it merges
    const double support = 2.0 * stretch;
    std::vector<TTaps> axis(static_cast<std::size_t>(to));
    std::vector<double> weights;
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale;
        const int first = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int last = std::min(from, static_cast<int>(std::ceil(centre + support)));
        weights.clear();
        double sum = 0.0;
        for (int j = first; j < last; ++j) {
            weights.push_back(Cubic((j + 0.5 - centre) / stretch));
            sum += weights.back();
        }
        TTaps& taps = axis[static_cast<std::size_t>(i)];
        taps.First = first;
        int total = 0;
        std::size_t largest = 0;
        for (std::size_t k = 0; k < weights.size(); ++k) {
            taps.Weights.push_back(static_cast<int>(std::lround(weights[k] / sum * WeightOne)));
            total += taps.Weights.back();
            if (taps.Weights[k] > taps.Weights[largest])
                largest = k;
        }
        // Rounding must not tint a uniform area: the weights sum to exactly one.
        taps.Weights[largest] += WeightOne - total;
        while (taps.Weights.size() > 1 && taps.Weights.back() == 0)
            taps.Weights.pop_back();
        while (taps.Weights.size() > 1 && taps.Weights.front() == 0) {
            taps.Weights.erase(taps.Weights.begin());
            ++taps.First;
        }
    }
    return axis;
}

std::uint32_t Channel(std::int64_t sum, int shift) {
    // The cubic's negative lobes may overshoot either end.
    const std::int64_t value = (sum + WeightOne / 2) >> WeightBits;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, 255)) << shift;
}

// One pass along rows (`horizontal`) or columns: every target pixel from the taps over its line.
void ResamplePass(const TBitmap32& source, TBitmap32& target, const std::vector<TTaps>& axis,
                  bool horizontal) {
    const std::uint32_t* from = source.Bits();
    std::uint32_t* to = target.Bits();
    const std::size_t sourceWidth = static_cast<std::size_t>(source.Width());
    const std::size_t targetWidth = static_cast<std::size_t>(target.Width());
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
            const TTaps& taps = axis[static_cast<std::size_t>(horizontal ? x : y)];
            std::int64_t a = 0, r = 0, g = 0, b = 0;
            for (std::size_t k = 0; k < taps.Weights.size(); ++k) {
                const int at = taps.First + static_cast<int>(k);
                const std::uint32_t pixel =
                    horizontal
                        ? from[static_cast<std::size_t>(y) * sourceWidth + static_cast<std::size_t>(at)]
                        : from[static_cast<std::size_t>(at) * sourceWidth + static_cast<std::size_t>(x)];
                const std::int64_t weight = taps.Weights[k];
                a += weight * (pixel >> 24);
                r += weight * ((pixel >> 16) & 0xFF);
                g += weight * ((pixel >> 8) & 0xFF);
                b += weight * (pixel & 0xFF);
            }
            to[static_cast<std::size_t>(y) * targetWidth + static_cast<std::size_t>(x)] =
                Channel(a, 24) | Channel(r, 16) | Channel(g, 8) | Channel(b, 0);
        }
    }
}
} // namespace

TBitmap32 Resample(const TBitmap32& source, int width, int height) {
    if (source.Empty() || width < 1 || height < 1)
        throw std::invalid_argument("resampling an empty bitmap or to an empty size");
    if (width == source.Width() && height == source.Height())
        return source;
    // Rows first, then columns; each pass keeps eight bits a channel.
    TBitmap32 rows(width, source.Height());
    ResamplePass(source, rows, AxisTaps(source.Width(), width), true);
    TBitmap32 result(width, height);
    ResamplePass(rows, result, AxisTaps(source.Height(), height), false);
    return result;
}

void ComposeScaledBackground(TBitmap32& target, int width, int height, int pixelsPerInch,
                             const TSkinImages& images) {
    if (pixelsPerInch == DesignPixelsPerInch || width < 1 || height < 1) {
        ComposeBackground(target, width, height, images);
        return;
    }
    TBitmap32 design;
    ComposeBackground(design, std::max(1, Unscaled(width, pixelsPerInch)),
                      std::max(1, Unscaled(height, pixelsPerInch)), images);
    target = Resample(design, width, height);
}
