#include "Responder.h"

#include <algorithm>
#include <vector>

void Responder::WriteHead(const Reply& reply, httplib::Response& res) {
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) res.set_header(name, value);
}

void Responder::Write(const Reply& reply, httplib::Response& res) {
    WriteHead(reply, res);
    if (!reply.file || reply.Size() == 0) {
        res.set_content(reply.body, reply.contentType);
        return;
    }
    res.set_content_provider(static_cast<size_t>(reply.Size()), reply.contentType,
                             [reply](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return WriteChunk(reply, offset, length, sink);
                             });
}

bool Responder::WriteChunk(const Reply& reply, uint64_t offset, uint64_t count, httplib::DataSink& sink) {
    if (offset >= reply.Size()) return count == 0;
    count = std::min<uint64_t>({count, reply.Size() - offset, FileSource::kChunk});
    if (!reply.file) return sink.write(reply.body.data() + offset, static_cast<size_t>(count));
    std::vector<char> chunk(static_cast<size_t>(count));
    if (!reply.file->Read(offset, chunk.data(), chunk.size())) return false;
    return sink.write(chunk.data(), chunk.size());
}
