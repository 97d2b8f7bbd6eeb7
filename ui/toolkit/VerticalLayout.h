// Children stacked top to bottom: fixed heights first, the rest shared by
// children without a height; each child as wide as the layout unless fixed.
#pragma once
#include "ui/toolkit/Container.h"

namespace DuiLib {

class CVerticalLayoutUI : public CContainerUI {
public:
    CDuiString GetClass() const override { return L"VerticalLayout"; }
    void SetPos(RECT rc) override;
};

}  // namespace DuiLib
