// One HTTP exchange over libcurl: set the options, then Get() or Post().
// A Session is used by one thread at a time; callbacks run on that thread.
// Only http and https are spoken. Redirects are followed up to kMaxRedirects,
// and never from an https address to plain http (UnsupportedProtocol). An
// https server must show a certificate the system trusts for the host asked
// for (revocation checked where it can be), else SslRemoteCertificateError.
#pragma once
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string_view>

#include "net/http/Multipart.h"
#include "net/http/Parameters.h"
#include "net/http/Response.h"

namespace http {

// Byte counts so far; returning false aborts the transfer (RequestCancelled).
using ProgressCallback = std::function<bool(std::uint64_t downloadTotal, std::uint64_t downloadNow,
                                            std::uint64_t uploadTotal, std::uint64_t uploadNow)>;
// Receives the body chunk by chunk instead of Response::text; false aborts.
using WriteCallback = std::function<bool(std::string_view chunk)>;

class Session {
public:
    static constexpr long kMaxRedirects = 5;

    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void SetUrl(Url url) { url_ = std::move(url); }
    void SetParameters(Parameters parameters) { parameters_ = std::move(parameters); }
    void SetMultipart(Multipart multipart) { multipart_ = std::move(multipart); }
    void SetBody(std::string body) { body_ = std::move(body); }  // a raw POST body, when no multipart
    void SetProgressCallback(ProgressCallback cb) { progress_ = std::move(cb); }
    void SetWriteCallback(WriteCallback cb) { write_ = std::move(cb); }
    void SetBufferSize(long bytes) { bufferSize_ = bytes; }
    void SetTimeout(long milliseconds) { timeoutMs_ = milliseconds; }  // of the whole exchange
    void SetConnectTimeout(long milliseconds) { connectTimeoutMs_ = milliseconds; }
    // Ends the exchange (OperationTimedOut) when fewer than floorBytesPerSecond
    // move for this long; the default floor ends only a transfer that stopped.
    void SetStallTimeout(long seconds, long floorBytesPerSecond = 1) {
        stallSeconds_ = seconds;
        floorBytesPerSecond_ = floorBytesPerSecond;
    }
    // A body held in Response::text beyond this ends the exchange with
    // NetworkReceiveError; 0 holds any size. Not for a write callback.
    void SetMaxBodySize(std::uint64_t bytes) { maxBodyBytes_ = bytes; }

    Response Get();
    Response Post();
    Response Delete();

    // The URL with the parameters appended, each name and value escaped by curl.
    std::string FullUrl() const;

private:
    struct Transfer;
    enum class Method { Get, Post, Delete };
    Response Perform(Method method);

    void* curl_;  // CURL*
    Url url_;
    Parameters parameters_;
    Multipart multipart_;
    std::string body_;
    ProgressCallback progress_;
    WriteCallback write_;
    long bufferSize_ = 0;
    long timeoutMs_ = 0;
    long connectTimeoutMs_ = 0;
    long stallSeconds_ = 0;
    long floorBytesPerSecond_ = 1;
    std::uint64_t maxBodyBytes_ = 0;
};

// Runs work on a thread of its own; the future never blocks on destruction,
// so an abandoned request cannot hold up its owner.
std::shared_future<Response> LaunchAsync(std::function<Response()> work);

}  // namespace http
