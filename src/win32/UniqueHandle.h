// Owning wrappers for Win32 resources: one small template and a traits struct per kind of handle, so
// every window, GDI object, DC, file and process handle is released exactly once, on every path.
#pragma once

#include "Win32.h"

#include <utility>

namespace launchwick::win32 {

// Traits supply the handle type, the value that means "nothing owned" and how to release one.
template <class Traits> class UniqueHandle {
public:
    using pointer = typename Traits::type;

    UniqueHandle() noexcept : value_(Traits::invalid()) {}
    explicit UniqueHandle(pointer value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    // Where a call that hands out a new handle writes it; the one held before is released first.
    pointer* Out() noexcept {
        reset();
        return &value_;
    }

    // Gives up ownership without releasing, e.g. when the system has already destroyed the object.
    pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(pointer value = Traits::invalid()) noexcept {
        const pointer old = std::exchange(value_, value);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }

private:
    pointer value_;
};

namespace traits {

template <class T, BOOL(WINAPI* Close)(T)> struct NullIsInvalid {
    using type = T;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { Close(value); }
};

// CreateFile reports failure with INVALID_HANDLE_VALUE, not with a null handle.
struct File {
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type value) noexcept { ::CloseHandle(value); }
};

// Memory that a system call allocated with LocalAlloc for its caller.
struct LocalMemory {
    using type = HLOCAL;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { ::LocalFree(value); }
};

struct MappedView {
    using type = void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { ::UnmapViewOfFile(value); }
};

template <class T> struct GdiObject {
    using type = T;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { ::DeleteObject(value); }
};

// A COM interface pointer holds one reference.
template <class T> struct ComInterface {
    using type = T*;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { value->Release(); }
};

} // namespace traits

using UniqueKernelHandle = UniqueHandle<traits::NullIsInvalid<HANDLE, ::CloseHandle>>;
using UniqueFile = UniqueHandle<traits::File>;
using UniqueWindow = UniqueHandle<traits::NullIsInvalid<HWND, ::DestroyWindow>>;
using UniqueIcon = UniqueHandle<traits::NullIsInvalid<HICON, ::DestroyIcon>>;
using UniqueMemoryDC = UniqueHandle<traits::NullIsInvalid<HDC, ::DeleteDC>>;
using UniqueFont = UniqueHandle<traits::GdiObject<HFONT>>;
using UniqueBitmap = UniqueHandle<traits::GdiObject<HBITMAP>>;
using UniqueBrush = UniqueHandle<traits::GdiObject<HBRUSH>>;
using UniqueLocalMemory = UniqueHandle<traits::LocalMemory>;
using UniqueMappedView = UniqueHandle<traits::MappedView>;

// A COM interface pointer: its methods through ->, and the void** that CoCreateInstance and QueryInterface
// write a new reference to.
template <class T> class UniqueCom : public UniqueHandle<traits::ComInterface<T>> {
public:
    using UniqueHandle<traits::ComInterface<T>>::UniqueHandle;
    T* operator->() const noexcept { return this->get(); }
    void** OutObject() noexcept { return reinterpret_cast<void**>(this->Out()); }
};

// Both handles that CreateProcess hands back; the program never waits on either.
struct UniqueProcessInformation {
    UniqueKernelHandle process;
    UniqueKernelHandle thread;

    explicit UniqueProcessInformation(const PROCESS_INFORMATION& info) noexcept
        : process(info.hProcess), thread(info.hThread) {}
};

// A DC obtained with GetDC belongs to its window and goes back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_ != nullptr) {
            ::ReleaseDC(window_, dc_);
        }
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint as one scope.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window), paint_{} {
        dc_ = ::BeginPaint(window, &paint_);
    }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    HDC get() const noexcept { return dc_; }
    // The rectangle that needs painting.
    const RECT& Area() const noexcept { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back, so the object can be deleted afterwards.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;
    ~SelectScope() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(dc_, previous_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace launchwick::win32
