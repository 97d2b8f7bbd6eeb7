#include "net/DownloadCheck.h"

#include <cctype>
#include <cstring>

#include "net/Json.h"
#include "platform/Path.h"

namespace {

constexpr std::uint32_t kPeOffsetAt = 0x3C;
constexpr std::uint32_t kDosHeaderSize = 0x40;
const char kCompoundFileSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

bool IsHexDigest(const std::string& text) {
    if (text.size() != 64) return false;
    for (char ch : text)
        if (!isxdigit(static_cast<unsigned char>(ch))) return false;
    return true;
}

std::string Lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return text;
}

bool IsPeImage(std::string_view head, std::uint64_t size) {
    if (head.size() < kDosHeaderSize || head.substr(0, 2) != "MZ") return false;
    std::uint32_t peOffset = 0;
    std::memcpy(&peOffset, head.data() + kPeOffsetAt, sizeof peOffset);  // little-endian, as on every Windows
    if (peOffset < kDosHeaderSize || peOffset > head.size() - 4 || peOffset + 4ull > size) return false;
    return head.substr(peOffset, 4) == std::string_view("PE\0\0", 4);
}

bool IsCompoundFile(std::string_view head) {
    return head.substr(0, 8) == std::string_view(kCompoundFileSignature, 8);
}

}  // namespace

DownloadCheck DownloadCheck::FromRow(const Json::Value& row, std::string_view sizeKey, std::string_view digestKey) {
    DownloadCheck check;
    const Json::Value& size = json::Member(row, sizeKey);
    if (size.isUInt64()) check.size = size.asUInt64();
    std::string digest = json::String(json::Member(row, digestKey));
    if (IsHexDigest(digest)) check.sha256 = Lower(digest);
    return check;
}

bool HeaderMatchesName(const std::wstring& fileName, std::string_view head, std::uint64_t size) {
    if (fileName.find(L'.') == std::wstring::npos) return true;
    const std::wstring extension = ExtensionLower(fileName);
    for (const wchar_t* pe : {L"exe", L"dll", L"sys", L"scr", L"cpl", L"ocx"})
        if (extension == pe) return IsPeImage(head, size);
    if (extension == L"msi" || extension == L"msp") return IsCompoundFile(head);
    return true;
}

DownloadVerifier::DownloadVerifier(DownloadCheck check, std::wstring fileName)
    : check_(std::move(check)), fileName_(std::move(fileName)) {
    head_.reserve(kHeaderBytes);
}

void DownloadVerifier::Add(std::string_view chunk) {
    size_ += chunk.size();
    if (head_.size() < kHeaderBytes) head_.append(chunk.substr(0, kHeaderBytes - head_.size()));
    if (!check_.sha256.empty()) hash_.Add(chunk);
}

std::string DownloadVerifier::Problem() {
    if (check_.size && *check_.size != size_)
        return "size " + std::to_string(size_) + " instead of " + std::to_string(*check_.size);
    if (!check_.sha256.empty()) {
        std::string digest = hash_.HexDigest();
        if (digest.empty()) return "cannot compute the SHA-256 digest";
        if (digest != check_.sha256) return "SHA-256 " + digest + " instead of " + check_.sha256;
    }
    if (!HeaderMatchesName(fileName_, head_, size_)) return "not the kind of file its name says";
    return {};
}
