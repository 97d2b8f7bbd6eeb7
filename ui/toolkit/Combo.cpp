#include "ui/toolkit/Combo.h"

#include <algorithm>

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

CComboUI::CComboUI() {
    textStyle_.padding = RECT{10, 0, 28, 0};
    textStyle_.align = DT_LEFT | DT_VCENTER;
    bkColor_ = 0xFFFFFFFF;
    borderColor_ = 0xFFC9D1DC;
    borderSize_ = RECT{1, 1, 1, 1};
}

CComboUI::~CComboUI() { CloseDropDown(); }

int CComboUI::AddItem(std::wstring_view text, int tag, int height) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    item->SetTag(static_cast<UINT_PTR>(tag));
    if (height > 0) item->SetFixedHeight(height);
    Add(item);
    return GetCount() - 1;
}

bool CComboUI::SelectItem(int index, bool notify) {
    if (index < -1 || index >= GetCount()) return false;
    if (index == current_) return true;
    int old = current_;
    current_ = index;
    Invalidate();
    if (CControlUI* item = GetItemAt(index)) NotifyReaders(item, EVENT_OBJECT_SELECTION);
    NotifyReaders(this, EVENT_OBJECT_VALUECHANGE);
    if (notify && manager_) manager_->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(index), old);
    return true;
}

CDuiString CComboUI::GetItemText(int index) const {
    CControlUI* item = GetItemAt(index);
    return item ? item->GetText() : CDuiString();
}

int CComboUI::GetItemTag(int index) const {
    CControlUI* item = GetItemAt(index);
    return item ? static_cast<int>(item->GetTag()) : 0;
}

CDuiString CComboUI::GetText() const { return current_ >= 0 ? GetItemText(current_) : text_; }

int CComboUI::ItemHeight(int index) const {
    CControlUI* item = GetItemAt(index);
    int h = item ? item->GetFixedHeight() : 0;
    return Dpi().Scale(h > 0 ? h : itemStyle_.height);
}

int CComboUI::DropDownHeight() const { return Dpi().Scale(dropHeight_); }

bool CComboUI::Remove(CControlUI* control) {
    int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) return false;
    if (index == current_) current_ = -1;
    else if (index < current_) --current_;
    return true;
}

bool CComboUI::RemoveAt(int index) { return Remove(GetItemAt(index)); }

void CComboUI::RemoveAll() {
    CloseDropDown();
    CContainerUI::RemoveAll();
    current_ = -1;
}

void CComboUI::SetPos(RECT rc) {
    // The items live in the drop-down, not inside the combo.
    CControlUI::SetPos(rc);
}

CControlUI* CComboUI::FindControlAt(POINT pt) { return CControlUI::FindControlAt(pt); }

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (dropDown_) CloseDropDown();
    else ShowDropDown();
    return true;
}

void CComboUI::DoEvent(TEventUI& event) {
    if (!IsEnabledInTree()) {
        state_ = 0;
        return;
    }
    switch (event.Type) {
        case UIEVENT_MOUSEENTER:
            state_ |= 0x01;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            state_ &= ~0x01u;
            Invalidate();
            return;
        case UIEVENT_BUTTONDOWN:
            Activate();
            return;
        case UIEVENT_KEYDOWN:
            switch (event.chKey) {
                case VK_UP: SelectItem(std::max(0, current_ - 1)); return;
                case VK_DOWN: SelectItem(std::min(GetCount() - 1, current_ + 1)); return;
                case VK_F4: case VK_SPACE: case VK_RETURN: Activate(); return;
                default: return;
            }
        case UIEVENT_SCROLLWHEEL:
            CControlUI::DoEvent(event);
            return;
        default:
            return;
    }
}

void CComboUI::PaintArrow(const Canvas& canvas, const RECT& clip) {
    // A small chevron of dots, a dot a layout unit wide at every scale.
    const DpiScale& dpi = Dpi();
    int cx = pos_.right - dpi.Scale(15), cy = (pos_.top + pos_.bottom) / 2 + dpi.Scale(1);
    DWORD color = TextColor(IsEnabledInTree() ? 0xFF7A8594 : 0xFFC0C4CC);
    for (int i = -4; i <= 4; ++i) {
        int y = cy + dpi.Scale(4 - std::abs(i) - 3);
        RECT dot{cx + dpi.Scale(i), y, cx + dpi.Scale(i + 1), y + dpi.Scale(2)};
        FillRect(canvas, dot, color, clip);
    }
}

void CComboUI::DoPaint(const Canvas& canvas, const RECT& clip) {
    RECT area = IntersectRects(clip, pos_);
    if (IsEmptyRect(area)) return;
    PaintBkColor(canvas, area);
    PaintBkImage(canvas, area);
    const std::optional<ImageDescription>* image = &normalImage_;
    if (!IsEnabledInTree() && disabledImage_) image = &disabledImage_;
    else if (dropDown_ && pushedImage_) image = &pushedImage_;
    else if ((state_ & 0x01) && hotImage_) image = &hotImage_;
    bool drewImage = ShowsImages() && DrawImage(canvas, area, *image);
    DrawText(canvas, area, GetText(), pos_, EffectiveTextColor());
    if (!drewImage) {
        PaintArrow(canvas, area);
        DWORD saved = borderColor_;
        if ((state_ & 0x01) || dropDown_) borderColor_ = hotBorderColor_;
        PaintBorder(canvas, area);
        borderColor_ = saved;
    }
}

void CComboUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"normalimage") normalImage_ = ParseImageDescription(value);
    else if (name == L"hotimage") hotImage_ = ParseImageDescription(value);
    else if (name == L"pushedimage") pushedImage_ = ParseImageDescription(value);
    else if (name == L"disabledimage") disabledImage_ = ParseImageDescription(value);
    else if (name == L"dropboxsize") dropHeight_ = std::max<int>(24, ParseSize(value).cy);
    else if (name == L"itemheight") itemStyle_.height = std::max(8, ParseInt(value, 30));
    else if (name == L"itemfont") itemStyle_.font = ParseInt(value, -1);
    else if (name == L"itemtextcolor") itemStyle_.textColor = ParseColor(value).value_or(itemStyle_.textColor);
    else if (name == L"itemhotbkcolor") itemStyle_.hotBkColor = ParseColor(value).value_or(itemStyle_.hotBkColor);
    else if (name == L"itemselectedbkcolor")
        itemStyle_.selectedBkColor = ParseColor(value).value_or(itemStyle_.selectedBkColor);
    else if (name == L"itemtextpadding") itemStyle_.textPadding = ParseRect(value);
    else if (name == L"hotbordercolor") hotBorderColor_ = ParseColor(value).value_or(hotBorderColor_);
    else if (name == L"selectedid") current_ = ParseInt(value, -1);
    else CContainerUI::SetAttribute(name, value);
}

}  // namespace DuiLib
