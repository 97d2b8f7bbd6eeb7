#include "ui/toolkit/Label.h"

#include "ui/toolkit/Attributes.h"

namespace DuiLib {

void CLabelUI::SetDisabledTextColor(DWORD argb) {
    textStyle_.disabledColor = argb;
    Invalidate();
}

void CLabelUI::SetTextPadding(const RECT& padding) {
    textStyle_.padding = padding;
    Invalidate();
}

void CLabelUI::SetWordWrap(bool wrap) {
    textStyle_.wordWrap = wrap;
    Invalidate();
}

void CLabelUI::SetEndEllipsis(bool ellipsis) {
    textStyle_.endEllipsis = ellipsis;
    Invalidate();
}

void CLabelUI::PaintText(const Canvas& canvas, const RECT& clip) {
    DrawText(canvas, clip, text_, pos_, EffectiveTextColor());
}

void CLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    CControlUI::SetAttribute(name, value);
}

}  // namespace DuiLib
