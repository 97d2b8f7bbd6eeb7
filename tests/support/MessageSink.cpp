#include "tests/support/MessageSink.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace test {

namespace {
const wchar_t kClassName[] = L"VantoroTestSink";
}

MessageSink::MessageSink() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &MessageSink::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);  // fails harmlessly when already registered
    hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

MessageSink::~MessageSink() {
    if (hwnd_) DestroyWindow(hwnd_);
    // Completions still posted to the dead window would leak; drain them.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, kDoneMessage, kDoneMessage, PM_REMOVE)) delete reinterpret_cast<CompletionRecord*>(msg.wParam);
}

LRESULT CALLBACK MessageSink::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageSink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == kProgressMessage) {
        auto record = TakeRecord<ProgressRecord>(wParam);
        self->progress.push_back({*record, lParam, GetTickCount()});
        if (self->onProgress) self->onProgress(self->progress.back());
        return 0;
    }
    if (self && msg == kDoneMessage) {
        self->completions.push_back({TakeRecord<CompletionRecord>(wParam), lParam});
        return 0;
    }
    if (self && msg >= WM_USER) {
        self->strays.push_back({msg, wParam, lParam});
        ADD_FAILURE() << "unexpected message 0x" << std::hex << msg << " (wParam 0x" << wParam << ", lParam 0x"
                      << lParam << ")";
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool MessageSink::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        // Short slices: done() may depend on more than this thread's messages.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 20), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

void MessageSink::PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

}  // namespace test
