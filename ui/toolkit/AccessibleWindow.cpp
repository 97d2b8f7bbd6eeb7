#include "ui/toolkit/AccessibleWindow.h"

#include <versionhelpers.h>

#include <algorithm>
#include <new>

#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/AccessibleModel.h"
#include "ui/toolkit/Combo.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {
namespace {

// EVENT_OBJECT_LIVEREGIONCHANGED, which headers for Windows 7 do not name.
constexpr DWORD kLiveRegionChanged = 0x8019;

UINT ActionMessage() {
    static const UINT message = RegisterWindowMessageW(L"DuiLib.AccessibleDefaultAction");
    return message;
}

// A reader's answer to WM_GETOBJECT; false leaves the system's object.
bool Answer(Microsoft::WRL::ComPtr<Accessible> object, WPARAM wParam, LRESULT& result) {
    // __uuidof: on x64 the IID_IAccessible symbol can resolve to oleacc's import stub, whose bytes are code.
    LRESULT answer =
        object ? LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object.Get())) : 0;
    // A failure is a negative HRESULT widened to LRESULT; the whole LRESULT is the reference, so no HRESULT cast.
    if (answer <= 0) return false;  // COM not initialised on this thread, or no object: the system's object
    result = answer;
    return true;
}

// Raised only for a shown window: nobody reads one being built.
void Raise(CControlUI* control, DWORD event, HWND hwnd = nullptr) {
    CPaintManagerUI* manager = control ? control->GetManager() : nullptr;
    HWND window = manager ? manager->GetPaintWindow() : nullptr;
    if (!window || !IsWindowVisible(window)) return;
    try {
        NotifyWinEvent(event, hwnd ? hwnd : window, OBJID_CLIENT, manager->GetAccessible().ChildId(control));
    } catch (const std::bad_alloc&) {
        // The reader misses one event; the change itself is made.
    }
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
        // Checked again here: a modal box may have opened since it was posted.
        CControlUI* control = ControlOf(static_cast<LONG>(wParam));
        if (control && IsWindowEnabled(manager_.GetPaintWindow())) DoDefaultAction(control);
        result = 0;
        return true;
    }
    // Other objects (the window's frame, UI Automation) stay the system's.
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || !manager_.GetRoot()) return false;
    return Answer(Accessible::Create(shared_from_this(), nullptr), wParam, result);
}

bool AccessibleWindow::HandleDropDownObject(CComboUI& combo, HWND popup, WPARAM wParam, LPARAM lParam,
                                            LRESULT& result) {
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return false;
    return Answer(Accessible::CreateList(shared_from_this(), &combo, popup), wParam, result);
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
    // A window disabled behind a modal box takes no clicks, the reader's neither.
    if (!hwnd || !IsWindowEnabled(hwnd) || !*AccessibleModel::DefaultActionOf(control) ||
        !control->IsVisibleInTree() || !control->IsEnabledInTree())
        return false;
    return PostMessageW(hwnd, ActionMessage(), static_cast<WPARAM>(ChildId(control)), 0) != FALSE;
}

void AccessibleWindow::AnnounceDialog() {
    HWND hwnd = manager_.GetPaintWindow();
    if (!hwnd) return;
    // As the system's message box: the dialog starts, and its text is an alert.
    NotifyWinEvent(EVENT_SYSTEM_DIALOGSTART, hwnd, OBJID_WINDOW, CHILDID_SELF);
    NotifyWinEvent(EVENT_SYSTEM_ALERT, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

void DoDefaultAction(CControlUI* control) {
    if (!control->IsVisibleInTree() || !control->IsEnabledInTree()) return;
    if (CComboUI* combo = AccessibleModel::ComboOfItem(control)) {
        int index = combo->GetItemIndex(control);
        combo->CloseDropDown();  // as a click in the open list
        combo->SelectItem(index);
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

void NotifyReaders(CControlUI* control, DWORD event) { Raise(control, event); }

void NotifyDropDownHighlight(CComboUI& combo, HWND popup, int index) {
    CControlUI* item = combo.GetItemAt(index);
    if (!item || !IsWindowVisible(popup)) return;
    Raise(item, EVENT_OBJECT_FOCUS, popup);
    Raise(item, EVENT_OBJECT_SELECTION, popup);
}

void Announce(CControlUI* control) {
    Raise(control, IsWindows8OrGreater() ? kLiveRegionChanged : EVENT_SYSTEM_ALERT);
}

}  // namespace DuiLib
