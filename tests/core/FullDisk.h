// A settings path whose temporary is a link to /dev/full (made by
// tests/core/CMakeLists.txt), so every save to it runs out of space.
#pragma once
#include <string>

std::wstring FullDiskSettings();
