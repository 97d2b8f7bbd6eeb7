// Control notifications (what a window's Notify receives) and the input
// events the paint manager hands to controls.
#pragma once
#include <windows.h>

#include "ui/toolkit/UIString.h"

namespace DuiLib {

class CControlUI;

inline constexpr const wchar_t* DUI_MSGTYPE_CLICK = L"click";
inline constexpr const wchar_t* DUI_MSGTYPE_SELECTCHANGED = L"selectchanged";
inline constexpr const wchar_t* DUI_MSGTYPE_ITEMSELECT = L"itemselect";   // wParam new index, lParam old
inline constexpr const wchar_t* DUI_MSGTYPE_DROPDOWN = L"dropdown";
inline constexpr const wchar_t* DUI_MSGTYPE_TEXTCHANGED = L"textchanged";
inline constexpr const wchar_t* DUI_MSGTYPE_SETFOCUS = L"setfocus";
inline constexpr const wchar_t* DUI_MSGTYPE_KILLFOCUS = L"killfocus";
inline constexpr const wchar_t* DUI_MSGTYPE_SCROLL = L"scroll";
inline constexpr const wchar_t* DUI_MSGTYPE_WINDOWINIT = L"windowinit";  // once, after InitWindow

struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

enum UIEVENT {
    UIEVENT_MOUSEMOVE = 1,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_SCROLLWHEEL,  // wParam: the WM_MOUSEWHEEL wParam
    UIEVENT_KEYDOWN,      // chKey: the virtual key
    UIEVENT_CHAR,
    UIEVENT_SETFOCUS,
    UIEVENT_KILLFOCUS,
    UIEVENT_TIMER,        // wParam: the control's own timer id
    UIEVENT_SETCURSOR,
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    wchar_t chKey = 0;
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

}  // namespace DuiLib
