#include "ui/toolkit/List.h"

#include "ui/toolkit/Attributes.h"

namespace DuiLib {

CListHeaderItemUI::CListHeaderItemUI() { textStyle_.align = DT_LEFT | DT_VCENTER; }

void CListHeaderItemUI::PaintBorder(const Canvas& canvas, const RECT& clip) {
    CLabelUI::PaintBorder(canvas, clip);
    if (sepColor_ >> 24) {
        int inset = Dpi().Scale(8);
        RECT sep{pos_.right - Dpi().Scale(1), pos_.top + inset, pos_.right, pos_.bottom - inset};
        FillRect(canvas, sep, SystemLook::Current().Color(ColorRole::WindowText, sepColor_), clip);
    }
}

void CListHeaderItemUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"sepcolor") sepColor_ = ParseColor(value).value_or(0);
    else CLabelUI::SetAttribute(name, value);
}

CListHeaderUI::CListHeaderUI() { fixedSize_.cy = 32; }

void CListContainerElementUI::SetPos(RECT rc) {
    auto* list = parent_ ? dynamic_cast<CListUI*>(parent_->GetParent()) : nullptr;
    CListHeaderUI* header = list ? list->GetHeader() : nullptr;
    if (!header || header->GetCount() == 0) {
        CHorizontalLayoutUI::SetPos(rc);
        return;
    }
    // Children take the header's columns in order.
    CControlUI::SetPos(rc);
    UpdateScroll(0, 0);
    RECT inner = InsetArea();
    int top = inner.top, bottom = inner.bottom;
    int column = 0;
    for (CControlUI* item : items_) {
        if (!item->IsVisible() || item->IsFloat()) continue;
        CControlUI* cell = header->GetItemAt(column++);
        if (!cell) {
            item->SetPos(RECT{pos_.right, top, pos_.right, top});
            continue;
        }
        RECT p = Dpi().Scale(item->GetPadding());
        RECT box{cell->GetPos().left + p.left, top + p.top, cell->GetPos().right - p.right, bottom - p.bottom};
        SIZE size = item->EstimateSize(SIZE{box.right - box.left, box.bottom - box.top});
        if (size.cx > 0 && size.cx < box.right - box.left) {
            box.left += (box.right - box.left - size.cx) / 2;
            box.right = box.left + size.cx;
        }
        if (size.cy > 0 && size.cy < box.bottom - box.top) {
            box.top += (box.bottom - box.top - size.cy) / 2;
            box.bottom = box.top + size.cy;
        }
        item->SetPos(box);
    }
}

CListUI::CListUI() {
    header_ = new CListHeaderUI;
    body_ = new CVerticalLayoutUI;
    body_->EnableScrollBar(true);
    // Not through the overridden Add: that would put the body into itself.
    CContainerUI::AddAt(header_, 0);
    CContainerUI::AddAt(body_, 1);
}

bool CListUI::Add(CControlUI* control) {
    if (!control) return false;
    if (auto* header = dynamic_cast<CListHeaderUI*>(control)) {
        // A header from the layout replaces the empty default one.
        CContainerUI::Remove(header_);
        header_ = header;
        return CContainerUI::AddAt(header, 0);
    }
    if (dynamic_cast<CListHeaderItemUI*>(control)) return header_->Add(control);
    return body_->Add(control);
}

bool CListUI::AddAt(CControlUI* control, int index) {
    if (dynamic_cast<CListHeaderUI*>(control) || dynamic_cast<CListHeaderItemUI*>(control)) return Add(control);
    return body_->AddAt(control, index);
}

bool CListUI::Remove(CControlUI* control) { return body_->Remove(control); }
bool CListUI::RemoveAt(int index) { return body_->RemoveAt(index); }
void CListUI::RemoveAll() { body_->RemoveAll(); }
int CListUI::GetCount() const { return body_->GetCount(); }
CControlUI* CListUI::GetItemAt(int index) const { return body_->GetItemAt(index); }
int CListUI::GetItemIndex(CControlUI* control) const { return body_->GetItemIndex(control); }
int CListUI::GetScrollPos() const { return body_->GetScrollPos(); }
int CListUI::GetScrollRange() const { return body_->GetScrollRange(); }
void CListUI::SetScrollPos(int pos) { body_->SetScrollPos(pos); }

void CListUI::SetPos(RECT rc) {
    header_->SetVisible(!headerHidden_ && header_->GetCount() > 0);
    if (headerHidden_) {
        // Laid out at no height before the rows, which take their columns from it.
        RECT inset = Dpi().Scale(inset_);
        int top = rc.top + inset.top;
        header_->SetPos(RECT{rc.left + inset.left, top, rc.right - inset.right, top});
    }
    CVerticalLayoutUI::SetPos(rc);
}

void CListUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"header") {
        headerHidden_ = value == L"hidden";
        NeedUpdate();
    } else if (name == L"itemheight") {
        body_->SetAttribute(L"scrollstep", value);
    } else if (name == L"vscrollbar") {
        body_->EnableScrollBar(ParseBool(value));
    } else if (name == L"childpadding") {
        body_->SetChildPadding(ParseInt(value));
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
