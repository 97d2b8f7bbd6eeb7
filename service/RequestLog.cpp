#include "RequestLog.h"

void RequestLog::Add(const std::string& method, const std::string& path, const QueryList& query) {
    std::lock_guard lock(mutex_);
    entries_.push_back({method, path, query});
    if (entries_.size() > kMaxEntries) entries_.pop_front();
}

void RequestLog::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

Json::Value RequestLog::ToJson() const {
    std::lock_guard lock(mutex_);
    Json::Value list(Json::arrayValue);
    for (const auto& entry : entries_) {
        Json::Value item;
        item["method"] = entry.method;
        item["path"] = entry.path;
        item["query"] = Json::arrayValue;
        for (const auto& [key, value] : entry.query) {
            Json::Value pair(Json::arrayValue);
            pair.append(key);
            pair.append(value);
            item["query"].append(pair);
        }
        list.append(item);
    }
    return list;
}
