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
    // Row by row through pointers: the title bar's middle is copied a column at a time, a hundred thousand
    // rows in all.
    const std::size_t count = static_cast<std::size_t>(right - left);
    const std::uint32_t* from = &source.FPixels[source.Index(left - x, top - y)];
    std::uint32_t* to = &FPixels[Index(left, top)];
    for (int row = top; row < bottom; ++row, from += source.FWidth, to += FWidth)
        std::copy(from, from + count, to);
}

void FlattenOntoWhite(TBitmap32& bitmap) {
    std::uint32_t* pixel = bitmap.Bits();
    const std::size_t count =
        static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = pixel[i];
        const unsigned alpha = value >> 24;
        // The blend leaves an opaque pixel as it is and makes a transparent one white: most of the skin is
        // one or the other.
        if (alpha == 255)
            continue;
        if (alpha == 0) {
            pixel[i] = Argb(255, 255, 255, 255);
            continue;
        }
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
    auto size = [](const TBitmap32& b) { return TSize{b.Width(), b.Height()}; };
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

// The source pixels that make each target pixel along an axis: every target pixel takes `Count` pixels from
// its `First`, with fixed-point weights that sum to exactly one (zeros where it needs fewer).
struct TAxis {
    int Count = 0;
    std::vector<int> First;
    std::vector<std::int32_t> Weights; // Count per target pixel
};

TAxis AxisTaps(int from, int to) {
    const double scale = static_cast<double>(from) / to;
    const double stretch = std::max(scale, 1.0); // reducing widens the filter over the pixels it merges
    const double support = 2.0 * stretch;
    std::vector<int> firsts(static_cast<std::size_t>(to));
    std::vector<std::vector<std::int32_t>> taps(static_cast<std::size_t>(to));
    std::vector<double> weights;
    std::size_t count = 1;
    for (std::size_t i = 0; i < taps.size(); ++i) {
        const double centre = (static_cast<double>(i) + 0.5) * scale;
        int first = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int last = std::min(from, static_cast<int>(std::ceil(centre + support)));
        weights.clear();
        double sum = 0.0;
        for (int j = first; j < last; ++j) {
            weights.push_back(Cubic((j + 0.5 - centre) / stretch));
            sum += weights.back();
        }
        std::vector<std::int32_t>& fixed = taps[i];
        std::int32_t total = 0;
        std::size_t largest = 0;
        for (std::size_t k = 0; k < weights.size(); ++k) {
            fixed.push_back(static_cast<std::int32_t>(std::lround(weights[k] / sum * WeightOne)));
            total += fixed.back();
            if (fixed[k] > fixed[largest])
                largest = k;
        }
        // Rounding must not tint a uniform area.
        fixed[largest] += WeightOne - total;
        while (fixed.size() > 1 && fixed.back() == 0)
            fixed.pop_back();
        while (fixed.size() > 1 && fixed.front() == 0) {
            fixed.erase(fixed.begin());
            ++first;
        }
        firsts[i] = first;
        count = std::max(count, fixed.size());
    }
    // One window size for all, shifted back where it would run past the end, the gaps weighing nothing.
    TAxis axis;
    axis.Count = static_cast<int>(count);
    axis.First.resize(taps.size());
    axis.Weights.assign(taps.size() * count, 0);
    for (std::size_t i = 0; i < taps.size(); ++i) {
        const int start = std::max(0, std::min(firsts[i], from - axis.Count));
        axis.First[i] = start;
        std::copy(taps[i].begin(), taps[i].end(),
                  axis.Weights.begin() + static_cast<std::ptrdiff_t>(i * count) + (firsts[i] - start));
    }
    return axis;
}

// Sums stay far inside 32 bits: 255 times weights whose magnitudes add up to well under two.
std::uint32_t Channel(std::int32_t sum, int shift) {
    // The cubic's negative lobes may overshoot either end.
    const std::int32_t value = (sum + WeightOne / 2) >> WeightBits;
    return static_cast<std::uint32_t>(std::clamp(value, 0, 255)) << shift;
}

// Along each row: every target pixel from the taps over its neighbours in the row. `Count` known at compile
// time for the usual enlargements lets the compiler unroll the taps.
template <int Count>
void ResampleRows(const TBitmap32& source, TBitmap32& target, const TAxis& axis, int count = Count) {
    const std::size_t sourceWidth = static_cast<std::size_t>(source.Width());
    const std::size_t targetWidth = static_cast<std::size_t>(target.Width());
    for (std::size_t y = 0; y < static_cast<std::size_t>(target.Height()); ++y) {
        const std::uint32_t* row = source.Bits() + y * sourceWidth;
        std::uint32_t* out = target.Bits() + y * targetWidth;
        const std::int32_t* weight = axis.Weights.data();
        for (std::size_t x = 0; x < targetWidth; ++x, weight += count) {
            const std::uint32_t* pixel = row + axis.First[x];
            std::int32_t a = 0, r = 0, g = 0, b = 0;
            for (int k = 0; k < count; ++k) {
                const std::uint32_t value = pixel[k];
                const std::int32_t w = weight[k];
                a += w * static_cast<std::int32_t>(value >> 24);
                r += w * static_cast<std::int32_t>((value >> 16) & 0xFF);
                g += w * static_cast<std::int32_t>((value >> 8) & 0xFF);
                b += w * static_cast<std::int32_t>(value & 0xFF);
            }
            out[x] = Channel(a, 24) | Channel(r, 16) | Channel(g, 8) | Channel(b, 0);
        }
    }
}

// Down the columns, a whole row at a time so that memory is read in order: each target row is the weighted
// sum of the source rows under its taps.
void ResampleColumns(const TBitmap32& source, TBitmap32& target, const TAxis& axis) {
    const std::size_t width = static_cast<std::size_t>(target.Width());
    std::vector<std::int32_t> sums(width * 4);
    for (std::size_t y = 0; y < static_cast<std::size_t>(target.Height()); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = 0; k < axis.Count; ++k) {
            const std::int32_t weight =
                axis.Weights[y * static_cast<std::size_t>(axis.Count) + static_cast<std::size_t>(k)];
            if (weight == 0)
                continue;
            const std::uint32_t* row = source.Bits() + static_cast<std::size_t>(axis.First[y] + k) * width;
            std::int32_t* sum = sums.data();
            for (std::size_t x = 0; x < width; ++x, sum += 4) {
                const std::uint32_t pixel = row[x];
                sum[0] += weight * static_cast<std::int32_t>(pixel >> 24);
                sum[1] += weight * static_cast<std::int32_t>((pixel >> 16) & 0xFF);
                sum[2] += weight * static_cast<std::int32_t>((pixel >> 8) & 0xFF);
                sum[3] += weight * static_cast<std::int32_t>(pixel & 0xFF);
            }
        }
        std::uint32_t* out = target.Bits() + y * width;
        const std::int32_t* sum = sums.data();
        for (std::size_t x = 0; x < width; ++x, sum += 4)
            out[x] = Channel(sum[0], 24) | Channel(sum[1], 16) | Channel(sum[2], 8) | Channel(sum[3], 0);
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
    const TAxis across = AxisTaps(source.Width(), width);
    if (across.Count == 4)
        ResampleRows<4>(source, rows, across);
    else
        ResampleRows<0>(source, rows, across, across.Count);
    TBitmap32 result(width, height);
    ResampleColumns(rows, result, AxisTaps(source.Height(), height));
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
