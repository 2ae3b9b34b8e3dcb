// GDI resources of a skin and the nine-grid image painter.
#include "look.h"

#include <algorithm>
#include <cstring>

#include "skin_parts.h"

namespace pelk {

using trigora::skin::Image;
using trigora::skin::Rgb;

COLORREF Colour(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

void FillColour(HDC dc, const RECT& r, Rgb c) {
    COLORREF old = SetBkColor(dc, Colour(c));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void FrameColour(HDC dc, const RECT& r, Rgb c) {
    if (r.right <= r.left || r.bottom <= r.top) {
        return;
    }
    FillColour(dc, {r.left, r.top, r.right, r.top + 1}, c);
    FillColour(dc, {r.left, r.bottom - 1, r.right, r.bottom}, c);
    FillColour(dc, {r.left, r.top, r.left + 1, r.bottom}, c);
    FillColour(dc, {r.right - 1, r.top, r.right, r.bottom}, c);
}

Buffer::Buffer(HDC target, const RECT& area) : target_(target), area_(area) {
    int w = area.right - area.left;
    int h = area.bottom - area.top;
    if (w <= 0 || h <= 0) {
        return;
    }
    mem_ = CreateCompatibleDC(target);
    bitmap_ = mem_ != nullptr ? CreateCompatibleBitmap(target, w, h) : nullptr;
    if (bitmap_ == nullptr) {
        if (mem_ != nullptr) {
            DeleteDC(mem_);
            mem_ = nullptr;
        }
        return; // drawing goes straight to the target then
    }
    oldBitmap_ = SelectObject(mem_, bitmap_);
    SetWindowOrgEx(mem_, area.left, area.top, nullptr);
}

Buffer::~Buffer() {
    if (mem_ == nullptr) {
        return;
    }
    BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, mem_,
           area_.left, area_.top, SRCCOPY);
    SelectObject(mem_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(mem_);
}

namespace {

HFONT FontFromMetrics(bool caption) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); // stock: DeleteObject ignores it
    }
    return CreateFontIndirectW(caption ? &ncm.lfCaptionFont : &ncm.lfMenuFont);
}

// Premultiplied top-down 32-bit DIB, the form AlphaBlend wants.
HBITMAP MakeBitmap(const Image& image) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = static_cast<LONG>(image.width);
    bi.bmiHeader.biHeight = -static_cast<LONG>(image.height);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp == nullptr || bits == nullptr) {
        return bmp;
    }
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        std::uint32_t p = image.pixels[i];
        std::uint32_t a = p >> 24;
        std::uint32_t r = ((p >> 16) & 0xff) * a / 255;
        std::uint32_t g = ((p >> 8) & 0xff) * a / 255;
        std::uint32_t b = (p & 0xff) * a / 255;
        out[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    GdiFlush();
    return bmp;
}

} // namespace

Look::Look(trigora::skin::Skin skin) : skin_(std::move(skin)) {
    face_ = GdiObject<HBRUSH>(CreateSolidBrush(Colour(skin_.face)));
    edit_ = GdiObject<HBRUSH>(CreateSolidBrush(Colour(skin_.edit.background)));
    list_ = GdiObject<HBRUSH>(CreateSolidBrush(Colour(skin_.list.background)));
    combo_ = GdiObject<HBRUSH>(CreateSolidBrush(Colour(skin_.combo.face)));
    menu_ = GdiObject<HBRUSH>(CreateSolidBrush(Colour(skin_.menu.background)));
    captionFont_ = GdiObject<HFONT>(FontFromMetrics(true));
    menuFont_ = GdiObject<HFONT>(FontFromMetrics(false));
    for (const auto& slot : trigora::skin::ImageSlots()) {
        const Image& image = slot.get(skin_);
        if (!image.Empty() && image.Valid()) {
            bitmaps_.emplace(&image, GdiObject<HBITMAP>(MakeBitmap(image)));
        }
    }
}

HBITMAP Look::BitmapOf(const Image& image) const {
    auto it = bitmaps_.find(&image);
    return it == bitmaps_.end() ? nullptr : it->second.get();
}

bool Look::DrawImage(HDC dc, const Image& image, const RECT& dst, BYTE alpha) const {
    HBITMAP bmp = BitmapOf(image);
    int dw = dst.right - dst.left;
    int dh = dst.bottom - dst.top;
    if (bmp == nullptr || dw <= 0 || dh <= 0) {
        return false;
    }
    HDC src = CreateCompatibleDC(dc);
    if (src == nullptr) {
        return false;
    }
    HGDIOBJ old = SelectObject(src, bmp);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};

    // Source and destination cuts; margins shrink proportionally when the target is too small.
    int sw = static_cast<int>(image.width);
    int sh = static_cast<int>(image.height);
    int ml = image.margins.left, mr = image.margins.right, mt = image.margins.top, mb = image.margins.bottom;
    int dl = ml, dr = mr, dt = mt, db = mb;
    if (dl + dr > dw) {
        dl = ml + mr > 0 ? dw * ml / (ml + mr) : 0;
        dr = dw - dl;
    }
    if (dt + db > dh) {
        dt = mt + mb > 0 ? dh * mt / (mt + mb) : 0;
        db = dh - dt;
    }
    const int sx[4] = {0, ml, sw - mr, sw};
    const int sy[4] = {0, mt, sh - mb, sh};
    const int dx[4] = {dst.left, dst.left + dl, dst.right - dr, dst.right};
    const int dy[4] = {dst.top, dst.top + dt, dst.bottom - db, dst.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            int w = dx[col + 1] - dx[col], h = dy[row + 1] - dy[row];
            int srcW = sx[col + 1] - sx[col], srcH = sy[row + 1] - sy[row];
            if (w > 0 && h > 0 && srcW > 0 && srcH > 0) {
                GdiAlphaBlend(dc, dx[col], dy[row], w, h, src, sx[col], sy[row], srcW, srcH, blend);
            }
        }
    }
    SelectObject(src, old);
    DeleteDC(src);
    return true;
}

bool Look::DrawImageCentred(HDC dc, const Image& image, const RECT& dst, BYTE alpha) const {
    int dw = dst.right - dst.left;
    int dh = dst.bottom - dst.top;
    int w = std::min(static_cast<int>(image.width), dw);
    int h = std::min(static_cast<int>(image.height), dh);
    RECT r{dst.left + (dw - w) / 2, dst.top + (dh - h) / 2, 0, 0};
    r.right = r.left + w;
    r.bottom = r.top + h;
    return DrawImage(dc, image, r, alpha);
}

} // namespace pelk
