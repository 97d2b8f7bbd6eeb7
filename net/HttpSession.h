// The service as the windows see it: a base URL that may change at run time,
// and the identity parameters that go with every request made with a path.
// Requests go through the request queue and return at once; the answer
// arrives as doneMessage (a CompletionRecord) on the given window.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>

#include "net/http/Parameters.h"

// Passed as the window: queue the request without any answer.
inline const HWND kFireAndForget = reinterpret_cast<HWND>(-1);

class HttpSessionBase {
public:
    explicit HttpSessionBase(bool exeNameFromModule) : exeNameFromModule(exeNameFromModule) {}
    virtual ~HttpSessionBase() = default;

    void SetProduct(std::string value) { product = std::move(value); }
    // Any thread: the start-up exchange may move the base while a window sends.
    void SetBaseUrl(std::string value) {
        std::lock_guard<std::mutex> lock(baseUrlMutex);
        baseUrl = std::move(value);
    }
    std::string BaseUrl() const {
        std::lock_guard<std::mutex> lock(baseUrlMutex);
        return baseUrl;
    }
    // Reads exeName, system and version; call once, after SetProduct.
    void Initialise();
    // "version", "system", "product", "exeName", "64bit", in that order.
    http::Parameters DefaultParameters() const;

protected:
    mutable std::mutex baseUrlMutex;
    std::string baseUrl;   // no trailing "/": paths start with one
    std::string product;   // UTF-8
    std::string exeName;   // UTF-8
    std::string system;    // UTF-8, the Windows "CurrentVersion"
    std::string version;   // the file version without dots: 1.0.3.7 gives 1037
    bool exeNameFromModule;
};

class HttpSession : public HttpSessionBase {
public:
    static HttpSession& Instance();

    // baseUrl + path, joined as they are: no "/" added or removed.
    int Get(const std::string& path, HWND window, UINT doneMessage);
    int Get(const std::string& path, const http::Parameters& parameters, HWND window, UINT doneMessage);
    // url as it is, without the identity parameters.
    int GetUrl(const std::string& url, HWND window, UINT doneMessage);

private:
    HttpSession() : HttpSessionBase(false) {}
};

// The user's wording of a transport error code.
std::wstring ErrorText(int code);
