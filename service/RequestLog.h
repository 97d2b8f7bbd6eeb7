// Every request the service received (the /test/ channel excepted), in order,
// so tests can check what a client asked and how.
#pragma once

#include <json/json.h>

#include <deque>
#include <mutex>
#include <string>

#include "Url.h"

class RequestLog {
public:
    // Oldest entries go beyond this, so a long benchmark cannot eat memory.
    static constexpr size_t kMaxEntries = 100000;

    void Add(const std::string& method, const std::string& path, const QueryList& query);
    void Clear();
    // [{"method":..,"path":..,"query":[["k","v"],..]},..]
    Json::Value ToJson() const;

private:
    struct Entry {
        std::string method;
        std::string path;
        QueryList query;
    };
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
};
