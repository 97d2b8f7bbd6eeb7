#include "FaultPlayer.h"

#include <algorithm>
#include <thread>

#include "PeerWatch.h"
#include "Responder.h"

using namespace std::chrono_literals;

void FaultPlayer::Delay(const Fault& fault) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(fault.delayMs);
    while (!stopping_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
}

Json::Value FaultPlayer::Document(const std::string& body, const std::string& path) const {
    if (body != "wrongshape-deep") return documents_[body];
    const Json::Value& byPath = documents_[body];
    return byPath.isMember(path) ? byPath[path] : byPath["*"];
}

std::optional<Reply> FaultPlayer::Replacement(const Fault& fault, const std::string& path) const {
    if (!fault.location.empty()) {
        Reply reply = Reply::Error(fault.status ? fault.status : 302, "moved");
        reply.headers.emplace_back("Location", fault.location);
        return reply;
    }
    const int status = fault.status ? fault.status : 200;
    if (fault.body.empty()) {
        if (!fault.status) return std::nullopt;
        Reply reply = Reply::Error(status, "injected fault");
        return reply;
    }
    if (fault.Truncates()) return std::nullopt;
    if (fault.body == "notjson") {
        Reply reply = Reply::Html(documents_["notjson"].asString());
        reply.status = status;
        return reply;
    }
    return Reply::Json(Document(fault.body, path), status);
}

// Blocks the server thread on purpose; ends as soon as nobody waits for it.
bool FaultPlayer::Stall(const httplib::Request& req) {
    ++activeStalls_;
    const PeerWatch peer(req.remote_port, req.local_port);
    const auto until = std::chrono::steady_clock::now() + kStallLimit;
    while (!stopping_ && !peer.Gone() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
    --activeStalls_;
    return false;
}

void FaultPlayer::Truncate(const Fault& fault, const Reply& original, const httplib::Request& req,
                           httplib::Response& res) {
    Reply reply = original;
    if (fault.status) reply.status = fault.status;
    Responder::WriteHead(reply, res);
    const bool stall = fault.body == "stall";
    const uint64_t cut = reply.Size() / 2;
    const size_t promised = static_cast<size_t>(std::max<uint64_t>(reply.Size(), 1));
    res.set_content_provider(promised, reply.contentType,
                             [this, reply, stall, cut, &req](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset < cut) return Responder::WriteChunk(reply, offset, cut - offset, sink);
                                 return stall ? Stall(req) : false;
                             });
}

void FaultPlayer::Throttle(const Fault& fault, const Reply& original, httplib::Response& res) {
    Reply reply = original;
    if (fault.status) reply.status = fault.status;
    Responder::WriteHead(reply, res);
    if (reply.Size() == 0) return Responder::Write(reply, res);
    // Twenty slices a second: smooth enough for progress, cheap for the server.
    const uint64_t slice = std::max<uint64_t>(fault.rate / 20, 1);
    const auto start = std::chrono::steady_clock::now();
    res.set_content_provider(static_cast<size_t>(reply.Size()), reply.contentType,
                             [this, reply, slice, start, rate = fault.rate](size_t offset, size_t, httplib::DataSink& sink) {
                                 const auto due = start + std::chrono::milliseconds(offset * 1000 / rate);
                                 while (!stopping_ && std::chrono::steady_clock::now() < due)
                                     std::this_thread::sleep_for(5ms);
                                 return !stopping_ && Responder::WriteChunk(reply, offset, slice, sink);
                             });
}

void FaultPlayer::Pad(const Fault& fault, const Reply& original, httplib::Response& res) {
    Reply reply = original;
    if (fault.status) reply.status = fault.status;
    Responder::WriteHead(reply, res);
    const uint64_t total = std::max<uint64_t>(reply.Size(), static_cast<uint64_t>(fault.pad));
    res.set_chunked_content_provider(reply.contentType, [this, reply, total](size_t offset, httplib::DataSink& sink) {
        if (stopping_) return false;
        if (offset >= total) {
            sink.done();
            return true;
        }
        if (offset < reply.Size()) return Responder::WriteChunk(reply, offset, reply.Size() - offset, sink);
        static const std::string spaces(64 << 10, ' ');
        return sink.write(spaces.data(), static_cast<size_t>(std::min<uint64_t>(spaces.size(), total - offset)));
    });
}
