// Writes download files whose bytes are PatternByte(offset), streaming in
// chunks so any size works (the benchmark asks for 512 MiB).
#pragma once

#include <cstdint>
#include <filesystem>

class Catalog;

class Generator {
public:
    // Written to a temporary name and renamed, so nobody sees half a file.
    // Throws std::runtime_error.
    static void WriteFile(const std::filesystem::path& file, uint64_t size);
    // Every file the catalogue names, into dir; onlyMissing keeps files
    // that already have the right size. Returns how many were written.
    static int WriteCatalogFiles(const Catalog& catalog, const std::filesystem::path& dir, uint64_t defaultSize,
                                 bool onlyMissing = false);
};
