// Pieces of URLs the service reads itself, because httplib's parsed params
// are a multimap that loses the order and adjacency of query parameters.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

using QueryList = std::vector<std::pair<std::string, std::string>>;

class Url {
public:
    // %XX decoding; malformed escapes stay as they are. In a path "+" is a
    // literal plus; only query strings turn it into a space.
    static std::string Decode(std::string_view text, bool plusIsSpace);
    // The query of a raw request target ("/p?a=1&b&a=2"), in order, duplicates kept.
    static QueryList ParseQuery(std::string_view target);
    // Host header values we are willing to paste into URLs.
    static bool IsSafeHost(std::string_view host);
};
