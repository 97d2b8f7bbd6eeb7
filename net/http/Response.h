// Everything a caller may want to know about one finished exchange.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "net/http/Error.h"

namespace http {

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using Header = std::map<std::string, std::string, CaseInsensitiveLess>;

struct Response {
    long status_code = 0;  // 0 when no HTTP answer came
    std::string text;      // the body, unless a write callback took it
    Header header;         // of the last response when redirects were followed
    std::string url;       // effective URL
    double elapsed = 0;    // seconds
    Error error;
    std::string raw_header;
    std::string status_line;
    std::string reason;
    std::uint64_t uploaded_bytes = 0;
    std::uint64_t downloaded_bytes = 0;
    long redirect_count = 0;
};

}  // namespace http
