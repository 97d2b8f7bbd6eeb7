#include "Faults.h"

#include <set>
#include <stdexcept>

#include "Url.h"

namespace {

int IntMember(const Json::Value& doc, const char* key, int min, int max) {
    const Json::Value& value = doc[key];
    if (value.isNull()) return 0;
    if (!value.isInt() || value.asInt() < min || value.asInt() > max)
        throw std::invalid_argument(std::string("\"") + key + "\" must be an integer from " + std::to_string(min) +
                                    " to " + std::to_string(max));
    return value.asInt();
}

}  // namespace

Fault Fault::FromJson(const Json::Value& doc) {
    static const std::set<std::string> kBodies = {"stall", "drop", "notjson", "wrongshape", "wrongshape-array",
                                                  "wrongshape-deep"};
    if (!doc.isObject()) throw std::invalid_argument("a fault is a JSON object");
    Fault fault;
    if (!doc["path"].isString() || doc["path"].asString().rfind('/', 0) != 0)
        throw std::invalid_argument("\"path\" must be a string starting with /");
    // Decoded, as request paths are; an encoded path names the same thing.
    fault.path = Url::Decode(doc["path"].asString(), false);
    if (fault.path.rfind("/test/", 0) == 0) throw std::invalid_argument("the /test/ channel cannot be faulted");
    if (doc.isMember("status")) fault.status = IntMember(doc, "status", 100, 599);
    fault.delayMs = IntMember(doc, "delay_ms", 0, 600000);
    fault.rate = IntMember(doc, "rate", 0, 1 << 30);
    fault.pad = IntMember(doc, "pad", 0, 1 << 30);
    if (!doc["location"].isNull()) {
        const Json::Value& location = doc["location"];
        if (!location.isString() || (location.asString().rfind("http://", 0) != 0 &&
                                     location.asString().rfind("https://", 0) != 0))
            throw std::invalid_argument("\"location\" must be an http:// or https:// address");
        fault.location = location.asString();
    }
    if (!doc["body"].isNull()) {
        if (!doc["body"].isString() || !kBodies.count(doc["body"].asString()))
            throw std::invalid_argument("unknown \"body\"; use stall, drop, notjson or wrongshape[-array|-deep]");
        fault.body = doc["body"].asString();
    }
    if (!doc["once"].isNull() && !doc["once"].isBool()) throw std::invalid_argument("\"once\" must be true or false");
    fault.once = doc["once"].asBool();
    return fault;
}

void Faults::Set(const Fault& fault) {
    std::lock_guard lock(mutex_);
    byPath_[fault.path] = fault;
}

void Faults::Clear() {
    std::lock_guard lock(mutex_);
    byPath_.clear();
}

std::optional<Fault> Faults::Take(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto found = byPath_.find(path);
    if (found == byPath_.end()) return std::nullopt;
    Fault fault = found->second;
    if (fault.once) byPath_.erase(found);
    return fault;
}
