#include "ui/toolkit/VerticalLayout.h"

#include <algorithm>

namespace DuiLib {

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT full = InsetArea();
    int viewHeight = std::max<int>(0, full.bottom - full.top);
    int gap = Dpi().Scale(childPadding_);

    std::vector<CControlUI*> flow;
    for (CControlUI* item : items_)
        if (item->IsVisible() && !item->IsFloat()) flow.push_back(item);

    auto measure = [&](int width, int& fixed, int& stretch) {
        fixed = 0;
        stretch = 0;
        for (CControlUI* item : flow) {
            RECT p = Dpi().Scale(item->GetPadding());
            SIZE size = item->EstimateSize(SIZE{width - p.left - p.right, viewHeight});
            fixed += p.top + p.bottom + size.cy;
            if (size.cy == 0) ++stretch;
        }
        if (flow.size() > 1) fixed += gap * static_cast<int>(flow.size() - 1);
    };
    int fixed = 0, stretch = 0;
    measure(full.right - full.left, fixed, stretch);
    UpdateScroll(stretch ? 0 : fixed, viewHeight);
    RECT inner = InnerRect();
    int width = inner.right - inner.left;

    int free = std::max(0, viewHeight - fixed);
    int share = stretch ? free / stretch : 0;
    int y = inner.top - scrollPos_;
    if (!stretch && free > 0) {
        if (childAlign_ & DT_VCENTER) y += free / 2;
        else if (childAlign_ & DT_BOTTOM) y += free;
    }
    int stretchLeft = stretch;
    for (CControlUI* item : flow) {
        RECT p = Dpi().Scale(item->GetPadding());
        int available = std::max<int>(0, width - p.left - p.right);
        SIZE size = item->EstimateSize(SIZE{available, viewHeight});
        int h = size.cy;
        if (h == 0) h = --stretchLeft == 0 ? free - share * (stretch - 1) : share;
        int w = size.cx > 0 ? std::min<int>(size.cx, available) : available;
        int x = inner.left + p.left;
        if (size.cx > 0) {
            if (childAlign_ & DT_CENTER) x += (available - w) / 2;
            else if (childAlign_ & DT_RIGHT) x += available - w;
        }
        item->SetPos(RECT{x, y + p.top, x + w, y + p.top + h});
        y += p.top + h + p.bottom + gap;
    }
    for (CControlUI* item : items_) {
        if (!item->IsVisible() || !item->IsFloat()) continue;
        item->SetPos(FloatRect(item));
    }
}

}  // namespace DuiLib
