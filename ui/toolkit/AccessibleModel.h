// AccessibleModel: what a screen reader is told of a control (role, name,
// description, state, value, default action) and which controls it sees at
// all, decided from the control tree alone. Plain layouts are not seen: their
// children take their place. No COM here; Accessible serves these answers.
#pragma once
#include <windows.h>
#include <oleacc.h>  // the ROLE_ and STATE_ words only

#include <string>
#include <vector>

namespace DuiLib {

class CComboUI;
class CControlUI;

namespace AccessibleModel {

bool IsWithin(const CControlUI* control, const CControlUI* ancestor);
// The combo whose drop-down lists the control, or null when it is no combo item.
CComboUI* ComboOfItem(CControlUI* control);

// A ROLE_SYSTEM_ value; 0 for a plain layout.
LONG RoleOf(CControlUI* c);
// Its text; an image-only button says its tooltip; a row of a list the texts
// inside it; a combo or a text entry its tooltip or else the label just before it.
std::wstring NameOf(CControlUI* c);
// A tooltip that is not already the name.
std::wstring DescriptionOf(CControlUI* c);
// False when the control has no value (only combos, entries and progress do).
bool ValueOf(CControlUI* c, std::wstring& value);
// STATE_SYSTEM_ flags; focused: it has the focus of a window that has the keyboard.
LONG StateOf(CControlUI* c, bool focused);
// "Press", "Select", "Check"...; empty when it has none.
const wchar_t* DefaultActionOf(CControlUI* control);

bool IsExposed(CControlUI* c);
// The exposed controls directly below c (below the root when c is the root's
// parent, i.e. null with root given).
std::vector<CControlUI*> ChildrenOf(CControlUI* root, CControlUI* c);
// Null: the window's client area.
CControlUI* ExposedParent(CControlUI* c);

}  // namespace AccessibleModel
}  // namespace DuiLib
