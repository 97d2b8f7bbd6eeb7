// The catalogue keeps the cases the programs must cope with, and every file
// it names is there to download, byte for byte.
#include <map>
#include <set>

#include "Pattern.h"
#include "ServiceFixture.h"
#include "Url.h"

namespace {

class CatalogTest : public ServiceFixture {
protected:
    // Every row of every version with each of its product's plugins (or -1).
    std::vector<Json::Value> AllRows() const {
        const Json::Value config = GetJson("/helper/config?name=quorvex").second["data"];
        std::map<std::string, std::vector<int>> plugins;
        for (const auto& plugin : config["plugin"]) plugins[plugin["subType"].asString()].push_back(plugin["id"].asInt());
        std::vector<Json::Value> rows;
        for (const auto& version : config["version"]) {
            auto ids = plugins[version["subType"].asString()];
            if (ids.empty()) ids.push_back(-1);
            for (int plugin : ids) {
                const Json::Value answer = GetJson("/helper/solution?name=quorvex&versionid=" +
                                                   version["id"].asString() + "&pluginid=" + std::to_string(plugin))
                                               .second;
                for (const auto& row : answer["data"]) rows.push_back(row);
            }
        }
        return rows;
    }
};

TEST_F(CatalogTest, RowsCoverEveryTypeAndEveryLinkIsServed) {
    auto client = Client();
    std::set<std::string> types, names;
    int with32 = 0, appsWithAppend = 0;
    for (const auto& row : AllRows()) {
        types.insert(row["type"].asString());
        with32 += row.isMember("32url");
        appsWithAppend += row["type"] == "app" && row.isMember("appendurl");
        for (const char* key : {"url", "32url", "appendurl"}) {
            const std::string url = row[key].asString();
            if (url.empty()) continue;
            ASSERT_EQ(url.rfind(Base(), 0), 0u) << url;
            auto res = client.Get(url.substr(Base().size()));
            ASSERT_TRUE(res) << url;
            EXPECT_EQ(res->status, url.find("missing-tool") == std::string::npos ? 200 : 404) << url;
            if (res->status == 200 && url.find("/files/") != std::string::npos) {
                EXPECT_TRUE(MatchesPattern(res->body)) << url;
                names.insert(Url::Decode(url.substr(url.rfind('/') + 1), false));
            }
        }
    }
    EXPECT_EQ(types, (std::set<std::string>{"app", "tutorial", "issue", "wangpan", "zip", "xlsx"}));
    EXPECT_GE(with32, 1);
    EXPECT_GE(appsWithAppend, 1);
    for (const char* name : {"DirectX Repair.exe", "C盘清理.exe", "dll+fixer+guide.pdf", "系统重装助手.exe",
                             "deep clean x86.exe", "深度清理+教程.pdf", "deep-clean rules.ini"})
        EXPECT_EQ(names.count(name), 1u) << name;
    EXPECT_EQ(std::filesystem::file_size(FilesDir() / "DirectX Repair.exe"), 3u << 20);
}

TEST(Pattern, FastFillAgreesWithTheByteFunctionAndHasTheTextModeBytes) {
    const std::string prefix(reinterpret_cast<const char*>(kPatternPrefix), sizeof kPatternPrefix);
    for (char byte : {'\x00', '\x0D', '\x0A', '\x1A', '\xFF'}) EXPECT_NE(prefix.find(byte), std::string::npos);
    for (uint64_t start : {0ull, 3ull, 15ull, 16ull, 17ull, 1000003ull}) {
        std::string bytes(301, '\0');
        PatternFill(start, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        EXPECT_TRUE(MatchesPattern(bytes, start)) << start;
    }
}

}  // namespace
