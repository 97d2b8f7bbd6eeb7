#include "Uploads.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <stdexcept>

namespace {

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

bool WriteAll(int fd, const std::string& content) {
    for (size_t done = 0; done < content.size();) {
        const ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace

Uploads::Uploads(std::filesystem::path dir, uint64_t maxBytes) : dir_(std::move(dir)), maxBytes_(maxBytes) {
    std::filesystem::create_directories(dir_);
}

Reply Uploads::Receive(const Call& call) {
    if (!call.req.is_multipart_form_data()) return Reply::Error(400, "expected multipart/form-data");
    for (const char* part : {"tag", "product", "version", kFilePart})
        if (!call.req.has_file(part)) return Reply::Error(400, std::string("missing part \"") + part + "\"");
    const std::string& content = call.req.files.find(kFilePart)->second.content;
    if (content.size() > maxBytes_)
        return Reply::Error(413, "upload larger than " + std::to_string(maxBytes_) + " bytes");
    const std::string id = Store(content);
    {
        std::lock_guard lock(mutex_);
        list_.append(Describe(call, id));
    }
    Json::Value answer;
    answer["code"] = 0;
    answer["data"]["id"] = id;
    answer["data"]["size"] = Json::UInt64(content.size());
    return Reply::Json(answer);
}

// O_EXCL and a counter: a reused data folder keeps its earlier uploads.
std::string Uploads::Store(const std::string& content) {
    for (;;) {
        std::string id;
        {
            std::lock_guard lock(mutex_);
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "%06llu", static_cast<unsigned long long>(++counter_));
            id = std::string(prefix) + "-" + Timestamp() + ".7z";
        }
        const int fd = ::open((dir_ / id).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) throw std::runtime_error("cannot store upload: " + std::string(std::strerror(errno)));
        const bool ok = WriteAll(fd, content);
        ::close(fd);
        if (ok) return id;
        ::unlink((dir_ / id).c_str());
        throw std::runtime_error("cannot write upload " + id);
    }
}

// The parts in the order sent when the server kept it, else httplib's (by
// name); the query in the order sent.
Json::Value Uploads::Describe(const Call& call, const std::string& id) const {
    Json::Value meta;
    meta["id"] = id;
    meta["time"] = Timestamp();
    meta["query"] = Json::arrayValue;
    for (const auto& [key, value] : call.query) {
        Json::Value pair(Json::arrayValue);
        pair.append(key);
        pair.append(value);
        meta["query"].append(pair);
    }
    meta["parts"] = Json::arrayValue;
    for (const httplib::MultipartFormData* part : PartsInOrder(call)) {
        Json::Value item;
        item["name"] = part->name;
        if (part->name == kFilePart) {
            meta["size"] = Json::UInt64(part->content.size());
            meta["filename"] = part->filename;
            item["filename"] = part->filename;
            item["contentType"] = part->content_type;
        } else {
            item["value"] = part->content;
        }
        meta["parts"].append(item);
    }
    return meta;
}

std::vector<const httplib::MultipartFormData*> Uploads::PartsInOrder(const Call& call) {
    const auto& files = call.req.files;
    std::vector<const httplib::MultipartFormData*> parts;
    if (call.partOrder.size() != files.size()) {
        for (const auto& [name, part] : files) parts.push_back(&part);
        return parts;
    }
    // A repeated name comes back in its own order: the n-th of its range.
    std::map<std::string, size_t> seen;
    for (const std::string& name : call.partOrder) {
        auto [it, end] = files.equal_range(name);
        for (size_t skip = seen[name]++; skip > 0 && it != end; --skip) ++it;
        if (it != end) parts.push_back(&it->second);
    }
    return parts;
}

std::shared_ptr<FileSource> Uploads::Open(const std::string& id) const {
    std::lock_guard lock(mutex_);
    for (const auto& meta : list_)
        if (meta["id"].asString() == id) return FileSource::Open(dir_, id);
    return nullptr;
}

std::optional<std::filesystem::path> Uploads::PathOf(const std::string& id) const {
    std::lock_guard lock(mutex_);
    for (const auto& meta : list_)
        if (meta["id"].asString() == id && FileSource::IsSafeName(id)) return dir_ / id;
    return std::nullopt;
}

Json::Value Uploads::List() const {
    std::lock_guard lock(mutex_);
    return list_;
}
