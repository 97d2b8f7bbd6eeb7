// The two failure notices that windows show after a failed request or a failed
// download: the wording, the message box, and the customer-service chat.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

// Network failure notice: the text, or "" for a cancelled request (error code
// 16, whatever the status: before the headers it is 0), which shows nothing.
std::wstring RequestFailureText(int status, int errorCode);
// The chat link opened after the notice: the built-in chat page
// (deployment::ChatUrl, which already carries a query) with c1 the request
// URL, c2 "状态码: <status>", c3 "错误码: <error code>".
std::wstring RequestFailureChatLink(std::wstring_view requestUrl, int status, int errorCode);
// Shows the notice (type 1, "提示") unless a message box is already open, then
// opens the chat link. Status and error code are those of the completion record.
void ReportRequestFailure(HWND owner, const std::wstring& requestUrl, int status, int errorCode);

// What the download failure notice shows for a DownloadResult.
struct DownloadFailureNotice {
    bool show = false;
    int type = 1;              // the message box type: 0 asks whether to use the browser
    std::wstring text;
};
// targetPath's file name (after its last "\") names the file. A rejected
// download (its bytes failed the check and were deleted) says so and offers no browser.
DownloadFailureNotice DescribeDownloadFailure(int status, int errorCode, int resultId, std::wstring_view targetPath,
                                              bool rejected = false);
// Shows that notice; when the user agrees, opens downloadUrl in the browser when
// it is a web address (OpenWebAddress), and says so when it is not opened. (-1, -1, -1) and a cancelled
// download (error code 16, whatever the status) show nothing.
void ReportDownloadFailure(HWND owner, int status, int errorCode, int resultId, const std::wstring& downloadUrl,
                           const std::wstring& targetPath, bool rejected = false);
