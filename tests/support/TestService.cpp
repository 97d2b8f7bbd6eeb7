#include "tests/support/TestService.h"

#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <sstream>

#include "net/http/Session.h"
#include "platform/Text.h"

namespace test {

std::wstring ServiceDir() {
    const char* dir = getenv("VANTORO_SERVICE_DIR");
    if (!dir) return {};
    std::wstring path = L"Z:" + Utf8ToWide(dir);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

namespace {

std::string PortFile(const wchar_t* name) {
    std::string port = ReadFile(ServiceDir() + L"\\" + name);
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
    return port;
}

// Trusted by every program in the prefix from now on, as a machine's own
// authority would be; Wine's chain engine reads the registry's Root store.
void TrustTestAuthority() {
    const std::string pem = ReadFile(ServiceDir() + L"\\tls\\ca.pem");
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), (DWORD)pem.size(), CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return;
    std::string der(size, '\0');
    CryptStringToBinaryA(pem.c_str(), (DWORD)pem.size(), CRYPT_STRING_BASE64HEADER, (BYTE*)der.data(), &size, nullptr,
                         nullptr);
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!root) return;
    CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, (const BYTE*)der.data(), size,
                                     CERT_STORE_ADD_USE_EXISTING, nullptr);
    CertCloseStore(root, 0);
}

}  // namespace

std::string BaseUrl() {
    static const std::string url = "http://127.0.0.1:" + PortFile(L"port");
    return url;
}

std::string TlsBaseUrl() {
    static const std::string url = [] {
        TrustTestAuthority();
        return "https://localhost:" + PortFile(L"tls-port");
    }();
    return url;
}

http::Response Get(const std::string& pathOrUrl) {
    http::Session session;
    session.SetUrl(pathOrUrl.rfind("http", 0) == 0 ? pathOrUrl : BaseUrl() + pathOrUrl);
    session.SetTimeout(10000);
    return session.Get();
}

namespace {

http::Response Post(const std::string& path, const std::string& body) {
    http::Session session;
    session.SetUrl(BaseUrl() + path);
    session.SetTimeout(10000);
    session.SetBody(body);
    return session.Post();
}

http::Response Delete(const std::string& path) {
    http::Session session;
    session.SetUrl(BaseUrl() + path);
    session.SetTimeout(10000);
    return session.Delete();
}

}  // namespace

std::vector<LoggedRequest> RequestLog() {
    std::vector<LoggedRequest> out;
    Json::Value log = ParseJson(Get("/test/log").text);
    for (const Json::Value& entry : log) {
        LoggedRequest r{entry["method"].asString(), entry["path"].asString(), {}};
        for (const Json::Value& q : entry["query"]) r.query.emplace_back(q[0].asString(), q[1].asString());
        out.push_back(std::move(r));
    }
    return out;
}

void ClearRequestLog() { Delete("/test/log"); }

void SetFault(const Json::Value& fault) { Post("/test/fault", Json::FastWriter().write(fault)); }

void ClearFaults() { Delete("/test/fault"); }

void UseHostileCatalog(const Json::Value& selection) { Post("/test/catalog", Json::FastWriter().write(selection)); }

void UseRealCatalog() { Delete("/test/catalog"); }

Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    Json::Reader reader;
    reader.parse(text, value);
    return value;
}

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::wstring(base) + L"vantoro-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path_ + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") DeleteFileW((path_ + L"\\" + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path_.c_str());
}

std::string TempFolder::Utf8(const std::wstring& name) const { return WideToUtf8(path_ + L"\\" + name); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string data;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) data.append(buffer, got);
    CloseHandle(file);
    return data;
}

void WriteFile(const std::wstring& path, const std::string& data) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, data.data(), (DWORD)data.size(), &written, nullptr);
    CloseHandle(file);
}

bool NativeWindows64() {
    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    return native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace test
