// Whole-file reads and crash-safe whole-file writes.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// The file's bytes; nothing when it cannot be opened or read.
std::optional<std::string> ReadFileContents(const std::wstring& path);

// Writes bytes to path + ".tmp", flushes it, then moves it over path in one
// step. On any failure path keeps its old content and false is returned, so
// a crash or a full disk never leaves a half-written file behind.
bool ReplaceFileContents(const std::wstring& path, std::string_view bytes);
