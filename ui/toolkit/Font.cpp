#include "ui/toolkit/Font.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace DuiLib {
namespace {

using FontKey = std::tuple<std::wstring, int, bool, bool, bool>;

std::map<FontKey, std::shared_ptr<FontHandle>>& Cache() {
    static std::map<FontKey, std::shared_ptr<FontHandle>> cache;
    return cache;
}

std::map<std::wstring, std::wstring, std::less<>>& FaceCache() {
    static std::map<std::wstring, std::wstring, std::less<>> faces;
    return faces;
}

int CALLBACK OnFontFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool IsInstalled(std::wstring_view face) {
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    face.copy(query.lfFaceName, face.size());
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &query, OnFontFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

std::wstring ResolveFontFace(std::wstring_view face) {
    auto& faces = FaceCache();
    if (auto it = faces.find(face); it != faces.end()) return it->second;
    std::wstring resolved(face);
    if (!IsInstalled(face)) {
        // CJK-capable faces first: the layouts are Chinese.
        static const wchar_t* const fallbacks[] = {L"Microsoft YaHei", L"微软雅黑", L"WenQuanYi Micro Hei",
                                                   L"文泉驿微米黑", L"Noto Sans CJK SC", L"Source Han Sans SC",
                                                   L"SimHei", L"SimSun", L"宋体", L"Droid Sans Fallback",
                                                   L"Tahoma", L"Arial"};
        resolved.clear();
        for (const wchar_t* candidate : fallbacks) {
            if (IsInstalled(candidate)) {
                resolved = candidate;
                break;
            }
        }
    }
    faces.emplace(std::wstring(face), resolved);
    return resolved;
}

std::shared_ptr<FontHandle> AcquireFont(const FontSpec& spec) {
    FontKey key{spec.face, spec.size, spec.bold, spec.underline, spec.italic};
    auto& cache = Cache();
    if (auto it = cache.find(key); it != cache.end()) return it->second;

    std::wstring face = ResolveFontFace(spec.face);
    auto handle = std::make_shared<FontHandle>();
    handle->font.Reset(CreateFontW(-std::max(spec.size, 1), 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, spec.italic,
                                   spec.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    if (!handle->font) {
        LOGFONTW fallback{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
        fallback.lfHeight = -std::max(spec.size, 1);
        fallback.lfQuality = ANTIALIASED_QUALITY;
        handle->font.Reset(CreateFontIndirectW(&fallback));
    }
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, handle->font.Get());
    GetTextMetricsW(dc, &handle->metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    cache.emplace(key, handle);
    return handle;
}

void ReleaseFontCache() {
    Cache().clear();
    FaceCache().clear();
}

}  // namespace DuiLib
