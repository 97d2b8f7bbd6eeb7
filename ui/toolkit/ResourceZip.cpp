#include "ui/toolkit/ResourceZip.h"

#include <windows.h>

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace DuiLib {
namespace {

// minizip's file functions over the bytes in memory; `opaque` is the stream.
struct Stream {
    const char* data;
    size_t size;
    size_t position;
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const char*, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    auto* stream = static_cast<Stream*>(opaque);
    stream->position = 0;
    return stream;
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf handle, void* buffer, uLong size) {
    auto* stream = static_cast<Stream*>(handle);
    size_t available = stream->size - std::min(stream->position, stream->size);
    size_t count = std::min<size_t>(size, available);
    memcpy(buffer, stream->data + stream->position, count);
    stream->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }

long ZCALLBACK TellMemory(voidpf, voidpf handle) { return static_cast<long>(static_cast<Stream*>(handle)->position); }

long ZCALLBACK SeekMemory(voidpf, voidpf handle, uLong offset, int origin) {
    auto* stream = static_cast<Stream*>(handle);
    size_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
        case ZLIB_FILEFUNC_SEEK_CUR: base = stream->position; break;
        case ZLIB_FILEFUNC_SEEK_END: base = stream->size; break;
        default: return -1;
    }
    size_t target = base + offset;
    if (target > stream->size) return -1;
    stream->position = target;
    return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf) { return 0; }
int ZCALLBACK ErrorMemory(voidpf, voidpf) { return 0; }

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(std::max(length, 0)), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

std::string NormalizeUtf8(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    while (name.rfind("./", 0) == 0) name.erase(0, 2);
    while (!name.empty() && name.front() == '/') name.erase(0, 1);
    return name;
}

// The archive holds layouts and images. A declared size beyond this, or
// beyond what the entry's compressed bytes can hold (deflate expands at most
// about 1032 to 1), is refused before anything is allocated for it.
constexpr uLong kMaxEntrySize = 64u << 20;

bool PlausibleSize(const unz_file_info& info, size_t archiveSize) {
    if (info.uncompressed_size > kMaxEntrySize || info.compressed_size > archiveSize) return false;
    if (info.compression_method == 0) return info.uncompressed_size == info.compressed_size;
    return info.uncompressed_size / 1032 <= info.compressed_size;
}

}  // namespace

std::string NormalizeEntryName(std::wstring_view name) { return NormalizeUtf8(ToUtf8(name)); }

ResourceZip::~ResourceZip() { Close(); }

void ResourceZip::Close() {
    if (handle_) unzClose(static_cast<unzFile>(handle_));
    handle_ = nullptr;
    index_.clear();
    bytes_.clear();
}

bool ResourceZip::Open(const void* data, size_t size) {
    Close();
    if (!data || size == 0) return false;
    bytes_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    stream_ = MemoryStream{bytes_.data(), bytes_.size(), 0};
    static_assert(sizeof(MemoryStream) == sizeof(Stream));

    zlib_filefunc_def functions{};
    functions.zopen_file = OpenMemory;
    functions.zread_file = ReadMemory;
    functions.zwrite_file = WriteMemory;
    functions.ztell_file = TellMemory;
    functions.zseek_file = SeekMemory;
    functions.zclose_file = CloseMemory;
    functions.zerror_file = ErrorMemory;
    functions.opaque = &stream_;
    unzFile zip = unzOpen2("memory", &functions);
    if (!zip) {
        bytes_.clear();
        return false;
    }
    handle_ = zip;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        char name[1024];
        unz_file_info info{};
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) continue;
        if (info.size_filename >= sizeof(name)) continue;  // cut short, unterminated: not one of ours
        std::string key = NormalizeUtf8(std::string(name, info.size_filename));
        if (key.empty() || key.back() == '/') continue;  // folders
        unz_file_pos position{};
        if (unzGetFilePos(zip, &position) != UNZ_OK) continue;
        index_.emplace(key, Position{position.pos_in_zip_directory, position.num_of_file});
    }
    return true;
}

bool ResourceZip::Contains(std::wstring_view name) const { return index_.count(NormalizeEntryName(name)) > 0; }

bool ResourceZip::Read(std::wstring_view name, std::string& out) {
    if (!handle_) return false;
    auto it = index_.find(NormalizeEntryName(name));
    if (it == index_.end()) return false;
    auto zip = static_cast<unzFile>(handle_);
    unz_file_pos position{static_cast<uLong>(it->second.directoryOffset), static_cast<uLong>(it->second.fileNumber)};
    if (unzGoToFilePos(zip, &position) != UNZ_OK) return false;
    unz_file_info info{};
    if (unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    if (!PlausibleSize(info, bytes_.size())) return false;
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    try {
        out.resize(info.uncompressed_size);
    } catch (const std::bad_alloc&) {
        unzCloseCurrentFile(zip);
        out.clear();
        return false;
    }
    int read = info.uncompressed_size ? unzReadCurrentFile(zip, out.data(), static_cast<unsigned>(out.size())) : 0;
    int closed = unzCloseCurrentFile(zip);  // checks the CRC
    if (read != static_cast<int>(out.size()) || closed != UNZ_OK) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace DuiLib
