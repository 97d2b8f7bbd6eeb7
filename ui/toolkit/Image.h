// Decoded images: 32-bit premultiplied BGRA pixels, one frame for still
// images, every frame with its delay for animated GIFs. Decoding and PNG
// writing go through GDI+.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace DuiLib {

struct ImageFrame {
    std::vector<uint32_t> pixels;  // width*height, top-down, premultiplied
    UINT delayMs = 0;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<ImageFrame> frames;
};

// nullptr when the bytes are not an image GDI+ can read.
std::shared_ptr<Image> DecodeImage(const void* data, size_t size);
// Writes premultiplied pixels as a PNG with straight alpha.
bool SavePng(const std::wstring& path, const uint32_t* pixels, int width, int height);
// Ends GDI+; the next decode starts it again.
void ShutdownImageCodecs();

}  // namespace DuiLib
