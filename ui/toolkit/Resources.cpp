#include "ui/toolkit/Resources.h"

#include <map>

#include "ui/toolkit/Font.h"
#include "ui/toolkit/ResourceZip.h"

namespace DuiLib::Resources {
namespace {

struct State {
    HINSTANCE instance = nullptr;
    HINSTANCE resourceDll = nullptr;
    int type = UILIB_FILE;
    std::wstring path;
    ResourceZip zip;
    std::map<std::string, std::shared_ptr<const Image>> images;
};

State& S() {
    static State state;
    return state;
}

bool IsAbsolute(std::wstring_view path) {
    return (path.size() > 2 && path[1] == L':') || (path.size() > 1 && path[0] == L'\\' && path[1] == L'\\');
}

bool ReadDiskFile(const std::wstring& path, std::string& out) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (256 << 20);
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
                             read == out.size());
    }
    CloseHandle(file);
    if (!ok) out.clear();
    return ok;
}

std::wstring Join(std::wstring_view folder, std::wstring_view file) {
    std::wstring path(folder);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += file;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

bool LoadOne(std::wstring_view relative, std::string& out) {
    State& s = S();
    if (s.type == UILIB_ZIPRESOURCE) return s.zip.Read(relative, out);
    if (s.type == UILIB_FILE) return ReadDiskFile(Join(s.path, relative), out);
    return false;
}

}  // namespace

void SetInstance(HINSTANCE instance) { S().instance = instance; }
HINSTANCE Instance() { return S().instance ? S().instance : GetModuleHandleW(nullptr); }
void SetResourceDll(HINSTANCE module) { S().resourceDll = module; }
HINSTANCE ResourceDll() { return S().resourceDll ? S().resourceDll : Instance(); }

std::wstring InstancePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(Instance(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void SetType(int type) { S().type = type; }
int Type() { return S().type; }
void SetPath(std::wstring_view path) { S().path = path; }
const std::wstring& Path() { return S().path; }

bool SetZip(const void* data, size_t size) {
    S().images.clear();
    return S().zip.Open(data, size);
}

bool HasZip() { return S().zip.IsOpen(); }

bool Load(std::wstring_view folder, std::wstring_view file, std::string& out) {
    out.clear();
    if (file.empty()) return false;
    if (IsAbsolute(file)) return ReadDiskFile(std::wstring(file), out);
    if (!folder.empty()) {
        std::wstring inFolder(folder);
        if (inFolder.back() != L'/' && inFolder.back() != L'\\') inFolder += L'/';
        if (LoadOne(inFolder + std::wstring(file), out)) return true;
    }
    return LoadOne(file, out);
}

std::shared_ptr<const Image> LoadImage(std::wstring_view folder, std::wstring_view file) {
    State& s = S();
    std::string key = std::to_string(s.type) + '|' + NormalizeEntryName(s.path) + '|' + NormalizeEntryName(folder) + '|' + NormalizeEntryName(file);
    if (auto it = s.images.find(key); it != s.images.end()) return it->second;
    std::string bytes;
    std::shared_ptr<const Image> image;
    if (Load(folder, file, bytes)) image = DecodeImage(bytes.data(), bytes.size());
    // Missing images are remembered too, so a bad name costs one look-up.
    s.images.emplace(key, image);
    return image;
}

std::vector<std::string> DecodedImages() {
    std::vector<std::string> names;
    for (const auto& [key, image] : S().images)
        if (image && image->Decoded()) names.push_back(key.substr(key.rfind('|') + 1));
    return names;
}

void Release() {
    State& s = S();
    s.images.clear();
    s.zip.Close();
    ReleaseFontCache();
    ShutdownImageCodecs();
}

}  // namespace DuiLib::Resources
