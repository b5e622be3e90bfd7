// The skin and the main window as the program builds them, with its real resources.
#include <gtest/gtest.h>

#include <richedit.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Main.h"
#include "app/PngImage.h"
#include "app/SkinLoader.h"
#include "app/WindowScale.h"
#include "support/PlacementWin.h"
#include "resources/ResourceIds.h"
#include "win/Resources.h"
#include "common/ErrorWin.h"
#include "win/ComPtr.h"

namespace {
class SkinTest : public ::testing::Test {
protected:
    TOleInit FOle;
};

std::span<const std::uint8_t> Resource(const wchar_t* name) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    return {static_cast<const std::uint8_t*>(data), data ? ::SizeofResource(module, info) : 0};
}

// The image as the system's imaging component reads it, alpha straight: what the program's reader must
// give, pixel for pixel.
TBitmap32 ReadWithImagingComponent(std::span<const std::uint8_t> png) {
    TComPtr<IWICImagingFactory> factory;
    CheckHResult(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, factory.PutVoid()),
                 L"WIC");
    TComPtr<IWICStream> stream;
    CheckHResult(factory->CreateStream(stream.Put()), L"WIC");
    CheckHResult(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size())),
                 L"WIC");
    TComPtr<IWICBitmapDecoder> decoder;
    CheckHResult(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                  decoder.Put()),
                 L"WIC");
    TComPtr<IWICBitmapFrameDecode> frame;
    CheckHResult(decoder->GetFrame(0, frame.Put()), L"WIC");
    TComPtr<IWICFormatConverter> converter;
    CheckHResult(factory->CreateFormatConverter(converter.Put()), L"WIC");
    CheckHResult(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                       nullptr, 0.0, WICBitmapPaletteTypeCustom),
                 L"WIC");
    UINT width = 0;
    UINT height = 0;
    CheckHResult(converter->GetSize(&width, &height), L"WIC");
    TBitmap32 image(static_cast<int>(width), static_cast<int>(height));
    CheckHResult(
        converter->CopyPixels(nullptr, width * 4, width * height * 4, reinterpret_cast<BYTE*>(image.Bits())),
        L"WIC");
    return image;
}

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

TEST_F(SkinTest, ReaderGivesThePixelsOfTheImagingComponent) {
    for (const wchar_t* name : {L"BACKGROUND", L"MAIN", L"LOGO", L"TITLE_PNL_L", L"TITLE_PNL_R",
                                L"TITLE_PNL_M", L"TITLE", L"TEST_ALPHA", L"TEST_TITLE"}) {
        SCOPED_TRACE(testing::Message() << "resource " << std::string(name, name + std::wcslen(name)));
        const auto png = Resource(name);
        ASSERT_FALSE(png.empty());
        const TBitmap32 expected = ReadWithImagingComponent(png);
        const TBitmap32 own = DecodePng(png);
        ASSERT_EQ(own.Width(), expected.Width());
        ASSERT_EQ(own.Height(), expected.Height());
        const std::size_t count =
            static_cast<std::size_t>(own.Width()) * static_cast<std::size_t>(own.Height());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < count; ++i)
            differing += own.Bits()[i] != expected.Bits()[i];
        EXPECT_EQ(differing, 0u);
    }
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
    main.CreateInfoBox();
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
    const RECT rich = placeOf(main.Pages().RichEdit1);
    EXPECT_EQ(rich.left, 16);
    EXPECT_EQ(rich.top, 110);
    EXPECT_EQ(rich.right - rich.left, 282);
    EXPECT_EQ(rich.bottom - rich.top, 441);
    const RECT pages = placeOf(main.Pages().InsatallPages.Handle());
    EXPECT_EQ(pages.left, 320);
    EXPECT_EQ(pages.right - pages.left, 619);

    const COLORREF title = RGB(236, 236, 235);
    EXPECT_EQ(main.ControlColour(), title);
    // EM_SETBKGNDCOLOR answers with the colour it replaces.
    EXPECT_EQ(
        static_cast<COLORREF>(::SendMessageW(main.Pages().RichEdit1, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3))),
        title);
    EXPECT_EQ(BrushColour(main.Pages().InsatallPages.Brush()), title);
    EXPECT_EQ(BrushColour(main.Pages().tsStart.Brush()), title);
    // A page's text block asks its page, and the page passes the question up to the main window.
    TWindowDC dc(main.Pages().MemoStart);
    const auto memoBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(main.Pages().tsStart.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                       reinterpret_cast<LPARAM>(main.Pages().MemoStart)));
    EXPECT_EQ(BrushColour(memoBrush), title);
    EXPECT_EQ(::GetBkColor(dc.Get()), title);
    EXPECT_EQ(::GetTextColor(dc.Get()), RGB(0, 0, 128));
}

namespace {
bool VisibleStyle(HWND window) {
    return (::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}
} // namespace

TEST_F(SkinTest, StartUpStateOfTheMainWindow) {
    TFMain main;
    main.Create();
    // The information box comes after the first paint, on its own once its libraries have loaded aside.
    EXPECT_EQ(main.Pages().RichEdit1, nullptr);
    main.Show();
    EXPECT_EQ(main.Pages().RichEdit1, nullptr);
    for (int wait = 0; wait < 500 && !main.Pages().RichEdit1; ++wait) {
        ::Sleep(10);
        MSG message;
        while (::PeekMessageW(&message, main.Handle(), 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT) // what the windows of the tests before have posted
                ::DispatchMessageW(&message);
    }
    ASSERT_TRUE(::IsWindow(main.Pages().RichEdit1));
    EXPECT_TRUE(::IsWindowVisible(main.Pages().RichEdit1));
    // Where it stood when it came first: the window's first child.
    EXPECT_EQ(::GetWindow(main.Handle(), GW_CHILD), main.Pages().RichEdit1);
    EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(main.Pages().RichEdit1, EM_SETBKGNDCOLOR, 0, 0)),
              main.ControlColour());
    EXPECT_EQ(main.CurrentPage(), TPage::tsStart);
    EXPECT_TRUE(main.FCanClose);
    EXPECT_FALSE(EditionFlag);
    EXPECT_TRUE(VisibleStyle(main.Pages().tsStart.Handle()));
    EXPECT_TRUE(::IsWindow(main.Pages().BtnStartNext));
    // The window opens with its welcome page only; "Далее" makes the others, in their first state and in
    // the skin's colours, before it shows the next one.
    EXPECT_EQ(main.Pages().tsInputPath.Handle(), nullptr);
    EXPECT_EQ(main.Pages().ePath, nullptr);
    EXPECT_EQ(main.Pages().BtnExit, nullptr);
    main.BtnStartNextClick();
    EXPECT_EQ(main.CurrentPage(), TPage::tsInputPath);
    EXPECT_TRUE(VisibleStyle(main.Pages().tsInputPath.Handle()));
    EXPECT_FALSE(VisibleStyle(main.Pages().tsStart.Handle()));
    for (HWND page : {main.Pages().tsInputComponents.Handle(), main.Pages().tsProgressInstall.Handle(),
                      main.Pages().tsCancel.Handle(), main.Pages().tsChangeFontSize.Handle()}) {
        ASSERT_TRUE(::IsWindow(page));
        EXPECT_FALSE(VisibleStyle(page));
    }
    wchar_t path[64] = L"";
    ::GetWindowTextW(main.Pages().ePath, path, 64);
    EXPECT_STREQ(path, L"C:\\Dedira");
    EXPECT_FALSE(::IsWindowEnabled(main.Pages().BtnExit));
    EXPECT_EQ(::SendMessageW(main.Pages().CbDriverInstal, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(main.Pages().CBWindows, CB_GETCURSEL, 0, 0), 0);
    EXPECT_FALSE(::IsWindowVisible(main.Pages().CBWindows));
    const COLORREF title = RGB(236, 236, 235);
    EXPECT_EQ(BrushColour(main.Pages().tsInputPath.Brush()), title);
    EXPECT_EQ(BrushColour(main.Pages().PnlOptions.Brush()), title);
    EXPECT_EQ(BrushColour(main.Pages().PnlPath.Brush()), RGB(255, 255, 255));
    // Made once: asking again changes nothing.
    HWND path1 = main.Pages().ePath;
    main.CreateRemainingPages();
    EXPECT_EQ(main.Pages().ePath, path1);
    // The INFO document arrived as rich text, not as its source.
    const int length = ::GetWindowTextLengthW(main.Pages().RichEdit1);
    EXPECT_GT(length, 50);
    std::wstring info(static_cast<std::size_t>(length) + 1, L'\0');
    ::GetWindowTextW(main.Pages().RichEdit1, info.data(), length + 1);
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

namespace {
// Room for the window at any resolution the tests use.
constexpr TRect RoomyWorkArea{0, 0, 8000, 6000};

RECT PlaceInMain(const TFMain& main, HWND control) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(HWND_DESKTOP, main.Handle(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

BOOL CALLBACK CollectPlace(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<std::pair<HWND, RECT>>*>(list)->push_back({child, RECT{}});
    return TRUE;
}

// Every descendant of the main window with its place in the main window's client area.
std::vector<std::pair<HWND, RECT>> Places(const TFMain& main) {
    std::vector<std::pair<HWND, RECT>> places;
    ::EnumChildWindows(main.Handle(), CollectPlace, reinterpret_cast<LPARAM>(&places));
    for (auto& [window, rect] : places)
        rect = PlaceInMain(main, window);
    return places;
}

RECT ScaledEdges(const RECT& design, int dpi) {
    return {Scaled(design.left, dpi), Scaled(design.top, dpi), Scaled(design.right, dpi),
            Scaled(design.bottom, dpi)};
}

int FontHeight(HWND control) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return -font.lfHeight;
}

bool VerticalBarShown(HWND window) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    return ::GetScrollBarInfo(window, OBJID_VSCROLL, &info) && !(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

// The same windows, in the same order, at `dpi`: each where its design place scales to.
void ExpectScaledFrom(const std::vector<std::pair<HWND, RECT>>& design, const TFMain& main, int dpi) {
    const auto places = Places(main);
    ASSERT_EQ(places.size(), design.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        const auto& [window, now] = places[i];
        wchar_t className[32] = L"";
        ::GetClassNameW(window, className, 32);
        RECT expected = ScaledEdges(design[i].second, dpi);
        if (std::wstring(className) == L"ComboBox")
            expected.bottom = now.bottom; // a closed drop-down list takes the height its font needs
        EXPECT_TRUE(::EqualRect(&now, &expected))
            << dpi << " dpi: " << std::string(className, className + std::wcslen(className)) << " at ("
            << now.left << ", " << now.top << ")-(" << now.right << ", " << now.bottom << ")";
    }
}
} // namespace

TEST_F(SkinTest, AtAnotherResolutionEverythingIsLaidOutAtItsScale) {
    TFMain design;
    design.Create({96, RoomyWorkArea});
    design.CreateRemainingPages();
    design.BGResize();
    design.CreateInfoBox();
    const auto designPlaces = Places(design);

    // 125 per cent: large enough to show every rounding, small enough for any test screen, which the
    // system does not let a window outgrow.
    // The fonts are fitted to every page's texts: all pages are made with the window.
    TFMain main;
    main.Create({120, RoomyWorkArea});
    ASSERT_TRUE(::IsWindow(main.Pages().ePath));
    main.BGResize();
    main.CreateInfoBox();
    ASSERT_EQ(main.PixelsPerInch(), 120);
    RECT client;
    ::GetClientRect(main.Handle(), &client);
    EXPECT_EQ(client.right, 1215);
    EXPECT_EQ(client.bottom, 729);
    ExpectScaledFrom(designPlaces, main, 120);

    // The background is the design's, composed and resampled; the controls keep the title's colour.
    TBitmap32 expected;
    ComposeScaledBackground(expected, 1215, 729, 120, main.FSkin);
    ASSERT_EQ(main.FBackground.Width(), 1215);
    EXPECT_TRUE(std::equal(expected.Bits(), expected.Bits() + 1215 * 729, main.FBackground.Bits()));
    EXPECT_EQ(main.ControlColour(), RGB(236, 236, 235));

    // Fonts at the scale (the page texts' may give up a pixel to keep their lines), the texts on as many
    // lines as at 96, the information box, which draws at this test's 96, without a scroll bar.
    EXPECT_EQ(FontHeight(main.Pages().MemoStart), 25);
    EXPECT_GE(FontHeight(main.Pages().BtnStartNext), 18);
    EXPECT_LE(FontHeight(main.Pages().BtnStartNext), 19);
    for (auto [designMemo, memo] : {std::pair{design.Pages().MemoStart, main.Pages().MemoStart},
                                    {design.Pages().MemoInputComponents, main.Pages().MemoInputComponents},
                                    {design.Pages().MemoChangeFontSize, main.Pages().MemoChangeFontSize},
                                    {design.Pages().MemoCancel, main.Pages().MemoCancel}})
        EXPECT_EQ(::SendMessageW(memo, EM_GETLINECOUNT, 0, 0),
                  ::SendMessageW(designMemo, EM_GETLINECOUNT, 0, 0));
    EXPECT_EQ(VerticalBarShown(main.Pages().RichEdit1), VerticalBarShown(design.Pages().RichEdit1));
    EXPECT_LE(::SendMessageW(main.Pages().RichEdit1, EM_GETLINECOUNT, 0, 0),
              ::SendMessageW(design.Pages().RichEdit1, EM_GETLINECOUNT, 0, 0) + 1);
}

TEST_F(SkinTest, MovedToAMonitorOfAnotherResolutionTheWindowLaysItselfOutAgain) {
    TFMain main;
    main.Create({96, RoomyWorkArea});
    main.CreateRemainingPages();
    main.BGResize();
    main.CreateInfoBox();
    const auto designPlaces = Places(main);
    const TBitmap32 designBackground = main.FBackground;
    const int designTimes = FontHeight(main.Pages().MemoStart);
    const int designTahoma = FontHeight(main.Pages().BtnStartNext);

    // The system's suggestion: the window scaled about its top-left corner, somewhere on the screen.
    RECT suggested{40, 30, 40 + 1464, 30 + 904};
    ::SendMessageW(main.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, ::GetWindowLongW(main.Handle(), GWL_STYLE), FALSE, 0);
    const TRect work = WorkAreaOf(suggested);
    const int dpi = FitPixelsPerInch(144, {972, 583}, {frame.right - frame.left, frame.bottom - frame.top},
                                     {work.Width, work.Height});
    EXPECT_EQ(main.PixelsPerInch(), dpi);
    RECT client;
    ::GetClientRect(main.Handle(), &client);
    EXPECT_EQ(client.right, Scaled(972, dpi));
    EXPECT_EQ(client.bottom, Scaled(583, dpi));
    RECT window;
    ::GetWindowRect(main.Handle(), &window);
    const TPoint place =
        KeepInWorkArea({40, 30}, {window.right - window.left, window.bottom - window.top}, work);
    EXPECT_EQ(window.left, place.Left);
    EXPECT_EQ(window.top, place.Top);
    ExpectScaledFrom(designPlaces, main, dpi);
    EXPECT_EQ(main.FBackground.Width(), Scaled(972, dpi));
    EXPECT_EQ(FontHeight(main.Pages().MemoStart), Scaled(20, dpi));

    // And back: every control, font and pixel as it was at creation.
    RECT back{40, 30, 40 + 978, 30 + 612};
    ::SendMessageW(main.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(main.PixelsPerInch(), 96);
    ExpectScaledFrom(designPlaces, main, 96);
    EXPECT_EQ(FontHeight(main.Pages().MemoStart), designTimes);
    EXPECT_EQ(FontHeight(main.Pages().BtnStartNext), designTahoma);
    ASSERT_EQ(main.FBackground.Width(), 972);
    EXPECT_TRUE(
        std::equal(designBackground.Bits(), designBackground.Bits() + 972 * 583, main.FBackground.Bits()));
}

TEST_F(SkinTest, PagesMadeAfterAMoveToAnotherResolutionAreLaidOutAtIt) {
    TFMain design;
    design.Create({96, RoomyWorkArea});
    design.CreateRemainingPages();
    design.BGResize();
    const auto designPlaces = Places(design);

    // Moved while only the welcome page exists: the fonts are fitted to every page, so the others come too.
    TFMain main;
    main.Create({96, RoomyWorkArea});
    ASSERT_EQ(main.Pages().ePath, nullptr);
    RECT suggested{40, 30, 40 + 1220, 30 + 760};
    ::SendMessageW(main.Handle(), WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_TRUE(::IsWindow(main.Pages().ePath));
    ExpectScaledFrom(designPlaces, main, main.PixelsPerInch());
}
