#include "ui/toolkit/GifAnim.h"

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {
namespace {
constexpr UINT kFrameTimer = 1;
}

CGifAnimUI::~CGifAnimUI() {
    if (manager_) manager_->KillTimer(this, kFrameTimer);
}

size_t CGifAnimUI::GetFrameCount() const { return image_.image ? image_.image->FrameCount() : 0; }

void CGifAnimUI::SetBkImage(std::wstring_view description) {
    if (manager_) manager_->KillTimer(this, kFrameTimer);
    CControlUI::SetBkImage(description);
    playing_ = false;
    Load();
}

void CGifAnimUI::Load() {
    image_ = ScaledImage{};
    chosenAt_ = 0;
    frame_ = 0;
    if (!manager_ || !bkImageDesc_) return;
    Choose();
    if (autoPlay_) PlayGif();
    Invalidate();
}

void CGifAnimUI::Choose() {
    if (!manager_ || !bkImageDesc_ || Dpi().Dpi() == chosenAt_) return;
    chosenAt_ = Dpi().Dpi();
    image_ = manager_->GetScaledImage(bkImageDesc_->file, kAnimationPlainUpToDpi);
    // The twin has the same frames; the position carries over.
    if (size_t count = GetFrameCount()) frame_ %= count;
}

void CGifAnimUI::ScheduleNext() {
    if (!manager_ || GetFrameCount() < 2 || !playing_) return;
    manager_->SetTimer(this, kFrameTimer, std::max<UINT>(image_.image->Delay(frame_), 20));
}

void CGifAnimUI::PlayGif() {
    if (playing_) return;
    playing_ = true;
    ScheduleNext();
}

void CGifAnimUI::PauseGif() {
    playing_ = false;
    if (manager_) manager_->KillTimer(this, kFrameTimer);
}

void CGifAnimUI::StopGif() {
    PauseGif();
    frame_ = 0;
    Invalidate();
}

void CGifAnimUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (visible && autoPlay_) PlayGif();
    else if (!visible) PauseGif();
}

void CGifAnimUI::DoInit() { Load(); }

void CGifAnimUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER && event.wParam == kFrameTimer) {
        if (GetFrameCount() == 0) return;
        frame_ = (frame_ + 1) % GetFrameCount();
        Invalidate();
        ScheduleNext();
        return;
    }
    CControlUI::DoEvent(event);
}

void CGifAnimUI::PaintBkImage(const Canvas& canvas, const RECT& clip) {
    Choose();
    if (!image_.image || !bkImageDesc_) return;
    CControlUI::DrawImage(canvas, clip, *bkImageDesc_, image_, nullptr, frame_);
}

void CGifAnimUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"autoplay") autoPlay_ = ParseBool(value);
    else if (name == L"autosize") {
    } else CControlUI::SetAttribute(name, value);
}

}  // namespace DuiLib
