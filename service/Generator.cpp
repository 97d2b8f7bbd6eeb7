#include "Generator.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "Catalog.h"
#include "Pattern.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

void Generator::WriteFile(const std::filesystem::path& file, uint64_t size) {
    const std::filesystem::path temp = file.string() + ".part";
    std::unique_ptr<FILE, FileCloser> out(std::fopen(temp.c_str(), "wb"));
    if (!out) throw std::runtime_error("cannot write " + temp.string());
    std::vector<uint8_t> chunk(1 << 20);
    for (uint64_t offset = 0; offset < size;) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - offset));
        PatternFill(offset, chunk.data(), count);
        if (std::fwrite(chunk.data(), 1, count, out.get()) != count)
            throw std::runtime_error("short write to " + temp.string());
        offset += count;
    }
    if (std::fclose(out.release()) != 0) throw std::runtime_error("cannot finish " + temp.string());
    std::filesystem::rename(temp, file);
}

int Generator::WriteCatalogFiles(const Catalog& catalog, const std::filesystem::path& dir, uint64_t defaultSize,
                                 bool onlyMissing) {
    std::filesystem::create_directories(dir);
    int written = 0;
    for (const auto& download : catalog.DownloadFiles()) {
        const auto target = dir / download.name;
        const uint64_t size = download.size.value_or(defaultSize);
        std::error_code ignored;
        if (onlyMissing && std::filesystem::file_size(target, ignored) == size) continue;
        WriteFile(target, size);
        ++written;
    }
    return written;
}
