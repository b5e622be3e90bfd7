// Owning wrappers for Win32 resources: one move-only type per kind, closed exactly once.
#pragma once

#include <windows.h>
#include <utility>

template <typename Traits> class TUniqueAny {
public:
    using TValue = typename Traits::TValue;

    TUniqueAny() noexcept = default;
    explicit TUniqueAny(TValue value) noexcept : FValue(value) {}
    TUniqueAny(const TUniqueAny&) = delete;
    TUniqueAny& operator=(const TUniqueAny&) = delete;
    TUniqueAny(TUniqueAny&& other) noexcept : FValue(other.Release()) {}
    TUniqueAny& operator=(TUniqueAny&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~TUniqueAny() { Reset(); }

    TValue Get() const noexcept { return FValue; }
    bool Valid() const noexcept { return FValue != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    TValue Release() noexcept { return std::exchange(FValue, Traits::Invalid()); }
    void Reset(TValue value = Traits::Invalid()) noexcept {
        TValue old = std::exchange(FValue, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    TValue FValue = Traits::Invalid();
};

namespace HandleTraits {
template <typename T, auto CloseFn> struct TNullIsInvalid {
    using TValue = T;
    static constexpr TValue Invalid() noexcept { return nullptr; }
    static void Close(TValue value) noexcept { CloseFn(value); }
};
struct TFile {
    using TValue = HANDLE;
    static TValue Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(TValue value) noexcept { ::CloseHandle(value); }
};
struct TFind {
    using TValue = HANDLE;
    static TValue Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(TValue value) noexcept { ::FindClose(value); }
};
inline void DeleteGdiObject(HGDIOBJ object) noexcept {
    ::DeleteObject(object);
}
} // namespace HandleTraits

using TUniqueHandle = TUniqueAny<HandleTraits::TNullIsInvalid<HANDLE, ::CloseHandle>>;
using TUniqueFile = TUniqueAny<HandleTraits::TFile>;
using TUniqueFind = TUniqueAny<HandleTraits::TFind>;
using TUniqueRegKey = TUniqueAny<HandleTraits::TNullIsInvalid<HKEY, ::RegCloseKey>>;
using TUniqueModule = TUniqueAny<HandleTraits::TNullIsInvalid<HMODULE, ::FreeLibrary>>;
using TUniqueEventSource = TUniqueAny<HandleTraits::TNullIsInvalid<HANDLE, ::DeregisterEventSource>>;
using TUniqueFont = TUniqueAny<HandleTraits::TNullIsInvalid<HFONT, HandleTraits::DeleteGdiObject>>;
using TUniqueBrush = TUniqueAny<HandleTraits::TNullIsInvalid<HBRUSH, HandleTraits::DeleteGdiObject>>;
using TUniquePen = TUniqueAny<HandleTraits::TNullIsInvalid<HPEN, HandleTraits::DeleteGdiObject>>;
using TUniqueBitmap = TUniqueAny<HandleTraits::TNullIsInvalid<HBITMAP, HandleTraits::DeleteGdiObject>>;
using TUniqueMemoryDC = TUniqueAny<HandleTraits::TNullIsInvalid<HDC, ::DeleteDC>>;
using TUniqueIcon = TUniqueAny<HandleTraits::TNullIsInvalid<HICON, ::DestroyIcon>>;
// Memory the system allocated for the caller with LocalAlloc (SIDs and descriptors in text, security info).
using TUniqueLocal = TUniqueAny<HandleTraits::TNullIsInvalid<HLOCAL, ::LocalFree>>;

// A device context borrowed from a window (GetDC / ReleaseDC).
class TWindowDC {
public:
    explicit TWindowDC(HWND window) noexcept : FWindow(window), FDC(::GetDC(window)) {}
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() {
        if (FDC)
            ::ReleaseDC(FWindow, FDC);
    }
    HDC Get() const noexcept { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

// Selects a GDI object into a DC for one scope and puts the previous one back.
class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FOld(::SelectObject(dc, object)) {}
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;
    ~TSelectObject() {
        if (FOld)
            ::SelectObject(FDC, FOld);
    }

private:
    HDC FDC;
    HGDIOBJ FOld;
};
