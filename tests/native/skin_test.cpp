#include <gtest/gtest.h>

#include <algorithm>

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
