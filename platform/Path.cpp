#include "platform/Path.h"

#include <direct.h>
#include <io.h>
#include <shlwapi.h>
#include <windows.h>

#include <cwctype>
#include <sstream>

std::wstring ModulePath() {
    std::wstring path(1000, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);  // truncated: a longer path than usual
    }
}

std::wstring FolderOf(const std::wstring& path) {
    const std::wstring& full = path.empty() ? ModulePath() : path;
    size_t slash = full.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

std::wstring FileName(const std::wstring& path) { return AfterLast(path, L'\\'); }

std::wstring NameWithoutExtension(const std::wstring& path) {
    std::wstring name = FileName(path);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring AfterLast(const std::wstring& text, wchar_t c) {
    size_t at = text.rfind(c);
    return at == std::wstring::npos ? text : text.substr(at + 1);
}

std::wstring ExtensionLower(const std::wstring& path) {
    std::wstring extension = AfterLast(path, L'.');
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return n == 0 || n > MAX_PATH ? std::wstring() : std::wstring(buffer, n);
}

bool Exists(const std::wstring& path) { return PathFileExistsW(path.c_str()) == TRUE; }

namespace {

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool StartsWithDrive(const std::wstring& path) {
    return path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
}

}  // namespace

bool CreateFolderTree(const std::wstring& path) {
    // Only drive paths are walked; anything else is merely checked.
    if (!StartsWithDrive(path)) return IsFolder(path);
    std::wstring accumulated = path.substr(0, 2);
    std::wstring rest = path.substr(3);
    for (;;) {
        size_t slash = rest.find(L'\\');
        accumulated += L'\\' + rest.substr(0, slash);
        if (_waccess(accumulated.c_str(), 0) != 0) _wmkdir(accumulated.c_str());
        if (slash == std::wstring::npos) break;
        rest = rest.substr(slash + 1);
    }
    return IsFolder(path);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t delimiter) {
    std::vector<std::wstring> pieces;
    std::wistringstream stream(text);
    std::wstring piece;
    while (std::getline(stream, piece, delimiter)) pieces.push_back(piece);
    return pieces;
}
