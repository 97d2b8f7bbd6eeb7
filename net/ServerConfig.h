// The server configuration: the whole reply of "/helper/config", null until
// the first good answer, replaced by every later one, never cleared. Readers
// find their keys with net/Json.h (null when the service sent another shape).
// UI thread only.
#pragma once
#include <json/json.h>
#include <windows.h>

#include <string>

class ServerConfig {
public:
    // The process's configuration.
    static ServerConfig& Instance();

    const Json::Value& Document() const { return document_; }
    bool Received() const { return !document_.isNull(); }
    // A reply's parsed body; null (a body that was not JSON) keeps what is there.
    void Replace(Json::Value document);

    // The customer-service chat: "data" -> "kefu" once received, otherwise
    // (and when that key holds no web address, IsWebAddress) the built-in chat page.
    std::wstring ChatUrl() const;

private:
    Json::Value document_;
};

// Asks the service for "/helper/config" with the product's name; the answer
// arrives as doneMessage, as with any HttpSession request.
void RequestServerConfig(HWND window, UINT doneMessage);
