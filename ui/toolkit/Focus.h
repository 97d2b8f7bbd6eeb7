// Keyboard focus: which controls take it, the order Tab walks them in, and
// where an arrow key moves it inside an option group or a list of rows. The
// paint manager's part (moving the focus, the focus mark, the default
// button) is in Focus.cpp too.
#pragma once
#include <windows.h>

namespace DuiLib {

class CControlUI;

namespace Focus {

// Buttons, options, combos and text entries that are enabled and visible.
bool TakesFocus(const CControlUI* control);
// The next tab stop after `from` (or the first when `from` is null) in layout
// order, wrapping around; an option group is one stop, at its selected option.
// Null when the tree has none.
CControlUI* NextTabStop(CControlUI* root, CControlUI* from, bool forward);
// Where the arrow key moves the focus from `from`: the neighbouring option of
// its group (wrapping), or the matching control of the row above or below in
// a list. Null when the arrow does not move the focus.
CControlUI* ArrowTarget(CControlUI* root, CControlUI* from, UINT key);

}  // namespace Focus
}  // namespace DuiLib
