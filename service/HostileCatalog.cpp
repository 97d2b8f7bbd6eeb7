#include "HostileCatalog.h"

#include <stdexcept>

#include "Catalog.h"
#include "JsonText.h"

HostileCatalog::HostileCatalog(const std::filesystem::path& dir) : documents_(JsonText::Load(dir / "hostile.json")) {
    if (!documents_["config"].isObject() || !documents_["solution"].isObject() ||
        !documents_["solution"]["names"]["data"].isArray() || documents_["solution"]["names"]["data"].empty())
        throw std::runtime_error("catalogue: hostile.json needs \"config\" and \"solution\" objects and solution names");
}

std::string HostileCatalog::Select(const Json::Value& selection) {
    if (!selection.isObject()) return "a catalogue selection is a JSON object";
    std::string names[2];
    const char* kinds[2] = {"config", "solution"};
    for (int i = 0; i < 2; ++i) {
        const Json::Value& name = selection[kinds[i]];
        if (name.isNull()) continue;
        if (!name.isString() || (name.asString() != "huge" && !documents_[kinds[i]].isMember(name.asString())))
            return std::string("unknown \"") + kinds[i] + "\" document";
        names[i] = name.asString();
    }
    std::lock_guard lock(mutex_);
    config_ = names[0];
    solution_ = names[1];
    return {};
}

void HostileCatalog::Reset() {
    std::lock_guard lock(mutex_);
    config_.clear();
    solution_.clear();
}

std::optional<Json::Value> HostileCatalog::Config(const std::string& base) const { return Selected("config", base); }
std::optional<Json::Value> HostileCatalog::Solution(const std::string& base) const {
    return Selected("solution", base);
}

std::optional<Json::Value> HostileCatalog::Selected(const std::string& kind, const std::string& base) const {
    std::string name;
    {
        std::lock_guard lock(mutex_);
        name = kind == "config" ? config_ : solution_;
    }
    if (name.empty()) return std::nullopt;
    Json::Value doc = name == "huge" ? Huge(kind) : documents_[kind][name];
    JsonText::ReplaceInStrings(doc, Catalog::kBase, base);
    return doc;
}

// Many copies of one good item: a client must cope without showing them all.
Json::Value HostileCatalog::Huge(const std::string& kind) const {
    Json::Value doc;
    doc["code"] = 0;
    if (kind == "solution") {
        const Json::Value& row = documents_["solution"]["names"]["data"][0];
        Json::Value& rows = doc["data"] = Json::Value(Json::arrayValue);
        for (int i = 0; i < kHugeCount; ++i) rows.append(row);
        return doc;
    }
    Json::Value& versions = doc["data"]["version"] = Json::Value(Json::arrayValue);
    for (int i = 0; i < kHugeCount; ++i) {
        Json::Value version;
        version["subType"] = "ccleaner";
        version["product"] = "版本 " + std::to_string(i);
        version["id"] = 100000 + i;
        versions.append(version);
    }
    doc["data"]["title"]["ccleaner"] = "C盘清理";
    return doc;
}
