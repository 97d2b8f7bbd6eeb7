#include "SymbolStore.h"

#include <cstdio>

#include "ChildProcess.h"
#include "FileSource.h"
#include "JsonText.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool IsFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// One address's entry of llvm-symbolizer's JSON: its "Symbol" list.
std::vector<SymbolStore::Source> SourcesOf(const Json::Value& entry) {
    std::vector<SymbolStore::Source> sources;
    const Json::Value& symbols = entry["Symbol"];
    if (!symbols.isArray()) return sources;
    for (const Json::Value& s : symbols) {
        if (!s.isObject()) continue;
        SymbolStore::Source source;
        source.function = s["FunctionName"].isString() ? s["FunctionName"].asString() : "";
        source.file = s["FileName"].isString() ? s["FileName"].asString() : "";
        source.line = s["Line"].isInt() ? s["Line"].asInt() : 0;
        if (source.function.empty() || source.function == "??") continue;
        sources.push_back(std::move(source));
    }
    return sources;
}

}  // namespace

void SymbolStore::AddTo(Router& router) {
    router.Add("GET", "/symbols/*", [this](const Call& call) { return Serve(call.captures.at(0)); });
}

bool SymbolStore::IsBuildId(const std::string& text) {
    if (text.size() < 33 || text.size() > 40) return false;
    return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

std::filesystem::path SymbolStore::ProgramPath(const std::string& module, const std::string& buildId) const {
    if (!Enabled() || !FileSource::IsSafeName(module) || !IsBuildId(buildId)) return {};
    return dir_ / module / buildId / module;
}

bool SymbolStore::Knows(const std::string& module) const {
    std::error_code error;
    return Enabled() && FileSource::IsSafeName(module) && std::filesystem::is_directory(dir_ / module, error);
}

bool SymbolStore::Has(const std::string& module, const std::string& buildId) const {
    const auto path = ProgramPath(module, buildId);
    return !path.empty() && IsFile(path) && IsFile(path.string() + ".debug");
}

std::optional<SymbolStore::Frames> SymbolStore::Resolve(const std::string& module, const std::string& buildId,
                                                        const std::vector<uint64_t>& offsets,
                                                        std::string* why) const {
    auto fail = [why](const std::string& reason) -> std::optional<Frames> {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (!Has(module, buildId)) return fail("not in the symbol store");
    if (offsets.empty()) return Frames{};
    // Every argument is made here: the module's path from checked names, the
    // offsets as numbers.
    std::vector<std::string> argv{symbolizer_, "--obj=" + ProgramPath(module, buildId).string(),
                                  "--relative-address", "--inlining", "--demangle", "--output-style=JSON"};
    const size_t count = std::min(offsets.size(), kMaxOffsets);
    for (size_t i = 0; i < count; ++i) argv.push_back(Hex(offsets[i]));
    const ChildProcess run = ChildProcess::Run(argv, std::chrono::milliseconds(kLimitMs), kMaxOutput);
    if (!run.ok) return fail("the symbolizer " + run.why);
    const auto doc = JsonText::Parse(run.output);
    if (!doc || !doc->isArray()) return fail("the symbolizer's output is not a list");
    Frames frames(offsets.size());
    for (Json::ArrayIndex i = 0; i < doc->size() && i < count; ++i) frames[i] = SourcesOf((*doc)[i]);
    return frames;
}

Reply SymbolStore::Serve(const std::string& rest) const {
    const std::vector<std::string> parts = Split(rest, '/');
    if (!Enabled()) return Reply::Error(404, "no symbol store");
    if (parts.size() != 3 || !FileSource::IsSafeName(parts[0]) || !IsBuildId(parts[1]))
        return Reply::Error(400, "bad symbol path");
    auto file = FileSource::Open(dir_ / parts[0] / parts[1], parts[2]);
    if (!file) return Reply::Error(404, "not in the symbol store: " + rest);
    return Reply::Stream(std::move(file));
}
