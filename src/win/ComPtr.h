// Owning COM interface pointer and scoped COM initialisation.
#pragma once

#include <objbase.h>
#include <ole2.h>
#include <utility>

#include "common/ErrorWin.h"

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
    TOleInit() : FResult(::OleInitialize(nullptr)) {}
    TOleInit(const TOleInit&) = delete;
    TOleInit& operator=(const TOleInit&) = delete;
    ~TOleInit() {
        if (SUCCEEDED(FResult))
            ::OleUninitialize();
    }
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};

// CoInitializeEx for one scope; a thread already initialised in another mode is no error here.
class TComInit {
public:
    explicit TComInit(DWORD mode = COINIT_APARTMENTTHREADED) : FResult(::CoInitializeEx(nullptr, mode)) {}
    TComInit(const TComInit&) = delete;
    TComInit& operator=(const TComInit&) = delete;
    ~TComInit() {
        if (SUCCEEDED(FResult))
            ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};
