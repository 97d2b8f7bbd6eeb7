// Drawing onto the window's back buffer, a 32-bit DIB section. Fills,
// rounded shapes and images are blended straight into the pixels
// (anti-aliased edges, premultiplied alpha); text goes through GDI on dc.
// Every operation is limited to `clip`.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/toolkit/GdiHandles.h"
#include "ui/toolkit/Image.h"

namespace DuiLib {

struct Canvas {
    HDC dc = nullptr;
    uint32_t* bits = nullptr;  // top-down rows of `width` pixels
    int width = 0;
    int height = 0;
};

class BackBuffer {
public:
    // Keeps the buffer when it is already this size.
    bool Resize(int width, int height);
    Canvas GetCanvas() const { return canvas_; }
    HDC GetDC() const { return canvas_.dc; }

private:
    UniqueMemoryDC dc_;  // owns the DIB selected into it
    Canvas canvas_;
};

void FillRect(const Canvas& c, const RECT& rc, DWORD argb, const RECT& clip);
void FillRoundRect(const Canvas& c, const RECT& rc, SIZE round, DWORD argb, const RECT& clip);
// widths: the border thickness of each side; a round border uses widths.left.
void DrawBorder(const Canvas& c, const RECT& rc, const RECT& widths, SIZE round, DWORD argb, const RECT& clip);
// Draws `source` of the frame into `dest`, stretching the middle and
// keeping `corner` (source pixels) at the size destCorner gives (by default
// the same: unscaled); fade 0..255 scales the alpha.
void DrawImage(const Canvas& c, const Image& image, const ImageFrame& frame, const RECT& dest, const RECT& source,
               const RECT& corner, BYTE fade, const RECT& clip, const RECT* destCorner = nullptr);
// Sets alpha to 255 where GDI left it 0 (GDI text and fills do not write alpha).
void MakeOpaque(const Canvas& c, const RECT& rc);

RECT IntersectRects(const RECT& a, const RECT& b);
bool IsEmptyRect(const RECT& rc);

}  // namespace DuiLib
