#include "ui/toolkit/Option.h"

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

COptionUI::COptionUI() { stateCount_ = 3; }

COptionUI::~COptionUI() = default;

void COptionUI::SetGroup(std::wstring_view group) {
    group_ = group;
    if (selected_) Selected(true, false);
}

void COptionUI::SetSelectedImage(std::wstring_view description) {
    selectedImage_ = ParseImageDescription(description);
    Invalidate();
}

void COptionUI::Selected(bool selected, bool notify) {
    if (selected && !group_.empty() && manager_ && manager_->GetRoot()) {
        // Clear the others of the group first, without notifications.
        std::wstring group = group_;
        manager_->GetRoot()->FindControl([this, &group](CControlUI* c) {
            auto* other = dynamic_cast<COptionUI*>(c);
            if (other && other != this && other->selected_ && other->group_ == group) {
                other->selected_ = false;
                other->Invalidate();
            }
            return false;
        });
    }
    if (selected_ == selected) return;
    selected_ = selected;
    Invalidate();
    NotifyReaders(this, EVENT_OBJECT_STATECHANGE);
    // Last: the handler may act on the window.
    if (notify && manager_ && (selected || group_.empty())) manager_->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate() {
    std::weak_ptr<const void> alive = Lifetime();
    if (!CButtonUI::Activate()) return false;
    if (alive.expired()) return true;  // the click handler removed it
    if (!group_.empty()) Selected(true);
    else Selected(!selected_);
    return true;
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    CButtonUI::SetManager(manager, parent, init);
    // A selected option that joins a window clears the rest of its group.
    if (init && selected_ && !group_.empty()) Selected(true, false);
}

const std::optional<ImageDescription>& COptionUI::ImageForState() const {
    if (selected_ && IsEnabledInTree()) {
        if ((state_ & UISTATE_HOT) && selectedHotImage_) return selectedHotImage_;
        if (selectedImage_) return selectedImage_;
        if (stateImage_) {
            scratch_ = StateImage(2);
            if (scratch_) return scratch_;
        }
    }
    return CButtonUI::ImageForState();
}

// In high contrast a picked option with a text shows as the system's selection.
bool COptionUI::ShowsSelection() const {
    return selected_ && SystemLook::Current().HighContrast() && !GetText().empty();
}

void COptionUI::PaintBkColor(const Canvas& canvas, const RECT& clip) {
    if (selected_ && (selectedBkColor_ || ShowsSelection())) {
        DWORD color = SystemLook::Current().Color(ColorRole::Highlight, selectedBkColor_ ? selectedBkColor_ : 0xFF000000);
        FillRoundRect(canvas, pos_, Dpi().Scale(borderRound_), color, clip);
        return;
    }
    CButtonUI::PaintBkColor(canvas, clip);
}

void COptionUI::PaintText(const Canvas& canvas, const RECT& clip) {
    if (selected_ && (selectedTextColor_ || ShowsSelection()) && IsEnabledInTree()) {
        DWORD layout = selectedTextColor_ ? selectedTextColor_ : 0xFF000000;
        DrawText(canvas, clip, text_, pos_, SystemLook::Current().Color(ColorRole::HighlightText, layout));
        return;
    }
    CButtonUI::PaintText(canvas, clip);
}

void COptionUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"group") SetGroup(value);
    else if (name == L"selected") Selected(ParseBool(value), false);
    else if (name == L"selectedimage") SetSelectedImage(value);
    else if (name == L"selectedhotimage") selectedHotImage_ = ParseImageDescription(value);
    else if (name == L"selectedbkcolor") selectedBkColor_ = ParseColor(value).value_or(0);
    else if (name == L"selectedtextcolor") selectedTextColor_ = ParseColor(value).value_or(0);
    else CButtonUI::SetAttribute(name, value);
}

}  // namespace DuiLib
