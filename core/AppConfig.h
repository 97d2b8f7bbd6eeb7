// Fixer's settings, kept in config.json next to the executable: the root
// folders for cached data and for downloads, the download history and the
// first-run marker. Members this program does not know are written back as
// they were found, and so is the "loginInfo" record of earlier installations.
// Used on the UI thread only.
#pragma once
#include <json/json.h>

#include <string>

// Folder categories that callers pass to FolderFor.
constexpr int kCacheFolder = 1;     // "cache" root, sub-folder "img"
constexpr int kDownloadFolder = 2;  // "user" root, sub-folder "文件"

class AppConfig {
public:
    // The settings beside the running executable, loaded on first use.
    static AppConfig& Instance();

    // Loads the settings at path; a missing file is created with default roots.
    explicit AppConfig(std::wstring path);
    AppConfig(const AppConfig&) = delete;
    AppConfig& operator=(const AppConfig&) = delete;

    // The folder of a category, ending in "\" and created with its parents.
    // A missing or empty root is replaced by its default and saved first.
    // Empty for an unknown category.
    std::wstring FolderFor(int category);
    void SetFirstRun(bool flag);  // saves
    // Puts loginInfo back and replaces the file in one step; false when the
    // file could not be written, in which case the old one is left whole, and
    // when the file was there but unreadable at load.
    bool Save();

    const std::wstring& Path() const { return path_; }
    const Json::Value& Root() const { return root_; }

private:
    void Load();

    std::wstring path_;
    Json::Value root_{Json::objectValue};
    Json::Value loginInfo_;
    bool unreadable_ = false;  // the file exists but could not be read: never save over it
};

// The default root for a CSIDL: the shell folder (created if needed) + "\quorvex",
// or the fixed fallback when the shell has no such folder. Created with its parents.
std::wstring DefaultRoot(int csidl);
// Replaces every "\\" by "\" until none is left.
std::wstring CollapseBackslashes(std::wstring path);
