#include "ApiRoutes.h"

#include <charconv>
#include <optional>

namespace {

std::optional<int64_t> ParseInteger(const std::optional<std::string>& text) {
    if (!text || text->empty()) return std::nullopt;
    int64_t value = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// Nothing when the name is right, else the error to answer.
std::optional<Reply> CheckName(const Call& call) {
    const auto name = call.Param("name");
    if (!name) return Reply::Error(400, "missing parameter \"name\"");
    if (*name != ApiRoutes::kProductName) return Reply::Error(404, "unknown product name: " + *name);
    return std::nullopt;
}

}  // namespace

void ApiRoutes::AddTo(Router& router) {
    router.Add("GET", "/helper/ping", [](const Call&) {
        Json::Value pong;
        pong["code"] = 0;
        pong["msg"] = "pong";
        return Reply::Json(pong);
    });
    router.Add("GET", "/helper/config", [this](const Call& call) { return Config(call); });
    router.Add("GET", "/helper/solution", [this](const Call& call) { return Solution(call); });
    router.Add("GET", "/fallback/config.json", [this](const Call& call) { return Fallback(call); });
    router.Add("POST", "/api/fixer/client/dump", [this](const Call& call) { return uploads_.Receive(call); });
}

Reply ApiRoutes::Config(const Call& call) const {
    if (auto error = CheckName(call)) return *error;
    if (auto hostile = hostile_.Config(call.base)) return Reply::Json(*hostile);
    return Reply::Json(catalog_.Config(call.base));
}

Reply ApiRoutes::Solution(const Call& call) const {
    if (auto error = CheckName(call)) return *error;
    const auto versionId = ParseInteger(call.Param("versionid"));
    const auto pluginId = ParseInteger(call.Param("pluginid"));
    if (!versionId) return Reply::Error(400, "\"versionid\" must be an integer");
    if (!pluginId) return Reply::Error(400, "\"pluginid\" must be an integer");
    if (auto hostile = hostile_.Solution(call.base)) return Reply::Json(*hostile);
    Json::Value answer;
    answer["code"] = 0;
    answer["data"] = catalog_.Solutions(*versionId, *pluginId, call.base);
    digests_.Annotate(answer["data"], call.base);
    return Reply::Json(answer);
}

Reply ApiRoutes::Fallback(const Call& call) const {
    Json::Value doc;
    doc["head"] = fallbackHead_.empty() ? call.base : fallbackHead_;
    return Reply::Json(doc);
}
