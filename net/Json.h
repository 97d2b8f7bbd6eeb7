// The one way the program reads JSON. jsoncpp throws when a value is read as
// the wrong kind (a member of a string, asInt() of "abc"), and nothing may
// throw between components, so every read goes through these accessors:
// a value of the wrong shape reads as null, "", 0, false or an empty array.
//
//   const Json::Value& items = json::At(body, {"data", "list"});
//   for (const Json::Value& item : json::Elements(items))
//       Use(json::String(json::Member(item, "url")), json::Int(json::Member(item, "id")));
#pragma once
#include <json/json.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace json {

// Parses UTF-8 JSON, comments allowed. False when text is not JSON; out then
// holds what was read before the fault (null when nothing was).
// A document of more than kMaxValues values is not read at all (false, null):
// the reader spends about a microsecond per value under Wine, and the window
// that parses an answer must not stop for long whatever its shape.
constexpr size_t kMaxValues = 500000;
bool Parse(std::string_view text, Json::Value& out);
// The document, or null when text is not JSON.
Json::Value Parse(std::string_view text);

// The member key of an object; a shared null when v is not an object or lacks it.
const Json::Value& Member(const Json::Value& v, std::string_view key);
bool Has(const Json::Value& v, std::string_view key);
// Element index of an array; a shared null when v is not an array or too short.
const Json::Value& Element(const Json::Value& v, int index);
// v itself when it is an array, otherwise an empty array: safe to iterate.
const Json::Value& Elements(const Json::Value& v);

// One step of a path: a member name or an array index.
class Step {
public:
    Step(const char* key) : key_(key ? key : "") {}
    Step(const std::string& key) : key_(key) {}
    Step(int index) : index_(index), isIndex_(true) {}
    const Json::Value& From(const Json::Value& v) const;

private:
    std::string_view key_;
    int index_ = 0;
    bool isIndex_ = false;
};
// Follows a path such as {"data", 0, "url"}; null as soon as a step misses.
const Json::Value& At(const Json::Value& v, std::initializer_list<Step> path);

// Scalars read only from their own kind; anything else gives the fallback
// (no "12" as 12, no 1 as true).
std::string String(const Json::Value& v, std::string_view fallback = {});
// Numbers within the int range, doubles truncated toward zero; a number out
// of range gives the fallback too.
int Int(const Json::Value& v, int fallback = 0);
bool Bool(const Json::Value& v, bool fallback = false);

// The compact form: the whole document on one line and a line feed.
std::string Compact(const Json::Value& v);

}  // namespace json
