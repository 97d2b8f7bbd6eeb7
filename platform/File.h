// A file named by its path.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

class File {
public:
    explicit File(std::wstring path);
    virtual ~File();

    bool Delete();
    // Copies over any existing newPath; with removeSource the source is deleted
    // once the copy succeeded. Returns whether the copy succeeded.
    bool CopyTo(const std::wstring& newPath, bool removeSource);

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// Writes all of data to an open file, however many calls that takes.
bool WriteAll(HANDLE file, std::string_view data);
