// Bytes of every generated download file, as a pure function of the offset,
// so a test can check any download without the service's copy.
// Shared with the Windows-side tests: header-only, C++17, no dependencies.
#pragma once

#include <cstddef>
#include <cstdint>

// Fixed first bytes: the start of a PE image ("MZ", e_lfanew 0x40, "PE\0\0"
// there), so a file named like a program passes the programs' header check,
// and in the DOS header what text-mode I/O mangles (NUL, CR, LF, Ctrl-Z, 0xFF).
inline constexpr uint8_t kPatternPrefix[68] = {
    'M',  'Z',  0x00, 0x0D, 0x0A, 0x1A, 0xFF, 0x0A, 0x0D, 0x00, 0xFF, 0xFE, 0x1A, 0x0D, 0x0D, 0x0A, 0x0A, 0x00,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0x40, 0,    0,    0,    'P',  'E',  0,    0};
inline constexpr uint64_t kPatternSeed = 0x56414E544F524F21ull;

// splitmix64 finaliser: cheap, and any window of it looks random.
inline uint64_t PatternWord(uint64_t block) {
    uint64_t z = block * 0x9E3779B97F4A7C15ull + kPatternSeed;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

inline uint8_t PatternByte(uint64_t offset) {
    if (offset < sizeof kPatternPrefix) return kPatternPrefix[offset];
    return static_cast<uint8_t>(PatternWord(offset >> 3) >> ((offset & 7) * 8));
}

// The same bytes as PatternByte, one hash per eight bytes: for big files.
inline void PatternFill(uint64_t offset, uint8_t* out, size_t count) {
    size_t i = 0;
    while (i < count && (offset + i < sizeof kPatternPrefix || ((offset + i) & 7) != 0)) {
        out[i] = PatternByte(offset + i);
        ++i;
    }
    for (; i + 8 <= count; i += 8) {
        const uint64_t word = PatternWord((offset + i) >> 3);
        for (int b = 0; b < 8; ++b) out[i + b] = static_cast<uint8_t>(word >> (b * 8));
    }
    for (; i < count; ++i) out[i] = PatternByte(offset + i);
}
