// Where layouts and images come from, shared by every window of the
// process: a folder on disk (UILIB_FILE) or a zip archive held in memory
// (UILIB_ZIPRESOURCE, handed over with SetResourceZip). Decoded images are
// cached by name until ReleaseResources.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit/Image.h"

namespace DuiLib {

enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,         // files under the resource path
    UILIB_ZIP = 2,          // not supported: loads fail
    UILIB_RESOURCE = 3,     // not supported: loads fail
    UILIB_ZIPRESOURCE = 4,  // the archive given to SetResourceZip
};

namespace Resources {

void SetInstance(HINSTANCE instance);
HINSTANCE Instance();
void SetResourceDll(HINSTANCE module);
HINSTANCE ResourceDll();
// The folder of the instance's executable, with a trailing backslash.
std::wstring InstancePath();
void SetType(int type);
int Type();
void SetPath(std::wstring_view path);
const std::wstring& Path();
bool SetZip(const void* data, size_t size);
bool HasZip();

// Reads `file` relative to `folder` (a window's skin folder), then relative
// to the root; an absolute path is read from disk. False when missing.
bool Load(std::wstring_view folder, std::wstring_view file, std::string& out);
// The image, shared; nullptr when missing or unreadable. Its pixels are
// decoded when first drawn (see Image.h).
std::shared_ptr<const Image> LoadImage(std::wstring_view folder, std::wstring_view file);
// The files of the cached images whose pixels have been decoded, as their
// archive names ("img1/logo@2x.png"); what start-up decodes is tested by it.
std::vector<std::string> DecodedImages();

// Drops the image, font and zip caches; windows keep what they hold.
void Release();

}  // namespace Resources
}  // namespace DuiLib
