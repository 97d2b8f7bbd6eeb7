#include "windows/SolutionWnd.h"

#include <cwchar>
#include <thread>

#include "net/Answer.h"
#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "net/RequestQueue.h"
#include "net/ServerConfig.h"
#include "net/Sha256.h"
#include "platform/Opener.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Product.h"
#include "platform/SaveFolder.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "ui/Dialog.h"
#include "ui/MessageWnd.h"
#include "ui/Notices.h"
#include "windows/DownloadWnd.h"
#include "windows/Feature.h"
#include "windows/FileName.h"

using namespace DuiLib;

namespace Windows {

namespace {

const char kListPath[] = "/helper/solution";

// A row starts with the template's "开始下载".
const wchar_t kOpen[] = L"打开";
const wchar_t kOpenFolder[] = L"打开目录";
const wchar_t kOpenFile[] = L"打开文件";

const wchar_t kApp[] = L"app";
const wchar_t kTutorial[] = L"tutorial";
const wchar_t kIssue[] = L"issue";
const wchar_t kWangpan[] = L"wangpan";

// A reply may list anything; the page shows at most this many of each.
constexpr int kMaxChoices = 100;
constexpr int kMaxRows = 200;

const wchar_t kDownloaded[] = L"downloaded";  // the row's own file is on disk

// The label of a row whose file is on disk.
const wchar_t* OpenText(const std::wstring& kind) {
    if (kind == kApp) return kOpenFolder;
    if (kind == kTutorial) return kOpenFile;
    return kOpen;
}

// A check travels with its button as text attributes named prefix + "size"/"sha256".
void StoreCheck(CControlUI* button, const std::wstring& prefix, const DownloadCheck& check) {
    if (check.size) button->AddCustomAttribute((prefix + L"size").c_str(), std::to_wstring(*check.size));
    if (!check.sha256.empty()) button->AddCustomAttribute((prefix + L"sha256").c_str(), Utf8ToWide(check.sha256));
}

DownloadCheck LoadCheck(CControlUI* button, const std::wstring& prefix) {
    DownloadCheck check;
    if (button->HasCustomAttribute((prefix + L"size").c_str()))
        check.size = wcstoull(button->GetCustomAttribute((prefix + L"size").c_str()).c_str(), nullptr, 10);
    check.sha256 = WideToUtf8(button->GetCustomAttribute((prefix + L"sha256").c_str()));
    return check;
}

// A file (not a folder) of the expected size, when one is expected.
bool SizeMatches(const std::wstring& path, const DownloadCheck& check) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const std::uint64_t size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return !check.size || *check.size == size;
}

// Checked as downloaded, and still there: the user may have deleted it since.
bool IsDownloaded(CControlUI* button) {
    return button->HasCustomAttribute(kDownloaded) &&
           SizeMatches(button->GetCustomAttribute(L"savePath"), LoadCheck(button, L""));
}

}  // namespace

SolutionWnd::SolutionWnd(int featureIndex)
    : featureIndex(featureIndex), productKey(ProductKey(featureIndex)), windows64(IsWindows64()) {}

void SolutionWnd::InitWindow() {
    typeTab = m_PaintManager.Find<CTabLayoutUI>(L"typeTab");
    versionCombo = m_PaintManager.Find<CComboUI>(L"versioncombo");
    pluginCombo = m_PaintManager.Find<CComboUI>(L"plugincombo");
    workingList = m_PaintManager.Find<CListUI>(L"workinglst");
    if (saveFolder.empty()) saveFolder = DefaultSaveFolder();
    RequestServerConfig(m_hWnd, kConfigDone);
    if (typeTab) typeTab->SelectItem(0);
}

void SolutionWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        if (msg.pSender->GetName() == L"confirmbtn") return Confirm();
        if (msg.pSender->GetName() == L"godownbtn") return RunRow(msg.pSender);
    }
    WindowImplBase::Notify(msg);
}

LRESULT SolutionWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, BOOL& handled) {
    if (message != kConfigDone && message != kListDone && message != kCheckDone) return 0;
    handled = TRUE;
    if (message == kConfigDone) OnConfig(wParam);
    else if (message == kListDone) OnList(wParam);
    else OnDiskCheck(wParam);
    return 0;
}

void SolutionWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

// ---- page 0: the choice

void SolutionWnd::OnConfig(WPARAM wParam) {
    Answer answer = Answer::Take(wParam);
    if (!answer.Ok())
        return ReportRequestFailure(m_hWnd, Utf8ToWide(answer.Url()), answer.Status(), answer.ErrorCode());
    config = answer.Body();
    const Json::Value& data = json::Member(config, "data");
    if (auto* product = m_PaintManager.FindControl(L"productLbl")) {
        std::wstring title = Utf8ToWide(json::String(json::At(data, {"title", productKey})));
        product->SetText(title);
        product->SetToolTip(title);
    }
    FillChoices(json::Member(data, "version"), versionCombo, 36);
    FillChoices(json::Member(data, "plugin"), pluginCombo, 23);
    // A product has plugins when the list names one of its own.
    hasPlugins = pluginCombo && pluginCombo->GetCount() > 0;
    if (auto* pluginRow = m_PaintManager.FindControl(L"pluginHor")) pluginRow->SetVisible(hasPlugins);
    if (auto* help = m_PaintManager.FindControl(L"helplbl"))
        help->SetText(Utf8ToWide(json::String(json::Member(data, "help"))));
}

// The items of this product in array order; the last one marked "default"
// is selected, else the first. An item without an integer id cannot be asked
// for, and one without a text cannot be told apart: both are left out.
void SolutionWnd::FillChoices(const Json::Value& items, CComboUI* combo, int itemHeight) {
    if (!combo || productKey.empty()) return;
    int selected = 0;
    for (const Json::Value& item : json::Elements(items)) {
        if (combo->GetCount() >= kMaxChoices) break;
        const Json::Value& id = json::Member(item, "id");
        std::wstring text = Utf8ToWide(json::String(json::Member(item, "product")));
        if (json::String(json::Member(item, "subType")) != productKey || !id.isInt() || text.empty()) continue;
        int index = combo->AddItem(text, json::Int(id), itemHeight);
        if (json::Has(item, "default")) selected = index;
    }
    if (combo->GetCount() > 0) combo->SelectItem(selected, false);
}

void SolutionWnd::Confirm() {
    if (!versionCombo || versionCombo->GetCurSel() < 0) return;
    versionId = versionCombo->GetItemTag(versionCombo->GetCurSel());
    pluginId = hasPlugins && pluginCombo->GetCurSel() >= 0 ? pluginCombo->GetItemTag(pluginCombo->GetCurSel()) : -1;
    HttpSession::Instance().Get(kListPath,
                                {{"name", kProductNameUtf8},
                                 {"versionid", std::to_string(versionId)},
                                 {"pluginid", std::to_string(pluginId)}},
                                m_hWnd, kListDone);
    if (typeTab) typeTab->SelectItem(1);
}

// ---- page 1: the list

void SolutionWnd::OnList(WPARAM wParam) {
    Answer answer = Answer::Take(wParam);
    if (!answer.Ok())
        return ReportRequestFailure(m_hWnd, Utf8ToWide(answer.Url()), answer.Status(), answer.ErrorCode());
    if (!workingList) return;
    if (!PrepareSaveFolder(saveFolder)) {
        ShowMessage(m_hWnd, L"保存文件的文件夹“" + saveFolder + L"”不安全，已停止下载。请联系QQ客服：" +
                                deployment::QqNumber() + L"处理", kNoticeTitle, kMessageInfo);
        return;
    }
    // Every file of the list and its companions is named at once, so that no two addresses share one.
    std::vector<const Json::Value*> rows;
    std::vector<std::string> addresses;
    std::vector<size_t> rowAt;
    std::vector<int> companionAt;  // -1 without a companion
    for (const Json::Value& element : json::Elements(answer.Data())) {
        if (rows.size() >= kMaxRows) break;
        std::string address = AddressOf(element);
        if (address.empty()) continue;  // nothing a button could fetch or open
        rows.push_back(&element);
        rowAt.push_back(addresses.size());
        addresses.push_back(std::move(address));
        std::string companion = json::String(json::Member(element, "appendurl"));
        companionAt.push_back(companion.empty() ? -1 : static_cast<int>(addresses.size()));
        if (!companion.empty()) addresses.push_back(std::move(companion));
    }
    const std::vector<std::wstring> names = DistinctFileNames(addresses);
    CDialogBuilder builder;
    for (size_t i = 0; i < rows.size(); ++i)
        AddRow(builder, *rows[i], names[rowAt[i]], companionAt[i] >= 0 ? names[companionAt[i]] : std::wstring());
    StartDiskChecks();
}

// "32url" on 32-bit Windows when there is one, else "url".
std::string SolutionWnd::AddressOf(const Json::Value& element) const {
    std::string address = json::String(json::Member(element, "32url"));
    if (windows64 || address.empty()) address = json::String(json::Member(element, "url"));
    return address;
}

// The check that goes with the address AddressOf picked.
DownloadCheck SolutionWnd::CheckOf(const Json::Value& element) const {
    const bool uses32 = !windows64 && !json::String(json::Member(element, "32url")).empty();
    return uses32 ? DownloadCheck::FromRow(element, "32size", "32sha256")
                  : DownloadCheck::FromRow(element, "size", "sha256");
}

void SolutionWnd::AddRow(CDialogBuilder& builder, const Json::Value& element, const std::wstring& fileName,
                         const std::wstring& companionName) {
    const std::string address = AddressOf(element);
    CControlUI* row = builder.IsLoaded() ? builder.Create(&m_PaintManager, this)
                                         : builder.Create(L"ListItem.xml", &m_PaintManager, this);
    if (!row) return;
    CControlUI* name = m_PaintManager.FindSubControlByName(row, L"filenamelbl");
    CControlUI* detail = m_PaintManager.FindSubControlByName(row, L"detaillbl");
    CControlUI* button = m_PaintManager.FindSubControlByName(row, L"godownbtn");
    if (!button || !workingList->Add(row)) {
        delete row;
        return;
    }
    if (name) name->SetText(Utf8ToWide(json::String(json::Member(element, "name"))));
    if (detail) detail->SetText(Utf8ToWide(json::String(json::Member(element, "msg"))));
    std::wstring kind = Utf8ToWide(json::String(json::Member(element, "type")));
    std::wstring localPath = saveFolder + L"\\" + fileName;
    const DownloadCheck check = CheckOf(element);
    if (kind == kIssue) button->SetText(kOpen);
    button->AddCustomAttribute(L"URL", Utf8ToWide(address));
    button->AddCustomAttribute(L"savePath", localPath);
    button->AddCustomAttribute(L"type", kind);
    StoreCheck(button, L"", check);
    std::string companion = json::String(json::Member(element, "appendurl"));
    if (!companion.empty()) {
        button->AddCustomAttribute(L"appendurl", Utf8ToWide(companion));
        button->AddCustomAttribute(L"appendPath", saveFolder + L"\\" + companionName);
        StoreCheck(button, L"append", DownloadCheck::FromRow(element, "appendsize", "appendsha256"));
    }
    CheckOnDisk(button, localPath, check);
}

// ---- what is on disk already

// The size now; a digest to compare waits for StartDiskChecks.
void SolutionWnd::CheckOnDisk(CControlUI* button, const std::wstring& path, const DownloadCheck& check) {
    if (!SizeMatches(path, check)) return;
    if (check.sha256.empty()) return MarkDownloaded(button);
    try {
        diskChecks.push_back({path, check.sha256});
    } catch (const std::exception&) {  // unchecked: the row offers a fresh download
    }
}

// One thread hashes the files in list order and reports each that matches;
// the rows it does not report stay "开始下载".
void SolutionWnd::StartDiskChecks() {
    std::vector<DiskCheck> checks = std::move(diskChecks);
    diskChecks.clear();
    if (checks.empty()) return;
    try {
        std::thread([window = m_hWnd, checks = std::move(checks)] {
            for (const DiskCheck& check : checks) {
                try {
                    if (Sha256::OfFile(check.path) != check.sha256) continue;
                    auto record = std::make_unique<DiskCheck>(check);
                    if (!PostRecord(window, kCheckDone, record, 0)) return;  // the page is gone
                } catch (const std::exception&) {
                }
            }
        }).detach();
    } catch (const std::exception&) {  // no thread: those rows offer a fresh download
    }
}

void SolutionWnd::OnDiskCheck(WPARAM wParam) {
    // A list asked for again may name the same file with another digest.
    auto checked = TakeRecord<DiskCheck>(wParam);
    for (int i = 0; checked && workingList && i < workingList->GetCount(); ++i) {
        CControlUI* button = m_PaintManager.FindSubControlByName(workingList->GetItemAt(i), L"godownbtn");
        if (button && button->GetCustomAttribute(L"savePath") == checked->path &&
            _stricmp(LoadCheck(button, L"").sha256.c_str(), checked->sha256.c_str()) == 0)
            MarkDownloaded(button);
    }
}

void SolutionWnd::MarkDownloaded(CControlUI* button) {
    button->AddCustomAttribute(kDownloaded, L"1");
    button->SetText(OpenText(button->GetCustomAttribute(L"type")));
}

// ---- the row action

SolutionWnd::ResourceItem SolutionWnd::ItemOf(CControlUI* button) const {
    ResourceItem item;
    item.button = button;
    item.kind = button->GetCustomAttribute(L"type");
    item.address = WideToUtf8(button->GetCustomAttribute(L"URL"));
    if (item.kind == kIssue || item.kind == kWangpan) return item;
    item.localPath = button->GetCustomAttribute(L"savePath");
    item.check = LoadCheck(button, L"");
    if (CControlUI* name = m_PaintManager.FindSubControlByName(button->GetParent(), L"filenamelbl"))
        item.fileName = name->GetText();
    if (item.fileName.empty()) item.fileName = FileName(item.localPath);
    if (item.kind == kApp && button->HasCustomAttribute(L"appendurl")) {
        item.companionAddress = WideToUtf8(button->GetCustomAttribute(L"appendurl"));
        item.companionPath = button->GetCustomAttribute(L"appendPath");
        item.companionName = FileName(item.companionPath);
        item.companionCheck = LoadCheck(button, L"append");
    }
    return item;
}

void SolutionWnd::RunRow(CControlUI* button) {
    ResourceItem item = ItemOf(button);
    if (item.kind == kIssue || item.kind == kWangpan) return Open(item);
    // A failed download has offered the browser already (ReportDownloadFailure).
    if (item.kind != kApp && item.kind != kTutorial) {
        if (IsDownloaded(button) || Download(item)) Open(item);
        return;
    }
    if (IsDownloaded(button)) return Open(item);
    if (!Download(item)) return;
    if (CControlUI* partner = PartnerOf(item.kind == kApp ? kTutorial : kApp)) {
        if (!IsDownloaded(partner) && !Download(ItemOf(partner))) return;
    }
    ShowMessage(m_hWnd, L"已下载一个文件!", kNoticeTitle, kMessageQuestion);
}

// The first row of that kind, in list order.
CControlUI* SolutionWnd::PartnerOf(const std::wstring& kind) const {
    for (int i = 0; workingList && i < workingList->GetCount(); ++i) {
        CControlUI* button = m_PaintManager.FindSubControlByName(workingList->GetItemAt(i), L"godownbtn");
        if (button && button->GetCustomAttribute(L"type") == kind) return button;
    }
    return nullptr;
}

bool SolutionWnd::Download(const ResourceItem& item) {
    UINT id = RunDialog(new DownloadWnd(item.address, item.localPath, item.fileName, item.check), m_hWnd, L"download");
    DownloadResult result = TakeDownloadResult(static_cast<int>(id));
    if (result.statusCode == -1 && result.errorCode == -1 && result.resultId == -1) return false;  // closed first
    bool ok = result.errorCode == 0 && result.statusCode == 200;
    if (ok && !item.companionAddress.empty()) {
        UINT id = RunDialog(new DownloadWnd(item.companionAddress, item.companionPath, item.companionName,
                                            item.companionCheck),
                            m_hWnd, L"download");
        // Its other outcomes do not hold the program back; bytes that were not it are told.
        DownloadResult companion = TakeDownloadResult(static_cast<int>(id));
        if (companion.rejected)
            ReportDownloadFailure(m_hWnd, companion.statusCode, companion.errorCode, companion.resultId,
                                  Utf8ToWide(item.companionAddress), item.companionPath, true);
    }
    if (!ok) {
        ReportDownloadFailure(m_hWnd, result.statusCode, result.errorCode, result.resultId, Utf8ToWide(item.address),
                              item.localPath, result.rejected);
        return false;
    }
    if (item.button) MarkDownloaded(item.button);
    return true;
}

void SolutionWnd::Open(const ResourceItem& item) {
    if (item.kind == kIssue || item.kind == kWangpan) return OpenInBrowser(item);
    bool shown = item.kind == kTutorial ? OpenDocument(item.localPath, saveFolder) : ShowInFolder(item.localPath);
    if (!shown)
        ShowMessage(m_hWnd, L"打开文件失败，请联系QQ客服：" + deployment::QqNumber() + L"处理", kNoticeTitle,
                    kMessageInfo);
}

void SolutionWnd::OpenInBrowser(const ResourceItem& item) {
    if (OpenWebAddress(Utf8ToWide(item.address))) return;
    ShowMessage(m_hWnd, L"调用默认浏览器失败，请联系QQ客服" + deployment::QqNumber() + L"处理", kNoticeTitle,
                kMessageQuestion);
}

}  // namespace Windows
