// A picture of a window as the user sees it: the client area with its
// child windows, cut to the rounded corners, over its drop shadow on a
// plain background. Used by the screenshot tool and by tests.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

struct Snapshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // premultiplied BGRA, top-down
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The client area through PrintWindow (the window's own painting path).
bool CaptureClient(HWND hwnd, Snapshot& out);
// The client area composed with corners and shadow over `background`.
bool ComposeWindowPicture(const CPaintManagerUI& manager, const Snapshot& client, DWORD background, Snapshot& out);
bool SaveSnapshotPng(const Snapshot& snapshot, const std::wstring& path);

}  // namespace DuiLib
