// The product's one name: the service's "name" parameter, the folders the
// programs keep settings and downloads in, and the crash reporter's tag.
#pragma once

inline constexpr wchar_t kProductName[] = L"quorvex";
inline constexpr char kProductNameUtf8[] = "quorvex";
