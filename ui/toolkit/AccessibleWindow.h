// AccessibleWindow: one window's side of screen-reader access. It answers
// WM_GETOBJECT for the client area (and for a combo's drop-down) with an
// Accessible, gives each control a child id that stays the same while the
// control lives, raises the events readers follow, and runs default actions
// that readers ask for: posted to the window, so that a click which opens a
// modal window does not hold the reader's call, and then done as the
// control's own click. A window disabled behind a modal box takes none.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace DuiLib {

class CComboUI;
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
    // WM_GETOBJECT of the combo's open drop-down: the list of its items.
    bool HandleDropDownObject(CComboUI& combo, HWND popup, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Positive; assigned on first use.
    LONG ChildId(CControlUI* control);
    // Null when no living control has the id.
    CControlUI* ControlOf(LONG id) const;

    // False when the control has no default action or cannot take it now.
    bool PostDefaultAction(CControlUI* control);

    // The window is a dialog: its client reads as one, title the name and
    // text the description. Call before it shows; AnnounceDialog once shown.
    void SetDialog(std::wstring title, std::wstring text) {
        dialogTitle_ = std::move(title);
        dialogText_ = std::move(text);
        dialog_ = true;
    }
    bool IsDialog() const { return dialog_; }
    const std::wstring& DialogTitle() const { return dialogTitle_; }
    const std::wstring& DialogText() const { return dialogText_; }
    void AnnounceDialog();

private:
    struct Entry {
        CControlUI* control;
        std::weak_ptr<const void> alive;
        LONG id;
    };

    CPaintManagerUI& manager_;
    std::vector<Entry> ids_;
    LONG nextId_ = 1;
    bool dialog_ = false;
    std::wstring dialogTitle_;
    std::wstring dialogText_;
};

// Does it now, as a click (or a pick in a combo's list) would.
void DoDefaultAction(CControlUI* control);

// The keyboard focus moved to control (null: to no control): screen readers follow.
void NotifyFocusChanged(CPaintManagerUI& manager, CControlUI* control);
// A WinEvent (EVENT_OBJECT_NAMECHANGE, _SHOW, _STATECHANGE...) about the
// control, raised only while its window is shown.
void NotifyReaders(CControlUI* control, DWORD event);
// The highlight of the combo's open drop-down moved to item index.
void NotifyDropDownHighlight(CComboUI& combo, HWND popup, int index);
// Has readers say the control's new text now, as a live region where the
// system has them (Windows 8 on) and as an alert before.
void Announce(CControlUI* control);

}  // namespace DuiLib
