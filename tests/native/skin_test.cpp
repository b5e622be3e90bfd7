#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "app/Skin.h"

namespace {
const TSkinSizes ProductSizes{{128, 128}, {22, 100}, {22, 100}, {1, 100}, {72, 70}, {500, 66}, {958, 472}};

std::vector<TSkinPlacement> Of(const std::vector<TSkinPlacement>& layout, TSkinPart part) {
    std::vector<TSkinPlacement> result;
    std::copy_if(layout.begin(), layout.end(), std::back_inserter(result),
                 [part](const TSkinPlacement& p) { return p.Part == part; });
    return result;
}
} // namespace

TEST(SkinLayout, MainWindowSize) {
    const auto layout = SkinLayout(972, 583, ProductSizes);
    const auto tiles = Of(layout, TSkinPart::Texture);
    ASSERT_EQ(tiles.size(), 8u * 5u); // x 0..896, y 0..512
    EXPECT_EQ(tiles.front().X, 0);
    EXPECT_EQ(tiles.back().X, 896);
    EXPECT_EQ(tiles.back().Y, 512);

    const auto right = Of(layout, TSkinPart::TitleRight);
    ASSERT_EQ(right.size(), 1u);
    EXPECT_EQ(right[0].X, 950);
    const auto slices = Of(layout, TSkinPart::TitleMiddle);
    ASSERT_EQ(slices.size(), 928u);
    EXPECT_EQ(slices.front().X, 22);
    EXPECT_EQ(slices.back().X, 949);

    const auto logo = Of(layout, TSkinPart::Logo);
    EXPECT_EQ(logo[0].X, 17);
    EXPECT_EQ(logo[0].Y, 15);
    const auto title = Of(layout, TSkinPart::Title);
    EXPECT_EQ(title[0].X, 236);
    EXPECT_EQ(title[0].Y, 20);
    EXPECT_EQ(layout.back().Part, TSkinPart::Panels); // drawn last, over the title bar's bottom rows
    EXPECT_EQ(layout.back().X, -3);
    EXPECT_EQ(layout.back().Y, 95);
}

TEST(SkinLayout, EdgeSizes) {
    const auto tiles = Of(SkinLayout(256, 10, ProductSizes), TSkinPart::Texture);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[2].X, 256);

    for (int width : {43, 44, 20}) {
        const auto layout = SkinLayout(width, 50, ProductSizes);
        EXPECT_TRUE(Of(layout, TSkinPart::TitleMiddle).empty()) << width;
        EXPECT_EQ(Of(layout, TSkinPart::TitleRight)[0].X, width - 22);
    }
    EXPECT_EQ(Of(SkinLayout(45, 50, ProductSizes), TSkinPart::TitleMiddle).size(), 1u);
    // Title wider than the box: centred by truncating division.
    EXPECT_EQ(Of(SkinLayout(499, 50, ProductSizes), TSkinPart::Title)[0].X, 0);
    EXPECT_EQ(Of(SkinLayout(497, 50, ProductSizes), TSkinPart::Title)[0].X, -1);
}

TEST(Bitmap32, DrawClipsAtEveryEdge) {
    TBitmap32 target(4, 3, 0);
    TBitmap32 source(3, 2, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            source.SetPixel(x, y, Argb(255, 0, 0, static_cast<unsigned>(10 * y + x + 1)));
    target.Draw(-1, 2, source); // only the top row's last two pixels land, in the bottom row
    EXPECT_EQ(target.Pixel(0, 2), source.Pixel(1, 0));
    EXPECT_EQ(target.Pixel(1, 2), source.Pixel(2, 0));
    EXPECT_EQ(target.Pixel(2, 2), 0u);
    EXPECT_EQ(target.Pixel(0, 1), 0u);
    target.Draw(4, 0, source); // entirely outside
    target.Draw(-3, -2, source);
    EXPECT_EQ(target.Pixel(3, 0), 0u);
    EXPECT_THROW(target.Pixel(4, 0), std::out_of_range);
}

TEST(Bitmap32, FlattensOntoWhiteAndColourComesFromTopLeft) {
    TBitmap32 bitmap(3, 1);
    bitmap.SetPixel(0, 0, Argb(128, 0, 0, 255));
    bitmap.SetPixel(1, 0, Argb(0, 255, 0, 0));
    bitmap.SetPixel(2, 0, Argb(255, 10, 20, 30));
    FlattenOntoWhite(bitmap);
    EXPECT_EQ(bitmap.Pixel(0, 0), Argb(255, 127, 127, 255));
    EXPECT_EQ(bitmap.Pixel(1, 0), Argb(255, 255, 255, 255));
    EXPECT_EQ(bitmap.Pixel(2, 0), Argb(255, 10, 20, 30));

    TBitmap32 title(2, 2, Argb(255, 10, 20, 30));
    EXPECT_EQ(ControlColourOf(title), 0x001E140Au); // red in the low byte, as Windows colours are
}

TEST(ComposeBackground, PanelsCoverTheTitleBarAndLogoSitsOnIt) {
    TSkinImages images;
    images.Texture.SetSize(128, 128, Argb(255, 1, 1, 1));
    images.TitleLeft.SetSize(22, 100, Argb(255, 2, 2, 2));
    images.TitleRight.SetSize(22, 100, Argb(255, 3, 3, 3));
    images.TitleMiddle.SetSize(1, 100, Argb(255, 4, 4, 4));
    images.Logo.SetSize(72, 70, Argb(255, 5, 5, 5));
    images.Title.SetSize(500, 66, Argb(255, 6, 6, 6));
    images.Panels.SetSize(958, 472, Argb(255, 7, 7, 7));
    TBitmap32 bg;
    ComposeBackground(bg, 972, 583, images);
    EXPECT_EQ(bg.Pixel(0, 0), images.TitleLeft.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(971, 0), images.TitleRight.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(500, 5), images.TitleMiddle.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(17, 15), images.Logo.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(236, 20), images.Title.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(0, 95), images.Panels.Pixel(0, 0)); // the panels overlap the bar's bottom rows
    EXPECT_EQ(bg.Pixel(954, 566), images.Panels.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(960, 570), images.Texture.Pixel(0, 0)); // right of and below the panels
}

namespace {
TBitmap32 Filled(int width, int height, std::uint32_t colour) {
    return TBitmap32(width, height, colour);
}

unsigned Red(std::uint32_t pixel) {
    return (pixel >> 16) & 0xFF;
}
} // namespace

TEST(Resample, UniformStaysExactAndTheSameSizeStaysUnchanged) {
    const std::uint32_t colour = Argb(255, 236, 236, 235);
    for (auto [w, h] : {std::pair{1215, 729}, {1458, 875}, {61, 7}, {1, 1}}) {
        const TBitmap32 scaled = Resample(Filled(972, 583, colour), w, h);
        ASSERT_EQ(scaled.Width(), w);
        ASSERT_EQ(scaled.Height(), h);
        for (int y = 0; y < h; y += std::max(1, h / 13))
            for (int x = 0; x < w; x += std::max(1, w / 17))
                ASSERT_EQ(scaled.Pixel(x, y), colour) << x << "," << y;
    }
    TBitmap32 noise(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            noise.SetPixel(x, y, Argb(255, static_cast<unsigned>(x * 50), static_cast<unsigned>(y * 60), 7));
    const TBitmap32 same = Resample(noise, 5, 4);
    EXPECT_TRUE(std::equal(noise.Bits(), noise.Bits() + 20, same.Bits()));
    EXPECT_THROW(Resample(TBitmap32(), 2, 2), std::invalid_argument);
    EXPECT_THROW(Resample(noise, 0, 2), std::invalid_argument);
}

TEST(Resample, EnlargingBlendsAnEdgeAndReducingAveragesFinePatterns) {
    // Black left half, white right half: enlarged, the edge gets a few intermediate steps instead of a
    // hard jump at a blown-up pixel, and far from the edge the colours stay.
    TBitmap32 edge(8, 1, Argb(255, 0, 0, 0));
    for (int x = 4; x < 8; ++x)
        edge.SetPixel(x, 0, Argb(255, 255, 255, 255));
    const TBitmap32 big = Resample(edge, 24, 3);
    EXPECT_EQ(big.Pixel(0, 1), Argb(255, 0, 0, 0));
    EXPECT_EQ(big.Pixel(23, 1), Argb(255, 255, 255, 255));
    int between = 0;
    for (int x = 0; x < 24; ++x) {
        const unsigned red = Red(big.Pixel(x, 1));
        between += red > 10 && red < 245;
        if (x > 0) {
            EXPECT_GE(red + 8, Red(big.Pixel(x - 1, 1))) << "no more than a slight ring at " << x;
        }
    }
    EXPECT_GE(between, 2);
    EXPECT_LE(between, 6);
    // Alpha stays opaque where everything is opaque.
    for (int x = 0; x < 24; ++x)
        EXPECT_EQ(big.Pixel(x, 0) >> 24, 255u);

    // A one-pixel checkerboard reduced to a third: grey, not a pattern of whole black and white pixels.
    TBitmap32 checker(30, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            checker.SetPixel(x, y, (x + y) % 2 ? Argb(255, 255, 255, 255) : Argb(255, 0, 0, 0));
    const TBitmap32 small = Resample(checker, 10, 10);
    for (int y = 1; y < 9; ++y)
        for (int x = 1; x < 9; ++x) {
            EXPECT_GT(Red(small.Pixel(x, y)), 90u);
            EXPECT_LT(Red(small.Pixel(x, y)), 165u);
        }
}

TEST(ComposeBackground, ScaledBackgroundIsTheDesignOneAtDesignResolutionAndKeepsItsPartsInPlace) {
    TSkinImages images;
    images.Texture.SetSize(128, 128, Argb(255, 10, 10, 10));
    images.TitleLeft.SetSize(22, 100, Argb(255, 20, 20, 20));
    images.TitleRight.SetSize(22, 100, Argb(255, 30, 30, 30));
    images.TitleMiddle.SetSize(1, 100, Argb(255, 40, 40, 40));
    images.Logo.SetSize(72, 70, Argb(255, 50, 50, 50));
    images.Title.SetSize(500, 66, Argb(255, 60, 60, 60));
    images.Panels.SetSize(958, 472, Argb(255, 70, 70, 70));
    TBitmap32 design, scaled;
    ComposeBackground(design, 972, 583, images);
    ComposeScaledBackground(scaled, 972, 583, 96, images);
    ASSERT_EQ(scaled.Width(), 972);
    EXPECT_TRUE(std::equal(design.Bits(), design.Bits() + 972 * 583, scaled.Bits()));

    // At 150 per cent each part lies where its design place scales to, in its own colour away from edges.
    ComposeScaledBackground(scaled, 1458, 875, 144, images);
    ASSERT_EQ(scaled.Width(), 1458);
    ASSERT_EQ(scaled.Height(), 875);
    EXPECT_EQ(scaled.Pixel((17 + 36) * 3 / 2, (15 + 35) * 3 / 2), images.Logo.Pixel(0, 0));
    EXPECT_EQ(scaled.Pixel((236 + 250) * 3 / 2, (20 + 33) * 3 / 2), images.Title.Pixel(0, 0));
    EXPECT_EQ(scaled.Pixel(500 * 3 / 2, 300 * 3 / 2), images.Panels.Pixel(0, 0));
    EXPECT_EQ(scaled.Pixel(5, 5), images.TitleLeft.Pixel(0, 0));
    EXPECT_EQ(scaled.Pixel(1450, 5), images.TitleRight.Pixel(0, 0));
    EXPECT_EQ(scaled.Pixel(1450, 870), images.Texture.Pixel(0, 0));
    // The panels' top edge, at 95 in design, lies at 142 or 143.
    EXPECT_EQ(scaled.Pixel(700, 138), images.TitleMiddle.Pixel(0, 0));
    EXPECT_EQ(scaled.Pixel(700, 146), images.Panels.Pixel(0, 0));
}
