// Crash dumps posted by dumper.exe. Each is stored under a name the service
// makes up (never the client's file name), with what came with it kept for
// the tests: the query in order, the form fields, the client's file name.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Call.h"
#include "FileSource.h"
#include "Reply.h"

class Uploads {
public:
    static constexpr const char* kFilePart = "file";

    Uploads(std::filesystem::path dir, uint64_t maxBytes);

    // POST multipart: needs the parts "tag", "product", "version" and "file".
    // Answers {"code":0,"data":{"id":stored name,"size":bytes}}.
    Reply Receive(const Call& call);
    // Metadata of every upload so far, oldest first.
    Json::Value List() const;
    // Only names this service stored.
    std::shared_ptr<FileSource> Open(const std::string& id) const;
    std::optional<std::filesystem::path> PathOf(const std::string& id) const;

private:
    std::string Store(const std::string& content);
    Json::Value Describe(const Call& call, const std::string& id) const;
    static std::vector<const httplib::MultipartFormData*> PartsInOrder(const Call& call);

    std::filesystem::path dir_;
    uint64_t maxBytes_;
    mutable std::mutex mutex_;
    uint64_t counter_ = 0;
    Json::Value list_{Json::arrayValue};
};
