#include "net/Answer.h"

bool Succeeded(const http::Response& response) {
    return response.status_code == 200 && response.error.code == http::ErrorCode::Ok;
}

Answer::Answer(const http::Response& response)
    : ok_(Succeeded(response)),
      status_(response.status_code),
      errorCode_(static_cast<int>(response.error.code)),
      url_(response.url) {
    if (ok_) body_ = json::Parse(response.text);
}

Answer Answer::Take(WPARAM wParam) {
    std::unique_ptr<CompletionRecord> record = TakeRecord<CompletionRecord>(wParam);
    if (record) return Answer(record->response);
    Answer missing;
    missing.errorCode_ = static_cast<int>(http::ErrorCode::UnknownError);
    return missing;
}
