// A file served in chunks straight from disk, so a response never holds more
// than one chunk of it, whatever the file's size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class FileSource {
public:
    static constexpr size_t kChunk = 64 << 10;

    // A name that stays inside its folder: no separators, no "..", no NUL,
    // no leading dot.
    static bool IsSafeName(const std::string& name);
    // Null when the name is unsafe or no regular file has it.
    static std::shared_ptr<FileSource> Open(const std::filesystem::path& dir, const std::string& name);

    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t Size() const { return size_; }
    // Exactly `count` bytes from `offset`, or false.
    bool Read(uint64_t offset, char* out, size_t count) const;

private:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}

    int fd_;
    uint64_t size_;
};
