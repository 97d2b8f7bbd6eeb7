#include "Catalog.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "FileSource.h"
#include "JsonText.h"
#include "Url.h"

namespace {

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error("catalogue: " + what);
}

void CheckRow(const Json::Value& row) {
    Require(row.isObject(), "a solution row is not an object");
    for (const char* key : {"name", "url", "msg", "type"})
        Require(row[key].isString(), std::string("a solution row lacks a string \"") + key + "\"");
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

Catalog::Catalog(const std::filesystem::path& dir) {
    config_ = JsonText::Load(dir / "config.json");
    Require(config_.isObject() && config_["data"].isObject(), "config.json has no \"data\" object");
    LoadSolutions(JsonText::Load(dir / "solutions.json"));
    files_ = JsonText::Load(dir / "files.json");
    Require(files_.isObject(), "files.json is not an object");
    faults_ = JsonText::Load(dir / "faults.json");
    Require(faults_.isObject(), "faults.json is not an object");
    LoadPages(dir / "pages");
}

void Catalog::LoadSolutions(const Json::Value& doc) {
    Require(doc["solutions"].isArray(), "solutions.json has no \"solutions\" array");
    for (const auto& entry : doc["solutions"]) {
        Require(entry["versionid"].isInt64() && entry["pluginid"].isInt64() && entry["rows"].isArray(),
                "a solution needs integer versionid, pluginid and a rows array");
        for (const auto& row : entry["rows"]) CheckRow(row);
        solutions_[{entry["versionid"].asInt64(), entry["pluginid"].asInt64()}] = entry["rows"];
    }
}

void Catalog::LoadPages(const std::filesystem::path& dir) {
    Require(std::filesystem::is_directory(dir), "no pages folder at " + dir.string());
    for (const auto& item : std::filesystem::directory_iterator(dir))
        if (item.is_regular_file() && item.path().extension() == ".html")
            pages_[item.path().filename().string()] = ReadText(item.path());
}

Json::Value Catalog::Config(const std::string& base) const {
    Json::Value doc = config_;
    JsonText::ReplaceInStrings(doc, kBase, base);
    return doc;
}

Json::Value Catalog::Solutions(int64_t versionId, int64_t pluginId, const std::string& base) const {
    const auto found = solutions_.find({versionId, pluginId});
    Json::Value rows = found == solutions_.end() ? Json::Value(Json::arrayValue) : found->second;
    JsonText::ReplaceInStrings(rows, kBase, base);
    return rows;
}

std::optional<std::string> Catalog::Page(const std::string& name, const std::string& base) const {
    const auto found = pages_.find(name);
    if (found == pages_.end()) return std::nullopt;
    return JsonText::ReplaceAll(found->second, kBase, base);
}

void Catalog::CollectFileNames(const Json::Value& value, std::vector<std::string>& names) const {
    static const std::string prefix = std::string(kBase) + "/files/";
    if (value.isArray() || value.isObject()) {
        for (const auto& child : value) CollectFileNames(child, names);
        return;
    }
    if (!value.isString() || value.asString().rfind(prefix, 0) != 0) return;
    std::string rest = value.asString().substr(prefix.size());
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::string name = Url::Decode(rest, false);
    Require(FileSource::IsSafeName(name), "unusable download file name '" + name + "'");
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

std::vector<Catalog::DownloadFile> Catalog::DownloadFiles() const {
    std::vector<std::string> names;
    CollectFileNames(config_, names);
    for (const auto& [key, rows] : solutions_) CollectFileNames(rows, names);
    std::vector<DownloadFile> files;
    for (const auto& name : names) {
        bool absent = false;
        for (const auto& skip : files_["absent"]) absent = absent || skip.asString() == name;
        if (absent) continue;
        const Json::Value& size = files_["sizes"][name];
        files.push_back({name, size.isUInt64() ? std::optional<uint64_t>(size.asUInt64()) : std::nullopt});
    }
    return files;
}
