// Keyboard focus: which controls take it, the order Tab walks them in, and
// where an arrow key moves it inside an option group or a list of rows. The
// paint manager's part (moving the focus, the focus mark, the default
// button) is in Focus.cpp too.
#pragma once
#include <windows.h>

namespace DuiLib {

class CControlUI;

namespace Focus {

// The kinds of control that take the focus: buttons, options, combos and text
// entries. The one definition; the mouse, Tab and readers all ask it.
bool IsFocusable(const CControlUI* control);
// A focusable control that is enabled, visible and placed.
bool TakesFocus(const CControlUI* control);
// The next tab stop after `from` (or the first when `from` is null) in layout
// order, wrapping around; an option group is one stop, at its selected option.
// Null when the tree has none.
CControlUI* NextTabStop(CControlUI* root, CControlUI* from, bool forward);
// Where the arrow key moves the focus from `from`: the neighbouring option of
// its group (wrapping), or the matching control of the row above or below in
// a list. Null when the arrow does not move the focus.
CControlUI* ArrowTarget(CControlUI* root, CControlUI* from, UINT key);
// Where a window's focus starts: the default button, or else the first tab
// stop that is not one of the caption's window buttons (closebtn, minbtn,
// maxbtn, restorebtn). Null when there is none.
CControlUI* InitialStop(CControlUI* root, CControlUI* defaultButton);
// The access key a control's text shows as a bracketed letter or digit at its
// end ("重启程序 (R)"), upper case; 0 when it shows none.
wchar_t AccessKey(const CControlUI* control);
// The first tab stop whose access key is key (either case); null for none.
CControlUI* AccessKeyTarget(CControlUI* root, wchar_t key);

}  // namespace Focus
}  // namespace DuiLib
