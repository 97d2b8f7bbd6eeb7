#include "net/ServerConfig.h"

#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "net/Json.h"
#include "platform/Opener.h"
#include "platform/Product.h"
#include "platform/Text.h"

ServerConfig& ServerConfig::Instance() {
    static ServerConfig config;
    return config;
}

void ServerConfig::Replace(Json::Value document) {
    if (document.isNull()) return;
    document_ = std::move(document);
}

std::wstring ServerConfig::ChatUrl() const {
    // An empty base would turn the chat link into a bare query the browser
    // cannot open; anything but a web page is never handed to the shell.
    std::wstring kefu = Utf8ToWide(json::String(json::At(document_, {"data", "kefu"})));
    return IsWebAddress(kefu) ? kefu : deployment::ChatUrl();
}

void RequestServerConfig(HWND window, UINT doneMessage) {
    HttpSession::Instance().Get("/helper/config", {{"name", kProductNameUtf8}}, window, doneMessage);
}
