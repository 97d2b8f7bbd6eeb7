#include "ui/toolkit/AccessibleWindow.h"

#include <algorithm>
#include <new>

#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Combo.h"
#include "ui/toolkit/Option.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {
namespace {

UINT ActionMessage() {
    static const UINT message = RegisterWindowMessageW(L"DuiLib.AccessibleDefaultAction");
    return message;
}

CComboUI* ComboOfItem(CControlUI* control) {
    if (!dynamic_cast<CListLabelElementUI*>(control)) return nullptr;
    return dynamic_cast<CComboUI*>(control->GetParent());
}

}  // namespace

AccessibleWindow& CPaintManagerUI::GetAccessible() {
    if (!accessible_) accessible_ = std::make_shared<AccessibleWindow>(*this);
    return *accessible_;
}

bool AccessibleWindow::Handles(UINT uMsg) {
    return uMsg == WM_GETOBJECT || (uMsg == ActionMessage() && uMsg != 0);  // 0: registration failed
}

bool AccessibleWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (uMsg == ActionMessage()) {
        if (CControlUI* control = ControlOf(static_cast<LONG>(wParam))) DoDefaultAction(control);
        result = 0;
        return true;
    }
    // Other objects (the window's frame, UI Automation) stay the system's.
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || !manager_.GetRoot()) return false;
    Microsoft::WRL::ComPtr<Accessible> client = Accessible::Create(shared_from_this(), nullptr);
    // __uuidof: on x64 the IID_IAccessible symbol can resolve to oleacc's import stub, whose bytes are code.
    LRESULT answer =
        client ? LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(client.Get())) : 0;
    // A failure is a negative HRESULT widened to LRESULT; the whole LRESULT is the reference, so no HRESULT cast.
    if (answer <= 0) return false;  // COM not initialised on this thread, or no object: the system's object
    result = answer;
    return true;
}

LONG AccessibleWindow::ChildId(CControlUI* control) {
    std::erase_if(ids_, [](const Entry& e) { return e.alive.expired(); });
    auto it = std::find_if(ids_.begin(), ids_.end(), [control](const Entry& e) { return e.control == control; });
    if (it != ids_.end()) return it->id;
    ids_.push_back(Entry{control, control->Lifetime(), nextId_++});
    return ids_.back().id;
}

CControlUI* AccessibleWindow::ControlOf(LONG id) const {
    auto it = std::find_if(ids_.begin(), ids_.end(), [id](const Entry& e) { return e.id == id; });
    return it != ids_.end() && !it->alive.expired() ? it->control : nullptr;
}

bool AccessibleWindow::PostDefaultAction(CControlUI* control) {
    HWND hwnd = manager_.GetPaintWindow();
    if (!hwnd || !*DefaultActionOf(control) || !control->IsVisibleInTree() || !control->IsEnabledInTree())
        return false;
    return PostMessageW(hwnd, ActionMessage(), static_cast<WPARAM>(ChildId(control)), 0) != FALSE;
}

const wchar_t* DefaultActionOf(CControlUI* control) {
    if (ComboOfItem(control)) return L"Select";
    if (auto* option = dynamic_cast<COptionUI*>(control))
        return !option->GetGroup().empty() ? L"Select" : option->IsSelected() ? L"Uncheck" : L"Check";
    if (dynamic_cast<CButtonUI*>(control)) return L"Press";
    if (auto* combo = dynamic_cast<CComboUI*>(control)) return combo->IsDroppedDown() ? L"Close" : L"Open";
    return L"";
}

void DoDefaultAction(CControlUI* control) {
    if (!control->IsVisibleInTree() || !control->IsEnabledInTree()) return;
    if (CComboUI* combo = ComboOfItem(control)) {
        combo->SelectItem(combo->GetItemIndex(control));
        return;
    }
    control->Activate();
}

void NotifyFocusChanged(CPaintManagerUI& manager, CControlUI* control) {
    HWND hwnd = manager.GetPaintWindow();
    if (!hwnd) return;
    try {
        LONG child = control ? manager.GetAccessible().ChildId(control) : CHILDID_SELF;
        NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, child);
    } catch (const std::bad_alloc&) {
        // The reader misses one focus change; the focus itself has moved.
    }
}

}  // namespace DuiLib
