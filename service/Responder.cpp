#include "Responder.h"

#include <algorithm>
#include <memory>
#include <vector>

void Responder::WriteHead(const Reply& reply, httplib::Response& res) {
    res.status = reply.status;
    if (reply.file) res.set_header("Accept-Ranges", "bytes");
    for (const auto& [name, value] : reply.headers) res.set_header(name, value);
}

void Responder::Write(const Reply& reply, httplib::Response& res) {
    WriteHead(reply, res);
    if (!reply.file || reply.Size() == 0) {
        res.set_content(reply.body, reply.contentType);
        return;
    }
    auto buffer = std::make_shared<std::vector<char>>();
    res.set_content_provider(static_cast<size_t>(reply.Size()), reply.contentType,
                             [reply, buffer](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return WriteChunk(reply, offset, length, sink, buffer.get());
                             });
}

bool Responder::WriteChunk(const Reply& reply, uint64_t offset, uint64_t count, httplib::DataSink& sink,
                           std::vector<char>* buffer) {
    if (offset >= reply.Size()) return count == 0;
    count = std::min<uint64_t>({count, reply.Size() - offset, FileSource::kChunk});
    if (!reply.file) return sink.write(reply.body.data() + offset, static_cast<size_t>(count));
    std::vector<char> local;
    std::vector<char>& chunk = buffer ? *buffer : local;
    chunk.resize(static_cast<size_t>(count));
    if (!reply.file->Read(reply.fileOffset + offset, chunk.data(), chunk.size())) return false;
    return sink.write(chunk.data(), chunk.size());
}

Reply Responder::Narrow(const httplib::Ranges& ranges, Reply reply) {
    if (!reply.file || reply.status != 200 || ranges.size() != 1) return reply;
    const auto size = static_cast<int64_t>(reply.fileLength);
    auto [first, last] = ranges.front();
    if (first < 0) first = std::max<int64_t>(size - last, 0), last = size - 1;  // "bytes=-N": the last N
    if (last < 0 || last >= size) last = size - 1;
    if (first >= size || last < first) {
        Reply refused = Reply::Error(416, "range outside the file");
        refused.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
        return refused;
    }
    reply.status = 206;
    reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                                    std::to_string(size));
    reply.fileOffset = static_cast<uint64_t>(first);
    reply.fileLength = static_cast<uint64_t>(last - first + 1);
    return reply;
}
