// The drop shadow around a window: a layered window kept just behind it,
// transparent where the window itself lies.
// The shadow comes from a nine-slice image or, without one, is drawn as a
// soft edge that follows the window's rounded corners.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

// Premultiplied pixels of (cx + 2*size) x (cy + 2*size) for a window of size cx, cy.
std::vector<uint32_t> RenderShadow(const CPaintManagerUI& manager, SIZE window);

class ShadowWindow {
public:
    explicit ShadowWindow(CPaintManagerUI& manager) : manager_(manager) {}
    ~ShadowWindow();
    ShadowWindow(const ShadowWindow&) = delete;
    ShadowWindow& operator=(const ShadowWindow&) = delete;

    // Follows the target's place, size and visibility.
    void Update();
    void Destroy();

private:
    CPaintManagerUI& manager_;
    HWND hwnd_ = nullptr;
    SIZE renderedFor_{};
};

}  // namespace DuiLib
