#include "platform/SaveFolder.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>

#include "platform/Path.h"
#include "platform/Product.h"
#include "platform/UniqueHandle.h"

// 0x1200a9: read & execute (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE).
const wchar_t kSaveFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

struct LocalDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalDeleter>;

SecurityDescriptor SaveFolderDescriptor() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kSaveFolderSecurity, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return nullptr;
    return SecurityDescriptor(descriptor);
}

// The absolute "X:\..." form without a trailing "\"; "" for anything else
// (relative, UNC, device paths).
std::wstring DrivePath(const std::wstring& path) {
    if (path.size() < 3 || !iswalpha(path[0]) || path[1] != L':' || path[2] != L'\\') return {};
    wchar_t full[MAX_PATH];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring result(full, length);
    while (result.size() > 3 && result.back() == L'\\') result.pop_back();
    return result.size() > 3 ? result : std::wstring();
}

// Whether path names a reparse point itself (not where one leads).
bool IsReparsePoint(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether folder or any existing folder above it (below the drive root) is a reparse point.
bool LiesUnderALink(const std::wstring& folder) {
    for (size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        if (IsReparsePoint(folder.substr(0, at))) return true;
        if (at == std::wstring::npos) return false;
    }
}

// Creates the last level with the save folder's list; whether it was created now.
bool CreateSecured(const std::wstring& folder) {
    SecurityDescriptor descriptor = SaveFolderDescriptor();
    if (!descriptor) return false;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    return CreateDirectoryW(folder.c_str(), &attributes) != 0;
}

// Opens the folder itself, never where a link leads, sharing only reading:
// nobody else may hold it open to write while it is checked and secured.
UniqueHandle OpenUnshared(const std::wstring& folder) {
    return UniqueHandle(CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool IsPlainFolder(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(folder, &information)) return false;
    return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Sets owner and list on this object only; unlike SetSecurityInfo nothing is
// pushed down into what the folder holds.
bool Secure(HANDLE folder) {
    SecurityDescriptor descriptor = SaveFolderDescriptor();
    return descriptor &&
           SetKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor.get());
}

}  // namespace

std::wstring DefaultSaveFolder() {
    wchar_t documents[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                   documents)) &&
        documents[0])
        return std::wstring(documents) + L"\\" + kProductName;
    return std::wstring(L"C:\\") + kProductName;
}

bool PrepareSaveFolder(const std::wstring& path) {
    std::wstring folder = DrivePath(path);
    if (folder.empty() || LiesUnderALink(folder)) return false;
    if (!CreateFolderTree(FolderOf(folder)) || LiesUnderALink(folder)) return false;
    bool created = CreateSecured(folder);
    UniqueHandle handle = OpenUnshared(folder);
    if (!handle || !IsPlainFolder(handle.Get())) return false;
    return created || Secure(handle.Get());
}
