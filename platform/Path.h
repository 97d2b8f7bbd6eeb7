// Path and text helpers over UTF-16 strings; paths use "\" as separator.
#pragma once
#include <string>
#include <vector>

std::wstring ModulePath();  // full path of the running executable
// The text before the last "\" of path (of ModulePath() when path is empty); "" without one.
std::wstring FolderOf(const std::wstring& path = L"");
std::wstring FileName(const std::wstring& path);  // after the last "\", or the whole path
// Between the last "\" and the last "." after it; the whole file name without a ".".
std::wstring NameWithoutExtension(const std::wstring& path);
std::wstring AfterLast(const std::wstring& text, wchar_t c);  // the whole text when c is absent
// After the last "." lower-cased; the whole path lower-cased without a ".".
std::wstring ExtensionLower(const std::wstring& path);
std::wstring TempFolder();  // ends with "\"
bool Exists(const std::wstring& path);
// Creates every missing folder of a drive path ("C:\a\b"); whether path is now a folder.
bool CreateFolderTree(const std::wstring& path);
// Pieces between delimiters; no empty last piece after a trailing delimiter.
std::vector<std::wstring> Split(const std::wstring& text, wchar_t delimiter);
