#include "platform/File.h"

#include <algorithm>
#include <utility>

File::File(std::wstring path) : path_(std::move(path)) {}

File::~File() = default;

bool File::Delete() { return DeleteFileW(path_.c_str()) != 0; }

bool File::CopyTo(const std::wstring& newPath, bool removeSource) {
    bool copied = CopyFileW(path_.c_str(), newPath.c_str(), FALSE) != 0;
    // Only a completed copy may cost the source: deleting it after a failed
    // copy would lose the file.
    if (copied && removeSource) Delete();
    return copied;
}

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
        if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
        data.remove_prefix(written);
    }
    return true;
}
