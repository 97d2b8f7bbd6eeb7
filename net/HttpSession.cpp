#include "net/HttpSession.h"

#include <algorithm>

#include "net/RequestQueue.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/VersionInfo.h"

namespace {

int Enqueue(std::string url, http::Parameters parameters, HWND window, UINT doneMessage) {
    if (window == kFireAndForget) {
        window = nullptr;
        doneMessage = kNoMessage;
    }
    return RequestQueue::Instance().EnqueueRequest(std::move(url), std::move(parameters), window, doneMessage);
}

}  // namespace

void HttpSessionBase::Initialise() {
    if (exeNameFromModule) {
        exeName = WideToAnsi(NameWithoutExtension(ModulePath()));
    } else {
        exeName = WideToUtf8(ReadMachineString(L"Software\\" + Utf8ToWide(product), L"ExeFile"));
    }
    system = WideToUtf8(ReadMachineString(L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentVersion"));
    std::wstring text = VersionInfo::Instance().VersionText();
    text.erase(std::remove(text.begin(), text.end(), L'.'), text.end());
    version = WideToUtf8(text);
}

http::Parameters HttpSessionBase::DefaultParameters() const {
    return {{"version", version},
            {"system", system},
            {"product", product},
            {"exeName", exeName},
            {"64bit", IsWindows64() ? "true" : "false"}};
}

HttpSession& HttpSession::Instance() {
    static HttpSession session;
    return session;
}

int HttpSession::Get(const std::string& path, HWND window, UINT doneMessage) {
    return Get(path, {}, window, doneMessage);
}

int HttpSession::Get(const std::string& path, const http::Parameters& parameters, HWND window, UINT doneMessage) {
    http::Parameters all = DefaultParameters();
    all.Append(parameters);
    return Enqueue(BaseUrl() + path, std::move(all), window, doneMessage);
}

int HttpSession::GetUrl(const std::string& url, HWND window, UINT doneMessage) {
    return Enqueue(url, {}, window, doneMessage);
}

std::wstring ErrorText(int code) {
    static const wchar_t* const kTexts[] = {
        L"成功",             L"网络链接服务器错误", L"服务器返回值为空", L"域名解析错误",
        L"内部错误",         L"无效的URL格式",      L"网络接收请求失败", L"网络发送请求失败",
        L"操作操时",         L"代理解析错误",       L"ssl链接错误",      L"ssl本地证书错误",
        L"ssl远程证书错误",  L"ssl cacert 错误",    L"其他SSL错误",      L"不支持的协议",
        L"已取消操作",
    };
    if (code >= 0 && code < (int)std::size(kTexts)) return kTexts[code];
    if (code == 1000) return L"未知错误";
    return L"其他错误";
}
