// Fixer's landing page: four repair features picked with the options at the
// top, the button that runs the chosen feature's check modally, and the link
// to the customer-service chat. The start-up exchange starts with the object
// (make it before the rest of the start-up) and ends on the window; behind
// the page it also receives the activation (1173) that a second Fixer sends.
//
//   auto* window = new MainWindow;
//   window->Create(nullptr, L"Vantoro", 0x10CF0000, WS_EX_ACCEPTFILES);
//
// Destroying the window posts the quit message; destroying the object
// writes "firstRun" false to the settings.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/StartupExchange.h"
#include "ui/toolkit/UIlib.h"

class ServerConfig;

// Sent by a second instance: restore and centre the window.
inline constexpr UINT kActivateMessage = 1173;

// "CurrentVersion" under HKLM "Software\Microsoft\Windows NT\CurrentVersion"
// as the chat shows it: "6.3" "win8或10", "6.0" "win7", "5.1" "winxp",
// anything else (also a missing value) "未知系统".
std::wstring SystemLabel();
// The customer-service chat for a feature: config's chat page with c1 system,
// bitness and "售前", c2 "Vantoro__" + product key, c3 "空订单号", c4 exe
// name + "_" + file version, c5 the machine id.
std::wstring CustomerServiceLink(int featureIndex, const ServerConfig& config);

// What the buttons reach outside the window, for tests to replace; an empty
// function stands for the product's own.
struct MainWindowHooks {
    std::function<void(HWND owner, int featureIndex)> openCheck;  // a modal CheckProgressWnd
    std::function<bool(const std::wstring& link)> openLink;       // OpenWebAddress; false when nothing opened
};

class MainWindow : public DuiLib::WindowImplBase {
public:
    explicit MainWindow(MainWindowHooks hooks = {});
    ~MainWindow() override;

    int FeatureIndex() const { return featureIndex; }

protected:
    LPCWSTR GetWindowClassName() const override { return L"mainWnd"; }
    void InitWindow() override;
    DuiLib::CDuiString GetSkinFile() override { return L"MainUI.xml"; }
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnControlClick(DuiLib::CControlUI* sender);
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    void SelectFeature(const DuiLib::CDuiString& optionName);
    void OpenCustomerService();

    int featureIndex = 0;
    MainWindowHooks hooks;
    StartupExchange exchange;
};
