// The solution page against the reference service: the choice from the
// configuration, the list request, the rows and their actions, and what a
// hostile or malformed reply does to them. Everything is clicked with real
// mouse messages from a ticker inside the page's modal loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "service/Pattern.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/Dialog.h"
#include "ui/toolkit/UIlib.h"
#include "windows/FileName.h"
#include "windows/SolutionWnd.h"

using namespace DuiLib;

namespace {

enum Feature { kDll = 0, kCleanup = 1, kReinstall = 2, kDirectX = 3 };
constexpr int kRowHeight = 45;
constexpr size_t kServedSize = 64 << 10;  // a catalogue file without a size of its own

// What the service serves for such a file.
std::string ServedBytes() {
    std::string bytes(kServedSize, '\0');
    PatternFill(0, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

// One step of a run: called on every tick with the page until it returns true.
using Step = std::function<bool(HWND)>;

HWND Page() { return FindWindowW(L"SolutionWnd", nullptr); }

CListUI* ListOf(HWND page) { return dynamic_cast<CListUI*>(test::ControlOf(page, L"workinglst")); }
CComboUI* ComboOf(HWND page, const wchar_t* name) { return dynamic_cast<CComboUI*>(test::ControlOf(page, name)); }

int RowCount(HWND page) {
    CListUI* list = ListOf(page);
    return list ? list->GetCount() : -1;
}

CControlUI* ButtonOf(HWND page, int row) {
    CListUI* list = ListOf(page);
    if (!list || row >= list->GetCount()) return nullptr;
    return list->GetManager()->FindSubControlByName(list->GetItemAt(row), L"godownbtn");
}

std::wstring Attribute(HWND page, int row, const wchar_t* name) {
    CControlUI* button = ButtonOf(page, row);
    return button ? std::wstring(button->GetCustomAttribute(name)) : L"<no row>";
}

std::wstring ButtonText(HWND page, int row) {
    CControlUI* button = ButtonOf(page, row);
    return button ? std::wstring(button->GetText()) : L"<no row>";
}

void PostClick(HWND window, POINT at) {
    LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(window, WM_MOUSEMOVE, 0, where);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
}

// Scrolls the row to the top of the list and clicks its button.
void ClickRow(HWND page, int row) {
    CListUI* list = ListOf(page);
    if (!list) return;
    list->SetScrollPos(row * kRowHeight);
    list->GetManager()->UpdateLayout();
    CControlUI* button = ButtonOf(page, row);
    if (!button) return;
    RECT rc = button->GetPos();
    PostClick(page, {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
}

// Opens the combo with a click, then picks the item in its drop-down with one.
Step PickStep(const wchar_t* combo, int index) {
    auto opened = std::make_shared<bool>(false);
    return [=](HWND page) {
        CComboUI* box = ComboOf(page, combo);
        if (!box || box->GetCount() <= index) return false;
        if (!*opened) {
            test::Click(page, combo);
            *opened = true;
            return false;
        }
        HWND dropDown = box->GetDropDownWindow();
        if (!dropDown) return false;
        int y = 1;
        for (int i = 0; i < index; ++i) y += box->ItemHeight(i);
        PostClick(dropDown, {10, y + box->ItemHeight(index) / 2});
        return true;
    };
}

Step Do(std::function<void(HWND)> action) {
    return [=](HWND page) {
        action(page);
        return true;
    };
}

Step RowsAtLeast(int count) {
    return [=](HWND page) { return RowCount(page) >= count; };
}

Step WaitFor(std::function<bool()> condition) {
    return [=](HWND) { return condition(); };
}

// Waits ms from the first call on, so that a reply that should change
// nothing has had its chance.
Step Settle(DWORD ms) {
    auto start = std::make_shared<DWORD>(0);
    return [=](HWND) {
        if (!*start) *start = GetTickCount();
        return GetTickCount() - *start >= ms;
    };
}

// Answers the next visible message box with button, recording its text.
Step Answer(const wchar_t* button, std::vector<std::wstring>* texts = nullptr) {
    return [=](HWND) {
        for (HWND box : test::OpenBoxes()) {
            if (!IsWindowVisible(box)) continue;
            if (texts) texts->push_back(test::TextOf(box, L"contentlbl"));
            test::Click(box, button);
            return true;
        }
        return false;
    };
}

std::vector<test::LoggedRequest> Requests(const std::string& path) {
    std::vector<test::LoggedRequest> found;
    for (auto& request : test::RequestLog())
        if (request.path == path) found.push_back(request);
    return found;
}

std::vector<std::string> QueryNames(const test::LoggedRequest& request) {
    std::vector<std::string> names;
    for (const auto& [name, value] : request.query) names.push_back(name);
    return names;
}

std::string QueryValue(const test::LoggedRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.query)
        if (key == name) return value;
    return "<missing>";
}

// Files in a folder, by name.
std::set<std::wstring> FilesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

class SolutionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOwnArchive());
        HttpSession::Instance().SetProduct("quorvex");
        HttpSession::Instance().SetBaseUrl(test::BaseUrl());
        test::ClearFaults();
        test::UseRealCatalog();
        test::ClearRequestLog();
    }
    void TearDown() override {
        test::ClearFaults();
        test::UseRealCatalog();
    }

    // Opens the page of a feature and runs the steps in order from a ticker;
    // after the last one the page is closed with its close button. Fails the
    // test when a step does not finish within timeoutMs.
    void Run(int feature, std::vector<Step> steps, bool windows64 = false, DWORD timeoutMs = 60000) {
        auto* page = new Windows::SolutionWnd(feature);
        page->SetSaveFolder(saveFolder.empty() ? folder.Path() : saveFolder);
        page->SetWindows64(windows64);
        size_t at = 0;
        DWORD start = GetTickCount();
        test::Ticker ticker([&] {
            HWND window = Page();
            if (!window) return false;
            if (GetTickCount() - start > timeoutMs) {
                ADD_FAILURE() << "step " << at << " did not finish";
                for (HWND box : test::OpenBoxes()) PostMessageW(box, WM_CLOSE, 0, 0);
                PostMessageW(window, WM_CLOSE, 0, 0);
                return true;
            }
            if (at < steps.size()) {
                if (steps[at](window)) ++at;
                return false;
            }
            test::Click(window, L"closebtn");
            return true;
        });
        RunDialog(page, test::SharedOwner(), L"solution");
        EXPECT_EQ(at, steps.size()) << "the page closed before its steps were done";
        EXPECT_EQ(Page(), nullptr);
    }

    // Confirms the choice and waits for that many rows.
    std::vector<Step> ToList(int rows) {
        return {WaitFor([] { return !Requests("/helper/config").empty(); }),
                [](HWND page) { return ComboOf(page, L"versioncombo")->GetCount() > 0; },
                Do([](HWND page) { test::Click(page, L"confirmbtn"); }), RowsAtLeast(rows)};
    }

    static std::vector<Step> Then(std::vector<Step> first, const std::vector<Step>& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    }

    std::wstring Saved(const std::wstring& name) const { return folder.Path() + L"\\" + name; }

    test::TempFolder folder;
    std::wstring saveFolder;  // folder unless set
};

struct Choice {
    std::vector<std::wstring> texts;
    std::vector<int> tags;
    int selected = -1;
};

Choice ChoiceOf(HWND page, const wchar_t* name) {
    Choice choice;
    CComboUI* combo = ComboOf(page, name);
    if (!combo) return choice;
    for (int i = 0; i < combo->GetCount(); ++i) {
        choice.texts.push_back(std::wstring(combo->GetItemText(i)));
        choice.tags.push_back(combo->GetItemTag(i));
    }
    choice.selected = combo->GetCurSel();
    return choice;
}

}  // namespace

// ---- the choice

TEST_F(SolutionTest, DropDownsHoldOnlyThisProductInArrayOrder) {
    Choice versions, plugins;
    std::wstring product, tooltip, help;
    bool pluginRowShown = false;
    int page = -1;
    Run(kDll, {[&](HWND window) {
                   versions = ChoiceOf(window, L"versioncombo");
                   plugins = ChoiceOf(window, L"plugincombo");
                   product = test::TextOf(window, L"productLbl");
                   tooltip = test::ControlOf(window, L"productLbl")->GetToolTip();
                   help = test::TextOf(window, L"helplbl");
                   pluginRowShown = test::Shown(window, L"pluginHor");
                   page = dynamic_cast<CTabLayoutUI*>(test::ControlOf(window, L"typeTab"))->GetCurSel();
                   return !versions.texts.empty();
               }});
    EXPECT_EQ(versions.texts, (std::vector<std::wstring>{L"DLL修复工具 标准版", L"DLL修复工具 专业版"}));
    EXPECT_EQ(versions.tags, (std::vector<int>{101, 102}));
    EXPECT_EQ(versions.selected, 1) << "the version marked default";
    EXPECT_EQ(plugins.tags, (std::vector<int>{1101, 1102, 1103}));
    EXPECT_EQ(plugins.selected, 2) << "the last plugin marked default";
    EXPECT_EQ(product, L"DLL修复工具");
    EXPECT_EQ(tooltip, L"DLL修复工具");
    EXPECT_NE(help.find(L"遇到问题"), std::wstring::npos);
    EXPECT_TRUE(pluginRowShown);
    EXPECT_EQ(page, 0);
}

TEST_F(SolutionTest, TheLastDefaultWinsAndTheListAsksForTheChoice) {
    Choice versions, plugins;
    Run(kDirectX, Then(ToList(3), {Do([&](HWND window) {
                                      versions = ChoiceOf(window, L"versioncombo");
                                      plugins = ChoiceOf(window, L"plugincombo");
                                  })}));
    EXPECT_EQ(versions.tags, (std::vector<int>{401, 402, 403}));
    EXPECT_EQ(versions.selected, 2);
    EXPECT_EQ(plugins.tags, (std::vector<int>{1401, 1402}));
    EXPECT_EQ(plugins.selected, 0);
    auto lists = Requests("/helper/solution");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(QueryNames(lists[0]), (std::vector<std::string>{"version", "system", "product", "exeName", "64bit",
                                                              "name", "versionid", "pluginid"}));
    EXPECT_EQ(QueryValue(lists[0], "name"), "quorvex");
    EXPECT_EQ(QueryValue(lists[0], "versionid"), "403");
    EXPECT_EQ(QueryValue(lists[0], "pluginid"), "1401");
    auto configs = Requests("/helper/config");
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_EQ(QueryValue(configs[0], "name"), "quorvex");
}

TEST_F(SolutionTest, AnotherChoiceIsPickedWithTheMouse) {
    Run(kDll, Then({PickStep(L"versioncombo", 0), PickStep(L"plugincombo", 0),
                    [](HWND window) { return ComboOf(window, L"plugincombo")->GetCurSel() == 0; }},
                   Then({Do([](HWND window) { test::Click(window, L"confirmbtn"); })}, {RowsAtLeast(1)})));
    auto lists = Requests("/helper/solution");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(QueryValue(lists[0], "versionid"), "101");
    EXPECT_EQ(QueryValue(lists[0], "pluginid"), "1101");
}

TEST_F(SolutionTest, ProductWithoutPluginsHidesThePluginRowAndAsksForMinusOne) {
    bool pluginRowShown = true;
    Run(kReinstall, Then({[&](HWND window) {
                              pluginRowShown = test::Shown(window, L"pluginHor");
                              return ComboOf(window, L"versioncombo")->GetCount() > 0;
                          }},
                         ToList(2)));
    EXPECT_FALSE(pluginRowShown);
    auto lists = Requests("/helper/solution");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(QueryValue(lists[0], "versionid"), "301");
    EXPECT_EQ(QueryValue(lists[0], "pluginid"), "-1");
}

// ---- the rows

TEST_F(SolutionTest, RowsShowTheirKindAndUse32urlOnlyOn32BitWindows) {
    for (bool windows64 : {false, true}) {
        SCOPED_TRACE(windows64 ? "64-bit" : "32-bit");
        test::ClearRequestLog();
        std::vector<std::wstring> urls, paths, kinds, texts, appends;
        std::wstring name, detail;
        Run(kCleanup,
            Then({PickStep(L"versioncombo", 1),
                  [](HWND window) { return ComboOf(window, L"versioncombo")->GetCurSel() == 1; }},
                 Then(ToList(4), {Do([&](HWND window) {
                          for (int i = 0; i < RowCount(window); ++i) {
                              urls.push_back(Attribute(window, i, L"URL"));
                              paths.push_back(Attribute(window, i, L"savePath"));
                              kinds.push_back(Attribute(window, i, L"type"));
                              texts.push_back(ButtonText(window, i));
                              appends.push_back(Attribute(window, i, L"appendurl"));
                          }
                          CControlUI* row = ListOf(window)->GetItemAt(1);
                          name = row->GetManager()->FindSubControlByName(row, L"filenamelbl")->GetText();
                          detail = row->GetManager()->FindSubControlByName(row, L"detaillbl")->GetText();
                      })})),
            windows64);
        ASSERT_EQ(urls.size(), 4u);
        std::wstring base = Utf8ToWide(test::BaseUrl());
        EXPECT_EQ(urls[1], base + (windows64 ? L"/files/deep%20clean%20x64.exe" : L"/files/deep%20clean%20x86.exe"));
        EXPECT_EQ(paths[1], Saved(windows64 ? L"deep clean x64.exe" : L"deep clean x86.exe"));
        EXPECT_EQ(paths[0], Saved(L"深度清理 教程.pdf")) << "a row without 32url uses url";
        EXPECT_EQ(appends[1], base + L"/files/deep-clean%20rules.ini");
        EXPECT_EQ(appends[0], L"");
        EXPECT_EQ(kinds, (std::vector<std::wstring>{L"tutorial", L"app", L"xlsx", L"wangpan"}));
        EXPECT_EQ(texts, (std::vector<std::wstring>(4, L"开始下载")));
        EXPECT_EQ(name, L"深度清理工具");
        EXPECT_EQ(detail, L"<c #e62c2c>推荐</c> 规则文件随程序下载");
    }
}

TEST_F(SolutionTest, ButtonTextsFollowTheFilesOnDisk) {
    // ccleaner 201/1201: an app, downloaded only when its own bytes are there, and a problem page.
    std::string altered = ServedBytes();
    altered[1000] ^= 1;
    struct Case {
        const char* what;
        std::string bytes;
        const wchar_t* label;
    };
    for (const Case& c : {Case{"its own bytes", ServedBytes(), L"打开目录"}, Case{"another size", "already here", L"开始下载"},
                          Case{"its size, other bytes", altered, L"开始下载"}}) {
        SCOPED_TRACE(c.what);
        test::WriteFile(Saved(L"C盘清理.exe"), c.bytes);
        std::vector<std::wstring> texts;
        Run(kCleanup, Then(ToList(2), {Settle(1000), Do([&](HWND window) {
                                           texts = {ButtonText(window, 0), ButtonText(window, 1)};
                                       })}));
        EXPECT_EQ(texts, (std::vector<std::wstring>{c.label, L"打开"}));
    }
}

TEST_F(SolutionTest, RowWhoseFileExistsOpensItsFolderWithoutDownloading) {
    test::WriteFile(Saved(L"C盘清理.exe"), ServedBytes());
    HWND shown = nullptr;
    Run(kCleanup, Then(ToList(2), {[](HWND window) { return ButtonText(window, 0) == L"打开目录"; },
                                   Do([](HWND window) { ClickRow(window, 0); }), [&](HWND) {
                                       shown = test::VisibleWindowTitled(FileName(folder.Path()));
                                       return shown != nullptr;
                                   }}));
    if (shown) PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Requests("/files/C盘清理.exe").empty()) << "the file was downloaded again";
    EXPECT_TRUE(test::OpenBoxes().empty());
    Sleep(300);  // let the file manager let go of the folder
}

TEST_F(SolutionTest, PartnerRowsDownloadTogetherWithOneMessage) {
    // dll-fixer 102/1103: the app, then the tutorial it pulls in.
    std::vector<std::wstring> messages;
    std::vector<std::wstring> texts;
    Run(kDll, Then(ToList(3), {Do([](HWND window) { ClickRow(window, 0); }), Answer(L"okbtn", &messages),
                               Settle(500), Do([&](HWND window) {
                                   texts = {ButtonText(window, 0), ButtonText(window, 1), ButtonText(window, 2)};
                               })}));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"已下载一个文件!"}));
    EXPECT_EQ(test::ReadFile(Saved(L"dll-fixer-pro.exe")).size(), 64u << 10);
    EXPECT_TRUE(test::FileExists(Saved(L"tutorial-1.html")));
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"打开目录", L"打开文件", L"开始下载"}));
    EXPECT_TRUE(test::OpenBoxes().empty()) << "a second message was shown";
}

TEST_F(SolutionTest, TutorialPullsInTheAppAndAnExistingPartnerIsLeftAlone) {
    // ccleaner 202/1201: the tutorial comes first; its partner app is already there.
    test::WriteFile(Saved(L"deep clean x86.exe"), ServedBytes());
    std::vector<std::wstring> messages;
    Run(kCleanup, Then({PickStep(L"versioncombo", 1),
                        [](HWND window) { return ComboOf(window, L"versioncombo")->GetCurSel() == 1; }},
                       Then(ToList(4), {[](HWND window) { return ButtonText(window, 1) == L"打开目录"; },
                                        Do([](HWND window) { ClickRow(window, 0); }), Answer(L"okbtn", &messages)})));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"已下载一个文件!"}));
    EXPECT_TRUE(test::FileExists(Saved(L"深度清理 教程.pdf")));
    EXPECT_EQ(test::ReadFile(Saved(L"deep clean x86.exe")), ServedBytes());
    EXPECT_TRUE(Requests("/files/deep clean x86.exe").empty());
    EXPECT_FALSE(test::FileExists(Saved(L"deep-clean rules.ini"))) << "the companion came without its program";
}

TEST_F(SolutionTest, CompanionFileIsSavedNextToTheProgram) {
    std::vector<std::wstring> messages;
    Run(kCleanup, Then(ToList(2), {Do([](HWND window) { ClickRow(window, 0); }), Answer(L"okbtn", &messages)}));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"已下载一个文件!"}));
    EXPECT_TRUE(test::FileExists(Saved(L"C盘清理.exe")));
    EXPECT_TRUE(test::FileExists(Saved(L"ccleaner-rules.dat")));
    EXPECT_EQ(Requests("/files/ccleaner-rules.dat").size(), 1u);
}

TEST_F(SolutionTest, FailedDownloadKeepsTheButtonAndASecondClickTriesAgain) {
    Json::Value fault;
    fault["path"] = "/files/C盘清理.exe";
    fault["status"] = 500;
    fault["once"] = true;
    test::SetFault(fault);
    std::vector<std::wstring> notices, messages;
    std::wstring afterFailure;
    bool companionAfterFailure = true;
    Run(kCleanup, Then(ToList(2), {Do([](HWND window) { ClickRow(window, 0); }), Answer(L"cancelbtn", &notices),
                                   Settle(500), Do([&](HWND window) {
                                       afterFailure = ButtonText(window, 0);
                                       companionAfterFailure = test::FileExists(Saved(L"ccleaner-rules.dat"));
                                   }),
                                   Do([](HWND window) { ClickRow(window, 0); }), Answer(L"okbtn", &messages)}));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(L"状态码:500"), std::wstring::npos) << WideToUtf8(notices[0]);
    EXPECT_EQ(afterFailure, L"开始下载");
    EXPECT_FALSE(companionAfterFailure) << "the companion came after a failure";
    EXPECT_TRUE(test::FileExists(Saved(L"ccleaner-rules.dat")));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"已下载一个文件!"}));
    EXPECT_EQ(Requests("/files/C盘清理.exe").size(), 2u);
    EXPECT_TRUE(test::FileExists(Saved(L"C盘清理.exe")));
}

// What the download window leaves reaches the download failure notice whole.
TEST_F(SolutionTest, NotFoundAndDroppedDownloadsAreReportedWithTheirValues) {
    Json::Value fault;
    fault["path"] = "/files/C盘清理.exe";
    fault["status"] = 404;
    test::SetFault(fault);
    std::vector<std::wstring> notFound, dropped;
    Run(kCleanup, Then(ToList(2), {Do([](HWND window) { ClickRow(window, 0); }), Answer(L"okbtn", &notFound)}));
    EXPECT_EQ(notFound, (std::vector<std::wstring>{L"未找到资源C盘清理.exe。联系客服处理。"}));

    fault.removeMember("status");
    fault["body"] = "drop";
    test::SetFault(fault);
    Run(kCleanup, Then(ToList(2), {Do([](HWND window) { ClickRow(window, 0); }), Answer(L"cancelbtn", &dropped)}));
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], L"下载文件: C盘清理.exe出现了错误。状态码:200," + ErrorText(6) + L",是否到浏览器下载？");
    EXPECT_FALSE(test::FileExists(Saved(L"C盘清理.exe")));
    EXPECT_FALSE(test::FileExists(Saved(L"ccleaner-rules.dat"))) << "the companion came after a failure";
}

TEST_F(SolutionTest, FailedListIsReportedAndLeavesTheListEmpty) {
    Json::Value fault;
    fault["path"] = "/helper/solution";
    fault["status"] = 404;
    test::SetFault(fault);
    test::BrowserRecorder browser;  // the notice opens the chat afterwards
    std::vector<std::wstring> notices;
    int rows = -1;
    Run(kCleanup, Then(ToList(0), {Answer(L"okbtn", &notices), Settle(300),
                                   Do([&](HWND window) { rows = RowCount(window); })}));
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"未找到资源。联系客服处理。"}));
    EXPECT_EQ(rows, 0);
}

// A save folder that is a link (Wine shows a Unix symbolic link as one) is
// refused once the list arrives: the user is told, no row is listed, and
// nothing is made where the link leads.
TEST_F(SolutionTest, SaveFolderThatIsALinkIsRefusedWithANotice) {
    if (test::LinkedFolder().empty()) GTEST_SKIP() << "the linked folder is made for Wine";
    saveFolder = test::LinkedFolder();
    std::vector<std::wstring> notices;
    int rows = -1;
    Run(kCleanup, Then(ToList(0), {Answer(L"okbtn", &notices), Settle(300),
                                   Do([&](HWND window) { rows = RowCount(window); })}));
    EXPECT_EQ(notices, (std::vector<std::wstring>{L"保存文件的文件夹“" + saveFolder +
                                                  L"”不安全，已停止下载。请联系QQ客服：" + deployment::QqNumber() +
                                                  L"处理"}));
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(FilesIn(test::LinkTarget()).empty());
}

// ---- links

TEST_F(SolutionTest, LinksGoToTheBrowserAndOnlyWebAddressesDo) {
    test::BrowserRecorder browser;
    if (!browser.Active()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
    Json::Value selection;
    selection["solution"] = "links";
    test::UseHostileCatalog(selection);
    std::vector<std::wstring> messages;
    Run(kCleanup, Then(ToList(2), {Do([](HWND window) { ClickRow(window, 0); }), Answer(L"okbtn", &messages),
                                   Do([](HWND window) { ClickRow(window, 1); }),
                                   WaitFor([&] { return !test::AwaitFile(browser.Log(), 100).empty(); })}));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"调用默认浏览器失败，请联系QQ客服" +
                                                   deployment::QqNumber() + L"处理"}));
    EXPECT_EQ(test::AwaitFile(browser.Log()), test::BaseUrl() + "/pages/issue-1.html\n");
}

// A program, and an internet shortcut that points at one, are tutorials that
// are shown in their folder, never started.
TEST_F(SolutionTest, TutorialThatWouldRunIsShownInItsFolder) {
    Json::Value selection;
    selection["solution"] = "links";
    test::UseHostileCatalog(selection);
    const std::wstring marker = Saved(L"ran.txt");
    test::WriteFile(Saved(L"guide.bat"), "@echo ran> \"" + WideToUtf8(marker) + "\"\r\n");
    std::string target = WideToUtf8(Saved(L"guide.bat"));
    for (char& c : target)
        if (c == '\\') c = '/';
    test::WriteFile(Saved(L"guide.url"), "[InternetShortcut]\r\nURL=file:///" + target + "\r\n");
    for (int row : {2, 4}) {
        SCOPED_TRACE(row);
        HWND shown = nullptr;
        Run(kCleanup, Then(ToList(5), {Do([row](HWND window) { ClickRow(window, row); }), [&](HWND) {
                                           shown = test::VisibleWindowTitled(FileName(folder.Path()));
                                           return shown != nullptr;
                                       },
                                       Settle(1500)}),
            false, 20000);
        if (shown) PostMessageW(shown, WM_CLOSE, 0, 0);
        EXPECT_FALSE(test::FileExists(marker)) << "the tutorial ran as a program";
        Sleep(300);  // let the file manager let go of the folder
    }
}

// A row whose address is a local program fails to download; agreeing to use
// the browser then opens nothing and says so.
TEST_F(SolutionTest, LocalProgramAddressIsNotOpenedAfterAFailedDownload) {
    test::BrowserRecorder browser;
    Json::Value selection;
    selection["solution"] = "links";
    test::UseHostileCatalog(selection);
    std::vector<std::wstring> notices;
    Run(kCleanup, Then(ToList(5), {Do([](HWND window) { ClickRow(window, 3); }), Answer(L"okbtn", &notices),
                                   Answer(L"okbtn", &notices), Settle(1000)}),
        false, 20000);
    ASSERT_EQ(notices.size(), 2u) << "the address was handed to the shell";
    EXPECT_NE(notices[0].find(L"是否到浏览器下载"), std::wstring::npos) << WideToUtf8(notices[0]);
    EXPECT_EQ(notices[1], L"打开默认浏览器出现了错误，请联系客服处理。");
    if (browser.Active()) {
        EXPECT_FALSE(test::FileExists(browser.Log())) << "the browser was given the path";
    }
}

// ---- hostile names and shapes

TEST_F(SolutionTest, HostileNamesLandInsideTheSaveFolderUnderValidNames) {
    Json::Value selection;
    selection["solution"] = "names";
    test::UseHostileCatalog(selection);
    const std::vector<std::wstring> expected = {
        L".._.._evil.exe", L".._.._escape.txt", L"C__Windows_win.ini", L"report.txt_zone", L"______.dat",
        L"bell_tab_nl_nul_.bin", L"trailing", L"_CON", L"_nul.txt", L"_COM1.tar.gz", L"_lpt9", L"_aux .txt",
        L"", L"", L"bad__name.bin", L"______x.bin", L"my tool v2.exe", L"中文 工具.exe",
        L"query.exe", std::wstring(Windows::kMaxFileNameLength - 4, L'a') + L".exe", L"companion-owner.exe"};
    const int rows = static_cast<int>(expected.size());
    std::vector<std::wstring> paths;
    std::vector<Step> steps = ToList(rows);
    steps.push_back(Do([&](HWND window) {
        for (int i = 0; i < RowCount(window); ++i) paths.push_back(Attribute(window, i, L"savePath"));
    }));
    // Download every row: no two share a file.
    int messages = 0;
    for (int i = 0; i < rows; ++i) {
        steps.push_back(Do([i](HWND window) { ClickRow(window, i); }));
        steps.push_back([&, i](HWND page) {
            if (!Answer(L"okbtn")(page)) return false;
            ++messages;
            return true;
        });
    }
    Run(kCleanup, steps, false, 120000);  // every row is downloaded
    ASSERT_EQ(paths.size(), expected.size());
    std::set<std::wstring> wanted = {L".._.._companion_hidden.ini"};
    for (int i = 0; i < rows; ++i) {
        wanted.insert(FileName(paths[i]));
        // "dir/" and ".." both come to "download": each gets a tag of its own.
        if (expected[i].empty()) EXPECT_EQ(FileName(paths[i]).rfind(L"download (", 0), 0u) << "row " << i;
        else EXPECT_EQ(paths[i], Saved(expected[i])) << "row " << i;
    }
    EXPECT_NE(paths[12], paths[13]);
    EXPECT_EQ(messages, rows);
    std::set<std::wstring> landed = FilesIn(folder.Path());
    EXPECT_EQ(landed, wanted);
    for (const std::wstring& name : landed)
        EXPECT_NE(test::ReadFile(Saved(name)).find("hostile name: "), std::string::npos) << WideToUtf8(name);
}

// Bytes that are not the row's file are deleted and told; names that would
// collide keep apart, a companion named like its program too.
TEST_F(SolutionTest, DownloadsAreVerifiedAndEveryAddressKeepsItsOwnFile) {
    Json::Value selection;
    selection["solution"] = "verify";
    test::UseHostileCatalog(selection);
    std::vector<std::wstring> paths, texts, notices, messages;
    std::wstring companion;
    std::vector<Step> steps = ToList(5);
    steps.push_back(Do([&](HWND window) {
        for (int i = 0; i < RowCount(window); ++i) paths.push_back(Attribute(window, i, L"savePath"));
        companion = Attribute(window, 4, L"appendPath");
    }));
    for (int i = 0; i < 5; ++i) {
        steps.push_back(Do([i](HWND window) { ClickRow(window, i); }));
        steps.push_back(Answer(L"okbtn", i < 2 ? &notices : &messages));
    }
    steps.push_back(Settle(300));
    steps.push_back(Do([&](HWND window) {
        for (int i = 0; i < 5; ++i) texts.push_back(ButtonText(window, i));
    }));
    Run(kCleanup, steps);
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(notices, (std::vector<std::wstring>{
                           L"下载的文件tampered.zip已损坏或被篡改，已删除，未打开。请稍后重新下载，或联系客服处理。",
                           L"下载的文件setup.exe已损坏或被篡改，已删除，未打开。请稍后重新下载，或联系客服处理。"}));
    EXPECT_EQ(messages, std::vector<std::wstring>(3, L"已下载一个文件!"));
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"开始下载", L"开始下载", L"打开目录", L"打开目录", L"打开目录"}));
    EXPECT_EQ(FilesIn(folder.Path()),
              (std::set<std::wstring>{FileName(paths[2]), FileName(paths[3]), FileName(paths[4]), FileName(companion)}))
        << "a rejected file or its .cache stayed, or two rows shared a file";
    const std::pair<std::wstring, const char*> owners[] = {
        {paths[2], "one/Same.txt"}, {paths[3], "two/same.TXT"}, {paths[4], "app/tool.exe"}, {companion, "rules/tool.exe"}};
    for (const auto& [path, address] : owners)
        EXPECT_NE(test::ReadFile(path).find(std::string("hostile name: ") + address + "\n"), std::string::npos)
            << WideToUtf8(path);
}

// A cancel before the reply's headers is the user's own doing: nothing to tell.
TEST_F(SolutionTest, CancelBeforeTheHeadersShowsNothing) {
    test::SetFault(test::ParseJson(R"({"path": "/files/C盘清理.exe", "delay_ms": 10000})"));
    auto downloadWindow = [] { return FindWindowW(L"UpdateWnd", nullptr); };
    std::vector<std::wstring> questions;
    size_t boxesAfter = 99;
    Run(kCleanup, Then(ToList(2), {Do([](HWND window) { ClickRow(window, 0); }),
                                   WaitFor([&] { return downloadWindow() != nullptr; }), Settle(1000),
                                   Do([&](HWND) { test::Click(downloadWindow(), L"closebtn"); }),
                                   Answer(L"okbtn", &questions), WaitFor([&] { return !downloadWindow(); }),
                                   Settle(1000), Do([&](HWND) {
                                       boxesAfter = test::OpenBoxes().size();
                                       for (HWND box : test::OpenBoxes()) PostMessageW(box, WM_CLOSE, 0, 0);
                                   })}));
    EXPECT_EQ(questions.size(), 1u) << "the cancel question";
    EXPECT_EQ(boxesAfter, 0u) << "the cancel was reported";
    EXPECT_FALSE(test::FileExists(Saved(L"C盘清理.exe")));
}

TEST_F(SolutionTest, WrongShapedConfigurationsGiveEmptyOrPartialChoices) {
    struct Case {
        const char* name;
        std::vector<int> versions;
    };
    for (const Case& shape : {Case{"shapes", {202}}, Case{"data-array", {}}, Case{"data-string", {}},
                              Case{"title-number", {}}}) {
        SCOPED_TRACE(shape.name);
        Json::Value selection;
        selection["config"] = shape.name;
        test::UseHostileCatalog(selection);
        test::ClearRequestLog();
        Choice versions, plugins;
        bool pluginRowShown = true;
        std::wstring product = L"?", help = L"?";
        // None of them names a plugin of this product: the hidden row says the reply is in.
        Run(kCleanup, {[](HWND window) { return !test::Shown(window, L"pluginHor"); }, Settle(300),
                       Do([&](HWND window) {
                           versions = ChoiceOf(window, L"versioncombo");
                           plugins = ChoiceOf(window, L"plugincombo");
                           pluginRowShown = test::Shown(window, L"pluginHor");
                           product = test::TextOf(window, L"productLbl");
                           help = test::TextOf(window, L"helplbl");
                           test::Click(window, L"confirmbtn");
                       }),
                       Settle(500)});
        EXPECT_EQ(versions.tags, shape.versions);
        EXPECT_TRUE(plugins.tags.empty());
        EXPECT_FALSE(pluginRowShown);
        EXPECT_EQ(product, L"");
        EXPECT_EQ(help, L"");
        auto lists = Requests("/helper/solution");
        if (shape.versions.empty()) {
            EXPECT_TRUE(lists.empty()) << "confirmed without a version";
            continue;
        }
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(QueryValue(lists[0], "versionid"), "202");
        EXPECT_EQ(QueryValue(lists[0], "pluginid"), "-1");
    }
}

TEST_F(SolutionTest, HugeRepliesAreCut) {
    Json::Value selection;
    selection["config"] = "huge";
    selection["solution"] = "huge";
    test::UseHostileCatalog(selection);
    int versions = 0, rows = 0;
    Run(kCleanup, Then(ToList(1), {Settle(1000), Do([&](HWND window) {
                                       versions = ComboOf(window, L"versioncombo")->GetCount();
                                       rows = RowCount(window);
                                   })}));
    EXPECT_EQ(versions, 100);
    EXPECT_EQ(rows, 200);
}

TEST_F(SolutionTest, WrongShapedListsGiveEmptyOrPartialRows) {
    for (const char* shape : {"data-object", "data-string", "data-missing"}) {
        SCOPED_TRACE(shape);
        Json::Value selection;
        selection["solution"] = shape;
        test::UseHostileCatalog(selection);
        test::ClearRequestLog();
        int rows = -1;
        Run(kCleanup, Then(ToList(0), {WaitFor([] { return !Requests("/helper/solution").empty(); }), Settle(800),
                                       Do([&](HWND window) { rows = RowCount(window); })}));
        EXPECT_EQ(rows, 0);
    }
    // Elements that are not objects or have no address are left out; the rest work.
    Json::Value selection;
    selection["solution"] = "shapes";
    test::UseHostileCatalog(selection);
    std::vector<std::wstring> paths, kinds, appends;
    std::vector<std::wstring> messages;
    Run(kCleanup, Then(ToList(3), {Settle(300), Do([&](HWND window) {
                                       for (int i = 0; i < RowCount(window); ++i) {
                                           paths.push_back(Attribute(window, i, L"savePath"));
                                           kinds.push_back(Attribute(window, i, L"type"));
                                           appends.push_back(Attribute(window, i, L"appendurl"));
                                       }
                                   }),
                                   Do([](HWND window) { ClickRow(window, 1); }), Answer(L"okbtn", &messages)}));
    EXPECT_EQ(paths, (std::vector<std::wstring>{Saved(L"shape-ok.bin"), Saved(L"no-name.bin"), Saved(L"no-type.bin")}));
    EXPECT_EQ(kinds, (std::vector<std::wstring>{L"", L"app", L""}));
    EXPECT_EQ(appends, (std::vector<std::wstring>(3, L"")));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"已下载一个文件!"}));
    EXPECT_TRUE(test::FileExists(Saved(L"no-name.bin")));
}
