// A text in the control's font, colour and alignment, optionally with
// markup, word wrap and an end ellipsis.
#pragma once
#include "ui/toolkit/Control.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
public:
    CDuiString GetClass() const override { return L"Label"; }

    DWORD GetDisabledTextColor() const { return textStyle_.disabledColor; }
    void SetDisabledTextColor(DWORD argb);
    RECT GetTextPadding() const { return textStyle_.padding; }
    void SetTextPadding(const RECT& padding);
    bool IsShowHtml() const { return textStyle_.markup; }
    void SetWordWrap(bool wrap);
    void SetEndEllipsis(bool ellipsis);

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    void PaintText(const Canvas& canvas, const RECT& clip) override;
};

}  // namespace DuiLib
