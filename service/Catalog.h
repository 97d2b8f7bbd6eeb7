// The catalogue kept as files in the repository: the configuration document,
// the solution rows, which download files exist and how big, the fault
// documents and the web pages. URLs in it say "{base}", replaced per request.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Catalog {
public:
    static constexpr const char* kBase = "{base}";

    // Throws std::runtime_error when a file is missing or malformed.
    explicit Catalog(const std::filesystem::path& dir);

    Json::Value Config(const std::string& base) const;
    // The rows for a version and plugin; an empty array for unknown pairs.
    Json::Value Solutions(int64_t versionId, int64_t pluginId, const std::string& base) const;
    std::optional<std::string> Page(const std::string& name, const std::string& base) const;
    // Documents served by the "notjson" and "wrongshape*" faults.
    const Json::Value& FaultDocuments() const { return faults_; }

    struct DownloadFile {
        std::string name;  // as the service decodes it from the URL path
        std::optional<uint64_t> size;  // none: the generator's default
    };
    // Every file a "{base}/files/..." URL names, except the ones meant to be missing.
    std::vector<DownloadFile> DownloadFiles() const;

private:
    void LoadSolutions(const Json::Value& doc);
    void LoadPages(const std::filesystem::path& dir);
    void CollectFileNames(const Json::Value& value, std::vector<std::string>& names) const;

    Json::Value config_;
    std::map<std::pair<int64_t, int64_t>, Json::Value> solutions_;
    Json::Value files_;
    Json::Value faults_;
    std::map<std::string, std::string> pages_;
};
