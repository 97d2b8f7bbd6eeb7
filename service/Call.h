// One request as the routes see it: decoded path, ordered query, the base URL
// for {base}, and what the route pattern captured.
#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <vector>

#include "Url.h"

struct Call {
    const httplib::Request& req;
    std::string method;
    std::string path;
    QueryList query;
    std::string base;  // "http(s)://host:port", as asked, from a checked Host header
    std::vector<std::string> captures;
    std::vector<std::string> partOrder;  // multipart part names as sent (uploads only)

    // First value of a query parameter.
    std::optional<std::string> Param(const std::string& name) const {
        for (const auto& [key, value] : query)
            if (key == name) return value;
        return std::nullopt;
    }
};
