// Faults injected per exact path (percent-decoded, as requests' paths are), set through the /test/ channel:
//   {"path": "/helper/ping", "status": 500, "delay_ms": 200,
//    "body": "stall" | "drop" | "notjson" | "wrongshape" | "wrongshape-array" | "wrongshape-deep",
//    "rate": 4194304, "pad": 67108864, "location": "http://...", "once": false}
// "rate" (bytes per second) sends the real answer slowly, for progress reporting.
// "pad" sends the real answer followed by spaces up to that many bytes, with
// no length announced (chunked), so only the reader can tell it is too large.
// "location" redirects there (status 302 unless "status" says otherwise).
// A later fault for the same path replaces the earlier one.
#pragma once

#include <json/json.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>

struct Fault {
    std::string path;
    int status = 0;  // 0: keep the real status
    int delayMs = 0;
    int rate = 0;  // bytes per second; 0: full speed
    int pad = 0;   // bytes in all; 0: the real answer as it is
    std::string location;
    std::string body;  // empty: the real body
    bool once = false;

    bool Truncates() const { return body == "stall" || body == "drop"; }
    // Throws std::invalid_argument saying what is wrong with the document.
    static Fault FromJson(const Json::Value& doc);
};

class Faults {
public:
    void Set(const Fault& fault);
    void Clear();
    // The fault for a path, if any; a "once" fault is used up by this call.
    std::optional<Fault> Take(const std::string& path);

private:
    std::mutex mutex_;
    std::map<std::string, Fault> byPath_;
};
