// The modal one-file download: progress bar, percentage, size and speed, and
// a cancel that asks first. The outcome stays behind as a DownloadResult that
// the opener takes with the id RunDialog returned.
//
//   UINT id = RunDialog(new Windows::DownloadWnd(url, target, prompt, check), owner, L"download");
//   Windows::DownloadResult result = Windows::TakeDownloadResult(static_cast<int>(id));
#pragma once
#include <windows.h>

#include <string>

#include "net/DownloadCheck.h"
#include "ui/toolkit/UIlib.h"

struct ProgressRecord;
struct CompletionRecord;

namespace Windows {

struct DownloadResult {
    int statusCode;
    int errorCode;  // transport error, 0 none, 16 cancelled
    int resultId;
    bool rejected = false;  // the bytes failed their DownloadCheck and were deleted
};

// Removes and returns the result of that id; (-1, -1, -1) when there is none
// (a window closed before its download started).
DownloadResult TakeDownloadResult(int resultId);

class DownloadWnd : public DuiLib::WindowImplBase {
public:
    static constexpr UINT kProgressMessage = 1133;
    static constexpr UINT kDoneMessage = 1131;
    static constexpr UINT_PTR kStartTimer = 1;

    // url is UTF-8; targetPath is where the file lands once it passes check;
    // promptPath names it in the cancel question.
    DownloadWnd(std::string url, std::wstring targetPath, std::wstring promptPath, DownloadCheck check = {});

protected:
    LPCWSTR GetWindowClassName() const override { return L"UpdateWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"UpdateUI.xml"; }
    void InitWindow() override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    void Start();
    void ShowProgress(const ProgressRecord& record);
    void Finish(const CompletionRecord& record);
    void AskToCancel();

    std::string url;
    std::wstring targetPath;
    std::wstring promptPath;
    DownloadCheck check;
    int taskId = -1;
    bool finished = false;  // the completion arrived
    bool asking = false;    // the cancel question is open
    DuiLib::CLabelUI* titleLabel = nullptr;
    DuiLib::CLabelUI* tipLabel = nullptr;
    DuiLib::CLabelUI* percentLabel = nullptr;
    DuiLib::CProgressUI* progressBar = nullptr;
};

}  // namespace Windows
