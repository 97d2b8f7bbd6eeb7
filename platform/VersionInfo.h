// The version resource of an executable: the file version and the strings
// of its first translation.
#pragma once
#include <cstdint>
#include <string>

class VersionInfo {
public:
    // The process-wide object, reloaded from the running executable on every call.
    static VersionInfo& Instance();

    VersionInfo() = default;
    virtual ~VersionInfo();

    // Whether the fixed file information was found; strings not found keep their values.
    bool Load(const std::wstring& path);
    const wchar_t* VersionText();  // "major.minor.build.revision"

    uint16_t Major() const { return major_; }
    uint16_t Minor() const { return minor_; }
    uint16_t Build() const { return build_; }
    uint16_t Revision() const { return revision_; }

    const std::wstring& ProductName() const { return productName_; }
    const std::wstring& CompanyName() const { return companyName_; }
    const std::wstring& LegalCopyright() const { return legalText_; }
    const std::wstring& OriginalFilename() const { return originalFilename_; }
    const std::wstring& InternalName() const { return internalName_; }

private:
    void LoadStrings(const void* block);

    wchar_t text_[64] = {};
    uint16_t revision_ = 0, build_ = 0, minor_ = 0, major_ = 0;
    std::wstring productName_, companyName_, legalText_, originalFilename_, internalName_;
};
