// Fixer's entry point. Until the landing page exists, the window shows whether
// the service answers, which proves the request queue end to end.
#include <windows.h>

#include <string>

#include "net/Deployment.h"
#include "net/RequestQueue.h"
#include "platform/Text.h"

namespace {

constexpr UINT kPingDone = 1177;
std::wstring status = L"正在连接服务…";

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        RequestQueue::Instance().EnqueueRequest(deployment::ServiceUrl() + "/helper/ping", {}, hwnd, kPingDone);
        return 0;
    case kPingDone: {
        auto record = TakeRecord<CompletionRecord>(wParam);
        const http::Response& r = record->response;
        status = (r.status_code == 200 && !r.error) ? L"服务正常: " + Utf8ToWide(r.url)
                                                    : L"服务不可用: " + Utf8ToWide(r.error.message);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        DrawTextW(dc, status.c_str(), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = L"Vantoro";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Vantoro", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                640, 400, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
