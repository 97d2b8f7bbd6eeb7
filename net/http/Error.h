// Transport error of one HTTP exchange. The numbering is part of the
// contract with every receiver (they word it for the user), so new curl
// codes map onto these values rather than extend them.
#pragma once
#include <string>

namespace http {

enum class ErrorCode : int {
    Ok = 0,
    ConnectionFailure = 1,
    EmptyResponse = 2,
    HostResolutionFailure = 3,
    InternalError = 4,
    InvalidUrlFormat = 5,
    NetworkReceiveError = 6,
    NetworkSendFailure = 7,
    OperationTimedOut = 8,
    ProxyResolutionFailure = 9,
    SslConnectError = 10,
    SslLocalCertificateError = 11,
    SslRemoteCertificateError = 12,
    SslCacertError = 13,
    GenericSslError = 14,
    UnsupportedProtocol = 15,
    RequestCancelled = 16,
    UnknownError = 1000,
};

struct Error {
    ErrorCode code = ErrorCode::Ok;
    std::string message;

    explicit operator bool() const { return code != ErrorCode::Ok; }
};

// curlCode is a CURLcode; kept as int so this header does not pull in curl.
Error ErrorFromCurl(int curlCode, const std::string& detail);

}  // namespace http
