#include "ui/toolkit/ListLabelElement.h"

namespace DuiLib {

CListLabelElementUI::CListLabelElementUI() { textStyle_.align = DT_LEFT | DT_VCENTER; }

}  // namespace DuiLib
