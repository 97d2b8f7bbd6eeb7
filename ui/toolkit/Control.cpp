#include "ui/toolkit/Control.h"

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/Container.h"
#include "ui/toolkit/Focus.h"
#include "ui/toolkit/PaintManager.h"
#include "ui/toolkit/TextLayout.h"

namespace DuiLib {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (manager_) manager_->ReapObjects(this);
}

void CControlUI::SetText(std::wstring_view text) {
    if (text_ == text) return;
    text_ = text;
    Invalidate();
    NotifyReaders(this, EVENT_OBJECT_NAMECHANGE);
}

void CControlUI::AddCustomAttribute(std::wstring_view name, std::wstring_view value) {
    customAttributes_[std::wstring(name)] = std::wstring(value);
}

CDuiString CControlUI::GetCustomAttribute(std::wstring_view name) const {
    auto it = customAttributes_.find(name);
    return it == customAttributes_.end() ? CDuiString() : CDuiString(it->second);
}

bool CControlUI::HasCustomAttribute(std::wstring_view name) const {
    return customAttributes_.find(name) != customAttributes_.end();
}

void CControlUI::RemoveCustomAttribute(std::wstring_view name) {
    auto it = customAttributes_.find(name);
    if (it != customAttributes_.end()) customAttributes_.erase(it);
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    NotifyReaders(this, visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE);  // before the focus comes or goes
    if (!visible && manager_) manager_->FocusMayLeave(this, this);
    NeedParentUpdate();
}

bool CControlUI::IsVisibleInTree() const {
    for (const CControlUI* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void CControlUI::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled && manager_) manager_->FocusMayLeave(this, this);
    Invalidate();
    NotifyReaders(this, EVENT_OBJECT_STATECHANGE);
}

bool CControlUI::IsEnabledInTree() const {
    for (const CControlUI* c = this; c; c = c->parent_)
        if (!c->enabled_) return false;
    return true;
}

bool CControlUI::IsInteractive() const { return Focus::IsFocusable(this); }

bool CControlUI::IsFocused() const { return manager_ && manager_->GetFocus() == this; }

void CControlUI::SetFocus() {
    if (manager_) manager_->SetFocus(this);
}

void CControlUI::SetBkColor(DWORD argb) {
    bkColor_ = argb;
    Invalidate();
}

void CControlUI::SetBkImage(std::wstring_view description) {
    bkImage_ = description;
    bkImageDesc_ = ParseImageDescription(description);
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
    borderColor_ = argb;
    Invalidate();
}

void CControlUI::SetBorderSize(const RECT& sides) {
    borderSize_ = sides;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round) {
    borderRound_ = round;
    Invalidate();
}

void CControlUI::SetTextColor(DWORD argb) {
    textStyle_.color = argb;
    Invalidate();
}

void CControlUI::SetFont(int id) {
    textStyle_.font = id;
    Invalidate();
}

void CControlUI::SetTextAlign(UINT align) {
    textStyle_.align = align;
    Invalidate();
}

void CControlUI::SetShowHtml(bool markup) {
    textStyle_.markup = markup;
    Invalidate();
}

void CControlUI::SetPos(RECT rc) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    if (EqualRect(&rc, &pos_)) return;
    RECT old = pos_;
    pos_ = rc;
    if (manager_) {
        manager_->Invalidate(old);
        manager_->Invalidate(pos_);
    }
}

void CControlUI::SetPadding(const RECT& padding) {
    padding_ = padding;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    fixedSize_.cx = std::max(cx, 0);
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    fixedSize_.cy = std::max(cy, 0);
    NeedParentUpdate();
}

void CControlUI::SetFloatPos(const RECT& pos) {
    float_ = true;
    floatPos_ = pos;
    if (fixedSize_.cx == 0) fixedSize_.cx = std::max<int>(0, pos.right - pos.left);
    if (fixedSize_.cy == 0) fixedSize_.cy = std::max<int>(0, pos.bottom - pos.top);
    NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) { return Dpi().Scale(fixedSize_); }

const DpiScale& CControlUI::Dpi() const {
    static const DpiScale unscaled;
    return manager_ ? manager_->GetDpiScale() : unscaled;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    if (manager_ && manager_ != manager) manager_->ReapObjects(this);
    manager_ = manager;
    parent_ = parent;
    if (init && manager_) DoInit();
}

CControlUI* CControlUI::FindControl(const std::function<bool(CControlUI*)>& visit) {
    return visit(this) ? this : nullptr;
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
    if (!visible_ || !PtInRect(&pos_, pt)) return nullptr;
    return mouseEnabled_ ? this : nullptr;
}

void CControlUI::Invalidate() {
    if (manager_ && visible_) manager_->Invalidate(pos_);
}

void CControlUI::NeedUpdate() {
    if (manager_) manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (manager_) {
        manager_->NeedUpdate();
        manager_->Invalidate(parent_ ? parent_->GetPos() : pos_);
    }
}

void CControlUI::DoPaint(const Canvas& canvas, const RECT& clip) {
    RECT area = IntersectRects(clip, pos_);
    if (IsEmptyRect(area)) return;
    PaintBkColor(canvas, area);
    PaintBkImage(canvas, area);
    PaintStatusImage(canvas, area);
    PaintText(canvas, area);
    PaintBorder(canvas, area);
}

void CControlUI::PaintBkColor(const Canvas& canvas, const RECT& clip) { FillBackground(canvas, bkColor_, clip); }

void CControlUI::FillBackground(const Canvas& canvas, DWORD layoutColor, const RECT& clip) {
    const SystemLook& look = SystemLook::Current();
    if (look.HighContrast() && IsInteractive() && !GetText().empty()) layoutColor |= 0xFF000000;
    DWORD color = look.Color(BackgroundRole(), layoutColor);
    if (color >> 24) FillRoundRect(canvas, pos_, Dpi().Scale(borderRound_), color, clip);
}

bool CControlUI::ShowsImages() const { return SystemLook::Current().ShowsDecoration() || !ImagesOnlyDecorate(); }

void CControlUI::PaintBkImage(const Canvas& canvas, const RECT& clip) {
    if (ShowsImages()) DrawImage(canvas, clip, bkImageDesc_);
}

void CControlUI::PaintBorder(const Canvas& canvas, const RECT& clip) {
    RECT size = borderSize_;
    DWORD color = borderColor_;
    bool none = !(color >> 24) || (size.left == 0 && size.top == 0 && size.right == 0 && size.bottom == 0);
    // In high contrast a button's outline shows where to press, its image gone.
    if (none && SystemLook::Current().HighContrast() && IsInteractive() && !GetText().empty()) {
        size = RECT{1, 1, 1, 1};
        color = 0xFF000000;
        none = false;
    }
    if (none) return;
    DWORD drawn = SystemLook::Current().Color(IsInteractive() ? ColorRole::ButtonText : ColorRole::WindowText, color);
    DrawBorder(canvas, pos_, Dpi().Scale(size), Dpi().Scale(borderRound_), drawn, clip);
}

bool CControlUI::DrawImage(const Canvas& canvas, const RECT& clip, const std::optional<ImageDescription>& image,
                           const RECT* area, size_t frame) {
    if (!image || !manager_) return false;
    return DrawImage(canvas, clip, *image, manager_->GetScaledImage(image->file), area, frame);
}

bool CControlUI::DrawImage(const Canvas& canvas, const RECT& clip, const ImageDescription& image,
                           const ScaledImage& chosen, const RECT* area, size_t frame) {
    const std::shared_ptr<const Image>& decoded = chosen.image;
    if (!decoded || decoded->FrameCount() == 0) return false;
    const DpiScale& dpi = Dpi();
    RECT box = area ? *area : pos_;
    RECT dest = box;
    if (image.dest) {
        RECT d = dpi.Scale(*image.dest);
        dest = RECT{box.left + d.left, box.top + d.top, box.left + d.right, box.top + d.bottom};
    }
    // Source and corner are in the plain file's pixels; a double-size file has twice as many.
    int k = chosen.density;
    RECT source{0, 0, decoded->width, decoded->height};
    if (image.source) source = RECT{image.source->left * k, image.source->top * k, image.source->right * k,
                                    image.source->bottom * k};
    const RECT& c = image.corner;
    RECT corner{c.left * k, c.top * k, c.right * k, c.bottom * k};
    RECT destCorner = dpi.Scale(c);
    const ImageFrame* f = decoded->Frame(std::min(frame, decoded->FrameCount() - 1));
    if (!f) return false;
    DuiLib::DrawImage(canvas, *decoded, *f, dest, source, corner, image.fade, IntersectRects(clip, box), &destCorner);
    return true;
}

DWORD CControlUI::EffectiveTextColor() const {
    if (!IsEnabledInTree()) return TextColor(textStyle_.disabledColor ? textStyle_.disabledColor : kDisabledTextColor);
    return TextColor(textStyle_.color ? textStyle_.color : 0xFF000000);
}

DWORD CControlUI::TextColor(DWORD layoutColor) const {
    ColorRole role = !IsEnabledInTree() ? ColorRole::GrayText
                     : IsInteractive()  ? ColorRole::ButtonText
                                        : ColorRole::WindowText;
    return SystemLook::Current().Color(role, layoutColor);
}

void CControlUI::DrawText(const Canvas& canvas, const RECT& clip, std::wstring_view text, const RECT& rc, DWORD color) {
    if (text.empty() || !manager_) return;
    RECT padding = Dpi().Scale(textStyle_.padding);
    RECT box{rc.left + padding.left, rc.top + padding.top, rc.right - padding.right, rc.bottom - padding.bottom};
    TextFormat format;
    format.align = textStyle_.align;
    format.wordWrap = textStyle_.wordWrap;
    format.endEllipsis = textStyle_.endEllipsis;
    format.color = color;
    format.font = textStyle_.font;
    CPaintManagerUI* manager = manager_;
    FontLookup fonts = [manager](int id, bool bold, bool underline, bool italic) {
        return manager->GetFont(id, bold, underline, italic);
    };
    DrawTextRuns(canvas, box, clip, textStyle_.markup ? ParseMarkup(text) : PlainRuns(text), format, fonts);
}

bool CControlUI::Activate() { return IsVisibleInTree() && IsEnabledInTree(); }

void CControlUI::DoEvent(TEventUI& event) {
    // Wheel and keys travel up to a parent that can use them.
    if ((event.Type == UIEVENT_SCROLLWHEEL) && parent_) parent_->DoEvent(event);
}

void CControlUI::ApplyAttributeList(std::wstring_view list) {
    for (const auto& [name, value] : ParseAttributeList(list)) SetAttribute(name, value);
}

void CControlUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"name") SetName(value);
    else if (name == L"text") SetText(value);
    else if (name == L"tooltip") SetToolTip(value);
    else if (name == L"pos") {
        RECT rc = ParseRect(value);
        if (float_) SetFloatPos(rc);
        else {
            floatPos_ = rc;
            fixedSize_ = SIZE{std::max<LONG>(0, rc.right - rc.left), std::max<LONG>(0, rc.bottom - rc.top)};
        }
    } else if (name == L"float") {
        float_ = ParseBool(value);
        if (float_) SetFloatPos(floatPos_);
    } else if (name == L"padding") SetPadding(ParseRect(value));
    else if (name == L"width") SetFixedWidth(ParseInt(value));
    else if (name == L"height") SetFixedHeight(ParseInt(value));
    else if (name == L"bkcolor") SetBkColor(ParseColor(value).value_or(0));
    else if (name == L"bkimage") SetBkImage(value);
    else if (name == L"bordercolor") SetBorderColor(ParseColor(value).value_or(0));
    else if (name == L"bordersize") SetBorderSize(ParseRect(value));
    else if (name == L"borderround") SetBorderRound(ParseSize(value));
    else if (name == L"visible") SetVisible(ParseBool(value));
    else if (name == L"enabled") SetEnabled(ParseBool(value));
    else if (name == L"mouse") SetMouseEnabled(ParseBool(value));
    else if (name == L"userdata" || name == L"tag") SetTag(static_cast<UINT_PTR>(ParseInt(value)));
    else if (name == L"font") SetFont(ParseInt(value, -1));
    else if (name == L"textcolor") SetTextColor(ParseColor(value).value_or(0));
    else if (name == L"disabledtextcolor") textStyle_.disabledColor = ParseColor(value).value_or(0);
    else if (name == L"align") textStyle_.align = ParseAlign(value, textStyle_.align);
    else if (name == L"valign") textStyle_.align = ParseAlign(value, textStyle_.align);
    else if (name == L"textpadding") textStyle_.padding = ParseRect(value);
    else if (name == L"wordwrap") textStyle_.wordWrap = ParseBool(value);
    else if (name == L"endellipsis") textStyle_.endEllipsis = ParseBool(value);
    else if (name == L"showhtml") textStyle_.markup = ParseBool(value);
    else AddCustomAttribute(name, value);  // unknown names are the window's own data
}

}  // namespace DuiLib
