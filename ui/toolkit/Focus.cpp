#include "ui/toolkit/Focus.h"

#include <algorithm>
#include <vector>

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Combo.h"
#include "ui/toolkit/List.h"
#include "ui/toolkit/Option.h"
#include "ui/toolkit/PaintManager.h"
#include "ui/toolkit/RichEdit.h"

namespace DuiLib {
namespace {

// Two rings, dark outside and white inside, so that the mark shows on the
// white pages, the blue bands and the blue buttons alike.
constexpr DWORD kMarkOuter = 0xFF1A1A1A;
constexpr DWORD kMarkInner = 0xFFFFFFFF;

std::vector<CControlUI*> TreeOrder(CControlUI* root) {
    std::vector<CControlUI*> all;
    if (root) root->FindControl([&all](CControlUI* c) {
        all.push_back(c);
        return false;
    });
    return all;
}

const COptionUI* GroupedOption(const CControlUI* control) {
    auto* option = dynamic_cast<const COptionUI*>(control);
    return option && !option->GetGroup().empty() ? option : nullptr;
}

bool SameGroup(const CControlUI* a, const CControlUI* b) {
    const COptionUI* x = GroupedOption(a);
    const COptionUI* y = GroupedOption(b);
    return x && y && x->GetGroup() == y->GetGroup();
}

// A grouped option is a tab stop when it is selected, or when no option of
// its group that takes the focus is, and it is the group's first.
bool IsGroupStop(const std::vector<CControlUI*>& all, const CControlUI* control) {
    const COptionUI* option = GroupedOption(control);
    if (!option || option->IsSelected()) return true;
    const CControlUI* first = nullptr;
    for (const CControlUI* c : all) {
        if (!SameGroup(c, option) || !Focus::TakesFocus(c)) continue;
        if (static_cast<const COptionUI*>(c)->IsSelected()) return false;
        if (!first) first = c;
    }
    return first == control;
}

CControlUI* NextOfGroup(const std::vector<CControlUI*>& all, CControlUI* from, bool forward) {
    auto at = std::find(all.begin(), all.end(), from);
    if (at == all.end()) return nullptr;
    int n = static_cast<int>(all.size()), i = static_cast<int>(at - all.begin());
    for (int step = 1; step < n; ++step) {
        CControlUI* c = all[((i + (forward ? step : -step)) % n + n) % n];
        if (SameGroup(c, from) && Focus::TakesFocus(c)) return c;
    }
    return nullptr;
}

// The row of a list that holds the control, and the list's body of rows.
CContainerUI* RowOf(CControlUI* control, CContainerUI** body) {
    for (CControlUI* c = control; c && c->GetParent(); c = c->GetParent()) {
        CControlUI* parent = c->GetParent();
        auto* list = parent->GetParent() ? dynamic_cast<CListUI*>(parent->GetParent()) : nullptr;
        if (list && list->GetList() == parent) {
            *body = list->GetList();
            return dynamic_cast<CContainerUI*>(c);
        }
    }
    return nullptr;
}

std::vector<CControlUI*> StopsIn(CControlUI* container) {
    std::vector<CControlUI*> stops;
    for (CControlUI* c : TreeOrder(container))
        if (Focus::TakesFocus(c)) stops.push_back(c);
    return stops;
}

CControlUI* RowNeighbour(CControlUI* from, bool down) {
    CContainerUI* body = nullptr;
    CContainerUI* row = RowOf(from, &body);
    if (!row) return nullptr;
    std::vector<CControlUI*> here = StopsIn(row);
    size_t column = std::find(here.begin(), here.end(), from) - here.begin();
    for (int i = body->GetItemIndex(row) + (down ? 1 : -1); i >= 0 && i < body->GetCount(); i += down ? 1 : -1) {
        std::vector<CControlUI*> there = StopsIn(body->GetItemAt(i));
        if (!there.empty()) return there[std::min(column, there.size() - 1)];
    }
    return nullptr;
}

}  // namespace

namespace Focus {

CControlUI* InitialStop(CControlUI* root, CControlUI* defaultButton) {
    if (TakesFocus(defaultButton)) return defaultButton;
    // The caption's window buttons are the last thing a window is opened for.
    auto windowButton = [](const CControlUI* c) {
        const CDuiString& name = c->GetName();
        return name == L"closebtn" || name == L"minbtn" || name == L"maxbtn" || name == L"restorebtn";
    };
    CControlUI* first = NextTabStop(root, nullptr, true);
    for (CControlUI* stop = first; stop;) {
        if (!windowButton(stop)) return stop;
        stop = NextTabStop(root, stop, true);
        if (stop == first) break;
    }
    return nullptr;
}

wchar_t AccessKey(const CControlUI* control) {
    // "发送错误报告 (S)": a letter or digit in brackets closing the text.
    const CDuiString text = control->GetText();
    if (text.size() < 3 || text.back() != L')' || text[text.size() - 3] != L'(') return 0;
    wchar_t key = text[text.size() - 2];
    if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
    bool usable = (key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9');
    return usable ? key : 0;
}

CControlUI* AccessKeyTarget(CControlUI* root, wchar_t key) {
    if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
    for (CControlUI* c : TreeOrder(root))
        if (TakesFocus(c) && !dynamic_cast<CRichEditUI*>(c) && AccessKey(c) == key) return c;
    return nullptr;
}

bool IsFocusable(const CControlUI* control) {
    return dynamic_cast<const CButtonUI*>(control) || dynamic_cast<const CComboUI*>(control) ||
           dynamic_cast<const CRichEditUI*>(control);
}

bool TakesFocus(const CControlUI* control) {
    return control && IsFocusable(control) && control->IsVisibleInTree() && control->IsEnabledInTree() &&
           !IsEmptyRect(control->GetPos());
}

CControlUI* NextTabStop(CControlUI* root, CControlUI* from, bool forward) {
    std::vector<CControlUI*> all = TreeOrder(root);
    int n = static_cast<int>(all.size());
    auto at = std::find(all.begin(), all.end(), from);
    int i = at != all.end() ? static_cast<int>(at - all.begin()) : (forward ? -1 : n);
    for (int step = 1; step <= n; ++step) {
        int j = i + (forward ? step : -step);
        CControlUI* c = all[(j % n + n) % n];
        if (TakesFocus(c) && !SameGroup(c, from) && IsGroupStop(all, c)) return c;
    }
    return TakesFocus(from) ? from : nullptr;
}

CControlUI* ArrowTarget(CControlUI* root, CControlUI* from, UINT key) {
    if (!from || dynamic_cast<CComboUI*>(from)) return nullptr;  // the combo's arrows pick its items
    bool back = key == VK_LEFT || key == VK_UP;
    if (!back && key != VK_RIGHT && key != VK_DOWN) return nullptr;
    if (GroupedOption(from)) return NextOfGroup(TreeOrder(root), from, !back);
    if (key == VK_UP || key == VK_DOWN) return RowNeighbour(from, key == VK_DOWN);
    return nullptr;
}

}  // namespace Focus

// ---- the paint manager's focus

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control == focus_) return;
    CControlUI* old = focus_;
    focus_ = control;
    if (old) {
        if (focusMark_) old->Invalidate();
        TEventUI event = MakeEvent(UIEVENT_KILLFOCUS, old, POINT{});
        old->DoEvent(event);
    }
    if (control && focus_ == control) {
        TEventUI event = MakeEvent(UIEVENT_SETFOCUS, control, POINT{});
        control->DoEvent(event);
    }
    if (focus_ == control) FocusChanged();
}

void CPaintManagerUI::FocusChanged() {
    if (focus_ && focusMark_) focus_->Invalidate();
    NotifyFocusChanged(*this, focus_);  // screen readers follow the focus
}

void CPaintManagerUI::ShowFocusMark(bool shown) {
    if (shown == focusMark_) return;
    focusMark_ = shown;
    if (focus_) focus_->Invalidate();
}

void CPaintManagerUI::PlaceFocus(CControlUI* control) {
    // Keys typed into a hosted edit go to its window; the others to ours.
    HWND keys = ::GetFocus();
    if (!dynamic_cast<CRichEditUI*>(control) && keys && IsChild(hwnd_, keys)) ::SetFocus(hwnd_);
    if (control)
        for (CControlUI* c = control->GetParent(); c; c = c->GetParent())
            if (auto* container = dynamic_cast<CContainerUI*>(c); container && container->HasScrollBar())
                container->EnsureVisible(control);
    SetFocus(control);
}

void CPaintManagerUI::FocusByKeyboard(CControlUI* control) {
    if (!control) return;
    PlaceFocus(control);
    ShowFocusMark(true);
}

void CPaintManagerUI::SettleFocus() {
    if (!root_) return;
    // Until the window has a stop (the check window's button comes later).
    if (initialFocus_ && !focus_) {
        CControlUI* first = Focus::InitialStop(root_.get(), FindControl(defaultButton_));
        initialFocus_ = first == nullptr;
        if (first) PlaceFocus(first);
    }
    if (focus_) initialFocus_ = false;
    CControlUI* anchor = focusAnchor_;
    focusAnchor_ = nullptr;
    if (anchor && !Focus::TakesFocus(focus_)) PlaceFocus(Focus::NextTabStop(root_.get(), anchor, true));
}

bool CPaintManagerUI::HandleFocusKey(UINT key) {
    if (!root_) return false;
    if (key == VK_TAB) {
        bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        FocusByKeyboard(Focus::NextTabStop(root_.get(), focus_, !back));
        return true;
    }
    if (CControlUI* target = Focus::ArrowTarget(root_.get(), focus_, key)) {
        FocusByKeyboard(target);
        // As with radio buttons, the arrow also picks the option.
        if (dynamic_cast<COptionUI*>(target)) target->Activate();
        return true;
    }
    if (key != VK_RETURN || defaultButton_.empty()) return false;
    if (Focus::TakesFocus(focus_) && !dynamic_cast<CRichEditUI*>(focus_)) return false;  // it takes Enter itself
    CControlUI* button = FindControl(defaultButton_);
    if (!Focus::TakesFocus(button)) return false;
    button->Activate();
    return true;
}

bool CPaintManagerUI::HandleAccessKey(wchar_t key) {
    CControlUI* target = root_ ? Focus::AccessKeyTarget(root_.get(), key) : nullptr;
    if (!target) return false;
    FocusByKeyboard(target);
    target->Activate();  // last: a click handler may close the window
    return true;
}

void CPaintManagerUI::PaintFocusMark(const Canvas& canvas, const RECT& clip) {
    if (!focusMark_ || !Focus::TakesFocus(focus_)) return;
    // Inside the control, and only where its containers show it (a scrolled list).
    RECT area = clip;
    for (CControlUI* c = focus_->GetParent(); c; c = c->GetParent()) area = IntersectRects(area, c->GetPos());
    RECT rc = focus_->GetPos();
    int w = dpi_.Scale(1);  // a ring a layout unit wide at every scale
    InflateRect(&rc, -w, -w);
    // Two tones, so it shows on any colour; in high contrast the system's.
    const SystemLook& look = SystemLook::Current();
    DrawBorder(canvas, rc, RECT{w, w, w, w}, SIZE{}, look.Color(ColorRole::WindowText, kMarkOuter), area);
    InflateRect(&rc, -w, -w);
    DrawBorder(canvas, rc, RECT{w, w, w, w}, SIZE{}, look.Color(ColorRole::Window, kMarkInner), area);
}

}  // namespace DuiLib
