#include "ui/toolkit/HorizontalLayout.h"

#include <algorithm>

namespace DuiLib {

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    UpdateScroll(0, 0);
    RECT inner = InnerRect();
    int viewWidth = std::max<int>(0, inner.right - inner.left);
    int height = std::max<int>(0, inner.bottom - inner.top);
    int gap = Dpi().Scale(childPadding_);

    std::vector<CControlUI*> flow;
    for (CControlUI* item : items_)
        if (item->IsVisible() && !item->IsFloat()) flow.push_back(item);

    int fixed = 0, stretch = 0;
    for (CControlUI* item : flow) {
        RECT p = Dpi().Scale(item->GetPadding());
        SIZE size = item->EstimateSize(SIZE{viewWidth, height - p.top - p.bottom});
        fixed += p.left + p.right + size.cx;
        if (size.cx == 0) ++stretch;
    }
    if (flow.size() > 1) fixed += gap * static_cast<int>(flow.size() - 1);

    int free = std::max(0, viewWidth - fixed);
    int share = stretch ? free / stretch : 0;
    int x = inner.left;
    if (!stretch && free > 0) {
        if (childAlign_ & DT_CENTER) x += free / 2;
        else if (childAlign_ & DT_RIGHT) x += free;
    }
    int stretchLeft = stretch;
    for (CControlUI* item : flow) {
        RECT p = Dpi().Scale(item->GetPadding());
        int available = std::max<int>(0, height - p.top - p.bottom);
        SIZE size = item->EstimateSize(SIZE{viewWidth, available});
        int w = size.cx;
        if (w == 0) w = --stretchLeft == 0 ? free - share * (stretch - 1) : share;
        int h = size.cy > 0 ? std::min<int>(size.cy, available) : available;
        int y = inner.top + p.top;
        if (size.cy > 0) {
            if (childAlign_ & DT_VCENTER) y += (available - h) / 2;
            else if (childAlign_ & DT_BOTTOM) y += available - h;
        }
        item->SetPos(RECT{x + p.left, y, x + p.left + w, y + h});
        x += p.left + w + p.right + gap;
    }
    for (CControlUI* item : items_) {
        if (!item->IsVisible() || !item->IsFloat()) continue;
        item->SetPos(FloatRect(item));
    }
}

}  // namespace DuiLib
