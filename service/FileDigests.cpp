#include "FileDigests.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "FileSource.h"
#include "Url.h"

namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::optional<std::string> Sha256Of(const FileSource& file) {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    std::vector<char> chunk(FileSource::kChunk);
    for (uint64_t offset = 0; offset < file.Size();) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), file.Size() - offset));
        if (!file.Read(offset, chunk.data(), count) || EVP_DigestUpdate(context.get(), chunk.data(), count) != 1)
            return std::nullopt;
        offset += count;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::nullopt;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace

std::optional<FileDigests::Digest> FileDigests::Of(const std::string& name) const {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(dir_ / name, error);
    auto file = error ? nullptr : FileSource::Open(dir_, name);
    if (!file) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto found = cache_.find(name);
    if (found != cache_.end() && found->second.time == time && found->second.digest.size == file->Size())
        return found->second.digest;
    const auto sha256 = Sha256Of(*file);
    if (!sha256) return std::nullopt;
    Digest digest{file->Size(), *sha256};
    cache_[name] = {digest, time};
    return digest;
}

void FileDigests::Annotate(Json::Value& rows, const std::string& base) const {
    static const char* const kKeys[][3] = {
        {"url", "size", "sha256"}, {"32url", "32size", "32sha256"}, {"appendurl", "appendsize", "appendsha256"}};
    const std::string prefix = base + "/files/";
    for (Json::Value& row : rows) {
        if (!row.isObject()) continue;
        for (const auto& keys : kKeys) {
            const Json::Value& url = row[keys[0]];
            if (!url.isString() || url.asString().rfind(prefix, 0) != 0) continue;
            std::string rest = url.asString().substr(prefix.size());
            const auto digest = Of(Url::Decode(rest.substr(0, rest.find_first_of("?#")), false));
            if (!digest) continue;
            row[keys[1]] = Json::UInt64(digest->size);
            row[keys[2]] = digest->sha256;
        }
    }
}
