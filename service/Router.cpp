#include "Router.h"

void Router::Add(const std::string& method, const std::string& pattern, Route route) {
    entries_.push_back({method, pattern, std::move(route)});
}

bool Router::Match(const std::string& pattern, const std::string& path, std::vector<std::string>& captures) {
    captures.clear();
    if (pattern.empty() || pattern.back() != '*') return pattern == path;
    const size_t prefix = pattern.size() - 1;
    if (path.size() <= prefix || path.compare(0, prefix, pattern, 0, prefix) != 0) return false;
    captures.push_back(path.substr(prefix));
    return true;
}

Reply Router::Dispatch(Call& call) const {
    const std::string method = call.method == "HEAD" ? "GET" : call.method;
    std::string allowed;
    for (const auto& entry : entries_) {
        if (!Match(entry.pattern, call.path, call.captures)) continue;
        if (entry.method == method) return entry.route(call);
        allowed += (allowed.empty() ? "" : ", ") + entry.method;
    }
    if (allowed.empty()) return Reply::Error(404, "no such path: " + call.path);
    Reply reply = Reply::Error(405, call.method + " is not allowed here");
    reply.headers.emplace_back("Allow", allowed);
    return reply;
}
