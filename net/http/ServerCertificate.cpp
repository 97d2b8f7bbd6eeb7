#include "net/http/ServerCertificate.h"

#include <curl/curl.h>
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <memory>

#include "platform/Text.h"

namespace http {

namespace {

struct CertificateFree {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
struct ChainFree {
    void operator()(PCCERT_CHAIN_CONTEXT c) const { CertFreeCertificateChain(c); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

bool IsHttps(CURL* curl) {
    char* scheme = nullptr;
    return curl_easy_getinfo(curl, CURLINFO_SCHEME, &scheme) == CURLE_OK && scheme && _stricmp(scheme, "https") == 0;
}

// The host of the address being fetched now (after any redirect), without
// the brackets of an IPv6 literal.
std::wstring CurrentHost(CURL* curl) {
    char* url = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || !url) return {};
    CURLU* parsed = curl_url();
    char* host = nullptr;
    std::string text;
    if (parsed && curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host)
        text = host;
    curl_free(host);
    curl_url_cleanup(parsed);
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    return Utf8ToWide(text);
}

Certificate PeerCertificate(CURL* curl) {
    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || !session ||
        session->backend != CURLSSLBACKEND_SCHANNEL || !session->internals)
        return nullptr;
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(static_cast<PCtxtHandle>(session->internals), SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                &certificate) != SEC_E_OK)
        return nullptr;
    return Certificate(certificate);
}

// The server's chain as the machine's trust sees it; intermediates may come
// from what the server sent along (the certificate's own store).
Chain BuildChain(PCCERT_CONTEXT certificate) {
    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0, nullptr, &chain))
        return nullptr;
    return Chain(chain);
}

DWORD SslPolicyError(PCCERT_CHAIN_CONTEXT chain, std::wstring& host) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = host.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) return GetLastError();
    return status.dwError;
}

}  // namespace

std::string CheckServerCertificate(void* handle) {
    CURL* curl = static_cast<CURL*>(handle);
    if (!IsHttps(curl)) return {};
    Certificate certificate = PeerCertificate(curl);
    if (!certificate) return "the server showed no certificate";
    Chain chain = BuildChain(certificate.get());
    if (!chain) return "no certificate chain (error " + std::to_string(GetLastError()) + ")";
    std::wstring host = CurrentHost(curl);
    if (host.empty()) return "no host to check the certificate against";
    if (DWORD error = SslPolicyError(chain.get(), host)) {
        char text[16];
        wsprintfA(text, "0x%08lX", error);
        return std::string("the server's certificate is not trusted for ") + WideToUtf8(host) + " (" + text + ")";
    }
    return {};
}

}  // namespace http
