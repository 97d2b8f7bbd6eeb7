// What the window looks like: the title band in its colour, Chinese text
// drawn in real glyphs, images from the archive. Captured with PrintWindow,
// the window's own painting path.
#include <gtest/gtest.h>

#include <vector>

#include "UiTestSupport.h"
#include "ui/toolkit/Snapshot.h"

using namespace DuiLib;
using uitest::TestWindow;

extern "C" void* deleteObjectSlot __asm__(IMPORT_SLOT(DeleteObject, 4));

namespace {

// DeleteObject as Windows does it: a bitmap still selected into a DC is not
// deleted and leaks (Wine deletes it once it is selected out). A bitmap can
// be selected into one DC only, so a probe DC tells whether it still is.
class StrictBitmapDeletion {
public:
    StrictBitmapDeletion() : hook_(&deleteObjectSlot, reinterpret_cast<void*>(&Delete)) {
        self_ = this;
        probe_ = CreateCompatibleDC(nullptr);
    }
    ~StrictBitmapDeletion() {
        DeleteDC(probe_);
        self_ = nullptr;
    }
    int Refused() const { return refused_; }

private:
    static BOOL WINAPI Delete(HGDIOBJ object) {
        if (self_ && GetObjectType(object) == OBJ_BITMAP) {
            HGDIOBJ old = SelectObject(self_->probe_, object);
            if (!old) {
                ++self_->refused_;
                return FALSE;
            }
            SelectObject(self_->probe_, old);
        }
        return self_ ? self_->hook_.Original<BOOL(WINAPI*)(HGDIOBJ)>()(object) : FALSE;
    }

    static inline StrictBitmapDeletion* self_ = nullptr;
    uitest::ImportHook hook_;
    HDC probe_ = nullptr;
    int refused_ = 0;
};

const wchar_t kTitled[] = LR"(<Window size="380,200" roundcorner="5,5">
  <Font id="0" name="微软雅黑" size="12" default="true"/>
  <Font id="1" name="微软雅黑" size="18" bold="true"/>
  <VerticalLayout bkcolor="#FFFFFFFF">
    <HorizontalLayout name="band" height="40" bkcolor="#FF0082F9">
      <Label name="title" text="正在下载中" font="1" textcolor="#FFFFFFFF" textpadding="12,0,0,0"/>
      <Button name="closebtn" width="42" height="30" stateimage="img/close.png" statecount="3"/>
    </HorizontalLayout>
    <Label name="body" text="已准备好解决方案，立即查看" align="center" textcolor="#FF333333" font="1"/>
    <Label name="empty" height="30"/>
  </VerticalLayout>
</Window>)";

bool Near(DWORD pixel, DWORD color, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((pixel >> shift) & 0xFF) - static_cast<int>((color >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

int CountNear(const Snapshot& shot, const RECT& rc, DWORD color, int tolerance) {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (Near(shot.At(x, y), color, tolerance)) ++n;
    return n;
}

}  // namespace

TEST(Render, TitleBandColourAndChineseText) {
    ASSERT_TRUE(uitest::UseOwnArchive());
    TestWindow w(kTitled);
    ASSERT_TRUE(w.Open());
    ShowWindow(w.GetHWND(), SW_SHOWNA);
    UpdateWindow(w.GetHWND());
    Snapshot shot;
    ASSERT_TRUE(CaptureClient(w.GetHWND(), shot));
    ASSERT_EQ(shot.width, 380);

    RECT band = w.Find(L"band")->GetPos();
    EXPECT_TRUE(Near(shot.At(200, 2), 0xFF0082F9, 2));
    EXPECT_TRUE(Near(shot.At(band.right - 60, band.bottom - 3), 0xFF0082F9, 2));
    EXPECT_TRUE(Near(shot.At(200, 120), 0xFFFFFFFF, 0));

    // The white title on blue, the grey body text on white.
    RECT title = w.Find(L"title")->GetPos(), body = w.Find(L"body")->GetPos(), empty = w.Find(L"empty")->GetPos();
    EXPECT_GT(CountNear(shot, title, 0xFFFFFFFF, 40), 60);
    EXPECT_GT(CountNear(shot, body, 0xFF333333, 40), 150);
    EXPECT_EQ(CountNear(shot, empty, 0xFF333333, 40), 0);
    // Glyphs, not a row of identical boxes: the text's columns differ.
    int firstInk = -1, lastInk = -1;
    for (int x = body.left; x < body.right; ++x)
        for (int y = body.top; y < body.bottom; ++y)
            if (Near(shot.At(x, y), 0xFF333333, 60)) {
                if (firstInk < 0) firstInk = x;
                lastInk = x;
            }
    EXPECT_NEAR((firstInk + lastInk) / 2, (body.left + body.right) / 2, 6);  // centred

    // The close button's image from the archive: its cross is lighter than the band.
    RECT close = w.Find(L"closebtn")->GetPos();
    EXPECT_GT(CountNear(shot, close, 0xFFFFFFFF, 60), 10);
    DestroyWindow(w.GetHWND());
}

TEST(Render, ChineseFontHasTheGlyphs) {
    std::wstring face = ResolveFontFace(L"微软雅黑");
    ASSERT_FALSE(face.empty());
    auto font = AcquireFont(FontSpec{L"微软雅黑", 14});
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->font.Get());
    const wchar_t text[] = L"立即修复";
    WORD glyphs[4] = {};
    ASSERT_EQ(GetGlyphIndicesW(dc, text, 4, glyphs, GGI_MARK_NONEXISTING_GLYPHS), 4u);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    for (WORD g : glyphs) EXPECT_NE(g, 0xFFFF);
    EXPECT_NE(glyphs[0], glyphs[1]);
}

TEST(Render, HoverAndPressChangeTheButton) {
    TestWindow w(LR"(<Window size="200,100"><VerticalLayout inset="20,20,20,20">
      <Button name="b" width="100" height="40" bkcolor="#FF238EF9" hotbkcolor="#FF4DA6FF" pushedbkcolor="#FF137FEB"/>
    </VerticalLayout></Window>)");
    ASSERT_TRUE(w.Open());
    SetWindowPos(w.GetHWND(), HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    POINT at = w.CenterOf(L"b");
    auto colourAt = [&]() {
        UpdateWindow(w.GetHWND());
        Snapshot shot;
        CaptureClient(w.GetHWND(), shot);
        return shot.At(at.x, at.y) & 0xFFFFFF;
    };
    EXPECT_EQ(colourAt(), 0x238EF9u);
    // The pointer really there: hover tracking looks at the cursor and
    // would answer a posted move alone with a leave.
    POINT before{}, screen = at;
    GetCursorPos(&before);
    ClientToScreen(w.GetHWND(), &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(w.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    uitest::Pump(100);
    EXPECT_EQ(colourAt(), 0x4DA6FFu);
    PostMessageW(w.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    uitest::Pump(50);
    EXPECT_EQ(colourAt(), 0x137FEBu);
    PostMessageW(w.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    uitest::Pump(50);
    EXPECT_EQ(colourAt(), 0x4DA6FFu);  // released over it: hot again
    SetCursorPos(before.x, before.y);
    DestroyWindow(w.GetHWND());
}

TEST(RenderGdi, BitmapsAreSelectedOutBeforeTheyAreDeleted) {
    ASSERT_TRUE(uitest::UseOwnArchive());
    // Real Windows also counts the process's GDI objects; Wine answers 0.
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    StrictBitmapDeletion strict;
    {
        BackBuffer buffer;
        ASSERT_TRUE(buffer.Resize(40, 30));
        ASSERT_TRUE(buffer.Resize(80, 60));
        ASSERT_TRUE(buffer.GetCanvas().bits);
    }
    EXPECT_EQ(strict.Refused(), 0) << "a back buffer";
    for (int i = 0; i < 10; ++i) {
        TestWindow w(kTitled);
        ASSERT_TRUE(w.Open());
        ShowWindow(w.GetHWND(), SW_SHOWNA);
        for (int step = 0; step < 5; ++step) {
            SetWindowPos(w.GetHWND(), nullptr, 0, 0, 380 + 7 * step, 200 + 3 * step,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            RedrawWindow(w.GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
        Snapshot shot;
        EXPECT_TRUE(CaptureClient(w.GetHWND(), shot));
        DestroyWindow(w.GetHWND());
    }
    EXPECT_EQ(strict.Refused(), 0) << "windows painted, resized, captured and closed";
    DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (before > 0) {
        EXPECT_LE(after, before + 8);
    }
}

TEST(Render, FocusMarkShowsAfterTabOnBlueAndOnWhiteAndHidesAtAPress) {
    TestWindow w(LR"(<Window size="300,120"><VerticalLayout bkcolor="#FFFFFFFF" inset="20,20,20,20" childpadding="10">
      <Button name="blue" width="120" height="30" bkcolor="#FF238EF9" text="确定" textcolor="#FFFFFFFF"/>
      <Button name="white" width="120" height="30" text="取消" textcolor="#FF333333"/>
    </VerticalLayout></Window>)");
    ASSERT_TRUE(w.Open());
    ShowWindow(w.GetHWND(), SW_SHOWNA);
    w.GetPaintManager().SetFocus(nullptr);  // Tab starts from no focus
    // The ring's two lines and the inside at the left edge's middle.
    auto edge = [&](const wchar_t* name) {
        UpdateWindow(w.GetHWND());
        Snapshot shot;
        CaptureClient(w.GetHWND(), shot);
        RECT rc = w.Find(name)->GetPos();
        int y = (rc.top + rc.bottom) / 2;
        return std::vector<DWORD>{shot.At(rc.left + 1, y) & 0xFFFFFF, shot.At(rc.left + 2, y) & 0xFFFFFF,
                                  shot.At(rc.left + 4, y) & 0xFFFFFF};
    };
    const std::vector<DWORD> blue{0x238EF9, 0x238EF9, 0x238EF9}, white{0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    EXPECT_EQ(edge(L"blue"), blue);
    PostMessageW(w.GetHWND(), WM_KEYDOWN, VK_TAB, 0);
    uitest::Pump(50);
    // Dark outside, white inside: seen on either colour.
    EXPECT_EQ(edge(L"blue"), (std::vector<DWORD>{0x1A1A1A, 0xFFFFFF, 0x238EF9}));
    EXPECT_EQ(edge(L"white"), white);
    PostMessageW(w.GetHWND(), WM_KEYDOWN, VK_TAB, 0);
    uitest::Pump(50);
    EXPECT_EQ(edge(L"blue"), blue) << "the mark stayed behind";
    EXPECT_EQ(edge(L"white"), (std::vector<DWORD>{0x1A1A1A, 0xFFFFFF, 0xFFFFFF}));
    // A mouse user sees no mark, even on the control the press focused.
    w.PostClick(L"blue");
    uitest::Pump(50);
    EXPECT_EQ(w.GetPaintManager().GetFocus(), w.Find(L"blue"));
    EXPECT_EQ(edge(L"blue"), blue);
    EXPECT_EQ(edge(L"white"), white);
    DestroyWindow(w.GetHWND());
}
