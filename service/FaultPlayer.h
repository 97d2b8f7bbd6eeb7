// Plays a fault on one request: waits out its delay, replaces the answer
// (status, "notjson", "wrongshape*"), or cuts the real answer short:
//   "drop":  promises the full Content-Length, sends half, closes;
//   "stall": promises the full Content-Length, sends half, then sends nothing
//            until the client goes away, the service stops or 60 s pass;
//   "rate":  sends the real answer at so many bytes per second;
//   "pad":   sends the real answer and spaces after it, chunked;
//   "location": answers a redirect there instead.
#pragma once

#include <httplib.h>
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

#include "Faults.h"
#include "Reply.h"

class FaultPlayer {
public:
    static constexpr std::chrono::seconds kStallLimit{60};

    FaultPlayer(const Json::Value& documents, const std::atomic<bool>& stopping)
        : documents_(documents), stopping_(stopping) {}

    void Delay(const Fault& fault) const;
    // The answer that stands in for the real one, if the fault has one.
    std::optional<Reply> Replacement(const Fault& fault, const std::string& path) const;
    // Sends `reply` cut short as the fault says ("stall" or "drop").
    void Truncate(const Fault& fault, const Reply& reply, const httplib::Request& req, httplib::Response& res);

    // Sends `reply` whole, at the fault's rate.
    void Throttle(const Fault& fault, const Reply& reply, httplib::Response& res);
    // Sends `reply` padded with spaces to the fault's size, chunked.
    void Pad(const Fault& fault, const Reply& reply, httplib::Response& res);

    // Stalled responses still holding a server thread.
    int ActiveStalls() const { return activeStalls_; }

private:
    bool Stall(const httplib::Request& req);
    Json::Value Document(const std::string& body, const std::string& path) const;

    const Json::Value& documents_;
    const std::atomic<bool>& stopping_;
    std::atomic<int> activeStalls_{0};
};
