// AccessibleWindow: one window's side of screen-reader access. It answers
// WM_GETOBJECT for the client area with an Accessible, gives each control a
// child id that stays the same while the control lives, raises the focus
// event, and runs default actions that readers ask for: posted to the
// window, so that a click which opens a modal window does not hold the
// reader's call, and then done as the control's own click.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

class AccessibleWindow : public std::enable_shared_from_this<AccessibleWindow> {
public:
    explicit AccessibleWindow(CPaintManagerUI& manager) : manager_(manager) {}
    AccessibleWindow(const AccessibleWindow&) = delete;
    AccessibleWindow& operator=(const AccessibleWindow&) = delete;

    CPaintManagerUI& Manager() const { return manager_; }

    // WM_GETOBJECT and the posted default action.
    static bool Handles(UINT uMsg);
    bool HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Positive; assigned on first use.
    LONG ChildId(CControlUI* control);
    // Null when no living control has the id.
    CControlUI* ControlOf(LONG id) const;

    // False when the control has no default action or cannot take it now.
    bool PostDefaultAction(CControlUI* control);

private:
    struct Entry {
        CControlUI* control;
        std::weak_ptr<const void> alive;
        LONG id;
    };

    CPaintManagerUI& manager_;
    std::vector<Entry> ids_;
    LONG nextId_ = 1;
};

// What a reader says of a control's default action ("Press", "Select"), or
// empty when it has none.
const wchar_t* DefaultActionOf(CControlUI* control);
// Does it now, as a click (or a pick in a combo's list) would.
void DoDefaultAction(CControlUI* control);

// The keyboard focus moved to control (null: to no control): screen readers follow.
void NotifyFocusChanged(CPaintManagerUI& manager, CControlUI* control);

}  // namespace DuiLib
