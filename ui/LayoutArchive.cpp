#include "ui/LayoutArchive.h"

#include "ui/toolkit/PaintManager.h"

using DuiLib::CPaintManagerUI;

bool RegisterLayoutArchive(HMODULE module) {
    CPaintManagerUI::SetResourceType(DuiLib::UILIB_ZIPRESOURCE);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + L"layout\\");
    HRSRC info = FindResourceW(module, L"IDR_ZIPRES", L"ZIPRES");
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    DWORD size = SizeofResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data && size && CPaintManagerUI::SetResourceZip(data, size);
}
