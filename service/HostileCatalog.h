// The catalogue turned against the programs, for their tests: replies of the
// wrong shape and rows whose addresses end in hostile file names. Kept in
// catalog/hostile.json; nothing of it is served until a test selects it:
//   POST /test/catalog {"config": "<name>", "solution": "<name>"}  (either key)
//   DELETE /test/catalog                                           the real catalogue again
// The name "huge" in either place is a generated reply with kHugeCount items.
// Every address "{base}/hostile/<anything>" answers a few bytes.
#pragma once

#include <json/json.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

class HostileCatalog {
public:
    static constexpr int kHugeCount = 50000;

    // Throws std::runtime_error when the file is missing or malformed.
    explicit HostileCatalog(const std::filesystem::path& dir);

    // Empty when done, else what is wrong with the selection.
    std::string Select(const Json::Value& selection);
    void Reset();
    // The selected reply for /helper/config or /helper/solution, if any.
    std::optional<Json::Value> Config(const std::string& base) const;
    std::optional<Json::Value> Solution(const std::string& base) const;

private:
    std::optional<Json::Value> Selected(const std::string& kind, const std::string& base) const;
    Json::Value Huge(const std::string& kind) const;

    Json::Value documents_;  // {"config": {name: reply}, "solution": {name: reply}}
    mutable std::mutex mutex_;
    std::string config_, solution_;  // selected names; empty: the real catalogue
};
