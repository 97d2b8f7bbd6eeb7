#include "ui/toolkit/Image.h"

#include <objidl.h>
#include <ole2.h>
#include <gdiplus.h>

#include <cstring>

namespace DuiLib {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

ULONG_PTR g_token = 0;

bool StartCodecs() {
    if (g_token) return true;
    GdiplusStartupInput input;
    return GdiplusStartup(&g_token, &input, nullptr) == Ok;
}

struct StreamRelease {
    void operator()(IStream* s) const {
        if (s) s->Release();
    }
};

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

}  // namespace

std::shared_ptr<Image> DecodeImage(const void* data, size_t size) {
    if (!data || size == 0 || !StartCodecs()) return nullptr;
    std::unique_ptr<IStream, StreamRelease> stream(MemoryStream(data, size));
    if (!stream) return nullptr;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromStream(stream.get(), &bitmap) != Ok || !bitmap) return nullptr;
    auto* asImage = reinterpret_cast<GpImage*>(bitmap);

    auto image = std::make_shared<Image>();
    UINT width = 0, height = 0;
    GdipGetImageWidth(asImage, &width);
    GdipGetImageHeight(asImage, &height);
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);

    UINT frames = 1;
    GUID dimension = FrameDimensionTime;
    UINT dimensions = 0;
    if (GdipImageGetFrameDimensionsCount(asImage, &dimensions) == Ok && dimensions > 0) {
        std::vector<GUID> ids(dimensions);
        if (GdipImageGetFrameDimensionsList(asImage, ids.data(), dimensions) == Ok) dimension = ids[0];
        if (GdipImageGetFrameCount(asImage, &dimension, &frames) != Ok || frames == 0) frames = 1;
    }
    std::vector<UINT> delays = frames > 1 ? FrameDelays(asImage, frames) : std::vector<UINT>(1, 0);
    for (UINT i = 0; i < frames; ++i) {
        if (frames > 1 && GdipImageSelectActiveFrame(asImage, &dimension, i) != Ok) break;
        ImageFrame frame;
        frame.delayMs = delays[i];
        if (!CopyFrame(bitmap, image->width, image->height, frame)) break;
        image->frames.push_back(std::move(frame));
    }
    GdipDisposeImage(asImage);
    if (image->frames.empty() || image->width <= 0 || image->height <= 0) return nullptr;
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

void ShutdownImageCodecs() {
    if (!g_token) return;
    GdiplusShutdown(g_token);
    g_token = 0;
}

}  // namespace DuiLib
