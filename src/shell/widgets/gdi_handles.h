// Owning handles for the GDI objects, icons and memory DCs that the widgets
// create. Each frees its object when it goes, and all of them keep one count
// of the objects alive, so a test can show that showing and hiding a tooltip a
// thousand times leaves nothing behind.
#pragma once

#include <windows.h>

#include <utility>

namespace hourlink::widgets {

// Objects created through these handles and not yet freed.
long LiveWidgetGdiObjects();

namespace gdi_detail {
void Count(long delta);
inline void Free(HGDIOBJ object) {
    DeleteObject(object);
}
inline void Free(HICON icon) {
    DestroyIcon(icon);
}
inline void Free(HDC dc) {
    DeleteDC(dc);
}
}  // namespace gdi_detail

template <typename H>
class OwnedHandle {
  public:
    OwnedHandle() = default;
    explicit OwnedHandle(H handle) { Reset(handle); }
    ~OwnedHandle() { Reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    H Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Frees the object held and takes `handle`.
    void Reset(H handle = nullptr) {
        if (handle_) {
            gdi_detail::Free(handle_);
            gdi_detail::Count(-1);
        }
        handle_ = handle;
        if (handle_) gdi_detail::Count(1);
    }
    // Hands the object to someone who frees it (a window region to its window).
    H Release() {
        if (handle_) gdi_detail::Count(-1);
        return std::exchange(handle_, nullptr);
    }

  private:
    H handle_ = nullptr;
};

using OwnedPen = OwnedHandle<HPEN>;
using OwnedBrush = OwnedHandle<HBRUSH>;
using OwnedFont = OwnedHandle<HFONT>;
using OwnedBitmap = OwnedHandle<HBITMAP>;
using OwnedRegion = OwnedHandle<HRGN>;
using OwnedIcon = OwnedHandle<HICON>;  // cursors too
using OwnedDc = OwnedHandle<HDC>;

// Selects an object into a DC for the guard's life and puts the one it replaced
// back, so an object is never deleted while selected. Declare the guard after
// the object it selects.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (old_) SelectObject(dc_, old_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// The icon's bitmaps as GetIconInfo returns them, freed with this object; size
// is the colour bitmap's (or half the mask's height for a monochrome icon).
struct IconBitmaps {
    explicit IconBitmaps(HICON icon);
    bool ok = false;
    ICONINFO info{};
    SIZE size{};
    OwnedBitmap colour;
    OwnedBitmap mask;
};

}  // namespace hourlink::widgets
