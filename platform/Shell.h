// Handing files, folders and web addresses to the user's desktop.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Each argument in double quotes followed by a space; "" for no arguments.
std::wstring ShellParameters(const std::vector<std::wstring>& arguments);
// Opens target with its associated program; a result above 32 means success.
// Starts anything, so it is only for the programs' own files (Dumper restarting
// Vantoro.exe); addresses and files named from outside go through Opener.h.
INT_PTR ShellOpen(const std::wstring& target, const std::vector<std::wstring>& arguments,
                  int showCommand = SW_SHOWNORMAL);
// Opens the folder of path with path selected.
bool ShowInFolder(const std::wstring& path);
