// What a route answers, before it becomes an httplib response: either a body
// held in memory or a file streamed from disk.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FileSource.h"

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::shared_ptr<FileSource> file;  // when set, streamed instead of body
    uint64_t fileOffset = 0;           // the part of the file to send
    uint64_t fileLength = 0;
    std::vector<std::pair<std::string, std::string>> headers;

    static Reply Json(const Json::Value& value, int status = 200);
    static Reply Error(int status, const std::string& message);  // {"code":status,"msg":message}
    static Reply Ok();                                           // {"code":0}
    static Reply Html(std::string html);
    static Reply Stream(std::shared_ptr<FileSource> file);

    // Bytes of content to send.
    uint64_t Size() const { return file ? fileLength : body.size(); }
};
