// The start-up exchange against the reference service: which requests it
// makes (read back from the service's log), where they go, what it keeps, and
// the notices a user sees (the boxes answered, the chat given to the browser).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "core/StartupExchange.h"
#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "net/Json.h"
#include "net/RequestQueue.h"
#include "net/ServerConfig.h"
#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/MessageSink.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/Notices.h"

using namespace test;

namespace {

using Paths = std::vector<std::string>;

// Plays the main window: a plain window that hands every message to the exchange.
class ExchangeWindow {
public:
    explicit ExchangeWindow(StartupExchange& exchange) {
        static const wchar_t kClass[] = L"VantoroExchangeTest";
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);  // fails harmlessly once registered
        hwnd_ = CreateWindowExW(0, kClass, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance,
                                &exchange);
    }
    ~ExchangeWindow() { DestroyWindow(hwnd_); }
    HWND Hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto exchange = reinterpret_cast<StartupExchange*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (exchange && exchange->Handle(msg, wParam, lParam)) return 0;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};

Json::Value Fault(const std::string& path, int status, const std::string& body = {}) {
    Json::Value fault;
    fault["path"] = path;
    if (status) fault["status"] = status;
    if (!body.empty()) fault["body"] = body;
    return fault;
}

class StartupExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UseOwnArchive());
        ClearFaults();
        ClearRequestLog();
        session.SetProduct("quorvex");
        session.SetBaseUrl(BaseUrl());
        SetEnvironmentVariableW(L"VANTORO_FALLBACK_URL", Utf8ToWide(FallbackUrl()).c_str());
    }
    void TearDown() override {
        ClearFaults();
        SetEnvironmentVariableW(L"VANTORO_FALLBACK_URL", nullptr);
        session.SetBaseUrl(BaseUrl());
    }

    static std::string FallbackUrl() { return BaseUrl() + "/fallback/config.json"; }

    // Runs one exchange to its end, answering every notice; the texts shown.
    std::vector<std::wstring> Run(ServerConfig& config) {
        StartupExchange exchange(config);
        ExchangeWindow window(exchange);
        std::vector<std::wstring> notices;
        Answering(
            L"okbtn",
            [&] {
                exchange.StartEarly();  // as the product does, before its window exists
                Pump(50);
                exchange.Attach(window.Hwnd());
                for (int i = 0; i < 1000 && !exchange.Finished(); ++i) Pump(20);
                EXPECT_TRUE(exchange.Finished()) << "the exchange did not end";
                Pump(300);  // a request sent twice would show in the log by now
            },
            [&](HWND box) { notices.push_back(TextOf(box, L"contentlbl")); });
        return notices;
    }

    static Paths LoggedPaths() {
        Paths paths;
        for (const LoggedRequest& r : RequestLog()) paths.push_back(r.path);
        return paths;
    }

    // The addresses the browser was given; waits for `lines` of them, then a
    // little longer, so that a stray later one shows too.
    std::vector<std::string> BrowserLines(size_t lines) {
        std::string log;
        for (int i = 0; i < 50 && size_t(std::count(log.begin(), log.end(), '\n')) < lines; ++i)
            log = AwaitFile(browser.Log(), 100);
        Pump(700);
        log = FileExists(browser.Log()) ? ReadFile(browser.Log()) : std::string();
        std::vector<std::string> out;
        for (size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
            out.push_back(log.substr(start, end - start));
        return out;
    }

    HttpSession& session = HttpSession::Instance();
    BrowserRecorder browser;
    ServerConfig config;
};

}  // namespace

TEST_F(StartupExchangeTest, ReachableServiceGivesHeartbeatThenConfigurationOnly) {
    EXPECT_TRUE(Run(config).empty());
    EXPECT_EQ(LoggedPaths(), (Paths{"/helper/ping", "/helper/config"}));
    std::vector<LoggedRequest> log = RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].query.size(), 5u) << "the heartbeat carries the identity only";
    ASSERT_EQ(log[1].query.size(), 6u);
    EXPECT_EQ(log[1].query[5], std::make_pair(std::string("name"), std::string("quorvex")));

    EXPECT_EQ(config.Document(), ParseJson(Get(BaseUrl() + "/helper/config?name=quorvex").text));
    EXPECT_EQ(config.ChatUrl(), Utf8ToWide(BaseUrl() + "/kefu?from=service"));
    EXPECT_EQ(session.BaseUrl(), BaseUrl());
}

TEST_F(StartupExchangeTest, FailingHeartbeatMovesTheSessionToTheFallbacksHead) {
    // The built-in host answers nothing but the injected fault; the fallback
    // names the service itself, so every later request must leave "/gone".
    session.SetBaseUrl(BaseUrl() + "/gone");
    SetFault(Fault("/gone/helper/ping", 503));
    EXPECT_TRUE(Run(config).empty()) << "a failed heartbeat is silent";
    EXPECT_EQ(LoggedPaths(), (Paths{"/gone/helper/ping", "/fallback/config.json", "/helper/config"}));
    EXPECT_TRUE(RequestLog()[1].query.empty()) << "the fallback file is fetched as it is";
    EXPECT_EQ(session.BaseUrl(), BaseUrl());
    EXPECT_TRUE(config.Received());

    // What the solution page asks next goes to the new host too.
    ClearRequestLog();
    MessageSink sink;
    session.Get("/helper/solution", {{"name", "quorvex"}, {"versionid", "101"}, {"pluginid", "0"}}, sink.Hwnd(),
                kDoneMessage);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(LoggedPaths(), Paths{"/helper/solution"});
}

TEST_F(StartupExchangeTest, HeartbeatFaultAtTheServiceItselfStillReachesTheConfiguration) {
    SetFault(Fault("/helper/ping", 500));
    EXPECT_TRUE(Run(config).empty());
    EXPECT_EQ(LoggedPaths(), (Paths{"/helper/ping", "/fallback/config.json", "/helper/config"}));
    EXPECT_TRUE(config.Received());
}

TEST_F(StartupExchangeTest, FallbackWithoutATextHeadEmptiesTheBaseAndReportsTheConfigurationOnce) {
    // An array, a number where the text belongs, an array where it belongs, no JSON at all.
    for (const char* body : {"wrongshape-array", "wrongshape", "wrongshape-deep", "notjson"}) {
        SCOPED_TRACE(body);
        ClearRequestLog();
        session.SetBaseUrl(BaseUrl() + "/gone");
        SetFault(Fault("/gone/helper/ping", 503));
        SetFault(Fault("/fallback/config.json", 0, body));
        std::vector<std::wstring> notices = Run(config);
        EXPECT_EQ(session.BaseUrl(), "");
        EXPECT_EQ(notices.size(), 1u) << "the configuration request to a bare path is reported";
        EXPECT_EQ(LoggedPaths(), (Paths{"/gone/helper/ping", "/fallback/config.json"}));
        EXPECT_FALSE(config.Received());
    }
}

TEST_F(StartupExchangeTest, BothFailingShowOneNoticeAndKeepTheBuiltInChat) {
    if (!browser.Active()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
    SetFault(Fault("/helper/ping", 500));
    SetFault(Fault("/fallback/config.json", 404));
    std::vector<std::wstring> notices = Run(config);
    EXPECT_EQ(notices, std::vector<std::wstring>{RequestFailureText(404, 0)});
    EXPECT_EQ(LoggedPaths(), (Paths{"/helper/ping", "/fallback/config.json"}));
    EXPECT_FALSE(config.Received());
    EXPECT_EQ(config.ChatUrl(), deployment::ChatUrl());
    // The notice's chat: the built-in page with the fallback's address.
    EXPECT_EQ(BrowserLines(1), std::vector<std::string>{WideToUtf8(
                                   RequestFailureChatLink(Utf8ToWide(FallbackUrl()), 404, 0))});
}

TEST_F(StartupExchangeTest, FailedConfigurationIsReportedOnceAndKeepsNothing) {
    SetFault(Fault("/helper/config", 500));
    std::vector<std::wstring> notices = Run(config);
    EXPECT_EQ(notices, std::vector<std::wstring>{RequestFailureText(500, 0)});
    EXPECT_EQ(LoggedPaths(), (Paths{"/helper/ping", "/helper/config"}));
    EXPECT_FALSE(config.Received());
}

TEST_F(StartupExchangeTest, ConfigurationThatCannotBeTrustedOrHeldEndsInTheNetworkNotice) {
    std::string tls = TlsBaseUrl();
    const std::string wrongHost = "https://127.0.0.1" + tls.substr(tls.rfind(':'));
    auto configFault = [](const char* key, Json::Value value) {
        Json::Value fault = Fault("/helper/config", 0);
        fault[key] = std::move(value);
        return fault;
    };
    struct Case {
        const char* what;
        std::string base;  // the service and its fallback
        Json::Value fault;
        std::wstring notice;
    };
    const Case cases[] = {
        {"64 MB", BaseUrl(), configFault("pad", 64 << 20), RequestFailureText(200, 6)},
        {"2 B/s", BaseUrl(), configFault("rate", 2), RequestFailureText(200, 8)},
        {"https redirected to http", tls, configFault("location", BaseUrl() + "/helper/config?name=quorvex"),
         RequestFailureText(302, 15)},
        {"certificate for another host", wrongHost, {}, RequestFailureText(0, 12)},
    };
    // The product's cap, a test's floor: short enough to wait for.
    RequestQueue::Instance().SetLimits({30000, 2, 1024});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearFaults();
        if (!c.fault.isNull()) SetFault(c.fault);
        session.SetBaseUrl(c.base);
        SetEnvironmentVariableW(L"VANTORO_FALLBACK_URL", Utf8ToWide(c.base + "/fallback/config.json").c_str());
        ServerConfig fresh;
        EXPECT_EQ(Run(fresh), std::vector<std::wstring>{c.notice});
        EXPECT_FALSE(fresh.Received());
    }
    RequestQueue::Instance().SetLimits({});
}

TEST_F(StartupExchangeTest, ConfigurationOfAnyShapeIsKeptWithoutNoticeAndNotJsonKeepsTheLastOne) {
    SetFault(Fault("/helper/config", 0, "notjson"));
    EXPECT_TRUE(Run(config).empty());
    EXPECT_FALSE(config.Received()) << "a body that is not JSON is no document";

    // A "kefu" that is no text leaves the built-in chat.
    SetFault(Fault("/helper/config", 0, "wrongshape-deep"));
    EXPECT_TRUE(Run(config).empty());
    ASSERT_TRUE(config.Received());
    EXPECT_TRUE(json::Member(config.Document(), "data").isObject());
    EXPECT_EQ(config.ChatUrl(), deployment::ChatUrl());

    SetFault(Fault("/helper/config", 0, "wrongshape-array"));
    EXPECT_TRUE(Run(config).empty());
    EXPECT_TRUE(config.Document().isArray()) << "a later answer replaces the earlier one";
    EXPECT_EQ(config.ChatUrl(), deployment::ChatUrl());

    // Neither a body that is not JSON nor a failure clears it.
    SetFault(Fault("/helper/config", 0, "notjson"));
    Run(config);
    SetFault(Fault("/helper/config", 500));
    Run(config);
    EXPECT_TRUE(config.Document().isArray());
}

TEST_F(StartupExchangeTest, EarlyExchangeKeepsItsEndUntilTheWindowIsGiven) {
    StartupExchange exchange(config);
    ExchangeWindow window(exchange);
    exchange.StartEarly();
    for (int i = 0; i < 250 && RequestLog().size() < 2; ++i) Pump(20);
    Pump(300);
    EXPECT_FALSE(exchange.Finished());
    EXPECT_FALSE(config.Received()) << "the configuration is the window thread's";
    exchange.Attach(window.Hwnd());
    for (int i = 0; i < 500 && !exchange.Finished(); ++i) Pump(20);
    EXPECT_TRUE(config.Received());
    EXPECT_EQ(LoggedPaths(), (Paths{"/helper/ping", "/helper/config"}));
}

TEST_F(StartupExchangeTest, EachStepRunsOnceAndAnswersOutOfTurnAreIgnored) {
    StartupExchange exchange(config);
    ExchangeWindow window(exchange);
    exchange.Start(window.Hwnd());
    exchange.Start(window.Hwnd());
    for (int i = 0; i < 500 && !exchange.Finished(); ++i) Pump(20);
    ASSERT_TRUE(exchange.Finished());
    Json::Value kept = config.Document();

    // A good configuration and a failed fallback arriving after the end change nothing.
    auto record = [](long status, const char* text) {
        auto r = new CompletionRecord{};
        r->response.status_code = status;
        r->response.text = text;
        return reinterpret_cast<WPARAM>(r);
    };
    EXPECT_TRUE(exchange.Handle(StartupExchange::kConfigDone, record(200, R"({"data":{"kefu":"x"}})"), 4));
    EXPECT_TRUE(exchange.Handle(StartupExchange::kFallbackDone, record(500, ""), 4));
    EXPECT_TRUE(exchange.Handle(StartupExchange::kHeartbeatDone, record(500, ""), 4));
    EXPECT_FALSE(exchange.Handle(WM_USER + 1, 0, 0));
    Pump(300);
    EXPECT_EQ(config.Document(), kept);
    EXPECT_TRUE(OpenBoxes().empty());
    EXPECT_EQ(LoggedPaths(), (Paths{"/helper/ping", "/helper/config"}));
}

TEST(ServerConfig, ProcessConfigurationStartsEmptyWithTheBuiltInChat) {
    EXPECT_FALSE(ServerConfig::Instance().Received());
    EXPECT_EQ(ServerConfig::Instance().ChatUrl(), deployment::ChatUrl());
    StartupExchange exchange;  // the process's configuration by default
    ExchangeWindow window(exchange);
    HttpSession::Instance().SetBaseUrl(BaseUrl());
    exchange.Start(window.Hwnd());
    for (int i = 0; i < 500 && !exchange.Finished(); ++i) Pump(20);
    EXPECT_TRUE(ServerConfig::Instance().Received());
}
