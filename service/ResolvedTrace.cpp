#include "ResolvedTrace.h"

#include <map>
#include <regex>
#include <sstream>

namespace {

struct Frame {
    std::string number;
    std::string module;
    uint64_t offset = 0;
    std::string reported;    // what Dumper wrote after the module
    std::string parameters;  // "a = 1, b = ..." when Dumper found them
};

struct Trace {
    std::map<std::string, std::string> buildIds;  // module name -> build id
    std::vector<Frame> frames;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithLine(const std::string& text) {
    const size_t colon = text.rfind(':');
    return colon != std::string::npos && colon + 1 < text.size() &&
           text.find_first_not_of("0123456789", colon + 1) == std::string::npos;
}

// "Name (parameters) at file:line" -> parameters; "" when there are none.
// Read by hand: the values are the crashed program's strings.
std::string ParametersOf(const std::string& reported) {
    std::string head = reported;
    const size_t at = head.rfind(" at ");
    if (at != std::string::npos && EndsWithLine(head.substr(at + 4))) head.resize(at);
    const size_t open = head.find(" (");
    if (open == std::string::npos || head.empty() || head.back() != ')') return "";
    return head.substr(open + 2, head.size() - open - 3);
}

// ">NN: 0x<address> [<module>+0x<offset>] <reported>"
bool ParseFrame(const std::string& line, Frame& f) {
    const size_t colon = line.find(": 0x");
    const size_t open = line.find(" [");
    const size_t close = open == std::string::npos ? open : line.find(']', open);
    if (line.empty() || line[0] != '>' || colon == std::string::npos || close == std::string::npos ||
        colon < 2 || colon > 6 || line.find_first_not_of("0123456789", 1) != colon)
        return false;
    const std::string inside = line.substr(open + 2, close - open - 2);
    const size_t plus = inside.rfind("+0x");
    if (plus == std::string::npos || plus == 0 || plus + 3 >= inside.size() || plus + 3 + 16 < inside.size() ||
        inside.find_first_not_of("0123456789ABCDEF", plus + 3) != std::string::npos)
        return false;
    f.number = line.substr(1, colon - 1);
    f.module = inside.substr(0, plus);
    f.offset = std::stoull(inside.substr(plus + 3), nullptr, 16);
    f.reported = close + 2 < line.size() ? line.substr(close + 2) : "";
    f.parameters = ParametersOf(f.reported);
    return true;
}

Trace Parse(const std::string& log) {
    static const std::regex module(R"(^0x[0-9A-F]+ 0x[0-9A-F]+ \S+ (\S+) (.+)$)");
    Trace trace;
    std::istringstream lines(log);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Frame f;
        if (ParseFrame(line, f)) {
            trace.frames.push_back(std::move(f));
        } else if (line.size() < 1024 && std::regex_match(line, m, module) && m[1].str() != "-") {
            trace.buildIds.emplace(BaseName(m[2].str()), m[1].str());
        }
    }
    return trace;
}

std::string Where(const SymbolStore::Source& s) {
    std::string where;
    if (s.file.empty()) return where;
    where.append(" at ").append(s.file);
    if (s.line > 0) where.append(":").append(std::to_string(s.line));
    return where;
}

void AppendResolved(std::string& out, const Frame& f, const std::vector<SymbolStore::Source>& sources) {
    char offset[24];
    std::snprintf(offset, sizeof offset, "0x%llX", static_cast<unsigned long long>(f.offset));
    const std::string head = ">" + f.number + ": " + f.module + "+" + offset + " ";
    if (sources.empty()) {
        out += head + (f.reported.empty() ? "?" : f.reported) + "\n";
        return;
    }
    const SymbolStore::Source& function = sources.back();
    out += head + function.function + Where(sources.front()) + "\n";
    // The call each inlined body came from, innermost first.
    for (size_t i = 0; i + 1 < sources.size(); ++i)
        out += "      inlined " + sources[i].function + ", called at " +
               (Where(sources[i + 1]).empty() ? "?" : Where(sources[i + 1]).substr(4)) + "\n";
    if (!f.parameters.empty()) out += "      " + f.parameters + "\n";
}

}  // namespace

ResolvedTrace ResolvedTrace::Resolve(const std::string& log, const SymbolStore& store) {
    ResolvedTrace result;
    const Trace trace = Parse(log);
    if (!store.Enabled()) result.notes.push_back("No symbol store is configured: every frame is shown as reported.");
    // Each module's offsets, resolved in one run.
    std::map<std::string, std::vector<uint64_t>> offsets;
    for (const Frame& f : trace.frames) offsets[f.module].push_back(f.offset);
    std::map<std::string, SymbolStore::Frames> resolved;
    for (const auto& [module, list] : offsets) {
        const auto id = trace.buildIds.find(module);
        const bool faulting = !trace.frames.empty() && trace.frames.front().module == module;
        if (!store.Enabled() || id == trace.buildIds.end()) continue;
        std::string why;
        if (auto frames = store.Resolve(module, id->second, list, &why)) {
            resolved[module] = std::move(*frames);
        } else if (store.Knows(module) || faulting) {
            result.notes.push_back(module + " build " + id->second + " is " +
                                   (store.Has(module, id->second) ? "stored, but " + why : why) +
                                   ": its frames are shown as reported.");
        }
    }
    std::map<std::string, size_t> next;
    for (const Frame& f : trace.frames) {
        const auto found = resolved.find(f.module);
        const size_t at = next[f.module]++;
        const bool known = found != resolved.end() && at < found->second.size() && !found->second[at].empty();
        AppendResolved(result.text, f, known ? found->second[at] : std::vector<SymbolStore::Source>{});
        result.resolved += known;
    }
    return result;
}
