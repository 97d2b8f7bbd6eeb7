// The layout archive read from memory (a zip held as a resource). Entry
// names are matched case-insensitively with '/' or '\' as separators.
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

class ResourceZip {
public:
    ResourceZip() = default;
    ~ResourceZip();
    ResourceZip(const ResourceZip&) = delete;
    ResourceZip& operator=(const ResourceZip&) = delete;

    // Copies the bytes; false (and closed) when they are not a zip.
    bool Open(const void* data, size_t size);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    bool Read(std::wstring_view name, std::string& out);
    bool Contains(std::wstring_view name) const;
    size_t EntryCount() const { return index_.size(); }

private:
    struct Position {
        unsigned long long directoryOffset;
        unsigned long long fileNumber;
    };
    struct MemoryStream {
        const char* data = nullptr;
        size_t size = 0;
        size_t position = 0;
    };

    std::vector<char> bytes_;
    MemoryStream stream_;
    void* handle_ = nullptr;  // unzFile
    std::map<std::string, Position> index_;
};

// Lower-case UTF-8 with '/' separators and no leading "./" or '/'.
std::string NormalizeEntryName(std::wstring_view name);

}  // namespace DuiLib
