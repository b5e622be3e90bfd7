// The skin and the main window as the program builds them, with its real resources.
#include <gtest/gtest.h>

#include <richedit.h>

#include "app/Main.h"
#include "app/SkinLoader.h"
#include "resources/ResourceIds.h"
#include "win/ComPtr.h"

namespace {
class SkinTest : public ::testing::Test {
protected:
    TOleInit FOle;
};

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH info{};
    ::GetObjectW(brush, sizeof(info), &info);
    return info.lbColor;
}
} // namespace

TEST_F(SkinTest, PngIsFlattenedOntoWhiteAndOpaque) {
    TBitmap32 bitmap;
    LoadPngResource(bitmap, L"TEST_ALPHA");
    ASSERT_EQ(bitmap.Width(), 2);
    ASSERT_EQ(bitmap.Height(), 1);
    EXPECT_EQ(bitmap.Pixel(0, 0), Argb(255, 127, 127, 255)); // blue at half alpha over white
    EXPECT_EQ(bitmap.Pixel(1, 0), Argb(255, 255, 255, 255)); // fully transparent red shows white

    // Rows come top-down: the top-left pixel is the one the title colour is taken from.
    TBitmap32 title;
    LoadPngResource(title, L"TEST_TITLE");
    EXPECT_EQ(ControlColourOf(title), RGB(10, 20, 30));
    EXPECT_EQ(ControlColourOf(bitmap), RGB(127, 127, 255));

    EXPECT_THROW(LoadPngResource(bitmap, L"NO_SUCH_IMAGE"), TError);
}

TEST_F(SkinTest, ProductImagesHaveTheSizesTheLayoutReliesOn) {
    TSkinImages images;
    LoadSkinImages(images);
    const TSkinSizes sizes = images.Sizes();
    EXPECT_EQ(sizes.Texture.Width, 128);
    EXPECT_EQ(sizes.Texture.Height, 128);
    EXPECT_EQ(sizes.Panels.Width, 958);
    EXPECT_EQ(sizes.Panels.Height, 472);
    EXPECT_EQ(sizes.Logo.Width, 72);
    EXPECT_EQ(sizes.Logo.Height, 70);
    EXPECT_EQ(sizes.TitleLeft.Width, 22);
    EXPECT_EQ(sizes.TitleRight.Height, 100);
    EXPECT_EQ(sizes.TitleMiddle.Width, 1);
    EXPECT_EQ(sizes.Title.Width, 500);
    EXPECT_EQ(sizes.Title.Height, 66);
    EXPECT_EQ(images.Title.Pixel(0, 0), Argb(255, 236, 236, 235));
}

TEST_F(SkinTest, MainWindowComposesTheBackgroundAndColoursItsControls) {
    TFMain main;
    main.Create();
    main.BGResize();
    const TBitmap32& bg = main.FBackground;
    ASSERT_EQ(bg.Width(), 972);
    ASSERT_EQ(bg.Height(), 583);
    const TSkinImages& skin = main.FSkin;
    EXPECT_EQ(bg.Pixel(0, 0), skin.TitleLeft.Pixel(0, 0));
    EXPECT_EQ(bg.Pixel(960, 10), skin.TitleRight.Pixel(10, 10));
    EXPECT_EQ(bg.Pixel(500, 3), skin.TitleMiddle.Pixel(0, 3));
    EXPECT_EQ(bg.Pixel(17 + 30, 15 + 30), skin.Logo.Pixel(30, 30));
    EXPECT_EQ(bg.Pixel(236 + 250, 20 + 40), skin.Title.Pixel(250, 40));
    EXPECT_EQ(bg.Pixel(0, 95), skin.Panels.Pixel(3, 0));
    EXPECT_EQ(bg.Pixel(500, 300), skin.Panels.Pixel(503, 205));
    EXPECT_EQ(bg.Pixel(965, 575), skin.Texture.Pixel(965 % 128, 575 % 128));

    // Both controls sit over the panels, at fixed places of the client area.
    auto placeOf = [&](HWND control) {
        RECT rect;
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(HWND_DESKTOP, main.Handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    const RECT rich = placeOf(main.RichEdit1);
    EXPECT_EQ(rich.left, 16);
    EXPECT_EQ(rich.top, 110);
    EXPECT_EQ(rich.right - rich.left, 282);
    EXPECT_EQ(rich.bottom - rich.top, 441);
    const RECT pages = placeOf(main.InsatallPages.Handle());
    EXPECT_EQ(pages.left, 320);
    EXPECT_EQ(pages.right - pages.left, 619);

    const COLORREF title = RGB(236, 236, 235);
    EXPECT_EQ(main.ControlColour(), title);
    // EM_SETBKGNDCOLOR answers with the colour it replaces.
    EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(main.RichEdit1, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3))),
              title);
    EXPECT_EQ(BrushColour(main.InsatallPages.Brush()), title);
    EXPECT_EQ(BrushColour(main.tsStart.Brush()), title);
    // A page's text block asks its page, and the page passes the question up to the main window.
    TWindowDC dc(main.MemoStart);
    const auto memoBrush = reinterpret_cast<HBRUSH>(::SendMessageW(main.tsStart.Handle(), WM_CTLCOLORSTATIC,
                                                                   reinterpret_cast<WPARAM>(dc.Get()),
                                                                   reinterpret_cast<LPARAM>(main.MemoStart)));
    EXPECT_EQ(BrushColour(memoBrush), title);
    EXPECT_EQ(::GetBkColor(dc.Get()), title);
    EXPECT_EQ(::GetTextColor(dc.Get()), RGB(0, 0, 128));
}

TEST_F(SkinTest, StartUpStateOfTheMainWindow) {
    TFMain main;
    main.Create();
    wchar_t path[64] = L"";
    ::GetWindowTextW(main.ePath, path, 64);
    EXPECT_STREQ(path, L"C:\\Dedira");
    EXPECT_EQ(main.CurrentPage(), TPage::tsStart);
    EXPECT_TRUE(main.FCanClose);
    EXPECT_FALSE(EditionFlag);
    EXPECT_FALSE(::IsWindowEnabled(main.BtnExit));
    EXPECT_TRUE(::IsWindowVisible(main.tsStart.Handle()) || !::IsWindowVisible(main.Handle()));
    EXPECT_EQ(::SendMessageW(main.CbDriverInstal, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(main.CBWindows, CB_GETCURSEL, 0, 0), 0);
    EXPECT_FALSE(::IsWindowVisible(main.CBWindows));
    // The INFO document arrived as rich text, not as its source.
    const int length = ::GetWindowTextLengthW(main.RichEdit1);
    EXPECT_GT(length, 50);
    std::wstring info(static_cast<std::size_t>(length) + 1, L'\0');
    ::GetWindowTextW(main.RichEdit1, info.data(), length + 1);
    EXPECT_EQ(info.find(L"\\rtf"), std::wstring::npos);
    EXPECT_NE(info.find(L"Тессаро"), std::wstring::npos);
}

TEST(ResourceText, StringTableAndEdition) {
    EXPECT_EQ(GetResText(IDS_APP_NAME), L"Dedira");
    EXPECT_EQ(GetResText(IDS_PRODUCT_NAME), L"Тессаро - Холтер");
    EXPECT_EQ(GetResText(IDS_SHELL_EXE), L"Shell.exe");
    EXPECT_EQ(GetResText(3), L""); // no such string
    EXPECT_EQ(UpperCase(L"Фиалон ёж"), L"ФИАЛОН ЁЖ");
    EXPECT_NE(UpperCase(GetResText(IDS_PRODUCT_NAME)), UpperCase(L"Фиалон"));
}
