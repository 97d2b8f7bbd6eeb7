// Children placed left to right: fixed widths first, the rest shared by
// children without a width; each child as high as the layout unless fixed.
#pragma once
#include "ui/toolkit/Container.h"

namespace DuiLib {

class CHorizontalLayoutUI : public CContainerUI {
public:
    CDuiString GetClass() const override { return L"HorizontalLayout"; }
    void SetPos(RECT rc) override;
};

}  // namespace DuiLib
