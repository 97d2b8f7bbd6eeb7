// What a download must be before it is saved under its name. The service's
// row may give the size and the SHA-256 digest (either may be missing or
// malformed: then it is not checked); the name alone decides the header a
// program or installer must start with:
//   .exe .dll .sys .scr .cpl .ocx  a PE image: "MZ", e_lfanew inside the
//                                  first 4 KiB and the file, "PE\0\0" there;
//   .msi .msp                      a compound file: D0 CF 11 E0 A1 B1 1A E1.
// So a captive portal's page or a cut transfer is never kept as a program.
#pragma once
#include <json/json.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/Sha256.h"

struct DownloadCheck {
    std::optional<std::uint64_t> size;
    std::string sha256;  // 64 lower-case hex digits, or "" when not known

    // From the row members sizeKey (a non-negative integer) and digestKey
    // (64 hex digits, either case); what is absent or malformed stays unchecked.
    static DownloadCheck FromRow(const Json::Value& row, std::string_view sizeKey, std::string_view digestKey);
};

// Whether head (the file's first bytes, at most kHeaderBytes) of a file of
// that size is what fileName's extension promises; true for other names.
inline constexpr size_t kHeaderBytes = 4096;
bool HeaderMatchesName(const std::wstring& fileName, std::string_view head, std::uint64_t size);

// Follows a download's bytes as they are written.
class DownloadVerifier {
public:
    // Takes all its memory here: Add runs inside libcurl's write callback.
    DownloadVerifier(DownloadCheck check, std::wstring fileName);

    void Add(std::string_view chunk);
    // "" when the bytes may be saved, else what is wrong with them. Ends the hash.
    std::string Problem();

private:
    DownloadCheck check_;
    std::wstring fileName_;
    Sha256 hash_;
    std::string head_;
    std::uint64_t size_ = 0;
};
