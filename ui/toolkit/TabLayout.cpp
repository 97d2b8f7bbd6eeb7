#include "ui/toolkit/TabLayout.h"

#include "ui/toolkit/Attributes.h"

namespace DuiLib {

void CTabLayoutUI::ShowOnly(int index) {
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) items_[i]->SetVisible(i == index);
    NeedUpdate();
    Invalidate();
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    current_ = index;
    ShowOnly(index);
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* page) { return SelectItem(GetItemIndex(page)); }

bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, static_cast<int>(items_.size())); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    if (current_ < 0 && static_cast<int>(items_.size()) > initial_) current_ = initial_;
    else if (current_ >= index && current_ >= 0 && static_cast<int>(items_.size()) > 1) ++current_;
    ShowOnly(current_);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
    int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) return false;
    if (index < current_) --current_;
    else if (index == current_) current_ = items_.empty() ? -1 : 0;
    ShowOnly(current_);
    return true;
}

void CTabLayoutUI::RemoveAll() {
    CContainerUI::RemoveAll();
    current_ = -1;
}

void CTabLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"selectedid") {
        initial_ = ParseInt(value);
        if (!SelectItem(initial_)) current_ = -1;
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
