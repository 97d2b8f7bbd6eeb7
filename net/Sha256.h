// SHA-256 through Windows CNG (bcrypt.dll, present from Windows 7), so the
// program carries no hash code of its own.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(std::string_view bytes);
    // 64 lower-case hex digits; "" when CNG failed at any step. Ends the hash.
    std::string HexDigest();

    // The digest of a whole file, read in chunks; "" when it cannot be read.
    static std::string OfFile(const std::wstring& path);

private:
    void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
    void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
    bool failed_ = false;
};
