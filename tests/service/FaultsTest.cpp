// Injected faults: each kind reaches the client as the kind of failure it
// stands for, and the service keeps serving afterwards.
#include <chrono>

#include "JsonText.h"
#include "ServiceFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

class FaultsTest : public ServiceFixture {
protected:
    void SetFault(const std::string& json) {
        auto res = Client().Post("/test/fault", json, "application/json");
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200) << res->body;
    }
};

TEST_F(FaultsTest, StatusDelayOnceAndClear) {
    SetFault(R"({"path":"/helper/ping","status":503,"delay_ms":300,"once":true})");
    SetFault(R"({"path":"/files/C%E7%9B%98%E6%B8%85%E7%90%86.exe","status":500})");  // encoded or not
    const auto start = Clock::now();
    auto [status, body] = GetJson("/helper/ping");
    EXPECT_EQ(status, 503);
    EXPECT_EQ(body["code"], 503);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(GetJson("/helper/ping").first, 200);
    EXPECT_EQ(Client().Get("/files/C盘清理.exe")->status, 500);
    EXPECT_EQ(Client().Delete("/test/fault")->status, 200);
    EXPECT_EQ(Client().Get("/files/C盘清理.exe")->status, 200);
}

TEST_F(FaultsTest, BodiesThatAreNotWhatTheClientExpects) {
    SetFault(R"({"path":"/helper/ping","body":"notjson"})");
    auto res = Client().Get("/helper/ping");
    EXPECT_EQ(res->status, 200);
    EXPECT_FALSE(JsonText::Parse(res->body));

    SetFault(R"({"path":"/helper/ping","body":"wrongshape"})");
    Json::Value doc = GetJson("/helper/ping").second;
    EXPECT_TRUE(doc["code"].isString());
    EXPECT_TRUE(doc["data"].isString());

    SetFault(R"({"path":"/helper/ping","body":"wrongshape-array"})");
    EXPECT_TRUE(GetJson("/helper/ping").second.isArray());

    SetFault(R"({"path":"/helper/config","body":"wrongshape-deep"})");
    doc = GetJson("/helper/config?name=quorvex").second;
    EXPECT_EQ(doc["code"], 0);
    EXPECT_TRUE(doc["data"]["version"].isArray());
    EXPECT_FALSE(doc["data"]["title"].isObject());
}

TEST_F(FaultsTest, PadAnnouncesNoLengthAndLocationRedirects) {
    SetFault(R"({"path":"/helper/ping","pad":300000})");
    auto res = Client().Get("/helper/ping");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body.size(), 300000u);
    EXPECT_FALSE(res->has_header("Content-Length"));
    EXPECT_EQ(JsonText::Parse(res->body)->operator[]("msg"), "pong") << "the real answer, then spaces";

    SetFault(R"({"path":"/helper/ping","location":"http://elsewhere.example/p"})");
    res = Client().Get("/helper/ping");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), "http://elsewhere.example/p");
}

TEST_F(FaultsTest, DropPromisesMoreThanItSends) {
    SetFault(R"({"path":"/files/DirectX Repair.exe","body":"drop","once":true})");
    std::string received;
    auto client = Client();
    auto res = client.Get("/files/DirectX%20Repair.exe", [&](const char* data, size_t size) {
        received.append(data, size);
        return true;
    });
    EXPECT_FALSE(res);
    EXPECT_EQ(received.size(), 3u << 19);  // half of 3 MiB, and the real half
    EXPECT_TRUE(MatchesPattern(received));
    // The fault was once: resuming from where it broke completes the file.
    auto rest = Client().Get("/files/DirectX%20Repair.exe", {{"Range", "bytes=" + std::to_string(received.size()) + "-"}});
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->status, 206);
    EXPECT_TRUE(MatchesPattern(rest->body, received.size()));
}

TEST_F(FaultsTest, StallHoldsTheClientUntilItGivesUp) {
    SetFault(R"({"path":"/helper/config","body":"stall"})");
    auto client = Client();
    client.set_read_timeout(1, 0);
    const auto start = Clock::now();
    auto res = client.Get("/helper/config?name=quorvex");
    EXPECT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::Read);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    client.stop();
    // The server thread notices the client left and lets go.
    for (int i = 0; i < 100 && Service().ActiveStalls() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Service().ActiveStalls(), 0);
    EXPECT_EQ(GetJson("/helper/ping").first, 200);
}

TEST_F(FaultsTest, StoppingTheServiceEndsAStall) {
    SetFault(R"({"path":"/helper/ping","body":"stall"})");
    std::thread waiter([this] { Client().Get("/helper/ping"); });
    for (int i = 0; i < 200 && Service().ActiveStalls() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(Service().ActiveStalls(), 1);
    const auto start = Clock::now();
    Service().Stop();
    waiter.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
}

TEST_F(FaultsTest, MalformedFaultsAreRefused) {
    auto client = Client();
    for (const char* bad : {"", "{", "[]", R"({"status":500})", R"({"path":5})", R"({"path":"/x","status":"500"})",
                            R"({"path":"/x","status":99})", R"({"path":"/x","delay_ms":-1})",
                            R"({"path":"/x","body":"explode"})", R"({"path":"/x","once":"yes"})",
                            R"({"path":"/test/log","status":500})", R"({"path":"/x"} trailing)",
                            R"({"path":"/x","pad":-1})", R"({"path":"/x","location":"ftp://x/"})"}) {
        auto res = client.Post("/test/fault", bad, "application/json");
        ASSERT_TRUE(res) << bad;
        EXPECT_EQ(res->status, 400) << bad;
        EXPECT_FALSE(JsonText::Parse(res->body)->operator[]("msg").asString().empty()) << bad;
    }
    EXPECT_EQ(GetJson("/helper/ping").first, 200);
}

}  // namespace

TEST_F(FaultsTest, RateSendsTheWholeAnswerSlowly) {
    SetFault(R"({"path":"/files/DirectX Repair.exe","rate":8388608})");  // 3 MiB at 8 MiB/s
    const auto start = Clock::now();
    auto res = Client().Get("/files/DirectX%20Repair.exe");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.size(), 3u << 20);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_TRUE(MatchesPattern(res->body));
}
