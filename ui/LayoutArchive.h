// The layouts travel inside each executable as the resource "IDR_ZIPRES" of
// type "ZIPRES"; both programs and their tests register it the same way.
#pragma once
#include <windows.h>

// Points the toolkit at the archive in module (copied). False when module
// has none: the windows then cannot load their layouts, but nothing crashes.
bool RegisterLayoutArchive(HMODULE module);
