#include "ui/toolkit/Image.h"

#include <objidl.h>
#include <ole2.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/StartupTrace.h"

namespace DuiLib {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

std::mutex g_codecs;
ULONG_PTR g_token = 0;
int g_session = 0;  // counts GDI+ shutdowns: bitmaps of an ended session are gone with it

bool StartCodecs() {
    std::lock_guard lock(g_codecs);
    if (g_token) return true;
    GdiplusStartupInput input;
    bool started = GdiplusStartup(&g_token, &input, nullptr) == Ok;
    TraceStartup("GDI+ started");
    return started;
}

struct StreamRelease {
    void operator()(IStream* s) const {
        if (s) s->Release();
    }
};
using Stream = std::unique_ptr<IStream, StreamRelease>;

struct BitmapDispose {
    void operator()(GpBitmap* b) const {
        if (b) GdipDisposeImage(reinterpret_cast<GpImage*>(b));
    }
};
using Bitmap = std::unique_ptr<GpBitmap, BitmapDispose>;

IStream* MemoryStream(const void* data, size_t size) {
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!global) return nullptr;
    void* target = GlobalLock(global);
    if (!target) {
        GlobalFree(global);
        return nullptr;
    }
    memcpy(target, data, size);
    GlobalUnlock(global);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(global, TRUE, &stream))) {
        GlobalFree(global);
        return nullptr;
    }
    return stream;
}

// The bitmap reads from the stream for as long as it lives.
Bitmap OpenBitmap(const std::string& bytes, Stream& stream) {
    if (bytes.empty() || !StartCodecs()) return nullptr;
    stream.reset(MemoryStream(bytes.data(), bytes.size()));
    GpBitmap* bitmap = nullptr;
    if (!stream || GdipCreateBitmapFromStream(stream.get(), &bitmap) != Ok) return nullptr;
    return Bitmap(bitmap);
}

std::vector<UINT> FrameDelays(GpImage* image, UINT frames) {
    std::vector<UINT> delays(frames, 100);
    UINT size = 0;
    if (GdipGetPropertyItemSize(image, PropertyTagFrameDelay, &size) != Ok || size < sizeof(PropertyItem)) return delays;
    std::vector<BYTE> buffer(size);
    auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
    if (GdipGetPropertyItem(image, PropertyTagFrameDelay, size, item) != Ok || !item->value) return delays;
    UINT count = item->length / 4;
    const BYTE* values = static_cast<const BYTE*>(item->value);
    for (UINT i = 0; i < frames && i < count; ++i) {
        LONG hundredths;
        memcpy(&hundredths, values + i * 4, 4);
        // Browsers treat very short GIF delays as 100 ms; so do we.
        delays[i] = hundredths <= 1 ? 100 : static_cast<UINT>(hundredths) * 10;
    }
    return delays;
}

bool CopyFrame(GpBitmap* bitmap, int width, int height, ImageFrame& frame) {
    GpRect rect(0, 0, width, height);
    BitmapData data{};
    if (GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat32bppPARGB, &data) != Ok) return false;
    frame.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        memcpy(frame.pixels.data() + static_cast<size_t>(y) * width, row, static_cast<size_t>(width) * 4);
    }
    GdipBitmapUnlockBits(bitmap, &data);
    return true;
}

bool ImageSize(GpBitmap* bitmap, int& width, int& height) {
    UINT w = 0, h = 0;
    GdipGetImageWidth(reinterpret_cast<GpImage*>(bitmap), &w);
    GdipGetImageHeight(reinterpret_cast<GpImage*>(bitmap), &h);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return width > 0 && height > 0;
}

uint32_t BigEndian32(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

// The size a PNG's header gives; false for anything else.
bool PngSize(const std::string& bytes, int& width, int& height) {
    static const unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    if (bytes.size() < 33 || memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) return false;
    auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    uint32_t w = BigEndian32(p + 16), h = BigEndian32(p + 20);
    if (w == 0 || h == 0 || w > 0x7FFF || h > 0x7FFF) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// A GIF's logical screen, the size GDI+ gives its frames; false for anything else.
bool GifSize(const std::string& bytes, int& width, int& height) {
    if (bytes.size() < 13 || (bytes.compare(0, 6, "GIF89a") != 0 && bytes.compare(0, 6, "GIF87a") != 0)) return false;
    auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    width = p[6] | (p[7] << 8);
    height = p[8] | (p[9] << 8);
    return width > 0 && height > 0;
}

}  // namespace

// An animation's open GDI+ bitmap and the frame it has selected.
// An animation's open GDI+ bitmap. A window may hold it past the codecs' shutdown.
struct Image::Decoder {
    ~Decoder() {
        std::lock_guard lock(g_codecs);
        if (session != g_session) (void)bitmap.release();
    }
    Stream stream;
    Bitmap bitmap;
    GUID dimension = FrameDimensionTime;
    int session = g_session;
};

Image::Image() = default;

Image::Image(int w, int h, std::vector<ImageFrame> frames) : width(w), height(h), frames_(std::move(frames)), decoded_(true) {}

Image::~Image() = default;

size_t Image::FrameCount() const {
    if (!animated_) return frames_.empty() && encoded_.empty() ? 0 : std::max<size_t>(frames_.size(), 1);
    return Open() ? delays_.size() : 0;
}

UINT Image::Delay(size_t index) const {
    if (!animated_) return index < frames_.size() ? frames_[index].delayMs : 0;
    return Open() && index < delays_.size() ? delays_[index] : 0;
}

bool Image::Open() const {
    if (decoder_) return true;
    auto decoder = std::make_unique<Decoder>();
    decoder->bitmap = OpenBitmap(encoded_, decoder->stream);
    if (!decoder->bitmap) return false;
    decoded_ = true;
    auto* image = reinterpret_cast<GpImage*>(decoder->bitmap.get());
    int w = 0, h = 0;
    if (!ImageSize(decoder->bitmap.get(), w, h) || w != width || h != height) return false;
    UINT frames = 1, dimensions = 0;
    if (GdipImageGetFrameDimensionsCount(image, &dimensions) == Ok && dimensions > 0) {
        std::vector<GUID> ids(dimensions);
        if (GdipImageGetFrameDimensionsList(image, ids.data(), dimensions) == Ok) decoder->dimension = ids[0];
        if (GdipImageGetFrameCount(image, &decoder->dimension, &frames) != Ok || frames == 0) frames = 1;
    }
    delays_ = frames > 1 ? FrameDelays(image, frames) : std::vector<UINT>(1, 0);
    decoder_ = std::move(decoder);
    TraceStartup("animation opened " + std::to_string(width) + "x" + std::to_string(height));
    return true;
}

const ImageFrame* Image::Frame(size_t index) const {
    if (!animated_) {
        if (frames_.empty() && !encoded_.empty()) {
            Stream stream;
            Bitmap bitmap = OpenBitmap(encoded_, stream);
            ImageFrame frame;
            int w = 0, h = 0;
            decoded_ = true;
            if (bitmap && ImageSize(bitmap.get(), w, h) && w == width && h == height &&
                CopyFrame(bitmap.get(), width, height, frame))
                frames_.push_back(std::move(frame));
            TraceStartup("image decoded " + std::to_string(width) + "x" + std::to_string(height));
            encoded_.clear();
            encoded_.shrink_to_fit();
        }
        return index < frames_.size() ? &frames_[index] : nullptr;
    }
    if (index == currentIndex_) return &current_;
    if (!Open() || index >= delays_.size()) return nullptr;
    auto* image = reinterpret_cast<GpImage*>(decoder_->bitmap.get());
    currentIndex_ = SIZE_MAX;
    if (delays_.size() > 1 && GdipImageSelectActiveFrame(image, &decoder_->dimension, static_cast<UINT>(index)) != Ok)
        return nullptr;
    if (!CopyFrame(decoder_->bitmap.get(), width, height, current_)) return nullptr;
    current_.delayMs = delays_[index];
    currentIndex_ = index;
    return &current_;
}

std::shared_ptr<Image> DecodeImage(const void* data, size_t size) {
    if (!data || size == 0) return nullptr;
    auto image = std::shared_ptr<Image>(new Image);
    image->encoded_.assign(static_cast<const char*>(data), size);
    if (GifSize(image->encoded_, image->width, image->height)) {
        image->animated_ = true;
        return image;
    }
    if (PngSize(image->encoded_, image->width, image->height)) return image;
    // Any other kind is decoded now: its size is known only then.
    Stream stream;
    Bitmap bitmap = OpenBitmap(image->encoded_, stream);
    ImageFrame frame;
    if (!bitmap || !ImageSize(bitmap.get(), image->width, image->height) ||
        !CopyFrame(bitmap.get(), image->width, image->height, frame))
        return nullptr;
    image->frames_.push_back(std::move(frame));
    image->decoded_ = true;
    image->encoded_.clear();
    return image;
}

bool SavePng(const std::wstring& path, const uint32_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0 || !StartCodecs()) return false;
    // Straight alpha: not every GDI+ converts premultiplied pixels when encoding.
    std::vector<uint32_t> straight(pixels, pixels + static_cast<size_t>(width) * height);
    for (uint32_t& p : straight) {
        uint32_t a = p >> 24;
        if (a == 0 || a == 255) continue;
        auto un = [a](uint32_t v) { return std::min<uint32_t>(255, (v * 255 + a / 2) / a); };
        p = (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
    }
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                  reinterpret_cast<BYTE*>(straight.data()), &bitmap) != Ok)
        return false;
    static const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    Status status = GdipSaveImageToFile(reinterpret_cast<GpImage*>(bitmap), path.c_str(), &pngEncoder, nullptr);
    GdipDisposeImage(reinterpret_cast<GpImage*>(bitmap));
    return status == Ok;
}

bool StartImageCodecs() { return StartCodecs(); }

void ShutdownImageCodecs() {
    std::lock_guard lock(g_codecs);
    if (!g_token) return;
    GdiplusShutdown(g_token);
    g_token = 0;
    ++g_session;
}

}  // namespace DuiLib
