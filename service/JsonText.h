// JSON in and out: compact UTF-8 text (Chinese stays readable, no \u escapes),
// strict parsing, and loading catalogue files.
#pragma once

#include <json/json.h>

#include <filesystem>
#include <optional>
#include <string>

class JsonText {
public:
    static std::string Write(const Json::Value& value);
    // Nothing on malformed text; error says why.
    static std::optional<Json::Value> Parse(const std::string& text, std::string* error = nullptr);
    // Throws std::runtime_error naming the file.
    static Json::Value Load(const std::filesystem::path& file);
    static std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
    // Every string in the tree with each `from` replaced by `to`.
    static void ReplaceInStrings(Json::Value& value, const std::string& from, const std::string& to);
};
