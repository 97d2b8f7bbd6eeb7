// The JSON API as the programs call it.
#include <openssl/evp.h>

#include <set>
#include <tuple>

#include "ServiceFixture.h"

namespace {

const std::string kIdentity = "&version=1.0.3&system=Windows%2010&product=fixer&exeName=Vantoro.exe&64bit=1";

class ApiTest : public ServiceFixture {};

TEST_F(ApiTest, PingAndConfigWhateverIdentityComesWithThem) {
    EXPECT_EQ(GetJson("/helper/ping?x=1" + kIdentity).second["msg"], "pong");
    auto [status, doc] = GetJson("/helper/config?name=quorvex" + kIdentity);
    ASSERT_EQ(status, 200);
    EXPECT_EQ(doc["code"], 0);
    const Json::Value& data = doc["data"];
    EXPECT_EQ(data["kefu"], Base() + "/kefu?from=service");
    for (const char* product : {"dll-fixer", "ccleaner", "reinstall", "directx"})
        EXPECT_TRUE(data["title"][product].isString()) << product;
    std::set<std::string> withPlugins;
    for (const auto& plugin : data["plugin"]) withPlugins.insert(plugin["subType"].asString());
    EXPECT_EQ(withPlugins, (std::set<std::string>{"dll-fixer", "ccleaner", "directx"}));
}

TEST_F(ApiTest, SolutionRowsCarryTheRequestsBase) {
    auto [status, doc] = GetJson("/helper/solution?name=quorvex&versionid=101&pluginid=1101" + kIdentity);
    ASSERT_EQ(status, 200);
    ASSERT_EQ(doc["data"].size(), 3u);
    EXPECT_EQ(doc["data"][0]["url"], Base() + "/files/dll-fixer-x64.exe");
    EXPECT_EQ(doc["data"][0]["32url"], Base() + "/files/dll-fixer-x86.exe");
    // Each file's own size and digest, for the address they go with; none for a page.
    for (const auto& [row, prefix, file] : {std::tuple{0, "", "dll-fixer-x64.exe"}, {0, "32", "dll-fixer-x86.exe"}}) {
        SCOPED_TRACE(file);
        const std::string bytes = Client().Get(std::string("/files/") + file)->body;
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        ASSERT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr), 1);
        std::string hex;
        for (unsigned int i = 0; i < length; ++i) {
            hex += "0123456789abcdef"[digest[i] >> 4];
            hex += "0123456789abcdef"[digest[i] & 15];
        }
        EXPECT_EQ(doc["data"][row][std::string(prefix) + "size"].asUInt64(), bytes.size());
        EXPECT_EQ(doc["data"][row][std::string(prefix) + "sha256"].asString(), hex);
    }
    EXPECT_EQ(doc["data"][0]["32size"].asUInt64(), 4096u);
    EXPECT_FALSE(doc["data"][2].isMember("sha256")) << "a page row";
    EXPECT_EQ(GetJson("/helper/solution?name=quorvex&versionid=301&pluginid=-1").second["data"].size(), 2u);
    doc = GetJson("/helper/solution?name=quorvex&versionid=999&pluginid=5").second;
    EXPECT_TRUE(doc["data"].isArray() && doc["data"].empty());
}

TEST_F(ApiTest, BadParametersAreClientErrors) {
    for (const char* bad : {"versionid=abc&pluginid=1", "versionid=1.5&pluginid=1", "versionid=&pluginid=1",
                            "versionid=99999999999999999999&pluginid=1", "versionid=101", "versionid=101&pluginid=12x"}) {
        auto [status, doc] = GetJson(std::string("/helper/solution?name=quorvex&") + bad);
        EXPECT_EQ(status, 400) << bad;
        EXPECT_EQ(doc["code"], 400) << bad;
    }
    EXPECT_EQ(GetJson("/helper/config?name=other").first, 404);
    EXPECT_EQ(GetJson("/helper/config").first, 400);
}

TEST_F(ApiTest, BaseFollowsTheHostHeaderWhenItIsSafe) {
    auto client = Client();
    auto res = client.Get("/fallback/config.json", {{"Host", "fixer.example:8080"}});
    EXPECT_EQ(res->body, R"({"head":"http://fixer.example:8080"})");
    res = client.Get("/helper/config?name=quorvex", {{"Host", "[::1]:81"}});
    EXPECT_NE(res->body.find("http://[::1]:81/kefu"), std::string::npos);
    for (const char* host : {"evil.example/path", "a b", "x\"y", "host?q", "<script>"})
        EXPECT_EQ(client.Get("/fallback/config.json", {{"Host", host}})->status, 400) << host;
    EXPECT_EQ(GetJson("/helper/ping").first, 200);
}

class FallbackHeadTest : public ServiceFixture {
    void Adjust(Options& options) override { options.fallbackHead = "http://127.0.0.1:9"; }
};

TEST_F(FallbackHeadTest, OptionOverridesTheHead) {
    EXPECT_EQ(GetJson("/fallback/config.json").second["head"], "http://127.0.0.1:9");
}

// The same service over https, with the certificate the test script issues.
class TlsTest : public ServiceFixture {
    void Adjust(Options& options) override {
        tls = DataDir().parent_path() / "tls";
        ASSERT_EQ(std::system(("'" VANTORO_SCRIPTS_DIR "/make-test-tls.sh' '" + tls.string() + "'").c_str()), 0);
        options.tlsPort = 0;
        options.tlsCert = tls / "server.pem";
        options.tlsKey = tls / "server.key";
    }

protected:
    std::filesystem::path tls;
};

TEST_F(TlsTest, HttpsAnswersWithItsOwnSchemeInTheAddressesAndSharesTheLog) {
    ASSERT_GT(Service().TlsPort(), 0);
    httplib::SSLClient client("localhost", Service().TlsPort());
    client.set_ca_cert_path((tls / "ca.pem").c_str());
    client.enable_server_certificate_verification(true);
    auto res = client.Get("/fallback/config.json");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->body, R"({"head":"https://localhost:)" + std::to_string(Service().TlsPort()) + "\"}");
    EXPECT_NE(Client().Get("/test/log")->body.find("/fallback/config.json"), std::string::npos);

    httplib::SSLClient stranger("127.0.0.1", Service().TlsPort());  // not the name the certificate holds
    stranger.set_ca_cert_path((tls / "ca.pem").c_str());
    stranger.enable_server_certificate_verification(true);
    EXPECT_FALSE(stranger.Get("/helper/ping"));
}

}  // namespace
