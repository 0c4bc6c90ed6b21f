// Owners for the platform's handles and COM pointers: move-only, released once,
// by the destructor, on every path.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace cc {

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return Traits::IsValid(value_); }

    void reset(T value = Traits::Invalid()) {
        T old = std::exchange(value_, value);
        if (Traits::IsValid(old)) Traits::Close(old);
    }
    T release() { return std::exchange(value_, Traits::Invalid()); }

private:
    T value_ = Traits::Invalid();
};

template <typename T, typename Fn, Fn CloseFn>
struct NullInvalidTraits {
    static T Invalid() { return nullptr; }
    static bool IsValid(T value) { return value != nullptr; }
    static void Close(T value) { CloseFn(value); }
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

inline void DeleteGdiObject(HGDIOBJ object) { ::DeleteObject(object); }
inline void DestroyWindowHandle(HWND window) { ::DestroyWindow(window); }
inline void UnloadModule(HMODULE module) { ::FreeLibrary(module); }

using UniqueWindow = UniqueHandle<HWND, NullInvalidTraits<HWND, decltype(&DestroyWindowHandle), &DestroyWindowHandle>>;
using UniqueFont = UniqueHandle<HFONT, NullInvalidTraits<HFONT, decltype(&DeleteGdiObject), &DeleteGdiObject>>;
using UniqueModule = UniqueHandle<HMODULE, NullInvalidTraits<HMODULE, decltype(&UnloadModule), &UnloadModule>>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;

// A reference-counted COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Frees the held pointer first, then offers the slot to a function that
    // fills it (QueryInterface, CoCreateInstance, ...).
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    // Drops the reference and returns what the interface's Release returned.
    ULONG reset() {
        ULONG remaining = 0;
        if (p_ != nullptr) remaining = std::exchange(p_, nullptr)->Release();
        return remaining;
    }

    template <typename U>
    HRESULT As(ComPtr<U>& other) const {
        return p_->QueryInterface(__uuidof(U), other.put_void());
    }

private:
    T* p_ = nullptr;
};

// The DC of one WM_PAINT, ended on scope exit.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
    ~PaintScope() { ::EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const { return dc_; }
    const RECT& area() const { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// An object selected into a DC for the life of the scope.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectScope() { ::SelectObject(dc_, previous_); }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A DC of a window, released on scope exit: GetDC gives the client area,
// GetWindowDC the whole window, frame included.
template <HDC(WINAPI* Acquire)(HWND)>
class ScopedDc {
public:
    explicit ScopedDc(HWND window) : window_(window), dc_(Acquire(window)) {}
    ~ScopedDc() { ::ReleaseDC(window_, dc_); }
    ScopedDc(const ScopedDc&) = delete;
    ScopedDc& operator=(const ScopedDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

using WindowDc = ScopedDc<&::GetDC>;
using WholeWindowDc = ScopedDc<&::GetWindowDC>;

}  // namespace cc
