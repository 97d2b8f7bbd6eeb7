// How every receiver judges an answer from the request queue: it failed
// unless the service said exactly 200 and the transport reported no error.
// A failed answer is not parsed; the body of a good one is read as JSON
// (see net/Json.h), so a body that is not JSON simply reads as null.
//
//   case kConfigDone: {
//       Answer answer = Answer::Take(wParam);  // frees the record
//       if (!answer.Ok()) return ReportFailure(answer.ErrorCode());
//       for (const Json::Value& item : json::Elements(answer.Data())) ...
#pragma once
#include <windows.h>

#include <string>

#include "net/Json.h"
#include "net/RequestQueue.h"

class Answer {
public:
    explicit Answer(const http::Response& response);
    // Takes and frees the CompletionRecord a completion message carried in
    // wParam; a missing record is a failed answer.
    static Answer Take(WPARAM wParam);

    bool Ok() const { return ok_; }
    long Status() const { return status_; }
    int ErrorCode() const { return errorCode_; }  // the transport code, for ErrorText
    const std::string& Url() const { return url_; }
    // The parsed body; null when failed or not JSON.
    const Json::Value& Body() const { return body_; }
    // The body's "data" member, which holds the content of the service's answers.
    const Json::Value& Data() const { return json::Member(body_, "data"); }

private:
    Answer() = default;

    bool ok_ = false;
    long status_ = 0;
    int errorCode_ = 0;
    std::string url_;
    Json::Value body_;
};

// The rule alone, for receivers that read no body (downloads).
bool Succeeded(const http::Response& response);
