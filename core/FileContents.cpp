#include "core/FileContents.h"

#include <windows.h>

#include <algorithm>

#include "platform/File.h"
#include "platform/UniqueHandle.h"

std::optional<std::string> ReadFileContents(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string data;
    char buffer[16384];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
        if (got == 0) return data;
        data.append(buffer, got);
    }
}

namespace {

bool WriteFlushed(const std::wstring& path, std::string_view bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    // The data must be on disk before the rename makes it the only copy.
    return file && WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get()) != 0;
}

}  // namespace

bool ReplaceFileContents(const std::wstring& path, std::string_view bytes) {
    const std::wstring temporary = path + L".tmp";
    if (WriteFlushed(temporary, bytes) &&
        MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}
