// The solution page of one repair feature: the user picks a version (and a
// plugin), the page lists the resources the service names for that choice,
// and each row's button downloads, opens or shows its resource.
//
// Page 0 is filled from "/helper/config" (kConfigDone); confirmbtn asks for
// "/helper/solution" (kListDone) and shows page 1. Files land in one save
// folder shared by every feature, each address under its own name
// (DistinctFileNames over the rows and their companions); downloads run
// modally in DownloadWnd and are kept only when they pass the row's
// DownloadCheck ("size"/"sha256", or "32size"/"32sha256" with "32url",
// "appendsize"/"appendsha256" for the companion).
// A row counts as downloaded only when its own file matches: the size is
// compared while the list is built (a stat), the digest of a file of the
// right size on one worker thread afterwards (kCheckDone), so that hashing a
// system image of several GB never stops the window; until it reports, the
// row offers "开始下载".
#pragma once
#include <windows.h>

#include <json/json.h>

#include <string>
#include <vector>

#include "net/DownloadCheck.h"

#include "ui/toolkit/UIlib.h"

namespace Windows {

class SolutionWnd : public DuiLib::WindowImplBase {
public:
    static constexpr UINT kConfigDone = 1162;
    static constexpr UINT kListDone = 1170;
    static constexpr UINT kCheckDone = 1172;  // wParam: std::wstring*, a saved file that matches its digest

    // featureIndex: 0 DLL repair, 1 C-drive cleanup, 2 system reinstall, 3 DirectX.
    explicit SolutionWnd(int featureIndex);

    // Where rows are saved; DefaultSaveFolder() (platform/SaveFolder.h) unless set before Create.
    void SetSaveFolder(std::wstring folder) { saveFolder = std::move(folder); }
    // Whether Windows is 64-bit, which decides between "url" and "32url";
    // the WOW64 test unless set before the list arrives.
    void SetWindows64(bool is64) { windows64 = is64; }

protected:
    LPCWSTR GetWindowClassName() const override { return L"SolutionWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"SolutionUI.xml"; }
    void InitWindow() override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    // What one row's button stands for, read back from its attributes.
    struct ResourceItem {
        std::wstring kind;
        std::wstring localPath;
        std::string address;  // UTF-8
        std::wstring fileName;
        std::string companionAddress;  // UTF-8; empty without a companion
        std::wstring companionPath;
        std::wstring companionName;
        DownloadCheck check;
        DownloadCheck companionCheck;
        DuiLib::CControlUI* button = nullptr;
    };
    struct DiskCheck {
        std::wstring path;
        std::string sha256;
    };

    void OnConfig(WPARAM wParam);
    void FillChoices(const Json::Value& items, DuiLib::CComboUI* combo, int itemHeight);
    void Confirm();
    void OnList(WPARAM wParam);
    std::string AddressOf(const Json::Value& element) const;
    DownloadCheck CheckOf(const Json::Value& element) const;
    void AddRow(DuiLib::CDialogBuilder& builder, const Json::Value& element, const std::wstring& name,
                const std::wstring& companionName);
    void CheckOnDisk(DuiLib::CControlUI* button, const std::wstring& path, const DownloadCheck& check);
    void StartDiskChecks();
    void OnDiskCheck(WPARAM wParam);
    void MarkDownloaded(DuiLib::CControlUI* button);

    ResourceItem ItemOf(DuiLib::CControlUI* button) const;
    void RunRow(DuiLib::CControlUI* button);
    DuiLib::CControlUI* PartnerOf(const std::wstring& kind) const;
    bool Download(const ResourceItem& item);
    void Open(const ResourceItem& item);
    void OpenInBrowser(const ResourceItem& item);

    int featureIndex;
    std::string productKey;
    Json::Value config;
    int versionId = -1;
    int pluginId = -1;
    bool hasPlugins = false;
    std::wstring saveFolder;
    bool windows64;

    DuiLib::CTabLayoutUI* typeTab = nullptr;
    DuiLib::CComboUI* versionCombo = nullptr;
    DuiLib::CComboUI* pluginCombo = nullptr;
    DuiLib::CListUI* workingList = nullptr;
    std::vector<DiskCheck> diskChecks;  // gathered while the list is built
};

}  // namespace Windows
