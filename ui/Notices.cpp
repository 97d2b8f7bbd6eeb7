#include "ui/Notices.h"

#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "platform/Opener.h"
#include "platform/Path.h"
#include "ui/MessageWnd.h"
#include "ui/PercentEncode.h"

namespace {

constexpr int kCancelled = 16;
constexpr int kHostNotResolved = 3;
constexpr int kConnectFailed = 1;
const wchar_t kCheckNetwork[] = L"。请检查网络是否可行或者使用了代理服务器";

}  // namespace

std::wstring RequestFailureText(int status, int errorCode) {
    // The user's own cancel, at whatever moment (before the headers the status is 0).
    if (errorCode == kCancelled) return {};
    if (status == 0 && errorCode == kHostNotResolved) return ErrorText(kHostNotResolved) + kCheckNetwork;
    if (status == 0 && errorCode == kConnectFailed) return ErrorText(kConnectFailed);
    if (status == 404 && errorCode == 0) return L"未找到资源。联系客服处理。";
    return L"状态码: " + std::to_wstring(status) + L",错误码: " + std::to_wstring(errorCode);
}

std::wstring RequestFailureChatLink(std::wstring_view requestUrl, int status, int errorCode) {
    return ChatLink(deployment::ChatUrl(), {requestUrl, L"状态码: " + std::to_wstring(status),
                                      L"错误码: " + std::to_wstring(errorCode)});
}

void ReportRequestFailure(HWND owner, const std::wstring& requestUrl, int status, int errorCode) {
    std::wstring text = RequestFailureText(status, errorCode);
    if (text.empty()) return;
    // One notice at a time: a box already open (any message box) wins.
    if (FindWindowW(kMessageWndClass, kMessageWndClass)) return;
    ShowMessage(owner, text, kNoticeTitle, kMessageInfo);
    OpenWebAddress(RequestFailureChatLink(requestUrl, status, errorCode));
}

DownloadFailureNotice DescribeDownloadFailure(int status, int errorCode, int resultId, std::wstring_view targetPath,
                                              bool rejected) {
    DownloadFailureNotice notice;
    if (errorCode == kCancelled && !rejected) return notice;
    if (status == -1 && errorCode == -1 && resultId == -1) return notice;
    notice.show = true;
    if (rejected) {
        // The browser would fetch the same bytes again: nothing to offer.
        notice.text = L"下载的文件" + FileName(std::wstring(targetPath)) +
                      L"已损坏或被篡改，已删除，未打开。请稍后重新下载，或联系客服处理。";
    } else if (status == 0 && errorCode == kHostNotResolved) {
        notice.text = ErrorText(kHostNotResolved) + kCheckNetwork;
    } else if (status == 404 && errorCode == 0) {
        notice.text = L"未找到资源" + FileName(std::wstring(targetPath)) + L"。联系客服处理。";
    } else {
        notice.type = kMessageQuestion;
        notice.text = L"下载文件: " + FileName(std::wstring(targetPath)) + L"出现了错误。状态码:" + std::to_wstring(status) + L"," +
                      ErrorText(errorCode) + L",是否到浏览器下载？";
    }
    return notice;
}

void ReportDownloadFailure(HWND owner, int status, int errorCode, int resultId, const std::wstring& downloadUrl,
                           const std::wstring& targetPath, bool rejected) {
    DownloadFailureNotice notice = DescribeDownloadFailure(status, errorCode, resultId, targetPath, rejected);
    if (!notice.show) return;
    int answer = ShowMessage(owner, notice.text, kNoticeTitle, notice.type);
    if (notice.type != kMessageQuestion || answer != kMessageOk) return;
    // A row's address may name a local program; only a web address is opened.
    if (!OpenWebAddress(downloadUrl))
        ShowMessage(owner, L"打开默认浏览器出现了错误，请联系客服处理。", kNoticeTitle, kMessageQuestion);
}
