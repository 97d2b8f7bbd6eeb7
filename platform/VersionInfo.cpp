#include "platform/VersionInfo.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "platform/Path.h"

VersionInfo& VersionInfo::Instance() {
    static VersionInfo instance;
    instance.Load(ModulePath());
    return instance;
}

VersionInfo::~VersionInfo() = default;

bool VersionInfo::Load(const std::wstring& path) {
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    bool found = VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
                 fixed && length >= sizeof(VS_FIXEDFILEINFO);
    if (found) {
        major_ = HIWORD(fixed->dwFileVersionMS);
        minor_ = LOWORD(fixed->dwFileVersionMS);
        build_ = HIWORD(fixed->dwFileVersionLS);
        revision_ = LOWORD(fixed->dwFileVersionLS);
    }
    LoadStrings(block.data());
    return found;
}

void VersionInfo::LoadStrings(const void* block) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length < sizeof(Translation))
        return;

    const struct {
        const wchar_t* name;
        std::wstring* member;
    } strings[] = {{L"ProductName", &productName_},
                   {L"CompanyName", &companyName_},
                   {L"LegalCopyright", &legalText_},
                   {L"OriginalFilename", &originalFilename_},
                   {L"InternalName", &internalName_}};
    for (const auto& s : strings) {
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
                 translation->codePage, s.name);
        wchar_t* value = nullptr;
        UINT characters = 0;
        if (VerQueryValueW(block, query, reinterpret_cast<void**>(&value), &characters) && value)
            *s.member = value;
    }
}

const wchar_t* VersionInfo::VersionText() {
    swprintf(text_, sizeof(text_) / sizeof(text_[0]), L"%d.%d.%d.%d", major_, minor_, build_,
             revision_);
    return text_;
}
