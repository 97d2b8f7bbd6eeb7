// Fonts shared by every window: one HFONT per face, size and style, created
// anti-aliased. A face that is not installed falls back to an installed CJK
// face, so Chinese text never shows as boxes.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "ui/toolkit/GdiHandles.h"

namespace DuiLib {

struct FontSpec {
    std::wstring face = L"微软雅黑";
    int size = 12;  // pixel height of the character cell
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

struct FontHandle {
    UniqueFont font;
    TEXTMETRICW metrics{};
};

std::shared_ptr<FontHandle> AcquireFont(const FontSpec& spec);
// The face actually used for `face`: itself when installed, else a fallback.
std::wstring ResolveFontFace(std::wstring_view face);
void ReleaseFontCache();

}  // namespace DuiLib
