// How both programs word a transfer (Fixer's download window, Dumper's
// upload): the shortened file name, the size, the speed and the percentage.
// Counts are 64-bit: a system image is several GiB.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Longer names keep their first characters, "...", the last character before
// the extension and the extension; names without a usable "." stay whole.
std::wstring ShortenName(const std::wstring& name, size_t limit = 17);
// "350MB": kilobytes, then MB past 1000 KB, then GB past 1000 MB.
std::wstring SizeText(std::uint64_t bytes);
// Whole kilobytes per whole second: "512.00KB/s", "1.25MB/s"; "0KB/s" in the first second.
std::wstring SpeedText(std::uint64_t bytesNow, DWORD elapsedMs);
// 0..100; 0 for an unknown total.
double Percent(std::uint64_t now, std::uint64_t total);
// Two significant digits and "%": "5.3%", "55%", "100%".
std::wstring PercentText(double percent);
