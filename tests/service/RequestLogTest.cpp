// The request log keeps what clients asked, in order, as they wrote it.
#include "ServiceFixture.h"
#include "Url.h"

namespace {

class RequestLogTest : public ServiceFixture {};

TEST_F(RequestLogTest, KeepsOrderDuplicatesAndDecodedValues) {
    auto client = Client();
    client.set_url_encode(false);
    client.Get("/helper/ping?b=2&a=1&b=3&flag&name=%E4%B8%AD+%2B&empty=");
    client.Get("/no/such/path");
    client.Post("/helper/ping", "", "text/plain");
    client.Get("/test/log");  // the test channel is not logged
    const Json::Value log = GetJson("/test/log").second;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0]["method"], "GET");
    EXPECT_EQ(log[0]["path"], "/helper/ping");
    const Json::Value& query = log[0]["query"];
    ASSERT_EQ(query.size(), 6u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"b", "2"}, {"a", "1"}, {"b", "3"}, {"flag", ""}, {"name", "中 +"}, {"empty", ""}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(query[int(i)][0], expected[i].first);
        EXPECT_EQ(query[int(i)][1], expected[i].second);
    }
    EXPECT_EQ(log[1]["path"], "/no/such/path");
    EXPECT_EQ(log[2]["method"], "POST");
}

TEST_F(RequestLogTest, PathIsDecodedAndDeleteClears) {
    Client().Get("/files/DirectX%20Repair.exe");
    EXPECT_EQ(GetJson("/test/log").second[0]["path"], "/files/DirectX Repair.exe");
    EXPECT_EQ(Client().Delete("/test/log")->status, 200);
    EXPECT_EQ(GetJson("/test/log").second.size(), 0u);
}

TEST(QueryParsing, EdgeCases) {
    EXPECT_TRUE(Url::ParseQuery("/p").empty());
    EXPECT_TRUE(Url::ParseQuery("/p?").empty());
    EXPECT_EQ(Url::ParseQuery("/p?&&a=1&").size(), 1u);
    EXPECT_EQ(Url::ParseQuery("/p?a=1=2")[0].second, "1=2");
    EXPECT_EQ(Url::ParseQuery("/p?a=%zz%4")[0].second, "%zz%4");  // broken escapes stay
    EXPECT_EQ(Url::ParseQuery("/p?a=1#frag")[0].second, "1");
    EXPECT_EQ(Url::Decode("a+b%2B", false), "a+b+");
}

}  // namespace
