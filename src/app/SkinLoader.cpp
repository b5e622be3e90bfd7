#include "app/SkinLoader.h"

#include <windows.h>

#include <string>

#include "app/PngImage.h"
#include "common/Error.h"

void LoadPngResource(TBitmap32& target, const wchar_t* name) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = info ? ::SizeofResource(module, info) : 0;
    if (!data || size == 0)
        throw TError(std::wstring(L"В программе нет изображения ") + name);
    // Resources stay mapped for the module's lifetime.
    TBitmap32 decoded;
    try {
        decoded = DecodePng({static_cast<const std::uint8_t*>(data), size});
    } catch (const TError& error) {
        throw TError(std::wstring(L"Не удалось прочитать изображение ") + name + L": " + error.Message());
    }
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
