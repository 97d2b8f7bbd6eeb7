// Images: 32-bit premultiplied BGRA pixels, decoded through GDI+ when a
// frame is first asked for, not when the image is opened. A PNG's or GIF's
// size is read from its header; a still image then keeps its one frame; an
// animated GIF keeps its encoded bytes and only the frame asked for last,
// decoding the next in turn (playing in order is what GIF decoding is made
// for). Used from the thread that draws. PNG writing goes through GDI+ too.
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

class Image {
public:
    // Pixels at hand (a drawn picture), every frame decoded.
    Image(int width, int height, std::vector<ImageFrame> frames);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    int width = 0;
    int height = 0;

    size_t FrameCount() const;
    // How long frame `index` stays (an animation's; 0 for a still image).
    UINT Delay(size_t index) const;
    // The frame's pixels, decoded now if they are not at hand; nullptr when
    // they cannot be. Valid until the next call for another frame.
    const ImageFrame* Frame(size_t index) const;
    // Pixels have been decoded (or the decoder opened) at least once.
    bool Decoded() const { return decoded_; }
    // A GIF: frames decoded one at a time, in turn.
    bool Animated() const { return animated_; }

private:
    friend std::shared_ptr<Image> DecodeImage(const void* data, size_t size);
    struct Decoder;
    Image();
    bool Open() const;

    mutable std::string encoded_;               // until a still image is decoded; an animation's for good
    mutable std::unique_ptr<Decoder> decoder_;  // an animation's, open from its first frame on
    mutable std::vector<ImageFrame> frames_;    // a still image's one, or every frame given
    mutable ImageFrame current_;                // an animation's frame asked for last
    mutable size_t currentIndex_ = SIZE_MAX;
    mutable std::vector<UINT> delays_;          // an animation's, once open
    mutable bool decoded_ = false;
    bool animated_ = false;
};

// nullptr when the bytes are not an image GDI+ can read. A PNG or GIF is
// only looked at (its header) until a frame is asked for.
std::shared_ptr<Image> DecodeImage(const void* data, size_t size);
// Writes premultiplied pixels as a PNG with straight alpha.
bool SavePng(const std::wstring& path, const uint32_t* pixels, int width, int height);
// Starts GDI+ ahead of the first decode (on any thread); false when it cannot.
bool StartImageCodecs();
// Ends GDI+; the next decode starts it again.
void ShutdownImageCodecs();

}  // namespace DuiLib
