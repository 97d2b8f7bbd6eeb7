// The hostile catalogue: served only while a test selects it, and every
// hostile address it lists can be downloaded.
#include "HostileCatalog.h"
#include "ServiceFixture.h"

namespace {

class HostileTest : public ServiceFixture {
protected:
    int Select(const std::string& body) {
        auto res = Client().Post("/test/catalog", body, "application/json");
        return res ? res->status : 0;
    }
    Json::Value Solution() const { return GetJson("/helper/solution?name=quorvex&versionid=101&pluginid=1101").second; }
    Json::Value Config() const { return GetJson("/helper/config?name=quorvex").second; }
};

TEST_F(HostileTest, SelectedRepliesReplaceTheRealOnesUntilReset) {
    ASSERT_EQ(Select(R"({"solution": "names"})"), 200);
    const Json::Value rows = Solution()["data"];
    ASSERT_GT(rows.size(), 10u);
    EXPECT_EQ(rows[0]["url"].asString().rfind(Base() + "/hostile/", 0), 0u) << "{base} is not replaced";
    EXPECT_TRUE(Config()["data"]["version"].isArray()) << "the configuration changed with the solution";

    ASSERT_EQ(Select(R"({"config": "title-number"})"), 200);
    EXPECT_TRUE(Config()["data"]["title"].isInt());
    EXPECT_EQ(Solution()["data"].size(), 3u) << "a new selection keeps only what it names";

    ASSERT_EQ(Client().Delete("/test/catalog")->status, 200);
    EXPECT_EQ(Solution()["data"][0]["url"], Base() + "/files/dll-fixer-x64.exe");
    EXPECT_TRUE(Config()["data"]["title"].isObject());
}

TEST_F(HostileTest, UnknownSelectionsAreRefused) {
    for (const char* bad : {R"({"solution": "nope"})", R"({"config": 5})", "[1]", "not json"})
        EXPECT_EQ(Select(bad), 400) << bad;
    EXPECT_TRUE(Config()["data"]["title"].isObject());
}

TEST_F(HostileTest, EveryHostileAddressAnswers) {
    ASSERT_EQ(Select(R"({"solution": "names"})"), 200);
    auto client = Client();
    for (const auto& row : Solution()["data"]) {
        for (const char* key : {"url", "appendurl"}) {
            std::string url = row[key].asString();
            if (url.empty()) continue;
            url = url.substr(Base().size());
            url = url.substr(0, url.find('#'));
            auto res = client.Get(url);
            ASSERT_TRUE(res) << url;
            EXPECT_EQ(res->status, 200) << url;
            EXPECT_EQ(res->body.rfind("MZ", 0), 0u) << url << ": a program's name must not fail for its bytes";
        }
    }
}

TEST_F(HostileTest, PortalAnswersAPageWhateverTheName) {
    auto res = Client().Get("/hostile/portal/setup.exe");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.rfind("<!DOCTYPE html>", 0), 0u);
}

TEST_F(HostileTest, HugeRepliesAreGenerated) {
    ASSERT_EQ(Select(R"({"config": "huge", "solution": "huge"})"), 200);
    EXPECT_EQ(Solution()["data"].size(), static_cast<unsigned>(HostileCatalog::kHugeCount));
    EXPECT_EQ(Config()["data"]["version"].size(), static_cast<unsigned>(HostileCatalog::kHugeCount));
}

}  // namespace
