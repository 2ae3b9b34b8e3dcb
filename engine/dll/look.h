// The GDI side of one skin: brushes, fonts and premultiplied bitmaps, and the primitives that draw them.
#pragma once

#include <windows.h>

#include <map>

#include "skin_model.h"

namespace pelk {

COLORREF Colour(trigora::skin::Rgb c);

// Owns one GDI object; GDI handles of a look live exactly as long as the look.
template <typename H> class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(H h) : h_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }
    ~GdiObject() { Reset(); }
    H get() const { return h_; }
    void Reset() {
        if (h_ != nullptr) {
            DeleteObject(h_);
            h_ = nullptr;
        }
    }

  private:
    H h_ = nullptr;
};

// A device context taken from a window and given back on scope exit.
class WindowDc {
  public:
    WindowDc(HWND hwnd, HDC dc) : hwnd_(hwnd), dc_(dc) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(hwnd_, dc_);
        }
    }
    HDC get() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// Draws into memory and copies the result to the target in one blit, so parts never flicker.
class Buffer {
  public:
    Buffer(HDC target, const RECT& area);
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer();
    HDC dc() const { return mem_ != nullptr ? mem_ : target_; }

  private:
    HDC target_;
    RECT area_;
    HDC mem_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

class Look {
  public:
    explicit Look(trigora::skin::Skin skin);
    Look(const Look&) = delete;
    Look& operator=(const Look&) = delete;

    const trigora::skin::Skin& skin() const { return skin_; }

    HBRUSH FaceBrush() const { return face_.get(); }
    HBRUSH EditBrush() const { return edit_.get(); }
    HBRUSH ListBrush() const { return list_.get(); }
    HBRUSH ComboBrush() const { return combo_.get(); }
    HBRUSH MenuBrush() const { return menu_.get(); }
    HFONT CaptionFont() const { return captionFont_.get(); }
    HFONT MenuFont() const { return menuFont_.get(); }

    // Draws a nine-grid image stretched over dst; false when the image is empty (nothing drawn).
    bool DrawImage(HDC dc, const trigora::skin::Image& image, const RECT& dst, BYTE alpha = 255) const;
    // Draws the image at its own size centred in dst, shrunk to fit when dst is smaller.
    bool DrawImageCentred(HDC dc, const trigora::skin::Image& image, const RECT& dst, BYTE alpha = 255) const;

  private:
    HBITMAP BitmapOf(const trigora::skin::Image& image) const;

    trigora::skin::Skin skin_;
    GdiObject<HBRUSH> face_, edit_, list_, combo_, menu_;
    GdiObject<HFONT> captionFont_, menuFont_;
    std::map<const trigora::skin::Image*, GdiObject<HBITMAP>> bitmaps_;
};

void FillColour(HDC dc, const RECT& r, trigora::skin::Rgb c);
void FrameColour(HDC dc, const RECT& r, trigora::skin::Rgb c);

} // namespace pelk
