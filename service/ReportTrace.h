// The stack trace of one crash report: the ".log" entry of its 7z archive,
// UTF-16LE, read with libarchive straight into memory (nothing is unpacked to
// disk). A hostile archive is refused with a reason: not 7z, an entry name that
// holds a path, an entry larger than the limit, or more entries than a report has.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct ReportTrace {
    static constexpr uint64_t kMaxEntryBytes = 16 << 20;  // a full trace is 4 MiB of UTF-16
    static constexpr int kMaxEntries = 16;

    bool ok = false;
    std::string text;   // the trace in UTF-8 when ok, else why it was refused
    std::string entry;  // the ".log" entry's name

    static ReportTrace Read(const std::filesystem::path& archive, uint64_t maxEntryBytes = kMaxEntryBytes);
};

// UTF-16LE bytes as UTF-8; unpaired surrogates become U+FFFD, an odd last byte is dropped.
std::string Utf16LeToUtf8(const std::string& bytes);
