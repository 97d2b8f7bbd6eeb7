#include "windows/DownloadWnd.h"

// Work in progress: the window lands in the next commit.
namespace Windows {

DownloadResult TakeDownloadResult(int) { return {-1, -1, -1}; }

DownloadWnd::DownloadWnd(std::string url, std::wstring targetPath, std::wstring promptPath)
    : url(std::move(url)), targetPath(std::move(targetPath)), promptPath(std::move(promptPath)) {}

void DownloadWnd::InitWindow() {}
void DownloadWnd::Notify(DuiLib::TNotifyUI& msg) { WindowImplBase::Notify(msg); }
LRESULT DownloadWnd::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}
void DownloadWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

}  // namespace Windows
