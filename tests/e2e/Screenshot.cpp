// Screenshots of the wizard's windows as PNG files, read back from the screen and encoded with WIC.
#include "WizardDriver.h"

#include <wincodec.h>

#include <cstdint>
#include <vector>

#include "win/ComPtr.h"

namespace e2e {
namespace {

void Check(HRESULT result, const wchar_t* what, const std::wstring& path) {
    if (FAILED(result))
        throw TDriverError(std::wstring(what) + L" failed (0x" +
                           std::to_wstring(static_cast<unsigned>(result)) + L") for the screenshot " + path);
}

} // namespace

void SaveWindowImage(HWND window, const std::wstring& path) {
    // The client area only: without a window manager (Xvfb) nobody draws the frame, which shows as black.
    RECT rect{};
    POINT origin{0, 0};
    if (!::GetClientRect(window, &rect) || !::ClientToScreen(window, &origin) || rect.right <= 0 ||
        rect.bottom <= 0)
        throw TDriverError(L"no area to capture for the screenshot " + path);
    const int width = rect.right;
    const int height = rect.bottom;

    // The screen, not PrintWindow: a black box cannot rely on the wizard answering WM_PRINT.
    TWindowDC screen(nullptr);
    TUniqueMemoryDC memory(::CreateCompatibleDC(screen.Get()));
    TUniqueBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    if (!memory || !bitmap)
        throw TDriverError(L"no memory bitmap for the screenshot " + path);
    BITMAPINFO layout{};
    layout.bmiHeader.biSize = sizeof layout.bmiHeader;
    layout.bmiHeader.biWidth = width;
    layout.bmiHeader.biHeight = -height;
    layout.bmiHeader.biPlanes = 1;
    layout.bmiHeader.biBitCount = 32;
    layout.bmiHeader.biCompression = BI_RGB;
    const auto capture = [&] {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        TSelectObject select(memory.Get(), bitmap.Get());
        if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), origin.x, origin.y,
                      SRCCOPY | CAPTUREBLT))
            throw TDriverError(L"BitBlt from the screen failed for the screenshot " + path);
        ::GetDIBits(memory.Get(), bitmap.Get(), 0, static_cast<UINT>(height), pixels.data(), &layout,
                    DIB_RGB_COLORS);
        return pixels;
    };
    // What a window painted reaches the X server a moment later: a static text was seen still blank. The
    // picture counts once two looks a little apart agree.
    std::vector<std::uint32_t> before = capture();
    for (int look = 0; look < 10; ++look) {
        ::Sleep(60);
        std::vector<std::uint32_t> now = capture();
        const bool settled = now == before;
        before = std::move(now);
        if (settled)
            break;
    }

    TComInit com;
    TComPtr<IWICImagingFactory> factory;
    Check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                             factory.PutVoid()),
          L"CoCreateInstance(WICImagingFactory)", path);
    TComPtr<IWICBitmap> source;
    Check(factory->CreateBitmapFromHBITMAP(bitmap.Get(), nullptr, WICBitmapIgnoreAlpha, source.Put()),
          L"CreateBitmapFromHBITMAP", path);
    TComPtr<IWICStream> stream;
    Check(factory->CreateStream(stream.Put()), L"CreateStream", path);
    Check(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), L"InitializeFromFilename", path);
    TComPtr<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put()), L"CreateEncoder(PNG)",
          path);
    Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), L"IWICBitmapEncoder::Initialize", path);
    TComPtr<IWICBitmapFrameEncode> frame;
    TComPtr<IPropertyBag2> properties;
    Check(encoder->CreateNewFrame(frame.Put(), properties.Put()), L"CreateNewFrame", path);
    Check(frame->Initialize(properties.Get()), L"IWICBitmapFrameEncode::Initialize", path);
    Check(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)), L"SetSize", path);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Check(frame->SetPixelFormat(&format), L"SetPixelFormat", path);

    // The encoder may want another layout than the screen's; a converter bridges the two.
    TComPtr<IWICFormatConverter> converter;
    Check(factory->CreateFormatConverter(converter.Put()), L"CreateFormatConverter", path);
    Check(converter->Initialize(source.Get(), format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          L"IWICFormatConverter::Initialize", path);
    Check(frame->WriteSource(converter.Get(), nullptr), L"WriteSource", path);
    Check(frame->Commit(), L"frame Commit", path);
    Check(encoder->Commit(), L"encoder Commit", path);
}

} // namespace e2e
