#include "net/http/Error.h"

#include <curl/curl.h>

namespace http {

namespace {

ErrorCode MapCurlCode(CURLcode code) {
    switch (code) {
    case CURLE_OK: return ErrorCode::Ok;
    case CURLE_UNSUPPORTED_PROTOCOL: return ErrorCode::UnsupportedProtocol;
    case CURLE_URL_MALFORMAT: return ErrorCode::InvalidUrlFormat;
    case CURLE_COULDNT_RESOLVE_PROXY: return ErrorCode::ProxyResolutionFailure;
    case CURLE_COULDNT_RESOLVE_HOST: return ErrorCode::HostResolutionFailure;
    case CURLE_COULDNT_CONNECT: return ErrorCode::ConnectionFailure;
    case CURLE_OPERATION_TIMEDOUT: return ErrorCode::OperationTimedOut;
    case CURLE_SSL_CONNECT_ERROR: return ErrorCode::SslConnectError;
    case CURLE_PEER_FAILED_VERIFICATION: return ErrorCode::SslRemoteCertificateError;
    // A callback that returns false is how a cancel or a failed file write stops
    // a transfer; both arrive as curl aborts.
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_WRITE_ERROR: return ErrorCode::RequestCancelled;
    case CURLE_GOT_NOTHING: return ErrorCode::EmptyResponse;
    case CURLE_SEND_ERROR: return ErrorCode::NetworkSendFailure;
    // A connection dropped mid-body is a receive failure to the user.
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE: return ErrorCode::NetworkReceiveError;
    case CURLE_SSL_CERTPROBLEM: return ErrorCode::SslLocalCertificateError;
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE: return ErrorCode::SslCacertError;
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return ErrorCode::GenericSslError;
    default: return ErrorCode::InternalError;
    }
}

}  // namespace

Error ErrorFromCurl(int curlCode, const std::string& detail) {
    CURLcode code = static_cast<CURLcode>(curlCode);
    Error error{MapCurlCode(code), {}};
    if (error) error.message = detail.empty() ? curl_easy_strerror(code) : detail;
    return error;
}

}  // namespace http
