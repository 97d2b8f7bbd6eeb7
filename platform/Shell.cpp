#include "platform/Shell.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "platform/ComInit.h"

std::wstring ShellParameters(const std::vector<std::wstring>& arguments) {
    std::wstring parameters;
    for (const std::wstring& argument : arguments) parameters += L'"' + argument + L"\" ";
    return parameters;
}

INT_PTR ShellOpen(const std::wstring& target, const std::vector<std::wstring>& arguments,
                  int showCommand) {
    std::wstring parameters = ShellParameters(arguments);
    ComInit com;
    HINSTANCE result = ShellExecuteW(nullptr, nullptr, target.c_str(),
                                     arguments.empty() ? nullptr : parameters.c_str(), nullptr,
                                     showCommand);
    return reinterpret_cast<INT_PTR>(result);
}

namespace {

struct ItemListDeleter {
    void operator()(ITEMIDLIST* list) const { ILFree(list); }
};

}  // namespace

bool ShowInFolder(const std::wstring& path) {
    ComInit com;
    std::unique_ptr<ITEMIDLIST, ItemListDeleter> list(ILCreateFromPathW(path.c_str()));
    if (!list) return false;
    HRESULT result = SHOpenFolderAndSelectItems(list.get(), 0, nullptr, 0);
    // Some shells report a failure after opening the folder; they leave no error.
    return result == S_OK || GetLastError() == 0;
}
