// Owning COM interface pointer and scoped COM initialisation (through ComFunctions.h: COM's libraries load
// at the first call).
#pragma once

#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <string>
#include <utility>

#include "common/ErrorWin.h"
#include "win/ComFunctions.h"

template <typename T> class TComPtr {
public:
    TComPtr() noexcept = default;
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.FPtr, nullptr));
        return *this;
    }
    ~TComPtr() { Reset(); }

    T* Get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() noexcept {
        Reset();
        return &FPtr;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    void Reset(T* ptr = nullptr) noexcept {
        T* old = std::exchange(FPtr, ptr);
        if (old)
            old->Release();
    }

    template <typename U> TComPtr<U> As(REFIID iid) const {
        TComPtr<U> result;
        CheckHResult(FPtr->QueryInterface(iid, result.PutVoid()), L"QueryInterface");
        return result;
    }

private:
    T* FPtr = nullptr;
};

// OleInitialize for one scope (single-threaded apartment, as the shell's dialogs and links need).
class TOleInit {
public:
    TOleInit() : FResult(Ole::OleInitialize(nullptr)) {}
    TOleInit(const TOleInit&) = delete;
    TOleInit& operator=(const TOleInit&) = delete;
    ~TOleInit() {
        if (SUCCEEDED(FResult))
            Ole::OleUninitialize();
    }
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};

// CoInitializeEx for one scope; a thread already initialised in another mode is no error here.
class TComInit {
public:
    explicit TComInit(DWORD mode = COINIT_APARTMENTTHREADED) : FResult(Ole::CoInitializeEx(nullptr, mode)) {}
    TComInit(const TComInit&) = delete;
    TComInit& operator=(const TComInit&) = delete;
    ~TComInit() {
        if (SUCCEEDED(FResult))
            Ole::CoUninitialize();
    }
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};

// An owned BSTR, made from a wide string.
class TBstr {
public:
    explicit TBstr(const std::wstring& text)
        : FValue(Ole::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!FValue)
            ThrowHResult(E_OUTOFMEMORY, L"SysAllocStringLen");
    }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    ~TBstr() { Ole::SysFreeString(FValue); }
    BSTR Get() const noexcept { return FValue; }

private:
    BSTR FValue;
};

// An owned VARIANT, cleared when it goes.
class TVariant {
public:
    TVariant() noexcept { Ole::VariantInit(&FValue); }
    // A text variant (VT_BSTR).
    explicit TVariant(const std::wstring& text) : TVariant() {
        FValue.bstrVal = Ole::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!FValue.bstrVal)
            ThrowHResult(E_OUTOFMEMORY, L"SysAllocStringLen");
        FValue.vt = VT_BSTR;
    }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    ~TVariant() { Ole::VariantClear(&FValue); }
    const VARIANT& Get() const noexcept { return FValue; }
    // For out-parameters: clears what is held and hands out the slot.
    VARIANT* Put() noexcept {
        Ole::VariantClear(&FValue);
        return &FValue;
    }

private:
    VARIANT FValue;
};
