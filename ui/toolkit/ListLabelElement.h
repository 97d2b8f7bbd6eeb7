// One item of a combo's drop-down: a text and an integer tag (SetTag).
#pragma once
#include "ui/toolkit/Label.h"

namespace DuiLib {

class CListLabelElementUI : public CLabelUI {
public:
    CListLabelElementUI();
    CDuiString GetClass() const override { return L"ListLabelElement"; }
};

}  // namespace DuiLib
