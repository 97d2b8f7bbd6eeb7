#include "Reply.h"

#include "JsonText.h"

static constexpr const char* kJsonType = "application/json; charset=utf-8";

Reply Reply::Json(const Json::Value& value, int status) {
    Reply reply;
    reply.status = status;
    reply.contentType = kJsonType;
    reply.body = JsonText::Write(value);
    return reply;
}

Reply Reply::Error(int status, const std::string& message) {
    Json::Value error;
    error["code"] = status;
    error["msg"] = message;
    return Json(error, status);
}

Reply Reply::Ok() {
    Json::Value ok;
    ok["code"] = 0;
    return Json(ok);
}

Reply Reply::Html(std::string html) {
    Reply reply;
    reply.contentType = "text/html; charset=utf-8";
    reply.body = std::move(html);
    return reply;
}

Reply Reply::Stream(std::shared_ptr<FileSource> file) {
    Reply reply;
    reply.contentType = "application/octet-stream";
    reply.fileLength = file->Size();
    reply.file = std::move(file);
    return reply;
}
