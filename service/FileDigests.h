// The size and SHA-256 of the download files, added to the solution rows that
// name them so the programs can tell the file from anything else:
//   "url" -> "size", "sha256"; "32url" -> "32size", "32sha256";
//   "appendurl" -> "appendsize", "appendsha256".
// A file is hashed once and again only when its size or time changes.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

class FileDigests {
public:
    explicit FileDigests(std::filesystem::path dir) : dir_(std::move(dir)) {}

    // Rows naming base + "/files/<name>" of a file that is there get its values.
    void Annotate(Json::Value& rows, const std::string& base) const;

    struct Digest {
        uint64_t size = 0;
        std::string sha256;  // lower-case hex
    };
    // None when no readable regular file has that name.
    std::optional<Digest> Of(const std::string& name) const;

private:
    struct Entry {
        Digest digest;
        std::filesystem::file_time_type time;
    };

    std::filesystem::path dir_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Entry> cache_;
};
