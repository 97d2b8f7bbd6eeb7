// The reference service as the tests see it: where it listens, what it was
// asked, and which faults it should inject next.
#pragma once
#include <json/json.h>

#include <string>
#include <vector>

#include "net/http/Response.h"

namespace test {

struct LoggedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> query;
};

// The service's folder as this (Windows) process sees it.
std::wstring ServiceDir();
std::string BaseUrl();  // "http://127.0.0.1:PORT"
// "https://localhost:PORT": the same service over https, its certificate
// issued for localhost by the test authority, which this call first adds to
// the prefix's machine Root store (the prefix belongs to the tests).
std::string TlsBaseUrl();

http::Response Get(const std::string& pathOrUrl);
std::vector<LoggedRequest> RequestLog();
void ClearRequestLog();
// fault: {"path": ..., "status": ..., "delay_ms": ..., "body": "stall" | "drop" | ...}
void SetFault(const Json::Value& fault);
void ClearFaults();
// Serves the hostile catalogue's replies: {"config": name, "solution": name}.
void UseHostileCatalog(const Json::Value& selection);
void UseRealCatalog();

Json::Value ParseJson(const std::string& text);

// A folder of its own under the Windows temp folder, removed on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& Path() const { return path_; }
    std::string Utf8(const std::wstring& name) const;  // path of name inside, UTF-8

private:
    std::wstring path_;
};

bool FileExists(const std::wstring& path);
std::string ReadFile(const std::wstring& path);
void WriteFile(const std::wstring& path, const std::string& data);
// Whether the machine's Windows is 64-bit, as the system reports it to anyone.
bool NativeWindows64();

}  // namespace test
