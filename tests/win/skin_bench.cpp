// What the skin costs the wizard's start: reading its seven images from the program's resources (with the
// flattening onto white that the window draws from), each image's decoding alone, and composing the
// background at the common resolutions, the design one (no resampling) included for comparison. Prints
// the first, median and fastest time of each; scripts/bench-skin builds it and runs it under Wine.
//   skin_bench [runs]        (default 15)
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "app/PngImage.h"
#include "app/Skin.h"
#include "app/SkinLoader.h"
#include "app/WindowScale.h"
#include "common/Error.h"

namespace {
std::span<const std::uint8_t> Resource(const wchar_t* name) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        throw TError(L"no such image resource");
    return {static_cast<const std::uint8_t*>(data), ::SizeofResource(module, info)};
}

double Milliseconds() {
    static const double frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / frequency;
}

// The first run apart: the wizard pays for the skin once, with cold caches.
template <class TWork> void Measure(const char* what, int runs, TWork&& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = Milliseconds();
        work();
        times.push_back(Milliseconds() - start);
    }
    const double first = times.front();
    std::sort(times.begin(), times.end());
    std::printf("%-36s first %7.2f ms, median %7.2f ms, fastest %7.2f ms\n", what, first,
                times[times.size() / 2], times.front());
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, ::_wtoi(argv[1])) : 15;
    try {
        Measure("seven images read and flattened", runs, [] {
            TSkinImages images;
            LoadSkinImages(images);
        });
        const struct {
            const wchar_t* Resource;
            const char* Text;
        } images[] = {{L"BACKGROUND", "  BACKGROUND decoded"},
                      {L"MAIN", "  MAIN decoded"},
                      {L"LOGO", "  LOGO decoded"},
                      {L"TITLE_PNL_L", "  TITLE_PNL_L decoded"},
                      {L"TITLE_PNL_R", "  TITLE_PNL_R decoded"},
                      {L"TITLE_PNL_M", "  TITLE_PNL_M decoded"},
                      {L"TITLE", "  TITLE decoded"}};
        for (const auto& image : images) {
            const auto png = Resource(image.Resource);
            Measure(image.Text, runs, [&] { DecodePng(png); });
        }

        TSkinImages skin;
        LoadSkinImages(skin);
        for (int dpi : {96, 120, 144, 192}) {
            char what[64];
            std::snprintf(what, sizeof(what), "background at %d dpi (%d x %d)", dpi, Scaled(972, dpi),
                          Scaled(583, dpi));
            TBitmap32 background;
            Measure(what, runs, [&] {
                ComposeScaledBackground(background, Scaled(972, dpi), Scaled(583, dpi), dpi, skin);
            });
        }
    } catch (const TError& error) {
        std::fprintf(stderr, "skin_bench: %ls\n", error.Message().c_str());
        return 1;
    }
    return 0;
}
