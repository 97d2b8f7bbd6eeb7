#include "ui/TransferText.h"

#include <algorithm>
#include <cstdio>

std::wstring ShortenName(const std::wstring& name, size_t limit) {
    if (name.size() <= limit) return name;
    size_t excess = name.size() - limit;
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot < excess + 1) return name;
    std::wstring shortened = name;
    shortened.replace(dot - (excess + 1), excess, L"...");
    return shortened;
}

std::wstring SizeText(std::uint64_t bytes) {
    // Past 1000 the next unit starts; 1001..1023 of the smaller one would
    // truncate to "0" of the larger, so they read as 1.
    std::uint64_t k = bytes >> 10;
    const wchar_t* unit = L"KB";
    if (k > 1000) {
        k = std::max<std::uint64_t>(k >> 10, 1);
        unit = L"MB";
        if (k > 1000) {
            k = std::max<std::uint64_t>(k >> 10, 1);
            unit = L"GB";
        }
    }
    return std::to_wstring(k) + unit;
}

std::wstring SpeedText(std::uint64_t bytesNow, DWORD elapsedMs) {
    DWORD seconds = elapsedMs / 1000;
    if (seconds == 0) return L"0KB/s";
    double rate = static_cast<double>((bytesNow / 1024) / seconds);
    const wchar_t* unit = L"KB/s";
    if (rate > 1000.0) {
        rate /= 1024.0;
        unit = L"MB/s";
    }
    wchar_t text[64];
    swprintf(text, 64, L"%.2f%ls", rate, unit);
    return text;
}

double Percent(std::uint64_t now, std::uint64_t total) {
    if (total == 0) return 0;
    // Kilobytes as the product counts them; a total under 1 KiB has none.
    double p = total < 1024 ? static_cast<double>(now) / static_cast<double>(total)
                            : static_cast<double>(now >> 10) / static_cast<double>(total >> 10);
    return std::clamp(p * 100, 0.0, 100.0);
}

std::wstring PercentText(double percent) {
    percent = std::clamp(percent, 0.0, 100.0);
    // "%.2g" would print 100 as "1e+02".
    if (percent >= 99.5) return percent >= 100 ? L"100%" : L"99%";
    wchar_t text[32];
    swprintf(text, 32, L"%.2g%%", percent);
    return text;
}
