#include "net/Json.h"

#include <climits>
#include <exception>

namespace json {

namespace {

const Json::Value& Null() {
    static const Json::Value null;
    return null;
}

const Json::Value& EmptyArray() {
    static const Json::Value empty(Json::arrayValue);
    return empty;
}

// Values start after "," or at "[" and "{" outside strings; a comment's
// commas count too, which only errs on the safe side.
bool HasTooManyValues(std::string_view text) {
    size_t values = 1;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if ((c == ',' || c == '[' || c == '{') && ++values > kMaxValues) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool Parse(std::string_view text, Json::Value& out) {
    out = Json::Value();
    if (HasTooManyValues(text)) return false;
    try {
        // The reader throws on nesting deeper than its stack limit.
        Json::Reader reader(Json::Features::all());
        return reader.parse(text.data(), text.data() + text.size(), out, false);
    } catch (const std::exception&) {
        out = Json::Value();
        return false;
    }
}

Json::Value Parse(std::string_view text) {
    Json::Value value;
    if (!Parse(text, value)) return Json::Value();
    return value;
}

const Json::Value& Member(const Json::Value& v, std::string_view key) {
    if (!v.isObject()) return Null();
    const Json::Value* found = v.find(key.data(), key.data() + key.size());
    return found ? *found : Null();
}

bool Has(const Json::Value& v, std::string_view key) {
    return v.isObject() && v.find(key.data(), key.data() + key.size()) != nullptr;
}

const Json::Value& Element(const Json::Value& v, int index) {
    if (!v.isArray() || index < 0 || Json::ArrayIndex(index) >= v.size()) return Null();
    return v[Json::ArrayIndex(index)];
}

const Json::Value& Elements(const Json::Value& v) { return v.isArray() ? v : EmptyArray(); }

const Json::Value& Step::From(const Json::Value& v) const {
    return isIndex_ ? Element(v, index_) : Member(v, key_);
}

const Json::Value& At(const Json::Value& v, std::initializer_list<Step> path) {
    const Json::Value* at = &v;
    for (const Step& step : path) at = &step.From(*at);
    return *at;
}

std::string String(const Json::Value& v, std::string_view fallback) {
    return v.isString() ? v.asString() : std::string(fallback);
}

int Int(const Json::Value& v, int fallback) {
    switch (v.type()) {
    case Json::intValue:
    case Json::uintValue:
        return v.isInt() ? v.asInt() : fallback;
    case Json::realValue: {
        double d = v.asDouble();  // NaN fails both comparisons
        return d > double(INT_MIN) - 1 && d < double(INT_MAX) + 1 ? int(d) : fallback;
    }
    default:
        return fallback;
    }
}

bool Bool(const Json::Value& v, bool fallback) { return v.isBool() ? v.asBool() : fallback; }

std::string Compact(const Json::Value& v) {
    Json::FastWriter writer;
    return writer.write(v);
}

}  // namespace json
