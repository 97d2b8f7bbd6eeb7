#include "core/AppConfig.h"

#include <shlobj.h>
#include <windows.h>

#include "core/FileContents.h"
#include "net/Json.h"
#include "platform/Path.h"
#include "platform/Product.h"
#include "platform/Text.h"

namespace {

constexpr wchar_t kFallbackRoot[] = L"C:\\Users\\Downloads\\";

struct Category {
    const char* key;
    const wchar_t* subFolder;
    int csidl;
};

const Category* CategoryOf(int category) {
    static const Category categories[] = {
        {"cache", L"img", CSIDL_APPDATA},
        {"user", L"文件", CSIDL_COMMON_DOCUMENTS},
    };
    if (category < kCacheFolder || category > kDownloadFolder) return nullptr;
    return &categories[category - kCacheFolder];
}

void EnsureFolder(const std::wstring& path) {
    if (!Exists(path)) CreateFolderTree(path);
}

}  // namespace

std::wstring DefaultRoot(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    std::wstring root = SUCCEEDED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder))
                            ? std::wstring(folder) + L"\\" + kProductName
                            : std::wstring(kFallbackRoot) + kProductName;
    EnsureFolder(root);
    return root;
}

std::wstring CollapseBackslashes(std::wstring path) {
    for (size_t at = path.find(L"\\\\"); at != std::wstring::npos; at = path.find(L"\\\\", at))
        path.erase(at, 1);
    return path;
}

AppConfig& AppConfig::Instance() {
    static AppConfig config(FolderOf() + L"\\config.json");
    return config;
}

AppConfig::AppConfig(std::wstring path) : path_(std::move(path)) { Load(); }

void AppConfig::Load() {
    if (!Exists(path_)) {
        FolderFor(kCacheFolder);
        FolderFor(kDownloadFolder);
        root_["history"] = Json::Value(Json::arrayValue);  // written with the next save
        return;
    }
    // A damaged file keeps what could be read; the rest returns with defaults.
    std::optional<std::string> text = ReadFileContents(path_);
    // A file we cannot read (held by another program) must not be overwritten
    // with defaults: that would lose the sign-in record.
    unreadable_ = !text;
    json::Parse(text.value_or(std::string()), root_);
    if (!root_.isObject()) root_ = Json::Value(Json::objectValue);
    if (json::Has(root_, "loginInfo")) loginInfo_ = root_["loginInfo"];
}

std::wstring AppConfig::FolderFor(int category) {
    const Category* c = CategoryOf(category);
    if (!c) return {};
    std::string stored = json::String(json::Member(root_, c->key));
    if (stored.empty()) {
        stored = WideToUtf8(DefaultRoot(c->csidl));
        root_[c->key] = stored;
        Save();
    }
    std::wstring folder = CollapseBackslashes(Utf8ToWide(stored) + L"\\" + c->subFolder + L"\\");
    EnsureFolder(folder);
    return folder;
}

void AppConfig::SetFirstRun(bool flag) {
    root_["firstRun"] = flag;
    Save();
}

bool AppConfig::Save() {
    if (unreadable_) return false;
    root_["loginInfo"] = loginInfo_;
    return ReplaceFileContents(path_, json::Compact(root_));
}
