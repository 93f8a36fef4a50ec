// Owners of the Windows handles the program holds, each released when its owner goes out of
// scope, and the window procedure both forms share.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <utility>

template <class Handle, auto Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    Owned& operator=(Owned&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~Owned() { reset(); }
    Handle get() const { return handle_; }
    // For an API that hands out a new handle through a pointer.
    Handle* put() {
        reset();
        return &handle_;
    }
    explicit operator bool() const { return handle_ != Handle{}; }

private:
    void reset() {
        if (handle_ != Handle{}) Release(handle_);
        handle_ = Handle{};
    }
    Handle handle_{};
};

inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }

using Key = Owned<HKEY, CloseKey>;
using File = Owned<HANDLE, CloseHandle>;  // never INVALID_HANDLE_VALUE: store nullptr instead
using MemoryDC = Owned<HDC, DeleteDC>;
template <class Object>
using Gdi = Owned<Object, DeleteGdiObject>;

// A window's device context, from GetDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() { ReleaseDC(window_, dc_); }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A window's painting, from BeginPaint to EndPaint.
class Painting {
public:
    explicit Painting(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    Painting(const Painting&) = delete;
    Painting& operator=(const Painting&) = delete;
    ~Painting() { EndPaint(window_, &paint_); }
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a DC, put back out of it at the end of the scope.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;
    ~Selected() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A COM interface pointer, released at the end of its scope.
template <class Interface>
class Com {
public:
    Com() = default;
    Com(Com&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p_) p_->Release();
    }
    Interface** put() { return &p_; }
    Interface* get() const { return p_; }
    Interface* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    Interface* p_ = nullptr;
};

// COM entered on this thread (its multithreaded apartment) for the scope.
class ComApartment {
public:
    ComApartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (entered_) CoUninitialize();
    }
    explicit operator bool() const { return entered_; }

private:
    bool entered_;
};

// The window procedure of a form class: the form travels in the creation parameters and lives
// in GWLP_USERDATA from WM_NCCREATE on; Form::WindowProc handles its messages, Form::Default
// the few that come before.
template <class Form>
LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        created->window_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return form ? form->WindowProc(message, wParam, lParam) : Form::Default(hwnd, message, wParam, lParam);
}
