// What the shipped executables carry besides their code: the manifest that
// Windows reads before they start, the version resource, and the icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/Text.h"
#include "platform/VersionInfo.h"
#include "resources/app/ResourceIds.h"
#include "tests/support/Desktop.h"

namespace {

struct Program {
    const char* path;
    const wchar_t* fileName;
    const wchar_t* description;
};

const Program kPrograms[] = {
    {VANTORO_EXE, L"Vantoro.exe", L"Vantoro 电脑修复助手"},
    {DUMPER_EXE, L"dumper.exe", L"Vantoro 错误报告"},
};

// The executable's resources, without running it.
class Resources {
public:
    explicit Resources(const char* path)
        : module_(LoadLibraryExW(test::DosPath(path).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~Resources() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE Module() const { return module_; }
    std::string Bytes(const wchar_t* type, const wchar_t* name) const {
        HRSRC found = FindResourceW(module_, name, type);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        return data ? std::string(data, SizeofResource(module_, found)) : std::string();
    }

private:
    HMODULE module_;
};

std::wstring StringValue(const std::wstring& path, const wchar_t* name) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::string block(size, '\0');
    if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
    return std::wstring(value, length ? length - 1 : 0);
}

#pragma pack(push, 2)
struct GroupEntry {  // GRPICONDIRENTRY
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

}  // namespace

TEST(ProgramManifest, AsksForAdministratorCommonControlsSixAndPerMonitorDpiAwareness) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.path);
        Resources r(p.path);
        ASSERT_TRUE(r.Module());
        std::string manifest = r.Bytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
        ASSERT_FALSE(manifest.empty()) << "no manifest with id 1";
        EXPECT_NE(manifest.find(R"(level="requireAdministrator")"), std::string::npos);
        EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"), std::string::npos);
        // Any processor: the x64 flavour would otherwise ask for the x86 Common Controls and not start.
        const std::string arch = R"(processorArchitecture=")";
        for (size_t at = manifest.find(arch); at != std::string::npos; at = manifest.find(arch, at + 1))
            EXPECT_EQ(manifest.substr(at + arch.size(), 2), R"(*")");
        // The toolkit scales itself, so the system must not stretch the windows.
        EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
        EXPECT_NE(manifest.find(">PerMonitorV2,PerMonitor</dpiAwareness>"), std::string::npos);
    }
}

TEST(ProgramVersion, ReadsBackThroughVersionInfo) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.path);
        const std::wstring path = test::DosPath(p.path);
        VersionInfo info;
        ASSERT_TRUE(info.Load(path));
        EXPECT_STREQ(info.VersionText(), L"" VANTORO_VERSION);
        EXPECT_EQ(info.ProductName(), L"Vantoro");
        EXPECT_EQ(info.CompanyName(), L"Vantoro");
        EXPECT_NE(info.LegalCopyright().find(L"Vantoro"), std::wstring::npos);
        EXPECT_EQ(info.OriginalFilename(), p.fileName);
        EXPECT_EQ(StringValue(path, L"FileDescription"), p.description);
        EXPECT_EQ(StringValue(path, L"ProductVersion"), L"" VANTORO_VERSION);
    }
}

TEST(ProgramIcon, HoldsEachSizeAndLoadsAtIt) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.path);
        Resources r(p.path);
        ASSERT_TRUE(r.Module());
        std::string group = r.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP));
        ASSERT_GE(group.size(), 6u);
        for (int size : {16, 32, 48, 256}) {
            SCOPED_TRACE(size);
            // The image the system picks for this size is one drawn at it, not a scaled neighbour.
            int id = LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(group.data()), TRUE, size, size,
                                                 LR_DEFAULTCOLOR);
            ASSERT_NE(id, 0);
            bool drawnAtSize = false;
            const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
            for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupEntry) <= group.size(); ++i) {
                GroupEntry e;
                memcpy(&e, group.data() + 6 + i * sizeof(GroupEntry), sizeof e);
                if (e.id == id) drawnAtSize = (e.width == 0 ? 256 : e.width) == size && e.bitCount == 32;
            }
            EXPECT_TRUE(drawnAtSize);

            HICON icon = static_cast<HICON>(
                LoadImageW(r.Module(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            ASSERT_TRUE(icon);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bm = {};
            GetObjectW(info.hbmColor, sizeof bm, &bm);
            EXPECT_EQ(bm.bmWidth, size);
            EXPECT_EQ(bm.bmHeight, size);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}
