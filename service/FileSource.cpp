#include "FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool FileSource::IsSafeName(const std::string& name) {
    if (name.empty() || name.front() == '.') return false;
    if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
    return name.find("..") == std::string::npos;
}

std::shared_ptr<FileSource> FileSource::Open(const std::filesystem::path& dir, const std::string& name) {
    if (!IsSafeName(name)) return nullptr;
    const int fd = ::open((dir / name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<FileSource>(new FileSource(fd, static_cast<uint64_t>(info.st_size)));
}

FileSource::~FileSource() { ::close(fd_); }

bool FileSource::Read(uint64_t offset, char* out, size_t count) const {
    while (count > 0) {
        const ssize_t got = ::pread(fd_, out, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        offset += static_cast<uint64_t>(got);
        count -= static_cast<size_t>(got);
    }
    return true;
}
