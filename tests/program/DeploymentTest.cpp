// The built-in addresses: each is the cache variable's value, and in a build
// with VANTORO_ENV_OVERRIDES its environment variable replaces it while set.
// Compiled twice: into program_tests as this build takes the addresses, and
// into deployment_shipped_tests as a shipped build does, which must ignore
// whatever the environment says.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "net/Deployment.h"
#include "platform/Text.h"

namespace {

constexpr bool kOverrides = VANTORO_ENV_OVERRIDES;

struct Constant {
    const wchar_t* variable;
    const char* builtIn;  // as the build was configured
    std::function<std::wstring()> read;
};

std::vector<Constant> Constants() {
    return {
        {L"VANTORO_SERVICE_URL", VANTORO_SERVICE_URL, [] { return Utf8ToWide(deployment::ServiceUrl()); }},
        {L"VANTORO_FALLBACK_URL", VANTORO_FALLBACK_URL, [] { return Utf8ToWide(deployment::FallbackUrl()); }},
        {L"VANTORO_CHAT_URL", VANTORO_CHAT_URL, [] { return deployment::ChatUrl(); }},
        {L"VANTORO_QQ", VANTORO_QQ, [] { return deployment::QqNumber(); }},
        {L"VANTORO_DUMPER_API_URL", VANTORO_DUMPER_API_URL, [] { return Utf8ToWide(deployment::DumperApiUrl()); }},
        {L"VANTORO_SYMBOL_SERVER", VANTORO_SYMBOL_SERVER, [] { return deployment::SymbolServer(); }},
    };
}

}  // namespace

TEST(Deployment, UnsetOrEmptyVariablesGiveTheBuiltInValues) {
    for (const Constant& c : Constants()) {
        SCOPED_TRACE(WideToUtf8(c.variable));
        SetEnvironmentVariableW(c.variable, nullptr);
        EXPECT_EQ(c.read(), Utf8ToWide(c.builtIn));
        SetEnvironmentVariableW(c.variable, L"");
        EXPECT_EQ(c.read(), Utf8ToWide(c.builtIn));
        SetEnvironmentVariableW(c.variable, nullptr);
    }
}

TEST(Deployment, EachVariableOverridesItsOwnValueOnlyWhereTheBuildTakesOverrides) {
    for (const Constant& c : Constants()) {
        SCOPED_TRACE(WideToUtf8(c.variable));
        const std::wstring value = std::wstring(L"http://staging.example:8080/") + c.variable + L"?q=工具";
        SetEnvironmentVariableW(c.variable, value.c_str());
        for (const Constant& other : Constants())
            EXPECT_EQ(other.read(), kOverrides && other.variable == c.variable ? value : Utf8ToWide(other.builtIn));
        SetEnvironmentVariableW(c.variable, nullptr);
    }
}

TEST(Deployment, LongValuesArriveWhole) {
    std::wstring value = L"http://127.0.0.1:18080/" + std::wstring(5000, L'a');
    SetEnvironmentVariableW(L"VANTORO_CHAT_URL", value.c_str());
    EXPECT_EQ(deployment::ChatUrl(), kOverrides ? value : Utf8ToWide(VANTORO_CHAT_URL));
    SetEnvironmentVariableW(L"VANTORO_CHAT_URL", nullptr);
}
