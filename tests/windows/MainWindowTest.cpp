#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/AppConfig.h"
#include "core/MachineId.h"
#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "net/ServerConfig.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/UIlib.h"
#include "windows/MainWindow.h"

namespace {

constexpr wchar_t kVersionKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

// Sets (or, with nullopt, removes) "CurrentVersion" for its lifetime and puts
// the machine's own value back.
class CurrentVersion {
public:
    explicit CurrentVersion(std::optional<std::wstring> value) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kVersionKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &key_, nullptr);
        wchar_t old[64] = {};
        DWORD size = sizeof old, type = 0;
        if (RegQueryValueExW(key_, L"CurrentVersion", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == 0)
            old_ = old;
        Set(value);
    }
    ~CurrentVersion() {
        Set(old_);
        RegCloseKey(key_);
    }

private:
    void Set(const std::optional<std::wstring>& value) {
        if (!value) {
            RegDeleteValueW(key_, L"CurrentVersion");
            return;
        }
        RegSetValueExW(key_, L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    }

    HKEY key_ = nullptr;
    std::optional<std::wstring> old_;
};

// The decoded query values of a link, by name.
std::wstring Decode(const std::wstring& encoded) {
    std::string bytes;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == L'+') bytes += ' ';
        else if (encoded[i] == L'%' && i + 2 < encoded.size()) {
            bytes += static_cast<char>(std::stoi(WideToUtf8(encoded.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else bytes += static_cast<char>(encoded[i]);
    }
    return Utf8ToWide(bytes);
}

std::map<std::wstring, std::wstring> QueryOf(const std::wstring& link) {
    std::map<std::wstring, std::wstring> values;
    size_t query = link.find(L'?');
    for (const std::wstring& pair : Split(link.substr(query + 1), L'&')) {
        size_t equals = pair.find(L'=');
        if (equals != std::wstring::npos) values[pair.substr(0, equals)] = Decode(pair.substr(equals + 1));
    }
    return values;
}

std::wstring BaseOf(const std::wstring& link) { return link.substr(0, link.find(L"&c1=")); }

std::wstring Bitness() { return test::NativeWindows64() ? L"64位" : L"32位"; }

// Width of text in the control's own font, less the room the control gives it.
int Overflow(HWND window, const wchar_t* name) {
    DuiLib::CControlUI* control = test::ControlOf(window, name);
    if (!control) return 1 << 20;
    std::wstring text = control->GetText();
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, control->GetManager()->GetFontHandle(control->GetFont()));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    RECT pos = control->GetPos();
    return size.cx - (pos.right - pos.left);
}

struct Opened {
    HWND owner = nullptr;
    int feature = -1;
};

// One main window per test, shown as start-up shows it, answering to the
// reference service; the hooks record what the buttons open.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOwnArchive()) << "no layout archive in the test program";
        HttpSession& session = HttpSession::Instance();
        session.SetProduct("quorvex");
        session.SetBaseUrl(test::BaseUrl());
        session.Initialise();
        MainWindowHooks hooks;
        hooks.openCheck = [this](HWND owner, int feature) { checks.push_back({owner, feature}); };
        hooks.openLink = [this](const std::wstring& link) {
            links.push_back(link);
            return linkResult;
        };
        window = std::make_unique<MainWindow>(hooks);
        ASSERT_TRUE(window->Create(nullptr, L"Vantoro", WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_ACCEPTFILES));
        window->CenterWindow();
        window->ShowWindow(true, true);
        test::Pump(100);
    }
    void TearDown() override {
        window.reset();
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }

    HWND Hwnd() const { return window->GetHWND(); }
    std::wstring Text(const wchar_t* name) const { return test::TextOf(Hwnd(), name); }
    std::wstring Animation() const {
        DuiLib::CControlUI* gif = test::ControlOf(Hwnd(), L"logoGif");
        return gif ? std::wstring(gif->GetBkImage()) : L"<no logoGif>";
    }
    void Click(const wchar_t* name) {
        test::Click(Hwnd(), name);
        test::Pump(100);
    }

    std::unique_ptr<MainWindow> window;
    std::vector<Opened> checks;
    std::vector<std::wstring> links;
    bool linkResult = true;
};

struct FeatureRow {
    const wchar_t* option;
    int index;
    std::wstring title, subtitle, button, gif;
};

const FeatureRow kRows[] = {
    {L"dllFixOpt", 0, L"DLL修复 安全可靠", L"修复程序dll丢失、运行错误、无法打开等问题", L"立即修复", L"img1/dll.gif"},
    {L"ccleanerOpt", 1, L"C盘瘦身 扩充容量", L"扩充C盘容量、软件搬家其他盘、清理多余垃圾", L"立即清理",
     L"img1/ccleaner.gif"},
    {L"reinstallOpt", 2, L"系统重装 一键完成", L"无需专业技术，一键快速完成，免激活，纯净", L"立即重装",
     L"img1/reinstall.gif"},
    {L"directxOpt", 3, L"DirectX 游戏组件安装", L"恢复游戏正常运行、修复DirectX问题", L"立即修复",
     L"img1/directx.gif"},
};

}  // namespace

// Before any selection the page shows the layout's own texts for feature 0.
TEST_F(MainWindowTest, StartsWithTheDllFeature) {
    EXPECT_EQ(window->FeatureIndex(), 0);
    EXPECT_EQ(Text(L"titleLbl"), L"DLL修复工具 安全可靠");
    EXPECT_EQ(Text(L"subtitleLbl"), L"DLL修复工具可对U盘、硬盘、SD卡等进行修复");
    EXPECT_EQ(Text(L"fixbtn"), L"立即修复");
    EXPECT_EQ(Animation(), L"img1/dll.gif");
    auto* dll = dynamic_cast<DuiLib::COptionUI*>(test::ControlOf(Hwnd(), L"dllFixOpt"));
    ASSERT_NE(dll, nullptr);
    EXPECT_TRUE(dll->IsSelected());
}

// Each option, clicked with the mouse, shows its row of the table; going
// back to the first option shows the table's (not the layout's) texts.
TEST_F(MainWindowTest, EachOptionShowsItsFeature) {
    for (const FeatureRow* row : {&kRows[3], &kRows[1], &kRows[2], &kRows[0]}) {
        SCOPED_TRACE(row->option);
        Click(row->option);
        EXPECT_EQ(window->FeatureIndex(), row->index);
        EXPECT_EQ(Text(L"titleLbl"), row->title);
        EXPECT_EQ(Text(L"subtitleLbl"), row->subtitle);
        EXPECT_EQ(Text(L"fixbtn"), row->button);
        EXPECT_EQ(Animation(), row->gif);
        for (const wchar_t* name : {L"titleLbl", L"subtitleLbl", L"fixbtn"})
            EXPECT_LE(Overflow(Hwnd(), name), 0) << WideToUtf8(name) << " is clipped";
    }
}

// Only the four options of "topOption" pick a feature, matched by whole name.
TEST_F(MainWindowTest, OtherOptionsPickNoFeature) {
    Click(L"ccleanerOpt");
    auto* manager = &window->GetPaintManager();
    auto* stray = new DuiLib::COptionUI;
    stray->SetName(L"reinstallOptX");
    stray->SetGroup(L"topOption");
    auto* outside = new DuiLib::COptionUI;
    outside->SetName(L"directxOpt");
    outside->SetGroup(L"otherGroup");
    for (DuiLib::COptionUI* option : {stray, outside}) {
        manager->SendNotify(option, DuiLib::DUI_MSGTYPE_SELECTCHANGED);
        EXPECT_EQ(window->FeatureIndex(), 1) << WideToUtf8(option->GetName());
        EXPECT_EQ(Text(L"fixbtn"), L"立即清理");
        delete option;
    }
}

TEST_F(MainWindowTest, FixButtonChecksTheChosenFeature) {
    Click(L"reinstallOpt");
    Click(L"fixbtn");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].feature, 2);
    EXPECT_EQ(checks[0].owner, Hwnd());
}

// The product's own opener: the check window, modal over the main window.
TEST(MainWindowCheck, FixButtonRunsTheCheckWindowModally) {
    ASSERT_TRUE(test::UseOwnArchive());
    auto window = std::make_unique<MainWindow>();
    ASSERT_TRUE(window->Create(nullptr, L"Vantoro", WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_ACCEPTFILES));
    window->ShowWindow(true, true);
    HWND main = window->GetHWND();
    test::Pump(100);
    bool seen = false;
    test::Ticker ticker([&] {
        HWND check = test::ShownWindow(L"CheckProgressWnd");
        if (!check) return false;
        seen = true;
        wchar_t title[32] = {};
        GetWindowTextW(check, title, 32);
        EXPECT_STREQ(title, L"正在检查中");
        EXPECT_EQ(GetWindow(check, GW_OWNER), main);
        EXPECT_FALSE(IsWindowEnabled(main)) << "not modal";
        PostMessageW(check, WM_CLOSE, 0, 0);
        return true;
    });
    test::Click(main, L"fixbtn");
    DWORD start = GetTickCount();
    while (!ticker.Finished() && GetTickCount() - start < 10000) test::Pump(50);
    EXPECT_TRUE(seen) << "no check window opened";
    test::Pump(200);
    EXPECT_TRUE(IsWindowEnabled(main));
    window.reset();
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

// The operating-system label of the chat link follows "CurrentVersion".
TEST(MainWindowChat, SystemLabelFollowsCurrentVersion) {
    const std::pair<std::optional<std::wstring>, std::wstring> cases[] = {
        {L"6.3", L"win8或10"}, {L"6.0", L"win7"}, {L"5.1", L"winxp"}, {L"6.1", L"未知系统"}, {std::nullopt, L"未知系统"}};
    ServerConfig config;
    for (const auto& [value, label] : cases) {
        SCOPED_TRACE(value.value_or(L"<missing>"));
        CurrentVersion version(value);
        EXPECT_EQ(SystemLabel(), label);
        EXPECT_EQ(QueryOf(CustomerServiceLink(0, config))[L"c1"], label + L"_" + Bitness() + L"_售前");
    }
}

// Before the configuration arrives the built-in chat page carries the values.
TEST(MainWindowChat, LinkCarriesTheFiveValues) {
    ServerConfig config;
    std::wstring link = CustomerServiceLink(2, config);
    EXPECT_EQ(BaseOf(link), config.ChatUrl());
    auto values = QueryOf(link);
    EXPECT_EQ(values[L"c2"], L"Vantoro__reinstall");
    EXPECT_EQ(values[L"c3"], L"空订单号");
    EXPECT_EQ(values[L"c4"], L"windows_tests_2.5.0.9");  // the test program's own version resource
    EXPECT_EQ(values[L"c5"], MachineId());
    EXPECT_NE(link.find(L"&c1="), std::wstring::npos);
    EXPECT_EQ(link.find(L"&c6="), std::wstring::npos);
}

// Only a web page replaces the built-in chat: the link goes to the shell.
TEST(MainWindowChat, ConfiguredChatPageReplacesTheBuiltIn) {
    const std::pair<const char*, std::wstring> cases[] = {
        {R"({"data": {"kefu": "http://chat.example/k?x=1"}})", L"http://chat.example/k?x=1"},
        {R"({"data": {"kefu": "C:\\Windows\\System32\\cmd.exe"}})", deployment::ChatUrl()},
        {R"({"data": {"kefu": "file:///C:/Windows/System32/cmd.exe#"}})", deployment::ChatUrl()},
        {R"({"data": {"kefu": "\\\\server\\share\\chat.exe"}})", deployment::ChatUrl()},
    };
    for (const auto& [document, base] : cases) {
        SCOPED_TRACE(document);
        ServerConfig config;
        config.Replace(test::ParseJson(document));
        std::wstring link = CustomerServiceLink(1, config);
        EXPECT_EQ(BaseOf(link), base);
        EXPECT_EQ(QueryOf(link)[L"c2"], L"Vantoro__ccleaner");
    }
}

// The button opens the chosen feature's link; once the window's own exchange
// has brought the service's configuration, its "kefu" page.
TEST_F(MainWindowTest, CustomerButtonUsesTheServiceChatOnceConfigured) {
    DWORD start = GetTickCount();
    while (!ServerConfig::Instance().Received() && GetTickCount() - start < 10000) test::Pump(50);
    ASSERT_TRUE(ServerConfig::Instance().Received()) << "no configuration from the service";
    Click(L"directxOpt");
    Click(L"customerBtn");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(BaseOf(links[0]), Utf8ToWide(test::BaseUrl() + "/kefu?from=service"));
    EXPECT_EQ(QueryOf(links[0])[L"c2"], L"Vantoro__directx");
}

// The product's own opener hands the link to the desktop's browser.
TEST(MainWindowBrowser, CustomerButtonOpensTheLinkInTheBrowser) {
    test::BrowserRecorder browser;
    if (!browser.Active()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
    ASSERT_TRUE(test::UseOwnArchive());
    auto window = std::make_unique<MainWindow>();
    ASSERT_TRUE(window->Create(nullptr, L"Vantoro", WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_ACCEPTFILES));
    window->ShowWindow(true, true);
    test::Pump(100);
    std::string before = test::FileExists(browser.Log()) ? test::ReadFile(browser.Log()) : "";
    test::Click(window->GetHWND(), L"ccleanerOpt");
    test::Pump(100);
    std::string expected = WideToUtf8(CustomerServiceLink(1, ServerConfig::Instance())) + "\n";
    test::Click(window->GetHWND(), L"customerBtn");
    std::string log;
    for (DWORD start = GetTickCount(); log.size() <= before.size() && GetTickCount() - start < 10000; test::Pump(50))
        log = test::FileExists(browser.Log()) ? test::ReadFile(browser.Log()) : "";
    EXPECT_EQ(log.substr(std::min(before.size(), log.size())), expected);
    EXPECT_EQ(test::OpenBoxes().size(), 0u) << "a failure was reported";
    window.reset();
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

TEST_F(MainWindowTest, BrowserFailureIsReported) {
    linkResult = false;  // the browser did not start
    std::wstring text;
    int answered = test::Answering(L"okbtn", [&] { Click(L"customerBtn"); test::Pump(500); },
                                   [&](HWND box) { text = test::TextOf(box, L"contentlbl"); });
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(text, L"打开浏览器失败，请从支付账单中联系客服。");
}

TEST_F(MainWindowTest, ActivationRestoresAndCentresAMinimisedWindow) {
    SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(Hwnd(), SW_MINIMIZE);
    test::Pump(200);
    ASSERT_TRUE(IsIconic(Hwnd()));
    EXPECT_EQ(SendMessageW(Hwnd(), kActivateMessage, 0, 0), 0);
    test::Pump(200);
    EXPECT_FALSE(IsIconic(Hwnd()));
    EXPECT_TRUE(IsWindowVisible(Hwnd()));
    RECT rc, work;
    GetWindowRect(Hwnd(), &rc);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((rc.left + rc.right) / 2, (work.left + work.right) / 2, 2);
    EXPECT_NEAR((rc.top + rc.bottom) / 2, (work.top + work.bottom) / 2, 2);
}

TEST_F(MainWindowTest, CaptionDoubleClickDoesNotMaximise) {
    RECT rc;
    GetWindowRect(Hwnd(), &rc);
    SendMessageW(Hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(rc.left + 400, rc.top + 300));
    test::Pump(100);
    EXPECT_FALSE(IsZoomed(Hwnd()));
}

TEST_F(MainWindowTest, FixedSizeWithTheWholeWindowAsCaption) {
    RECT rc;
    GetWindowRect(Hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 920);
    EXPECT_EQ(rc.bottom - rc.top, 560);
    // Between the controls the page drags the window; on them it does not.
    EXPECT_EQ(SendMessageW(Hwnd(), WM_NCHITTEST, 0, MAKELPARAM(rc.left + 60, rc.top + 300)), HTCAPTION);
    RECT button = test::ControlOf(Hwnd(), L"fixbtn")->GetPos();
    EXPECT_EQ(SendMessageW(Hwnd(), WM_NCHITTEST, 0,
                           MAKELPARAM(rc.left + (button.left + button.right) / 2, rc.top + (button.top + button.bottom) / 2)),
              HTCLIENT);
}

TEST_F(MainWindowTest, ShowsTheProgramIcon) {
    EXPECT_NE(SendMessageW(Hwnd(), WM_GETICON, ICON_BIG, 0), 0) << "no icon for the taskbar";
    EXPECT_NE(SendMessageW(Hwnd(), WM_GETICON, ICON_SMALL, 0), 0) << "no icon for the caption";
}

// Closing posts the quit message; freeing the object marks the first run done.
TEST_F(MainWindowTest, ClosingQuitsAndFreeingWritesFirstRun) {
    std::wstring settings = FolderOf() + L"\\config.json";
    AppConfig::Instance().SetFirstRun(true);
    test::Click(Hwnd(), L"closebtn");
    MSG msg{};
    DWORD start = GetTickCount();
    bool quit = false;
    while (!quit && GetTickCount() - start < 5000) {
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            else DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    EXPECT_TRUE(quit) << "no quit message after closing";
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_FALSE(IsWindow(Hwnd()));
    EXPECT_TRUE(AppConfig(settings).Root()["firstRun"].asBool()) << "written before the object went";
    window.reset();
    EXPECT_FALSE(AppConfig(settings).Root()["firstRun"].asBool());
}
