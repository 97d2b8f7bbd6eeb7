// Lays out and draws runs of text (plain or from markup) inside a box:
// line breaks at spaces or between CJK characters, alignment on both axes,
// an ellipsis where text is cut. Drawn with GDI in anti-aliased fonts.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "ui/toolkit/Canvas.h"
#include "ui/toolkit/Font.h"
#include "ui/toolkit/Markup.h"

namespace DuiLib {

struct TextFormat {
    UINT align = DT_LEFT | DT_VCENTER;
    bool wordWrap = false;
    bool endEllipsis = false;
    DWORD color = 0xFF000000;
    int font = -1;
};

// Font of a run: (font id, bold, underline, italic) -> font.
using FontLookup = std::function<std::shared_ptr<FontHandle>(int, bool, bool, bool)>;

void DrawTextRuns(const Canvas& c, const RECT& box, const RECT& clip, const std::vector<MarkupRun>& runs,
                  const TextFormat& format, const FontLookup& fonts);
// Size the runs take, laid out within maxWidth (0: unlimited).
SIZE MeasureTextRuns(HDC dc, const std::vector<MarkupRun>& runs, const TextFormat& format, const FontLookup& fonts,
                     int maxWidth);

}  // namespace DuiLib
