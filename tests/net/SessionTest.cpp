// The HTTP transport against the reference service: what goes on the wire,
// what comes back, and how failures are numbered.
#include <gtest/gtest.h>

#include "net/http/Session.h"
#include "tests/support/TestService.h"

using namespace test;

namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearFaults();
        ClearRequestLog();
    }
};

http::Response Fetch(const std::string& url, http::Parameters parameters = {}) {
    http::Session session;
    session.SetUrl(url);
    session.SetParameters(std::move(parameters));
    session.SetTimeout(20000);
    return session.Get();
}

}  // namespace

TEST_F(SessionTest, ParametersArriveInOrderWithRepeatsAndEscapes) {
    http::Response r = Fetch(BaseUrl() + "/helper/ping",
                             {{"version", "1037"}, {"a", "x y&z=1+2"}, {"a", "修复 工具"}, {"empty", ""}});
    ASSERT_EQ(200, r.status_code) << r.error.message;
    std::vector<LoggedRequest> log = RequestLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("GET", log[0].method);
    EXPECT_EQ("/helper/ping", log[0].path);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"version", "1037"}, {"a", "x y&z=1+2"}, {"a", "修复 工具"}, {"empty", ""}};
    EXPECT_EQ(expected, log[0].query);
}

TEST_F(SessionTest, FullUrlEscapesAndExtendsAnExistingQuery) {
    http::Session session;
    session.SetUrl("http://h/p?x=1");
    session.SetParameters({{"a b", "c/d"}, {"e", "é"}});
    EXPECT_EQ("http://h/p?x=1&a%20b=c%2Fd&e=%C3%A9", session.FullUrl());
    session.SetUrl("http://h/p");
    session.SetParameters({});
    EXPECT_EQ("http://h/p", session.FullUrl());
}

TEST_F(SessionTest, ResponseDescribesTheAnswer) {
    http::Response r = Fetch(BaseUrl() + "/helper/ping", {{"k", "v"}});
    ASSERT_EQ(200, r.status_code);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(0, r.status_line.rfind("HTTP/1.1 200", 0)) << r.status_line;
    EXPECT_EQ("OK", r.reason);
    EXPECT_NE(std::string::npos, r.header["CONTENT-TYPE"].find("json")) << "header names are case-insensitive";
    EXPECT_EQ(r.text.size(), r.downloaded_bytes);
    EXPECT_EQ(BaseUrl() + "/helper/ping?k=v", r.url);
    EXPECT_NE(std::string::npos, r.raw_header.find("\r\n"));
    EXPECT_GT(r.elapsed, 0.0);
    EXPECT_EQ(0, r.redirect_count);
}

TEST_F(SessionTest, HttpErrorsAreAnswersNotTransportErrors) {
    http::Response r = Fetch(BaseUrl() + "/no/such/path");
    EXPECT_EQ(404, r.status_code);
    EXPECT_FALSE(r.error);
}

TEST_F(SessionTest, TransportFailuresKeepTheirNumbers) {
    EXPECT_EQ(http::ErrorCode::ConnectionFailure, Fetch("http://127.0.0.1:1/").error.code);
    EXPECT_EQ(http::ErrorCode::UnsupportedProtocol, Fetch("gopher://127.0.0.1/").error.code);
    EXPECT_EQ(http::ErrorCode::InvalidUrlFormat, Fetch("http://").error.code);
    http::Response refused = Fetch("http://127.0.0.1:1/");
    EXPECT_EQ(0, refused.status_code);
    EXPECT_FALSE(refused.error.message.empty());
}

// The https address with the port of TlsBaseUrl but 127.0.0.1 as host, which
// the service's certificate (issued for localhost) does not name.
std::string WrongHostUrl(const std::string& path) {
    std::string url = TlsBaseUrl();
    return "https://127.0.0.1" + url.substr(url.rfind(':')) + path;
}

TEST_F(SessionTest, TransportRefusesWhatItCannotTrustAndBoundsWhatItHolds) {
    struct Case {
        const char* what;
        std::string url;
        Json::Value fault;  // on /helper/ping
        http::ErrorCode expected;
    };
    auto fault = [](const char* key, Json::Value value) {
        Json::Value f;
        f["path"] = "/helper/ping";
        f[key] = std::move(value);
        return f;
    };
    const std::string ping = "/helper/ping";
    const Case cases[] = {
        {"https from the test authority", TlsBaseUrl() + ping, {}, http::ErrorCode::Ok},
        {"certificate for another host", WrongHostUrl(ping), {}, http::ErrorCode::SslRemoteCertificateError},
        {"https redirected to http", TlsBaseUrl() + ping, fault("location", BaseUrl() + "/kefu"),
         http::ErrorCode::UnsupportedProtocol},
        {"http redirected to https", BaseUrl() + ping, fault("location", TlsBaseUrl() + "/kefu"), http::ErrorCode::Ok},
        {"https redirected on the same connection", TlsBaseUrl() + ping, fault("location", TlsBaseUrl() + "/kefu"),
         http::ErrorCode::Ok},
        {"redirected without end", BaseUrl() + ping, fault("location", BaseUrl() + ping), http::ErrorCode::InternalError},
        {"answer over the cap", BaseUrl() + ping, fault("pad", 64 << 20), http::ErrorCode::NetworkReceiveError},
        {"answer just under the cap", BaseUrl() + ping, fault("pad", 1 << 20), http::ErrorCode::Ok},
        {"answer at 2 B/s", BaseUrl() + ping, fault("rate", 2), http::ErrorCode::OperationTimedOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearFaults();
        ClearRequestLog();
        if (!c.fault.isNull()) SetFault(c.fault);
        http::Session session;
        session.SetUrl(c.url);
        session.SetTimeout(60000);  // beyond a 2 B/s answer's whole length
        session.SetStallTimeout(2, 1024);
        session.SetMaxBodySize((1 << 20) + 1);
        http::Response r = session.Get();
        EXPECT_EQ(c.expected, r.error.code) << r.error.message;
        EXPECT_LE(r.text.size(), (1u << 20) + 1);
        EXPECT_LE(r.redirect_count, http::Session::kMaxRedirects);
        if (c.expected == http::ErrorCode::SslRemoteCertificateError) {
            EXPECT_TRUE(RequestLog().empty()) << "the request reached a server that showed a wrong certificate";
        }
    }
}

TEST_F(SessionTest, DroppedConnectionIsAReceiveError) {
    Json::Value fault;
    fault["path"] = "/files/pattern-256k.bin";
    fault["body"] = "drop";
    SetFault(fault);
    http::Response r = Fetch(BaseUrl() + "/files/pattern-256k.bin");
    EXPECT_EQ(http::ErrorCode::NetworkReceiveError, r.error.code) << r.error.message;
}

TEST_F(SessionTest, ProgressCallbackReturningFalseCancels) {
    http::Session session;
    session.SetUrl(BaseUrl() + "/files/pattern-8m.bin");
    session.SetProgressCallback([](auto, auto, auto, auto) { return false; });
    EXPECT_EQ(http::ErrorCode::RequestCancelled, session.Get().error.code);
}

TEST_F(SessionTest, ThrowingCallbacksAbortTheTransferInsteadOfCrossingCurl) {
    http::Session session;
    session.SetUrl(BaseUrl() + "/files/pattern-256k.bin");
    session.SetWriteCallback([](std::string_view) -> bool { throw std::runtime_error("disk on fire"); });
    EXPECT_EQ(http::ErrorCode::RequestCancelled, session.Get().error.code);

    http::Session other;
    other.SetUrl(BaseUrl() + "/files/pattern-256k.bin");
    other.SetProgressCallback([](auto, auto, auto, auto) -> bool { throw 42; });
    EXPECT_EQ(http::ErrorCode::RequestCancelled, other.Get().error.code);
}

TEST_F(SessionTest, LaunchAsyncDeliversResultsAndTurnsExceptionsIntoErrors) {
    auto ok = http::LaunchAsync([] { return Fetch(BaseUrl() + "/helper/ping"); });
    auto thrown = http::LaunchAsync([]() -> http::Response { throw std::runtime_error("boom"); });
    EXPECT_EQ(200, ok.get().status_code);
    EXPECT_EQ(http::ErrorCode::UnknownError, thrown.get().error.code);
    EXPECT_EQ("boom", thrown.get().error.message);
}

TEST(ErrorTest, CurlCodesMapOntoTheFixedNumbering) {
    EXPECT_FALSE(http::ErrorFromCurl(0, ""));
    EXPECT_EQ(http::ErrorCode::OperationTimedOut, http::ErrorFromCurl(28, "").code);
    EXPECT_EQ(http::ErrorCode::EmptyResponse, http::ErrorFromCurl(52, "").code);
    EXPECT_EQ(http::ErrorCode::HostResolutionFailure, http::ErrorFromCurl(6, "").code);
    // A code curl adds later must still land inside the table.
    EXPECT_EQ(http::ErrorCode::InternalError, http::ErrorFromCurl(9999, "").code);
    EXPECT_EQ("detail", http::ErrorFromCurl(7, "detail").message);
    EXPECT_FALSE(http::ErrorFromCurl(7, "").message.empty());
}
