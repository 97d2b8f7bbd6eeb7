// Routes by method and path. A pattern is an exact path, or a prefix ending
// in "*" that captures the (non-empty) rest. Tells a path nobody serves (404)
// from a method a served path does not take (405).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Call.h"
#include "Reply.h"

class Router {
public:
    using Route = std::function<Reply(const Call&)>;

    // HEAD is answered by the GET route.
    void Add(const std::string& method, const std::string& pattern, Route route);
    Reply Dispatch(Call& call) const;

private:
    struct Entry {
        std::string method;
        std::string pattern;
        Route route;
    };
    static bool Match(const std::string& pattern, const std::string& path, std::vector<std::string>& captures);

    std::vector<Entry> entries_;
};
