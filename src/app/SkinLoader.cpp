#include "app/SkinLoader.h"

#include <windows.h>
#include <wincodec.h>

#include <string>

#include "win/ComPtr.h"
#include "common/ErrorWin.h"

void LoadPngResource(TBitmap32& target, const wchar_t* name) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = info ? ::SizeofResource(module, info) : 0;
    if (!data || size == 0)
        throw TError(std::wstring(L"В программе нет изображения ") + name);

    const std::wstring what = std::wstring(L"Не удалось прочитать изображение ") + name;
    TComPtr<IWICImagingFactory> factory;
    CheckHResult(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, factory.PutVoid()),
                 what);
    TComPtr<IWICStream> stream;
    CheckHResult(factory->CreateStream(stream.Put()), what);
    // WIC only reads the bytes; resources stay mapped for the module's lifetime.
    CheckHResult(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), size), what);
    TComPtr<IWICBitmapDecoder> decoder;
    CheckHResult(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                  decoder.Put()),
                 what);
    TComPtr<IWICBitmapFrameDecode> frame;
    CheckHResult(decoder->GetFrame(0, frame.Put()), what);
    TComPtr<IWICFormatConverter> converter;
    CheckHResult(factory->CreateFormatConverter(converter.Put()), what);
    // Straight (not premultiplied) alpha: the blend onto white is ours to do.
    CheckHResult(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                       nullptr, 0.0, WICBitmapPaletteTypeCustom),
                 what);
    UINT width = 0;
    UINT height = 0;
    CheckHResult(converter->GetSize(&width, &height), what);

    TBitmap32 decoded(static_cast<int>(width), static_cast<int>(height));
    CheckHResult(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                       reinterpret_cast<BYTE*>(decoded.Bits())),
                 what);
    FlattenOntoWhite(decoded);
    target = std::move(decoded);
}

void LoadSkinImages(TSkinImages& images) {
    LoadPngResource(images.Texture, L"BACKGROUND");
    LoadPngResource(images.Panels, L"MAIN");
    LoadPngResource(images.Logo, L"LOGO");
    LoadPngResource(images.TitleLeft, L"TITLE_PNL_L");
    LoadPngResource(images.TitleRight, L"TITLE_PNL_R");
    LoadPngResource(images.TitleMiddle, L"TITLE_PNL_M");
    LoadPngResource(images.Title, L"TITLE");
}
