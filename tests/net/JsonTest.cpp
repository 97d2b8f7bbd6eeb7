// Reading JSON of every shape the service might send: nothing throws, and a
// value of the wrong kind reads as null, "", 0, false or an empty array.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "net/Json.h"

namespace {

// Every kind a value can have, so each accessor meets each one.
const char* const kEveryKind[] = {"null", "\"text\"", "7", "-7", "3.5", "true", "[]", "[1,2]", "{}", "{\"k\":1}"};

}  // namespace

TEST(JsonParse, BodiesThatAreNotJsonReadAsNull) {
    for (const char* text : {"", "   ", "<html>oops", "{", "{\"data\":[1,2", "[1,]x", "nul", "\xff\xfe"}) {
        SCOPED_TRACE(text);
        Json::Value v = json::Parse(text);
        EXPECT_TRUE(v.isNull());
        EXPECT_TRUE(json::Member(v, "data").isNull());
        EXPECT_EQ(0u, json::Elements(json::Member(v, "data")).size());
    }
}

TEST(JsonParse, DeepNestingFailsInsteadOfThrowing) {
    std::string deep(5000, '[');
    Json::Value out;
    EXPECT_FALSE(json::Parse(deep + std::string(5000, ']'), out));
    EXPECT_TRUE(out.isNull());
    EXPECT_TRUE(json::Parse(std::string(100000, '{')).isNull());
}

TEST(JsonParse, DocumentsOfTooManyValuesAreNotReadWhateverTheirShape) {
    auto array = [](const std::string& item, size_t count) {
        std::string text = "[" + item;
        for (size_t i = 1; i < count; ++i) text += "," + item;
        return text + "]";
    };
    EXPECT_TRUE(json::Parse(array("0", json::kMaxValues - 1)).isArray());
    EXPECT_TRUE(json::Parse(array("0", json::kMaxValues)).isNull());
    EXPECT_TRUE(json::Parse(array("[]", json::kMaxValues / 2)).isNull());
    // Commas inside strings are text, not values.
    EXPECT_TRUE(json::Parse(array("\"a,b,\\\",{[\"", json::kMaxValues / 4)).isArray());
}

TEST(JsonParse, AcceptsCommentsAndKeepsUtf8) {
    Json::Value v = json::Parse("// header\n{\"title\": /* inline */ \"C盘清理\", \"id\": 201}\n");
    EXPECT_EQ("C盘清理", json::String(json::Member(v, "title")));
    EXPECT_EQ(201, json::Int(json::Member(v, "id")));
}

TEST(JsonParse, FailedParseKeepsWhatWasReadWhenAskedFor) {
    Json::Value out;
    EXPECT_FALSE(json::Parse("{\"loginInfo\":{\"u\":\"a\"},\"cache\":", out));
    EXPECT_EQ("a", json::String(json::At(out, {"loginInfo", "u"})));
    EXPECT_TRUE(json::Parse("[1, 2]", out));
    EXPECT_EQ(2u, out.size());
}

TEST(JsonAccess, MembersOfNonObjectsAreNull) {
    for (const char* text : kEveryKind) {
        SCOPED_TRACE(text);
        Json::Value v = json::Parse(text);
        bool isObjectWithK = std::string(text) == "{\"k\":1}";
        EXPECT_EQ(isObjectWithK, json::Has(v, "k"));
        EXPECT_EQ(isObjectWithK ? 1 : 0, json::Int(json::Member(v, "k")));
        EXPECT_TRUE(json::Member(v, "data").isNull());
        EXPECT_FALSE(json::Has(v, "data"));
    }
}

TEST(JsonAccess, ElementsAreEmptyUnlessAnArray) {
    for (const char* text : kEveryKind) {
        SCOPED_TRACE(text);
        Json::Value v = json::Parse(text);
        size_t count = 0;
        for (const Json::Value& e : json::Elements(v)) count += json::Int(e);
        EXPECT_EQ(std::string(text) == "[1,2]" ? 3u : 0u, count) << "objects do not iterate as members";
        EXPECT_TRUE(json::Element(v, 5).isNull());
        EXPECT_TRUE(json::Element(v, -1).isNull());
    }
    EXPECT_EQ(2, json::Int(json::Element(json::Parse("[1,2]"), 1)));
}

TEST(JsonAccess, PathsStopAtTheFirstWrongShape) {
    Json::Value good = json::Parse(R"({"data":{"title":{"ccleaner":"C盘清理"},"list":[{"url":"u0"},{"url":"u1"}]}})");
    EXPECT_EQ("C盘清理", json::String(json::At(good, {"data", "title", "ccleaner"})));
    EXPECT_EQ("u1", json::String(json::At(good, {"data", "list", 1, "url"})));
    EXPECT_EQ(std::string("u0"), json::String(json::At(good, {std::string("data"), "list", 0, "url"})));
    EXPECT_TRUE(json::At(good, {"data", "list", 2, "url"}).isNull());
    EXPECT_TRUE(json::At(good, {"data", "title", 0}).isNull());
    EXPECT_EQ(&good, &json::At(good, {}));

    for (const char* data : {"\"a string\"", "42", "[\"title\"]", "null", "true", "{\"title\":null}", "{\"title\":[]}"}) {
        SCOPED_TRACE(data);
        Json::Value v = json::Parse(std::string("{\"data\":") + data + "}");
        EXPECT_TRUE(json::At(v, {"data", "title", "ccleaner"}).isNull());
        EXPECT_EQ("", json::String(json::At(v, {"data", "title", "ccleaner"})));
        EXPECT_TRUE(json::At(v, {"data", 0, "url"}).isNull());
    }
}

TEST(JsonAccess, AccessorsNeverCreateMembers) {
    Json::Value v = json::Parse(R"({"a":1})");
    json::Member(v, "b");
    json::At(v, {"c", "d"});
    json::Has(v, "e");
    EXPECT_EQ(1u, v.size());
}

TEST(JsonScalars, StringsAndBoolsOnlyFromTheirOwnKind) {
    for (const char* text : kEveryKind) {
        SCOPED_TRACE(text);
        Json::Value v = json::Parse(text);
        EXPECT_EQ(v.isString() ? "text" : "", json::String(v));
        EXPECT_EQ(v.isString() ? "text" : "fb", json::String(v, "fb"));
        EXPECT_EQ(v.isBool(), json::Bool(v));
        EXPECT_TRUE(json::Bool(v, true));
    }
    EXPECT_FALSE(json::Bool(json::Parse("false"), true));
    EXPECT_FALSE(json::Bool(json::Parse("\"true\"")));
    EXPECT_EQ(std::string("a\0b", 3), json::String(json::Parse(R"("a\u0000b")")));
}

TEST(JsonScalars, IntsOutOfRangeOrOfAnotherKindReadAsFallback) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"0", 0},           {"-7", -7},          {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"2147483648", 0},  {"-2147483649", 0},  {"4294967295", 0},       {"18446744073709551615", 0},
        {"-9223372036854775808", 0},             {"3.7", 3},              {"-3.7", -3},
        {"2147483647.5", INT_MAX},               {"1e30", 0},             {"-1e30", 0},
        {"1e400", 0},       {"\"12\"", 0},       {"\"abc\"", 0},          {"true", 0},
        {"false", 0},       {"null", 0},         {"[1]", 0},              {"{\"a\":1}", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, json::Int(json::Parse(c.text)));
    }
    EXPECT_EQ(-1, json::Int(json::Parse("\"12\""), -1));
    EXPECT_EQ(-1, json::Int(json::Parse("1e30"), -1));
}

TEST(JsonWrite, CompactIsOneLineAndALineFeedThatReadsBack) {
    Json::Value v(Json::objectValue);
    v["user"] = "C:\\Users\\Public\\Documents\\quorvex";
    v["history"] = Json::Value(Json::arrayValue);
    v["name"] = "文件\n二";
    std::string text = json::Compact(v);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ('\n', text.back());
    EXPECT_EQ(std::string::npos, text.substr(0, text.size() - 1).find('\n'));
    EXPECT_EQ(v, json::Parse(text));
}
