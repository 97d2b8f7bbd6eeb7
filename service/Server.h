// The reference service: wires the catalogue, the routes, the request log and
// fault injection onto an httplib server, and onto a second one speaking
// https when the options name a certificate. Every request goes through
// Handle: log it, play its fault, check Host, route it, send the reply.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>

#include "ApiRoutes.h"
#include "Catalog.h"
#include "ContentRoutes.h"
#include "FaultPlayer.h"
#include "Faults.h"
#include "Options.h"
#include "RequestLog.h"
#include "SupportPages.h"
#include "SymbolStore.h"
#include "Router.h"
#include "TestRoutes.h"
#include "Uploads.h"

class Server {
public:
    // Creates DATA/uploads; with no --files, fills DATA/files from the
    // catalogue. Throws std::runtime_error on a bad catalogue or folder.
    explicit Server(const Options& options);
    ~Server();

    // Binds and listens; returns the (http) port. Throws std::runtime_error.
    int Bind();
    // The https port once bound; -1 without https.
    int TlsPort() const { return tlsPort_; }
    // Serves until Stop().
    void Run();
    // Any thread, any time, more than once.
    void Stop();

    int ActiveStalls() const { return player_.ActiveStalls(); }

private:
    void Handle(const httplib::Request& req, httplib::Response& res, std::vector<std::string> partOrder = {});
    void ReadUpload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
    Reply Route(const httplib::Request& req, const QueryList& query, std::vector<std::string> partOrder);
    httplib::Server::HandlerResponse LibraryError(const httplib::Request& req, httplib::Response& res);
    void Configure(httplib::Server& server, int& listenSocket);
    static int BindOne(httplib::Server& server, const std::string& address, int port);

    Options options_;
    Catalog catalog_;
    HostileCatalog hostile_;
    RequestLog log_;
    Faults faults_;
    Uploads uploads_;
    std::atomic<bool> stopping_{false};
    FaultPlayer player_;
    FileDigests digests_;
    ApiRoutes api_;
    ContentRoutes content_;
    TestRoutes control_;
    SymbolStore symbols_;
    SupportPages support_;
    Router router_;
    httplib::Server http_;
    std::unique_ptr<httplib::SSLServer> https_;
    int port_ = 0;
    int tlsPort_ = -1;
    int listenSocket_ = -1;
    int tlsListenSocket_ = -1;
};
