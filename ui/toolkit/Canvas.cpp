#include "ui/toolkit/Canvas.h"

#include <algorithm>
#include <cmath>

namespace DuiLib {
namespace {

inline uint32_t Div255(uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

// Premultiplied source over destination.
inline void BlendPixel(uint32_t& dst, uint32_t src) {
    uint32_t a = src >> 24;
    if (a == 0) return;
    if (a == 255) {
        dst = src;
        return;
    }
    uint32_t inv = 255 - a;
    uint32_t r = ((src >> 16) & 0xFF) + Div255(((dst >> 16) & 0xFF) * inv);
    uint32_t g = ((src >> 8) & 0xFF) + Div255(((dst >> 8) & 0xFF) * inv);
    uint32_t b = (src & 0xFF) + Div255((dst & 0xFF) * inv);
    uint32_t da = a + Div255((dst >> 24) * inv);
    dst = (std::min<uint32_t>(da, 255) << 24) | (std::min<uint32_t>(r, 255) << 16) | (std::min<uint32_t>(g, 255) << 8) |
          std::min<uint32_t>(b, 255);
}

// A straight ARGB colour with extra coverage (0..255), premultiplied.
inline uint32_t Premultiply(DWORD argb, uint32_t coverage) {
    uint32_t a = Div255((argb >> 24) * coverage);
    return (a << 24) | (Div255(((argb >> 16) & 0xFF) * a) << 16) | (Div255(((argb >> 8) & 0xFF) * a) << 8) |
           Div255((argb & 0xFF) * a);
}

inline uint32_t ScalePixel(uint32_t p, uint32_t factor) {
    if (factor >= 255) return p;
    return (Div255((p >> 24) * factor) << 24) | (Div255(((p >> 16) & 0xFF) * factor) << 16) |
           (Div255(((p >> 8) & 0xFF) * factor) << 8) | Div255((p & 0xFF) * factor);
}

RECT ClipToCanvas(const Canvas& c, const RECT& rc, const RECT& clip) {
    RECT r = IntersectRects(rc, clip);
    return IntersectRects(r, RECT{0, 0, c.width, c.height});
}

// Coverage (0..1) of pixel (x, y) by a rounded rectangle.
double RoundCoverage(const RECT& rc, double radius, int x, int y) {
    double px = x + 0.5, py = y + 0.5;
    if (px < rc.left || px > rc.right || py < rc.top || py > rc.bottom) return 0.0;
    if (radius <= 0) return 1.0;
    double cx = std::clamp(px, rc.left + radius, rc.right - radius);
    double cy = std::clamp(py, rc.top + radius, rc.bottom - radius);
    double dx = px - cx, dy = py - cy;
    if (dx == 0 && dy == 0) return 1.0;
    double d = std::sqrt(dx * dx + dy * dy);
    return std::clamp(radius - d + 0.5, 0.0, 1.0);
}

// Bilinear sample at source coordinates (sx, sy) within `src`.
uint32_t Sample(const ImageFrame& frame, int imageWidth, const RECT& src, double sx, double sy) {
    double fx = std::clamp(sx, static_cast<double>(src.left), src.right - 1.0);
    double fy = std::clamp(sy, static_cast<double>(src.top), src.bottom - 1.0);
    int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    int x1 = std::min<int>(x0 + 1, src.right - 1), y1 = std::min<int>(y0 + 1, src.bottom - 1);
    uint32_t wx = static_cast<uint32_t>((fx - x0) * 256), wy = static_cast<uint32_t>((fy - y0) * 256);
    const uint32_t* px = frame.pixels.data();
    uint32_t p00 = px[y0 * imageWidth + x0], p01 = px[y0 * imageWidth + x1];
    uint32_t p10 = px[y1 * imageWidth + x0], p11 = px[y1 * imageWidth + x1];
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t a = (p00 >> shift) & 0xFF, b = (p01 >> shift) & 0xFF;
        uint32_t c = (p10 >> shift) & 0xFF, d = (p11 >> shift) & 0xFF;
        uint32_t top = a * (256 - wx) + b * wx;
        uint32_t bottom = c * (256 - wx) + d * wx;
        uint32_t v = (top * (256 - wy) + bottom * wy) >> 16;
        out |= std::min<uint32_t>(v, 255) << shift;
    }
    return out;
}

void Blit(const Canvas& c, const Image& image, const ImageFrame& frame, const RECT& dst, const RECT& src, BYTE fade,
          const RECT& clip) {
    int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    int sw = src.right - src.left, sh = src.bottom - src.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    RECT area = ClipToCanvas(c, dst, clip);
    if (IsEmptyRect(area)) return;
    bool exact = dw == sw && dh == sh;
    double scaleX = static_cast<double>(sw) / dw, scaleY = static_cast<double>(sh) / dh;
    for (int y = area.top; y < area.bottom; ++y) {
        uint32_t* row = c.bits + static_cast<size_t>(y) * c.width;
        for (int x = area.left; x < area.right; ++x) {
            uint32_t p;
            if (exact) {
                p = frame.pixels[static_cast<size_t>(src.top + y - dst.top) * image.width + src.left + x - dst.left];
            } else {
                double sx = src.left + (x - dst.left + 0.5) * scaleX - 0.5;
                double sy = src.top + (y - dst.top + 0.5) * scaleY - 0.5;
                p = Sample(frame, image.width, src, sx, sy);
            }
            BlendPixel(row[x], ScalePixel(p, fade));
        }
    }
}

}  // namespace

RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool IsEmptyRect(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

bool BackBuffer::Resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (canvas_.bits && canvas_.width == width && canvas_.height == height) return true;
    if (!dc_.Get()) {
        dc_.Reset(CreateCompatibleDC(nullptr));
        if (!dc_.Get()) return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits || !dc_.SelectBitmap(std::move(bitmap))) return false;
    canvas_ = Canvas{dc_.Get(), static_cast<uint32_t*>(bits), width, height};
    return true;
}

void FillRect(const Canvas& c, const RECT& rc, DWORD argb, const RECT& clip) {
    if ((argb >> 24) == 0 || !c.bits) return;
    GdiFlush();
    RECT area = ClipToCanvas(c, rc, clip);
    uint32_t p = Premultiply(argb, 255);
    for (int y = area.top; y < area.bottom; ++y) {
        uint32_t* row = c.bits + static_cast<size_t>(y) * c.width;
        for (int x = area.left; x < area.right; ++x) BlendPixel(row[x], p);
    }
}

void FillRoundRect(const Canvas& c, const RECT& rc, SIZE round, DWORD argb, const RECT& clip) {
    double radius = std::min<double>({static_cast<double>(std::min(round.cx, round.cy)),
                                      (rc.right - rc.left) / 2.0, (rc.bottom - rc.top) / 2.0});
    if (radius <= 0) {
        FillRect(c, rc, argb, clip);
        return;
    }
    if ((argb >> 24) == 0 || !c.bits) return;
    GdiFlush();
    RECT area = ClipToCanvas(c, rc, clip);
    for (int y = area.top; y < area.bottom; ++y) {
        uint32_t* row = c.bits + static_cast<size_t>(y) * c.width;
        for (int x = area.left; x < area.right; ++x) {
            double coverage = RoundCoverage(rc, radius, x, y);
            if (coverage > 0) BlendPixel(row[x], Premultiply(argb, static_cast<uint32_t>(coverage * 255 + 0.5)));
        }
    }
}

void DrawBorder(const Canvas& c, const RECT& rc, const RECT& widths, SIZE round, DWORD argb, const RECT& clip) {
    if ((argb >> 24) == 0 || !c.bits) return;
    double radius = std::min(round.cx, round.cy);
    if (radius > 0 && widths.left > 0) {
        GdiFlush();
        int w = widths.left;
        RECT inner{rc.left + w, rc.top + w, rc.right - w, rc.bottom - w};
        double innerRadius = std::max(0.0, radius - w);
        RECT area = ClipToCanvas(c, rc, clip);
        for (int y = area.top; y < area.bottom; ++y) {
            uint32_t* row = c.bits + static_cast<size_t>(y) * c.width;
            for (int x = area.left; x < area.right; ++x) {
                double coverage = RoundCoverage(rc, radius, x, y) - RoundCoverage(inner, innerRadius, x, y);
                if (coverage > 0) BlendPixel(row[x], Premultiply(argb, static_cast<uint32_t>(coverage * 255 + 0.5)));
            }
        }
        return;
    }
    if (widths.top > 0) FillRect(c, RECT{rc.left, rc.top, rc.right, rc.top + widths.top}, argb, clip);
    if (widths.bottom > 0) FillRect(c, RECT{rc.left, rc.bottom - widths.bottom, rc.right, rc.bottom}, argb, clip);
    if (widths.left > 0)
        FillRect(c, RECT{rc.left, rc.top + widths.top, rc.left + widths.left, rc.bottom - widths.bottom}, argb, clip);
    if (widths.right > 0)
        FillRect(c, RECT{rc.right - widths.right, rc.top + widths.top, rc.right, rc.bottom - widths.bottom}, argb, clip);
}

void DrawImage(const Canvas& c, const Image& image, const ImageFrame& frame, const RECT& dest, const RECT& source,
               const RECT& corner, BYTE fade, const RECT& clip, const RECT* destCorner) {
    if (!c.bits || fade == 0) return;
    RECT src = IntersectRects(source, RECT{0, 0, image.width, image.height});
    if (IsEmptyRect(src) || IsEmptyRect(dest)) return;
    GdiFlush();
    if (corner.left == 0 && corner.top == 0 && corner.right == 0 && corner.bottom == 0) {
        Blit(c, image, frame, dest, src, fade, clip);
        return;
    }
    // Nine slices: corners at their own size, edges stretched along one axis, middle both.
    const RECT& dc = destCorner ? *destCorner : corner;
    int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    int l = std::min<int>(dc.left, dw / 2), r = std::min<int>(dc.right, dw - l);
    int t = std::min<int>(dc.top, dh / 2), b = std::min<int>(dc.bottom, dh - t);
    int sl = std::min<int>(corner.left, src.right - src.left), sr = std::min<int>(corner.right, src.right - src.left - sl);
    int st = std::min<int>(corner.top, src.bottom - src.top), sb = std::min<int>(corner.bottom, src.bottom - src.top - st);
    const int dx[4] = {dest.left, dest.left + l, dest.right - r, dest.right};
    const int dy[4] = {dest.top, dest.top + t, dest.bottom - b, dest.bottom};
    const int sx[4] = {src.left, src.left + sl, src.right - sr, src.right};
    const int sy[4] = {src.top, src.top + st, src.bottom - sb, src.bottom};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            Blit(c, image, frame, RECT{dx[col], dy[row], dx[col + 1], dy[row + 1]},
                 RECT{sx[col], sy[row], sx[col + 1], sy[row + 1]}, fade, clip);
}

void MakeOpaque(const Canvas& c, const RECT& rc) {
    if (!c.bits) return;
    GdiFlush();
    RECT area = ClipToCanvas(c, rc, rc);
    for (int y = area.top; y < area.bottom; ++y) {
        uint32_t* row = c.bits + static_cast<size_t>(y) * c.width;
        for (int x = area.left; x < area.right; ++x) row[x] |= 0xFF000000;
    }
}

}  // namespace DuiLib
