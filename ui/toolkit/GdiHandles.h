// RAII owners for the GDI objects the toolkit creates.
#pragma once
#include <windows.h>

#include <utility>

namespace DuiLib {

template <class T>
class UniqueGdiObject {
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(T object) : object_(object) {}
    UniqueGdiObject(UniqueGdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.object_, nullptr));
        return *this;
    }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
    ~UniqueGdiObject() { Reset(); }

    T Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset(T object = nullptr) {
        if (object_) DeleteObject(object_);
        object_ = object;
    }
    T Release() { return std::exchange(object_, nullptr); }

private:
    T object_ = nullptr;
};

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniqueRegion = UniqueGdiObject<HRGN>;

// A memory DC and the bitmap selected into it. The DC's own bitmap goes
// back in before ours is deleted: Windows refuses to delete a bitmap that
// is still selected into a DC, and it leaks (Wine deletes it anyway).
class UniqueMemoryDC {
public:
    UniqueMemoryDC() = default;
    explicit UniqueMemoryDC(HDC dc) : dc_(dc) {}
    UniqueMemoryDC(UniqueMemoryDC&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)),
          original_(std::exchange(other.original_, nullptr)),
          bitmap_(std::move(other.bitmap_)) {}
    UniqueMemoryDC& operator=(UniqueMemoryDC&& other) noexcept {
        if (this != &other) {
            Reset();
            dc_ = std::exchange(other.dc_, nullptr);
            original_ = std::exchange(other.original_, nullptr);
            bitmap_ = std::move(other.bitmap_);
        }
        return *this;
    }
    UniqueMemoryDC(const UniqueMemoryDC&) = delete;
    UniqueMemoryDC& operator=(const UniqueMemoryDC&) = delete;
    ~UniqueMemoryDC() { Reset(); }

    HDC Get() const { return dc_; }
    // Selects the bitmap and owns it; the one it replaces is deleted.
    // False (and the DC unchanged) when it cannot be selected.
    bool SelectBitmap(UniqueBitmap bitmap) {
        if (!dc_ || !bitmap) return false;
        HGDIOBJ previous = SelectObject(dc_, bitmap.Get());
        if (!previous) return false;
        if (!original_) original_ = previous;
        bitmap_ = std::move(bitmap);
        return true;
    }
    void Reset(HDC dc = nullptr) {
        if (dc_ && original_) SelectObject(dc_, original_);
        original_ = nullptr;
        bitmap_.Reset();
        if (dc_) DeleteDC(dc_);
        dc_ = dc;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ original_ = nullptr;
    UniqueBitmap bitmap_;
};

// Selects an object into a DC for one scope.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectObjectScope() {
        if (old_) SelectObject(dc_, old_);
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// BeginPaint and EndPaint of one WM_PAINT: the DC goes back even when
// painting throws.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
    ~PaintScope() {
        if (dc_) EndPaint(hwnd_, &ps_);
    }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Get() const { return dc_; }
    const RECT& Area() const { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Keeps a DC's state (clip region, colours, font) for one scope.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDC() {
        if (saved_) RestoreDC(dc_, saved_);
    }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC dc_;
    int saved_;
};

}  // namespace DuiLib
