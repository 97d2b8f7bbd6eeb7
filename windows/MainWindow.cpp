#include "windows/MainWindow.h"

#include <new>

#include "core/AppConfig.h"
#include "core/MachineId.h"
#include "net/ServerConfig.h"
#include "platform/Opener.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/VersionInfo.h"
#include "resources/app/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/MessageWnd.h"
#include "ui/PercentEncode.h"
#include "windows/CheckProgressWnd.h"
#include "windows/Feature.h"

using namespace DuiLib;

namespace {

struct Feature {
    const wchar_t* option;
    const wchar_t* title;
    const wchar_t* subtitle;
    const wchar_t* button;
    const wchar_t* animation;
};

// In feature index order.
const Feature kFeatures[] = {
    {L"dllFixOpt", L"DLL修复 安全可靠", L"修复程序dll丢失、运行错误、无法打开等问题", L"立即修复", L"img1/dll.gif"},
    {L"ccleanerOpt", L"C盘瘦身 扩充容量", L"扩充C盘容量、软件搬家其他盘、清理多余垃圾", L"立即清理", L"img1/ccleaner.gif"},
    {L"reinstallOpt", L"系统重装 一键完成", L"无需专业技术，一键快速完成，免激活，纯净", L"立即重装", L"img1/reinstall.gif"},
    {L"directxOpt", L"DirectX 游戏组件安装", L"恢复游戏正常运行、修复DirectX问题", L"立即修复", L"img1/directx.gif"},
};

void RunCheck(HWND owner, int featureIndex) {
    RunDialog(new (std::nothrow) Windows::CheckProgressWnd(featureIndex), owner, L"正在检查中");
}

// Shared icons belong to the system: nothing to destroy.
void SetIcon(HWND window, WPARAM kind, int sizeMetric) {
    int size = GetSystemMetrics(sizeMetric);
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, LR_SHARED);
    if (icon) SendMessageW(window, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon));
}

void SetText(CPaintManagerUI& manager, const wchar_t* name, const wchar_t* text) {
    if (CControlUI* control = manager.FindControl(name)) control->SetText(text);
}

}  // namespace

std::wstring SystemLabel() {
    std::wstring version = ReadMachineString(L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentVersion");
    if (version == L"6.3") return L"win8或10";
    if (version == L"6.0") return L"win7";
    if (version == L"5.1") return L"winxp";
    return L"未知系统";
}

std::wstring CustomerServiceLink(int featureIndex, const ServerConfig& config) {
    std::wstring system = SystemLabel() + L"_" + (IsWindows64() ? L"64位" : L"32位") + L"_售前";
    std::wstring product = L"Vantoro__" + Utf8ToWide(Windows::ProductKey(featureIndex));
    std::wstring program = NameWithoutExtension(ModulePath()) + L"_" + VersionInfo::Instance().VersionText();
    return ChatLink(config.ChatUrl(), {system, product, L"空订单号", program, MachineId()});
}

MainWindow::MainWindow(MainWindowHooks given) : hooks(std::move(given)) {
    if (!hooks.openCheck) hooks.openCheck = RunCheck;
    if (!hooks.openLink) hooks.openLink = OpenWebAddress;
    // The exchange needs no window until its end, so it overlaps the layout's build.
    exchange.StartEarly();
}

MainWindow::~MainWindow() { AppConfig::Instance().SetFirstRun(false); }

void MainWindow::InitWindow() {
    featureIndex = 0;
    // An elevated window otherwise drops WM_COMMAND from unelevated senders.
    SetMessageFilter(WM_COMMAND, true);
    exchange.Attach(m_hWnd);
    SetIcon(m_hWnd, ICON_BIG, SM_CXICON);
    SetIcon(m_hWnd, ICON_SMALL, SM_CXSMICON);
}

LRESULT MainWindow::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    PostQuitMessage(0);
    handled = FALSE;
    return 0;
}

LRESULT MainWindow::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    if (message == WM_NCLBUTTONDBLCLK) {
        handled = TRUE;  // the caption does not maximise
    } else if (message == kActivateMessage) {
        ::ShowWindow(m_hWnd, SW_RESTORE);
        CenterWindow();
    } else {
        exchange.Handle(message, wParam, lParam);
    }
    return 0;
}

void MainWindow::Notify(TNotifyUI& msg) {
    CDuiString sender = msg.pSender ? msg.pSender->GetName() : CDuiString();
    OutputDebugStringW((L"mainWnd: " + msg.sType + L" " + sender + L"\n").c_str());
    if (msg.sType == DUI_MSGTYPE_CLICK) {
        OnControlClick(msg.pSender);
    } else if (msg.sType == DUI_MSGTYPE_SELECTCHANGED) {
        auto* option = dynamic_cast<COptionUI*>(msg.pSender);
        if (option && sender.find(L"Opt") != CDuiString::npos && option->GetGroup() == L"topOption")
            SelectFeature(sender);
    }
    WindowImplBase::Notify(msg);
}

void MainWindow::SelectFeature(const CDuiString& optionName) {
    for (int index = 0; index < static_cast<int>(std::size(kFeatures)); ++index) {
        const Feature& feature = kFeatures[index];
        if (optionName != feature.option) continue;
        featureIndex = index;
        SetText(m_PaintManager, L"titleLbl", feature.title);
        SetText(m_PaintManager, L"subtitleLbl", feature.subtitle);
        SetText(m_PaintManager, L"fixbtn", feature.button);
        if (CControlUI* animation = m_PaintManager.FindControl(L"logoGif")) animation->SetBkImage(feature.animation);
        return;
    }
}

void MainWindow::OnControlClick(CControlUI* sender) {
    if (!sender) return;
    CDuiString name = sender->GetName();
    if (name == L"fixbtn") hooks.openCheck(m_hWnd, featureIndex);
    else if (name == L"customerBtn") OpenCustomerService();
}

void MainWindow::OpenCustomerService() {
    if (hooks.openLink(CustomerServiceLink(featureIndex, ServerConfig::Instance()))) return;
    ShowMessage(m_hWnd, L"打开浏览器失败，请从支付账单中联系客服。", kNoticeTitle, kMessageInfo);
}
