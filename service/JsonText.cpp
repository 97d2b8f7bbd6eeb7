#include "JsonText.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

std::string JsonText::Write(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

std::optional<Json::Value> JsonText::Parse(const std::string& text, std::string* error) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["allowSpecialFloats"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string why;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &why)) {
        if (error) *error = why;
        return std::nullopt;
    }
    return value;
}

Json::Value JsonText::Load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    auto value = Parse(text.str(), &why);
    if (!value) throw std::runtime_error(file.string() + ": " + why);
    return *value;
}

std::string JsonText::ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void JsonText::ReplaceInStrings(Json::Value& value, const std::string& from, const std::string& to) {
    if (value.isString()) {
        value = ReplaceAll(value.asString(), from, to);
    } else if (value.isArray() || value.isObject()) {
        for (auto& child : value) ReplaceInStrings(child, from, to);
    }
}
