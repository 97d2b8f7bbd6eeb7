// An animated GIF that plays on its own ("autoplay", on by default) with
// each frame's own delay. SetBkImage loads another animation. Above 125 %
// it plays the double-size twin (name@2x.gif) where there is one, chosen
// again when the window's scale changes; only the file played is decoded.
#pragma once
#include <memory>

#include "ui/toolkit/Control.h"
#include "ui/toolkit/Image.h"

namespace DuiLib {

class CGifAnimUI : public CControlUI {
public:
    ~CGifAnimUI() override;
    CDuiString GetClass() const override { return L"GifAnim"; }

    void SetBkImage(std::wstring_view description) override;
    void PlayGif();
    void PauseGif();
    void StopGif();  // pauses at the first frame
    bool IsPlaying() const { return playing_; }
    size_t GetFrameCount() const;
    size_t GetCurrentFrame() const { return frame_; }

    void SetVisible(bool visible = true) override;
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    void PaintBkImage(const Canvas& canvas, const RECT& clip) override;

private:
    void Load();
    // Picks the file for the window's scale when that scale is new.
    void Choose();
    void ScheduleNext();

    ScaledImage image_;
    int chosenAt_ = 0;  // the DPI image_ was picked for
    size_t frame_ = 0;
    bool autoPlay_ = true;
    bool playing_ = false;
};

}  // namespace DuiLib
