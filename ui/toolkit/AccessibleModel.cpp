#include "ui/toolkit/AccessibleModel.h"

#include "ui/toolkit/Focus.h"
#include "ui/toolkit/Markup.h"
#include "ui/toolkit/UIlib.h"

namespace DuiLib::AccessibleModel {
namespace {

bool IsListRow(CControlUI* control) {
    CControlUI* body = control->GetParent();
    auto* list = body ? dynamic_cast<CListUI*>(body->GetParent()) : nullptr;
    return list && list->GetList() == body;
}

CTabLayoutUI* TabOfPage(CControlUI* control) { return dynamic_cast<CTabLayoutUI*>(control->GetParent()); }

std::wstring PlainText(CControlUI* c) {
    CDuiString text = c->GetText();
    if (!c->GetTextStyle().markup) return text;
    std::wstring plain;
    for (const MarkupRun& run : ParseMarkup(text)) {
        if (run.lineBreak && !plain.empty()) plain += L'\n';
        plain += run.text;
    }
    return plain;
}

void AddExposedChildren(CControlUI* parent, std::vector<CControlUI*>& out) {
    auto* container = dynamic_cast<CContainerUI*>(parent);
    if (!container) return;
    for (int i = 0, count = container->GetCount(); i < count; ++i) {
        CControlUI* child = container->GetItemAt(i);
        if (!child) continue;
        if (IsExposed(child)) out.push_back(child);
        else AddExposedChildren(child, out);
    }
}

std::vector<CControlUI*> ExposedChildren(CControlUI* c) {
    std::vector<CControlUI*> children;
    AddExposedChildren(c, children);
    return children;
}

// The text a reader sees just before the control among its siblings: its label.
std::wstring LabelOf(CControlUI* c) {
    CControlUI* parent = ExposedParent(c);
    CControlUI* root = c;
    while (root->GetParent()) root = root->GetParent();
    std::vector<CControlUI*> siblings = ChildrenOf(root, parent);
    for (size_t i = 1; i < siblings.size(); ++i) {
        if (siblings[i] != c || RoleOf(siblings[i - 1]) != ROLE_SYSTEM_STATICTEXT) continue;
        std::wstring label = PlainText(siblings[i - 1]);
        if (!label.empty() && (label.back() == L':' || label.back() == L'\uFF1A')) label.pop_back();  // "版本:"
        return label;
    }
    return {};
}

}  // namespace

bool IsWithin(const CControlUI* control, const CControlUI* ancestor) {
    for (const CControlUI* c = control; c; c = c->GetParent())
        if (c == ancestor) return true;
    return false;
}

CComboUI* ComboOfItem(CControlUI* control) {
    return dynamic_cast<CListLabelElementUI*>(control) ? dynamic_cast<CComboUI*>(control->GetParent()) : nullptr;
}

LONG RoleOf(CControlUI* c) {
    if (dynamic_cast<CTabLayoutUI*>(c)) return ROLE_SYSTEM_PAGETABLIST;
    if (dynamic_cast<CListUI*>(c)) return ROLE_SYSTEM_LIST;
    if (dynamic_cast<CComboUI*>(c)) return ROLE_SYSTEM_COMBOBOX;
    if (IsListRow(c) || dynamic_cast<CListLabelElementUI*>(c)) return ROLE_SYSTEM_LISTITEM;
    // An option without a group is a toggle of its own.
    if (auto* option = dynamic_cast<COptionUI*>(c))
        return option->GetGroup().empty() ? ROLE_SYSTEM_CHECKBUTTON : ROLE_SYSTEM_RADIOBUTTON;
    if (dynamic_cast<CButtonUI*>(c)) return ROLE_SYSTEM_PUSHBUTTON;
    if (dynamic_cast<CProgressUI*>(c)) return ROLE_SYSTEM_PROGRESSBAR;
    if (dynamic_cast<CRichEditUI*>(c)) return ROLE_SYSTEM_TEXT;
    if (dynamic_cast<CLabelUI*>(c)) return ROLE_SYSTEM_STATICTEXT;
    if (dynamic_cast<CGifAnimUI*>(c)) return ROLE_SYSTEM_ANIMATION;
    if (TabOfPage(c)) return ROLE_SYSTEM_PROPERTYPAGE;
    return 0;
}

std::wstring NameOf(CControlUI* c) {
    if (dynamic_cast<CComboUI*>(c) || dynamic_cast<CRichEditUI*>(c)) {  // their text is the value
        std::wstring tip = c->GetToolTip();
        return tip.empty() ? LabelOf(c) : tip;
    }
    std::wstring name = PlainText(c);
    if (name.empty()) name = c->GetToolTip();
    if (name.empty() && IsListRow(c)) {
        for (CControlUI* child : ExposedChildren(c)) {
            if (RoleOf(child) != ROLE_SYSTEM_STATICTEXT) continue;
            if (!name.empty()) name += L' ';
            name += PlainText(child);
        }
    }
    return name;
}

std::wstring DescriptionOf(CControlUI* c) {
    std::wstring tip = c->GetToolTip();
    return tip != NameOf(c) ? tip : std::wstring();
}

bool IsExposed(CControlUI* c) {
    LONG role = RoleOf(c);
    return role != 0 && (role != ROLE_SYSTEM_STATICTEXT || !NameOf(c).empty());
}

CControlUI* ExposedParent(CControlUI* c) {
    for (CControlUI* p = c->GetParent(); p; p = p->GetParent())
        if (IsExposed(p)) return p;
    return nullptr;
}

std::vector<CControlUI*> ChildrenOf(CControlUI* root, CControlUI* c) {
    if (c) return ExposedChildren(c);
    if (!root) return {};
    if (IsExposed(root)) return {root};
    return ExposedChildren(root);
}

bool ValueOf(CControlUI* c, std::wstring& value) {
    if (auto* progress = dynamic_cast<CProgressUI*>(c)) {
        int range = progress->GetMaxValue() - progress->GetMinValue();
        int done = progress->GetValue() - progress->GetMinValue();
        int percent = range > 0 ? (done * 100 + range / 2) / range : 0;
        value = std::to_wstring(percent) + L"%";
        return true;
    }
    if (dynamic_cast<CComboUI*>(c) || dynamic_cast<CRichEditUI*>(c)) {
        value = c->GetText();
        return true;
    }
    return false;
}

LONG StateOf(CControlUI* c, bool focused) {
    LONG state = 0;
    if (!c->IsVisibleInTree()) state |= STATE_SYSTEM_INVISIBLE;
    if (!c->IsEnabledInTree()) state |= STATE_SYSTEM_UNAVAILABLE;
    if (Focus::IsFocusable(c)) state |= STATE_SYSTEM_FOCUSABLE;
    if (focused) state |= STATE_SYSTEM_FOCUSED;
    if (auto* button = dynamic_cast<CButtonUI*>(c)) {
        if (button->GetButtonState() & UISTATE_HOT) state |= STATE_SYSTEM_HOTTRACKED;
        if (button->GetButtonState() & UISTATE_PUSHED) state |= STATE_SYSTEM_PRESSED;
    }
    if (auto* option = dynamic_cast<COptionUI*>(c)) {
        state |= STATE_SYSTEM_SELECTABLE;
        if (option->IsSelected()) state |= STATE_SYSTEM_CHECKED | STATE_SYSTEM_SELECTED;
    }
    if (CComboUI* combo = ComboOfItem(c)) {
        int index = combo->GetItemIndex(c);
        state |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
        if (index == combo->GetCurSel()) state |= STATE_SYSTEM_SELECTED;
        if (!combo->IsDroppedDown()) state |= STATE_SYSTEM_INVISIBLE;  // its list is closed
        else if (index == combo->GetDropDownHot()) state |= STATE_SYSTEM_FOCUSED;  // the list has the keyboard
    }
    if (auto* combo = dynamic_cast<CComboUI*>(c))
        state |= STATE_SYSTEM_HASPOPUP | (combo->IsDroppedDown() ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
    if (CTabLayoutUI* tab = TabOfPage(c)) {
        state |= STATE_SYSTEM_SELECTABLE;
        if (tab->GetItemIndex(c) == tab->GetCurSel()) state |= STATE_SYSTEM_SELECTED;
    }
    if (auto* edit = dynamic_cast<CRichEditUI*>(c); edit && edit->IsReadOnly()) state |= STATE_SYSTEM_READONLY;
    LONG role = RoleOf(c);
    if (role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_PROGRESSBAR) state |= STATE_SYSTEM_READONLY;
    return state;
}

const wchar_t* DefaultActionOf(CControlUI* control) {
    if (ComboOfItem(control)) return L"Select";
    if (auto* option = dynamic_cast<COptionUI*>(control))
        return !option->GetGroup().empty() ? L"Select" : option->IsSelected() ? L"Uncheck" : L"Check";
    if (dynamic_cast<CButtonUI*>(control)) return L"Press";
    if (auto* combo = dynamic_cast<CComboUI*>(control)) return combo->IsDroppedDown() ? L"Close" : L"Open";
    return L"";
}

}  // namespace DuiLib::AccessibleModel
