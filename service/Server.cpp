#include "Server.h"

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

#include "Generator.h"
#include "GrowingPool.h"
#include "Responder.h"

namespace {

// httplib reads whole request bodies; leave room for multipart framing.
constexpr uint64_t kMultipartSlack = 1 << 20;
// Enough for a few hundred open connections at once (see GrowingPool).
constexpr size_t kMaxThreads = 512;
constexpr int kBacklog = 512;

std::string Explain(int status) {
    switch (status) {
        case 400: return "malformed request";
        case 413: return "request too large";
        case 414: return "request target too long";
        case 416: return "bad Range header";
        default: return "request refused";
    }
}

bool IsTestChannel(const std::string& path) { return path.rfind("/test/", 0) == 0; }

std::filesystem::path FilesDir(const Options& options) {
    return options.files.empty() ? options.data / "files" : options.files;
}

}  // namespace

Server::Server(const Options& options)
    : options_(options),
      catalog_(options.catalog),
      hostile_(options.catalog),
      uploads_(options.data / "uploads", options.maxUpload),
      player_(catalog_.FaultDocuments(), stopping_),
      digests_(FilesDir(options_)),
      api_(catalog_, hostile_, uploads_, options_.fallbackHead, digests_),
      content_(catalog_, FilesDir(options_)),
      control_(log_, faults_, uploads_, hostile_),
      symbols_(options.symbols, options.symbolizer),
      support_(uploads_, symbols_) {
    if (!options_.symbols.empty() && !std::filesystem::is_directory(options_.symbols))
        throw std::runtime_error("the symbol store " + options_.symbols.string() + " is not a folder");
    if (options_.files.empty())
        Generator::WriteCatalogFiles(catalog_, FilesDir(options_), options_.size.value_or(Options::kDefaultFileSize),
                                     true);
    api_.AddTo(router_);
    content_.AddTo(router_);
    control_.AddTo(router_);
    symbols_.AddTo(router_);
    support_.AddTo(router_);
    Configure(http_, listenSocket_);
    if (options_.tlsPort < 0) return;
    https_ = std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
    if (!https_->is_valid())
        throw std::runtime_error("cannot use the certificate " + options_.tlsCert.string() + " with the key " +
                                 options_.tlsKey.string());
    Configure(*https_, tlsListenSocket_);
}

Server::~Server() { Stop(); }

void Server::Configure(httplib::Server& server, int& listenSocket) {
    server.new_task_queue = [] { return new GrowingPool(kMaxThreads); };
    // A connection that says nothing gives its thread back soon.
    server.set_keep_alive_timeout(1);
    server.set_read_timeout(2, 0);
    server.set_socket_options([&listenSocket](int socket) {
        httplib::default_socket_options(socket);
        listenSocket = socket;
    });
    server.set_payload_max_length(static_cast<size_t>(options_.maxUpload + kMultipartSlack));
    const auto handler = [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); };
    // Uploads are read part by part, so that the order they were sent in is kept.
    server.Post("/api/fixer/client/dump", [this](const httplib::Request& req, httplib::Response& res,
                                                const httplib::ContentReader& reader) { ReadUpload(req, res, reader); });
    const std::string any = "[\\s\\S]*";  // ".*" would miss paths holding a decoded newline
    server.Get(any, handler).Post(any, handler).Put(any, handler);
    server.Patch(any, handler).Delete(any, handler).Options(any, handler);
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [this](const httplib::Request& req, httplib::Response& res) { return LibraryError(req, res); }));
}

// Errors httplib answers by itself (bad request line, 413, ...) get JSON too,
// and are logged here since they never reach Handle.
httplib::Server::HandlerResponse Server::LibraryError(const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty() || res.content_length_ != 0) return httplib::Server::HandlerResponse::Unhandled;
    if (!req.method.empty() && !IsTestChannel(req.path)) log_.Add(req.method, req.path, Url::ParseQuery(req.target));
    Responder::Write(Reply::Error(res.status, Explain(res.status)), res);
    return httplib::Server::HandlerResponse::Handled;
}

int Server::BindOne(httplib::Server& server, const std::string& address, int port) {
    const int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0) throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
    return bound;
}

int Server::Bind() {
    port_ = BindOne(http_, options_.bind, options_.port);
    // httplib listens with a backlog of 5: a burst of connections beyond it
    // waits out TCP's one-second retransmit. Listening again enlarges it.
    ::listen(listenSocket_, kBacklog);
    if (https_) {
        tlsPort_ = BindOne(*https_, options_.bind, options_.tlsPort);
        ::listen(tlsListenSocket_, kBacklog);
    }
    return port_;
}

void Server::Run() {
    if (!https_) {
        http_.listen_after_bind();
        return;
    }
    std::atomic<bool> tlsEnded{false};
    std::thread tls([this, &tlsEnded] {
        https_->listen_after_bind();
        tlsEnded = true;
    });
    http_.listen_after_bind();
    // stop() does nothing to a server that has not started listening yet.
    while (!tlsEnded && !https_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    https_->stop();
    tls.join();
}

void Server::Stop() {
    stopping_ = true;
    http_.stop();
    if (https_) https_->stop();
}

void Server::ReadUpload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
    httplib::Request whole = req;
    std::vector<httplib::MultipartFormData> parts;
    const bool read = req.is_multipart_form_data()
                          ? reader(
                                [&](const httplib::MultipartFormData& part) {
                                    parts.push_back(part);
                                    return true;
                                },
                                [&](const char* data, size_t length) {
                                    parts.back().content.append(data, length);
                                    return true;
                                })
                          : reader([&](const char* data, size_t length) {
                                whole.body.append(data, length);
                                return true;
                            });
    if (!read) {
        // Too large (httplib has set 413) or cut short: refused, but seen.
        const int status = res.status >= 400 ? res.status : 400;
        log_.Add(req.method, req.path, Url::ParseQuery(req.target));
        return Responder::Write(Reply::Error(status, Explain(status)), res);
    }
    std::vector<std::string> order;
    for (auto& part : parts) {
        order.push_back(part.name);
        whole.files.emplace(part.name, std::move(part));
    }
    Handle(whole, res, std::move(order));
}

void Server::Handle(const httplib::Request& req, httplib::Response& res, std::vector<std::string> partOrder) {
    const QueryList query = Url::ParseQuery(req.target);
    // Ranges are ours to apply (see Responder::Narrow); httplib's Request is
    // only const in the handler's signature.
    const httplib::Ranges ranges = std::exchange(const_cast<httplib::Request&>(req).ranges, {});
    std::optional<Fault> fault;
    if (!IsTestChannel(req.path)) {
        log_.Add(req.method, req.path, query);
        fault = faults_.Take(req.path);
    }
    if (fault) {
        player_.Delay(*fault);
        if (auto replacement = player_.Replacement(*fault, req.path)) return Responder::Write(*replacement, res);
    }
    Reply reply = Route(req, query, std::move(partOrder));
    reply = Responder::Narrow(ranges, std::move(reply));
    if (fault && fault->Truncates()) return player_.Truncate(*fault, reply, req, res);
    if (fault && fault->rate) return player_.Throttle(*fault, reply, res);
    if (fault && fault->pad) return player_.Pad(*fault, reply, res);
    Responder::Write(reply, res);
}

Reply Server::Route(const httplib::Request& req, const QueryList& query, std::vector<std::string> partOrder) {
    std::string host = req.get_header_value("Host");
    if (host.empty()) {
        const bool v6 = req.local_addr.find(':') != std::string::npos;
        host = (v6 ? "[" + req.local_addr + "]" : req.local_addr) + ":" + std::to_string(req.local_port);
    }
    if (!Url::IsSafeHost(host)) return Reply::Error(400, "bad Host header");
    const std::string scheme = req.ssl ? "https://" : "http://";
    Call call{req, req.method, req.path, query, scheme + host, {}, std::move(partOrder)};
    try {
        return router_.Dispatch(call);
    } catch (const std::exception& error) {
        return Reply::Error(500, std::string("internal error: ") + error.what());
    }
}
