// Turns a Reply into an httplib response. Files go out through a content
// provider, one chunk at a time, so httplib also serves ranges of them.
#pragma once

#include <httplib.h>

#include "Reply.h"

class Responder {
public:
    static void Write(const Reply& reply, httplib::Response& res);
    // Up to `count` bytes (at most one chunk) of the reply's content from
    // `offset` into the sink. False when the file cannot be read or the
    // client stopped taking data.
    static bool WriteChunk(const Reply& reply, uint64_t offset, uint64_t count, httplib::DataSink& sink);
    // Headers and status, without the content.
    static void WriteHead(const Reply& reply, httplib::Response& res);
};
