// Owners of the Windows handles the program holds, each released when its owner goes out of
// scope, functions looked up in DLLs, and the window procedure both forms share.
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
    Handle operator->() const { return handle_; }  // for a COM interface
    // For an API that hands out a new handle through a pointer.
    Handle* put() {
        reset();
        return &handle_;
    }
    explicit operator bool() const { return handle_ != Handle{}; }

private:
    void reset() {
        if (handle_ != Handle{}) Release(std::exchange(handle_, Handle{}));
    }
    Handle handle_{};
};

inline void ReleaseCom(IUnknown* object) { object->Release(); }
inline void LeaveCom(bool) { CoUninitialize(); }

using Key = Owned<HKEY, RegCloseKey>;
using File = Owned<HANDLE, CloseHandle>;  // never INVALID_HANDLE_VALUE: store nullptr instead
using MemoryDC = Owned<HDC, DeleteDC>;
template <class Object>
using Gdi = Owned<Object, DeleteObject>;
// A COM interface pointer.
template <class Interface>
using Com = Owned<Interface*, ReleaseCom>;
// COM entered on this thread (its multithreaded apartment) for the scope; false when it could not be.
struct ComApartment : Owned<bool, LeaveCom> {
    ComApartment() : Owned(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
};

// A function a DLL exports, by its name; nullptr when the DLL or the function is missing.
template <class Function>
Function* DllFunction(HMODULE dll, const char* name) {
    return dll ? reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name))) : nullptr;
}

// What is neither copied nor moved: a window holds its address, or a scope undoes it.
struct Pinned {
    Pinned() = default;
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;
};

// A window's device context, from GetDC.
class WindowDC : Pinned {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { ReleaseDC(window_, dc_); }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A window's painting, from BeginPaint to EndPaint.
class Painting : Pinned {
public:
    explicit Painting(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~Painting() { EndPaint(window_, &paint_); }
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a DC, put back out of it at the end of the scope.
class Selected : Pinned {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selected() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The window procedure of a form class: the form travels in the creation parameters and lives
// in GWLP_USERDATA from WM_NCCREATE on; Form::WindowProc handles its messages, Default the few
// that come before.
template <class Form, auto Default>
LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        created->window_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!form) return Default(hwnd, message, wParam, lParam);
    // A polite close (the close box, Task Manager, taskkill, an uninstaller) or the end of the
    // session (the user signs out or Windows shuts down) unloads either form, nothing saved.
    if (message == WM_CLOSE || (message == WM_ENDSESSION && wParam)) form->Form_Unload();
    return message == WM_ENDSESSION ? 0 : form->WindowProc(message, wParam, lParam);
}
