#include "app/SkinLoader.h"

#include <windows.h>

#include <string>

#include "app/PngImage.h"
#include "common/Error.h"
#include "win/Resources.h"

void LoadPngResource(TBitmap32& target, const wchar_t* name) {
    const std::string_view bytes = ResourceBytes(name);
    if (bytes.empty())
        throw TError(std::wstring(L"В программе нет изображения ") + name);
    TBitmap32 decoded;
    try {
        decoded = DecodePng({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
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
