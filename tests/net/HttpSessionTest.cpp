// What the session puts on the wire, read back from the service's request log.
#include <gtest/gtest.h>

#include "net/HttpSession.h"
#include "tests/support/MessageSink.h"
#include "tests/support/TestService.h"

using namespace test;

namespace {

using Query = std::vector<std::pair<std::string, std::string>>;

const wchar_t kProductKey[] = L"Software\\vantoro-session-test";

class HttpSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearFaults();
        ClearRequestLog();
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                                 &key, nullptr));
        const wchar_t exe[] = L"修复助手.exe";
        RegSetValueExW(key, L"ExeFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(exe), sizeof exe);
        RegCloseKey(key);
        session.SetProduct("vantoro-session-test");
        session.SetBaseUrl(BaseUrl());
        session.Initialise();
    }
    void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProductKey); }

    LoggedRequest OnlyRequest() {
        EXPECT_TRUE(sink.WaitForCompletions(1));
        std::vector<LoggedRequest> log = RequestLog();
        EXPECT_EQ(1u, log.size());
        return log.empty() ? LoggedRequest{} : log[0];
    }

    HttpSession& session = HttpSession::Instance();
    MessageSink sink;
};

std::string CurrentVersion() {
    wchar_t value[64] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentVersion",
                 RRF_RT_REG_SZ, nullptr, value, &size);
    return std::string(value, value + wcslen(value));
}

}  // namespace

TEST_F(HttpSessionTest, PathRequestsCarryTheIdentityFirstThenTheCallersParameters) {
    session.Get("/helper/config", {{"name", "quorvex"}, {"versionid", "3"}}, sink.Hwnd(), kDoneMessage);
    LoggedRequest r = OnlyRequest();
    EXPECT_EQ("/helper/config", r.path);
    Query expected = {{"version", "1037"},
                      {"system", CurrentVersion()},
                      {"product", "vantoro-session-test"},
                      {"exeName", "修复助手.exe"},
                      {"64bit", test::NativeWindows64() ? "true" : "false"},
                      {"name", "quorvex"},
                      {"versionid", "3"}};
    EXPECT_EQ(expected, r.query);
    EXPECT_FALSE(CurrentVersion().empty());
}

TEST_F(HttpSessionTest, MissingRegistryValueGivesAnEmptyParameterNotAMissingOne) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProductKey);
    session.Initialise();
    session.Get("/helper/ping", sink.Hwnd(), kDoneMessage);
    Query query = OnlyRequest().query;
    ASSERT_EQ(5u, query.size());
    EXPECT_EQ(std::make_pair(std::string("exeName"), std::string()), query[3]);
}

TEST_F(HttpSessionTest, BaseAndPathAreJoinedAsTheyAre) {
    session.SetBaseUrl(BaseUrl() + "/");
    session.Get("/helper/ping", sink.Hwnd(), kDoneMessage);
    EXPECT_EQ("//helper/ping", OnlyRequest().path);
}

TEST_F(HttpSessionTest, AbsoluteUrlsGoOutWithoutIdentity) {
    session.GetUrl(BaseUrl() + "/fallback/config.json", sink.Hwnd(), kDoneMessage);
    LoggedRequest r = OnlyRequest();
    EXPECT_EQ("/fallback/config.json", r.path);
    EXPECT_TRUE(r.query.empty());
}

TEST_F(HttpSessionTest, NewBaseUrlLeavesQueuedRequestsAlone) {
    session.Get("/helper/ping", sink.Hwnd(), kDoneMessage);
    session.SetBaseUrl("http://127.0.0.1:1");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(200, sink.completions[0].record->response.status_code);
    session.Get("/helper/ping", sink.Hwnd(), kDoneMessage);
    ASSERT_TRUE(sink.WaitForCompletions(2));
    EXPECT_EQ(http::ErrorCode::ConnectionFailure, sink.completions[1].record->response.error.code);
}

TEST_F(HttpSessionTest, FireAndForgetWindowQueuesWithoutAnswer) {
    session.Get("/helper/ping", kFireAndForget, kDoneMessage);
    ASSERT_TRUE(sink.PumpUntil([] { return !RequestLog().empty(); }, 10000));
    sink.PumpFor(200);
    EXPECT_TRUE(sink.completions.empty());
}

TEST(ErrorTextTest, WordsEveryCodeAndFallsBackForOthers) {
    EXPECT_EQ(L"成功", ErrorText(0));
    EXPECT_EQ(L"网络链接服务器错误", ErrorText(1));
    EXPECT_EQ(L"操作操时", ErrorText(8));
    EXPECT_EQ(L"已取消操作", ErrorText(16));
    EXPECT_EQ(L"未知错误", ErrorText(1000));
    for (int other : {-1, 17, 999, 1001}) EXPECT_EQ(L"其他错误", ErrorText(other)) << other;
}
