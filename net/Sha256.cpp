#include "net/Sha256.h"

#include <bcrypt.h>

#include <vector>

#include "platform/UniqueHandle.h"

namespace {

constexpr DWORD kDigestBytes = 32;
constexpr DWORD kReadChunk = 1 << 20;

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Sha256::Sha256() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    failed_ = !Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    algorithm_ = algorithm;
    // Without an object buffer CNG keeps the hash state itself (Windows 7 and later).
    if (!failed_) failed_ = !Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    hash_ = hash;
}

Sha256::~Sha256() {
    if (hash_) BCryptDestroyHash(hash_);
    if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256::Add(std::string_view bytes) {
    while (!failed_ && !bytes.empty()) {
        ULONG chunk = static_cast<ULONG>(std::min<size_t>(bytes.size(), 1u << 30));
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
        failed_ = !Succeeded(BCryptHashData(hash_, data, chunk, 0));
        bytes.remove_prefix(chunk);
    }
}

std::string Sha256::HexDigest() {
    unsigned char digest[kDigestBytes];
    if (failed_ || !Succeeded(BCryptFinishHash(hash_, digest, kDigestBytes, 0))) {
        failed_ = true;
        return {};
    }
    failed_ = true;  // a finished hash takes no more data
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

std::string Sha256::OfFile(const std::wstring& path) {
    // Delete sharing, so a new download can still take the name while this reads.
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    Sha256 hash;
    std::vector<char> buffer(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer.data(), kReadChunk, &read, nullptr)) return {};
        if (read == 0) break;
        hash.Add(std::string_view(buffer.data(), read));
    }
    return hash.HexDigest();
}
