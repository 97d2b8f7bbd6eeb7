#include "ui/toolkit/Button.h"

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

CButtonUI::CButtonUI() { textStyle_.align = DT_CENTER | DT_VCENTER; }

void CButtonUI::SetNormalImage(std::wstring_view d) { normalImage_ = ParseImageDescription(d); Invalidate(); }
void CButtonUI::SetHotImage(std::wstring_view d) { hotImage_ = ParseImageDescription(d); Invalidate(); }
void CButtonUI::SetPushedImage(std::wstring_view d) { pushedImage_ = ParseImageDescription(d); Invalidate(); }
void CButtonUI::SetDisabledImage(std::wstring_view d) { disabledImage_ = ParseImageDescription(d); Invalidate(); }

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (manager_) manager_->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool enabled) {
    if (!enabled) state_ = 0;
    CControlUI::SetEnabled(enabled);
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (!IsEnabledInTree() && event.Type != UIEVENT_SCROLLWHEEL) {
        state_ = 0;
        return;
    }
    switch (event.Type) {
        case UIEVENT_MOUSEENTER:
            state_ |= UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            state_ &= ~UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_BUTTONDOWN:
            if (PtInRect(&pos_, event.ptMouse)) {
                state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSEMOVE:
            if (state_ & UISTATE_CAPTURED) {
                bool inside = PtInRect(&pos_, event.ptMouse) != FALSE;
                UINT next = inside ? (state_ | UISTATE_PUSHED) : (state_ & ~UISTATE_PUSHED);
                if (next != state_) {
                    state_ = next;
                    Invalidate();
                }
            }
            return;
        case UIEVENT_BUTTONUP: {
            if (!(state_ & UISTATE_CAPTURED)) return;
            bool click = PtInRect(&pos_, event.ptMouse) && (state_ & UISTATE_PUSHED);
            state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            // Last: a click handler may remove this control or close the window.
            if (click) Activate();
            return;
        }
        case UIEVENT_KEYDOWN:
            // A held Space repeats its key-down; it is one press all the same.
            if (event.chKey == VK_SPACE && (event.lParam & (1 << 30))) return;
            if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) Activate();
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

std::optional<ImageDescription> CButtonUI::StateImage(int index) const {
    if (!stateImage_ || !manager_ || index >= stateCount_) return std::nullopt;
    auto image = manager_->GetImage(stateImage_->file);
    if (!image) return std::nullopt;
    RECT whole = stateImage_->source.value_or(RECT{0, 0, image->width, image->height});
    int width = (whole.right - whole.left) / std::max(stateCount_, 1);
    ImageDescription part = *stateImage_;
    part.source = RECT{whole.left + width * index, whole.top, whole.left + width * (index + 1), whole.bottom};
    return part;
}

const std::optional<ImageDescription>& CButtonUI::ImageForState() const {
    if (!IsEnabledInTree()) {
        if (disabledImage_) return disabledImage_;
        if (stateImage_ && stateCount_ >= 4) return scratch_ = StateImage(3);
    } else if (state_ & UISTATE_PUSHED) {
        if (pushedImage_) return pushedImage_;
        if (stateImage_) return scratch_ = StateImage(stateCount_ >= 3 ? 2 : 1);
        if (hotImage_) return hotImage_;
    } else if (state_ & UISTATE_HOT) {
        if (hotImage_) return hotImage_;
        if (stateImage_) return scratch_ = StateImage(1);
    }
    if (normalImage_) return normalImage_;
    return scratch_ = StateImage(0);
}

void CButtonUI::PaintBkColor(const Canvas& canvas, const RECT& clip) {
    DWORD color = bkColor_;
    if (!IsEnabledInTree()) {
        if (disabledBkColor_) color = disabledBkColor_;
    } else if ((state_ & UISTATE_PUSHED) && pushedBkColor_) {
        color = pushedBkColor_;
    } else if ((state_ & (UISTATE_HOT | UISTATE_PUSHED)) && hotBkColor_) {
        color = hotBkColor_;
    }
    FillBackground(canvas, color, clip);
}

void CButtonUI::PaintStatusImage(const Canvas& canvas, const RECT& clip) {
    if (ShowsImages()) DrawImage(canvas, clip, ImageForState());
}

void CButtonUI::PaintText(const Canvas& canvas, const RECT& clip) {
    DWORD color = EffectiveTextColor();
    if (IsEnabledInTree()) {
        if ((state_ & UISTATE_PUSHED) && pushedTextColor_) color = TextColor(pushedTextColor_);
        else if ((state_ & UISTATE_HOT) && hotTextColor_) color = TextColor(hotTextColor_);
    }
    DrawText(canvas, clip, text_, pos_, color);
}

void CButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"normalimage") SetNormalImage(value);
    else if (name == L"hotimage") SetHotImage(value);
    else if (name == L"pushedimage") SetPushedImage(value);
    else if (name == L"disabledimage") SetDisabledImage(value);
    else if (name == L"stateimage") stateImage_ = ParseImageDescription(value);
    else if (name == L"statecount") stateCount_ = std::max(1, ParseInt(value, 4));
    else if (name == L"hotbkcolor") hotBkColor_ = ParseColor(value).value_or(0);
    else if (name == L"pushedbkcolor") pushedBkColor_ = ParseColor(value).value_or(0);
    else if (name == L"disabledbkcolor") disabledBkColor_ = ParseColor(value).value_or(0);
    else if (name == L"hottextcolor") hotTextColor_ = ParseColor(value).value_or(0);
    else if (name == L"pushedtextcolor") pushedTextColor_ = ParseColor(value).value_or(0);
    else CLabelUI::SetAttribute(name, value);
}

}  // namespace DuiLib
