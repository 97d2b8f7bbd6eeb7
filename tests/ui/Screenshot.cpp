// ui_screenshot <resource folder> <layout file> <out.png>: shows the layout
// as a dialog would be shown, lets it paint and animate briefly, and writes
// what the user sees (corners and shadow included) as a PNG.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/toolkit/Snapshot.h"
#include "ui/toolkit/UIlib.h"

namespace {

class LayoutWindow : public DuiLib::WindowImplBase {
public:
    explicit LayoutWindow(std::wstring file) : file_(std::move(file)) {}

protected:
    LPCWSTR GetWindowClassName() const override { return L"VantoroScreenshot"; }
    DuiLib::CDuiString GetSkinFile() override { return file_; }

private:
    std::wstring file_;
};

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        fwprintf(stderr, L"usage: ui_screenshot <resource folder> <layout file> <out.png>\n");
        return 2;
    }
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_FILE);
    DuiLib::CPaintManagerUI::SetResourcePath(argv[1]);
    int status = 0;
    {
        LayoutWindow window(argv[2]);
        if (!window.Create(nullptr, L"screenshot", 0x96C80000, WS_EX_TOOLWINDOW) || !window.IsLayoutLoaded()) {
            fwprintf(stderr, L"cannot load the layout %ls from %ls\n", argv[2], argv[1]);
            return 1;
        }
        window.CenterWindow();
        window.ShowWindow(true, true);
        Pump(700);
        DuiLib::Snapshot client, picture;
        if (!DuiLib::CaptureClient(window.GetHWND(), client) ||
            !DuiLib::ComposeWindowPicture(window.GetPaintManager(), client, 0xFFE9EDF2, picture) ||
            !DuiLib::SaveSnapshotPng(picture, argv[3])) {
            fwprintf(stderr, L"cannot write %ls\n", argv[3]);
            status = 1;
        }
    }
    DuiLib::CPaintManagerUI::ReleaseResources();
    return status;
}
