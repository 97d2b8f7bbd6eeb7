// Turns a Reply into an httplib response. Files go out through a content
// provider, one chunk at a time, so httplib also serves ranges of them.
#pragma once

#include <httplib.h>

#include <vector>

#include "Reply.h"

class Responder {
public:
    static void Write(const Reply& reply, httplib::Response& res);
    // Up to `count` bytes (at most one chunk) of the reply's content from
    // `offset` into the sink. False when the file cannot be read or the
    // client stopped taking data. A buffer kept across calls saves an
    // allocation per chunk.
    static bool WriteChunk(const Reply& reply, uint64_t offset, uint64_t count, httplib::DataSink& sink,
                           std::vector<char>* buffer = nullptr);
    // A streamed 200 cut to a single Range (206), or 416 when the range misses
    // the file. Several ranges get the whole file, as HTTP allows. Ranges are
    // done here because httplib 0.11 promises bytes past the end of a file.
    static Reply Narrow(const httplib::Ranges& ranges, Reply reply);
    // Headers and status, without the content.
    static void WriteHead(const Reply& reply, httplib::Response& res);
};
