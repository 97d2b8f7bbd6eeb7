// CPaintManagerUI's tooltip: one tooltip window per window, showing the
// tooltip text of the control under the mouse.
#include "ui/toolkit/PaintManager.h"

#include <commctrl.h>

namespace DuiLib {

void CPaintManagerUI::UpdateToolTip() {
    if (!hwnd_ || hot_ == toolTipFor_) return;
    toolTipFor_ = hot_;
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;  // comctl32 5 rejects the larger struct
    info.hwnd = hwnd_;
    info.uId = 1;
    if (toolTip_) SendMessageW(toolTip_, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&info));
    if (!hot_ || hot_->GetToolTip().empty()) return;
    if (!toolTip_) {
        static bool initialised = false;
        if (!initialised) {
            INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
            InitCommonControlsEx(&controls);
            initialised = true;
        }
        toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        if (!toolTip_) return;
    }
    // 400 layout units, at the window's scale now (it may have moved monitors).
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, dpi_.Scale(400));
    toolTipText_ = hot_->GetToolTip();
    info.uFlags = TTF_SUBCLASS;
    info.rect = hot_->GetPos();
    info.lpszText = toolTipText_.data();
    SendMessageW(toolTip_, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace DuiLib
