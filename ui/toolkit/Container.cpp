#include "ui/toolkit/Container.h"

#include <algorithm>

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

namespace {

// The last control of the subtree in layout order.
CControlUI* LastInTree(CControlUI* control) {
    CControlUI* last = control;
    control->FindControl([&last](CControlUI* c) {
        last = c;
        return false;
    });
    return last;
}

}  // namespace

CContainerUI::~CContainerUI() {
    // Each deletion may tell readers of a focus change; they must not find the
    // deleted ones still listed.
    std::vector<CControlUI*> items;
    items.swap(items_);
    for (CControlUI* item : items) delete item;
}

bool CContainerUI::Add(CControlUI* control) { return CContainerUI::AddAt(control, static_cast<int>(items_.size())); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (!control || index < 0 || index > static_cast<int>(items_.size())) return false;
    items_.insert(items_.begin() + index, control);
    control->SetManager(manager_, this, manager_ != nullptr);
    NeedUpdate();
    Invalidate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    auto it = std::find(items_.begin(), items_.end(), control);
    if (it == items_.end()) return false;
    // Focus inside it goes on from where it stood in the layout.
    if (manager_) manager_->FocusMayLeave(control, it == items_.begin() ? this : LastInTree(*(it - 1)));
    items_.erase(it);
    NeedUpdate();
    Invalidate();
    delete control;
    return true;
}

bool CContainerUI::RemoveAt(int index) {
    CControlUI* control = GetItemAt(index);
    return control && CContainerUI::Remove(control);
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(items_);
    for (CControlUI* item : items) delete item;
    scrollPos_ = 0;
    NeedUpdate();
    Invalidate();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
    return items_[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

CControlUI* CContainerUI::FindSubControl(std::wstring_view name) {
    for (CControlUI* item : items_) {
        CControlUI* found = item->FindControl([name](CControlUI* c) { return c->GetName() == name; });
        if (found) return found;
    }
    return nullptr;
}

void CContainerUI::SetInset(const RECT& inset) {
    inset_ = inset;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = padding;
    NeedUpdate();
}

void CContainerUI::SetChildAlign(UINT align) {
    childAlign_ = align;
    NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool vertical) {
    scrollEnabled_ = vertical;
    NeedUpdate();
}

void CContainerUI::SetScrollPos(int pos) {
    pos = std::clamp(pos, 0, scrollRange_);
    if (pos == scrollPos_) return;
    scrollPos_ = pos;
    SetPos(pos_);  // a container lays its children out again even at the same place
    Invalidate();
    if (manager_) manager_->SendNotify(this, DUI_MSGTYPE_SCROLL, static_cast<WPARAM>(pos));
}

void CContainerUI::PageUp() { SetScrollPos(scrollPos_ - PageStep()); }
void CContainerUI::PageDown() { SetScrollPos(scrollPos_ + PageStep()); }

int CContainerUI::PageStep() const {
    int line = Dpi().Scale(scrollLine_);
    return std::max(line, static_cast<int>(InnerRect().bottom - InnerRect().top) - line);
}

void CContainerUI::EnsureVisible(CControlUI* child) {
    if (!child || !scrollEnabled_) return;
    RECT inner = InnerRect();
    RECT rc = child->GetPos();
    if (rc.top < inner.top) SetScrollPos(scrollPos_ - (inner.top - rc.top));
    else if (rc.bottom > inner.bottom) SetScrollPos(scrollPos_ + (rc.bottom - inner.bottom));
}

RECT CContainerUI::InsetArea() const {
    RECT inset = Dpi().Scale(inset_);
    return RECT{pos_.left + inset.left, pos_.top + inset.top, pos_.right - inset.right, pos_.bottom - inset.bottom};
}

RECT CContainerUI::FloatRect(const CControlUI* child) const {
    RECT f = Dpi().Scale(child->GetFloatPos());
    return RECT{pos_.left + f.left, pos_.top + f.top, pos_.left + f.right, pos_.top + f.bottom};
}

RECT CContainerUI::InnerRect() const {
    RECT rc = InsetArea();
    if (scrollRange_ > 0) rc.right -= Dpi().Scale(scrollBarWidth_);
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    return rc;
}

void CContainerUI::UpdateScroll(int contentHeight, int viewHeight) {
    int range = scrollEnabled_ ? std::max(0, contentHeight - viewHeight) : 0;
    scrollRange_ = range;
    scrollPos_ = std::clamp(scrollPos_, 0, scrollRange_);
}

RECT CContainerUI::ScrollBarRect() const {
    RECT rc = InsetArea();
    rc.left = rc.right - Dpi().Scale(scrollBarWidth_);
    return rc;
}

RECT CContainerUI::ThumbRect() const {
    RECT bar = ScrollBarRect();
    int view = bar.bottom - bar.top;
    if (view <= 0 || scrollRange_ <= 0) return RECT{};
    int content = view + scrollRange_;
    int thumb = std::max(Dpi().Scale(20), view * view / content);
    thumb = std::min(thumb, view);
    int top = bar.top + static_cast<int>(static_cast<long long>(view - thumb) * scrollPos_ / scrollRange_);
    int margin = Dpi().Scale(1);
    return RECT{bar.left + margin, top, bar.right - margin, top + thumb};
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT inner = InnerRect();
    for (CControlUI* item : items_) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            item->SetPos(FloatRect(item));
            continue;
        }
        RECT padding = Dpi().Scale(item->GetPadding());
        RECT child{inner.left + padding.left, inner.top + padding.top, inner.right - padding.right,
                   inner.bottom - padding.bottom};
        SIZE size = item->EstimateSize(SIZE{child.right - child.left, child.bottom - child.top});
        if (size.cx > 0) child.right = std::min<LONG>(child.right, child.left + size.cx);
        if (size.cy > 0) child.bottom = std::min<LONG>(child.bottom, child.top + size.cy);
        item->SetPos(child);
    }
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    for (CControlUI* item : items_) item->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(const std::function<bool(CControlUI*)>& visit) {
    if (visit(this)) return this;
    for (CControlUI* item : items_) {
        if (CControlUI* found = item->FindControl(visit)) return found;
    }
    return nullptr;
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
    if (!visible_ || !PtInRect(&pos_, pt)) return nullptr;
    if (scrollRange_ > 0) {
        RECT bar = ScrollBarRect();
        if (PtInRect(&bar, pt)) return this;
    }
    RECT inner = InnerRect();
    // Later children paint on top, so they are hit first.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        CControlUI* item = *it;
        if (!item->IsFloat() && !PtInRect(&inner, pt)) continue;
        if (CControlUI* found = item->FindControlAt(pt)) return found;
    }
    return mouseEnabled_ ? this : nullptr;
}

void CContainerUI::DoPaint(const Canvas& canvas, const RECT& clip) {
    RECT area = IntersectRects(clip, pos_);
    if (IsEmptyRect(area)) return;
    PaintBkColor(canvas, area);
    PaintBkImage(canvas, area);
    PaintStatusImage(canvas, area);
    PaintText(canvas, area);
    RECT inner = IntersectRects(area, InnerRect());
    for (CControlUI* item : items_) {
        if (!item->IsVisible()) continue;
        RECT itemClip = item->IsFloat() ? area : inner;
        if (IsEmptyRect(IntersectRects(itemClip, item->GetPos()))) continue;
        item->DoPaint(canvas, itemClip);
    }
    if (scrollRange_ > 0) {
        RECT thumb = ThumbRect();
        DWORD color = thumbHot_ || dragging_ ? scrollThumbHotColor_ : scrollThumbColor_;
        FillRoundRect(canvas, thumb, Dpi().Scale(SIZE{3, 3}), SystemLook::Current().Color(ColorRole::WindowText, color),
                      area);
    }
    PaintBorder(canvas, area);
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (scrollRange_ > 0) {
        switch (event.Type) {
            case UIEVENT_SCROLLWHEEL: {
                short delta = GET_WHEEL_DELTA_WPARAM(event.wParam);
                int lines = std::max(1, std::abs(delta) / WHEEL_DELTA);
                SetScrollPos(scrollPos_ + (delta < 0 ? 1 : -1) * lines * Dpi().Scale(scrollLine_));
                return;
            }
            case UIEVENT_BUTTONDOWN: {
                RECT bar = ScrollBarRect();
                if (!PtInRect(&bar, event.ptMouse)) break;
                RECT thumb = ThumbRect();
                if (PtInRect(&thumb, event.ptMouse)) {
                    dragging_ = true;
                    dragStartY_ = event.ptMouse.y;
                    dragStartPos_ = scrollPos_;
                } else if (event.ptMouse.y < thumb.top) {
                    PageUp();
                } else {
                    PageDown();
                }
                Invalidate();
                return;
            }
            case UIEVENT_MOUSEMOVE: {
                if (dragging_) {
                    RECT bar = ScrollBarRect();
                    RECT thumb = ThumbRect();
                    int track = (bar.bottom - bar.top) - (thumb.bottom - thumb.top);
                    if (track > 0)
                        SetScrollPos(dragStartPos_ + static_cast<int>(static_cast<long long>(event.ptMouse.y - dragStartY_) *
                                                                       scrollRange_ / track));
                    return;
                }
                RECT thumb = ThumbRect();
                bool hot = PtInRect(&thumb, event.ptMouse) != FALSE;
                if (hot != thumbHot_) {
                    thumbHot_ = hot;
                    Invalidate();
                }
                return;
            }
            case UIEVENT_BUTTONUP:
                if (dragging_) {
                    dragging_ = false;
                    Invalidate();
                    return;
                }
                break;
            case UIEVENT_MOUSELEAVE:
                if (thumbHot_) {
                    thumbHot_ = false;
                    Invalidate();
                }
                break;
            default:
                break;
        }
    }
    CControlUI::DoEvent(event);
}

void CContainerUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"inset") SetInset(ParseRect(value));
    else if (name == L"childpadding") SetChildPadding(ParseInt(value));
    else if (name == L"childalign") SetChildAlign(ParseAlign(value, childAlign_));
    else if (name == L"childvalign") SetChildAlign(ParseAlign(value, childAlign_));
    else if (name == L"vscrollbar") EnableScrollBar(ParseBool(value));
    else if (name == L"scrollstep") scrollLine_ = std::max(1, ParseInt(value, 40));
    else if (name == L"scrollbarcolor") scrollThumbColor_ = ParseColor(value).value_or(scrollThumbColor_);
    else CControlUI::SetAttribute(name, value);
}

}  // namespace DuiLib
