#include "ReportTrace.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

ReportTrace Refuse(std::string why) {
    ReportTrace result;
    result.text = std::move(why);
    return result;
}

// Only a bare file name: the archive is never unpacked, but a name with a
// folder in it is a sign of a crafted archive all the same.
bool IsBareName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The entry's bytes, or false when it grows past the limit (declared sizes can lie).
bool ReadEntry(archive* a, uint64_t limit, std::string& out) {
    char buffer[64 << 10];
    for (;;) {
        la_ssize_t got = archive_read_data(a, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) return false;
        if (out.size() + static_cast<uint64_t>(got) > limit) return false;
        out.append(buffer, static_cast<size_t>(got));
    }
}

}  // namespace

std::string Utf16LeToUtf8(const std::string& bytes) {
    std::string out;
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

ReportTrace ReportTrace::Read(const std::filesystem::path& path, uint64_t maxEntryBytes) {
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    if (!a) return Refuse("cannot read archives");
    archive_read_support_format_7zip(a.get());
    if (archive_read_open_filename(a.get(), path.c_str(), 64 << 10) != ARCHIVE_OK)
        return Refuse("not a 7z archive");
    ReportTrace result;
    archive_entry* entry = nullptr;
    int entries = 0;
    for (;;) {
        int status = archive_read_next_header(a.get(), &entry);
        if (status == ARCHIVE_EOF) break;
        if (status != ARCHIVE_OK) return Refuse(entries == 0 ? "not a 7z archive" : "damaged 7z archive");
        if (++entries > kMaxEntries) return Refuse("more entries than a crash report has");
        const char* raw = archive_entry_pathname(entry);
        const std::string name = raw ? raw : "";
        if (!IsBareName(name)) return Refuse("entry name holds a path: \"" + name + "\"");
        if (archive_entry_filetype(entry) != AE_IFREG) return Refuse("entry is not a file: \"" + name + "\"");
        if (archive_entry_size_is_set(entry) && static_cast<uint64_t>(archive_entry_size(entry)) > maxEntryBytes)
            return Refuse("entry larger than " + std::to_string(maxEntryBytes) + " bytes: \"" + name + "\"");
        if (!EndsWith(name, ".log") || result.ok) continue;  // headers are still checked
        std::string bytes;
        if (!ReadEntry(a.get(), maxEntryBytes, bytes))
            return Refuse("entry larger than " + std::to_string(maxEntryBytes) + " bytes or damaged: \"" + name + "\"");
        result.ok = true;
        result.entry = name;
        result.text = Utf16LeToUtf8(bytes);
    }
    if (entries == 0) return Refuse("not a 7z archive");
    if (!result.ok) return Refuse("the report holds no stack trace (.log)");
    return result;
}
