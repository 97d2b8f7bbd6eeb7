// What the window looks like: the title band in its colour, Chinese text
// drawn in real glyphs, images from the archive. Captured with PrintWindow,
// the window's own painting path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/toolkit/Snapshot.h"

using namespace DuiLib;
using uitest::TestWindow;

extern "C" void* deleteObjectSlot __asm__(IMPORT_SLOT(DeleteObject, 4));
extern "C" void* createDcSlot __asm__(IMPORT_SLOT(CreateCompatibleDC, 4));
extern "C" void* createDibSlot __asm__(IMPORT_SLOT(CreateDIBSection, 24));
extern "C" void* createBrushSlot __asm__(IMPORT_SLOT(CreateSolidBrush, 4));
extern "C" void* createRegionSlot __asm__(IMPORT_SLOT(CreateRectRgn, 16));
extern "C" void* createRoundRegionSlot __asm__(IMPORT_SLOT(CreateRoundRectRgn, 24));

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

// The GDI objects this program makes (DCs, bitmaps, brushes, regions; fonts
// are kept by their cache) and how many of them still exist: Windows counts
// them per process, Wine does not (GetGuiResources answers 0).
class GdiCreations {
public:
    GdiCreations()
        : dc_(&createDcSlot, reinterpret_cast<void*>(&CreateDc)),
          dib_(&createDibSlot, reinterpret_cast<void*>(&CreateDib)),
          brush_(&createBrushSlot, reinterpret_cast<void*>(&CreateBrush)),
          region_(&createRegionSlot, reinterpret_cast<void*>(&CreateRegion)),
          roundRegion_(&createRoundRegionSlot, reinterpret_cast<void*>(&CreateRoundRegion)) {
        self_ = this;
    }
    ~GdiCreations() { self_ = nullptr; }
    size_t Made() const { return made_.size(); }
    int Alive() const {
        int alive = 0;
        for (HGDIOBJ object : made_) alive += GetObjectType(object) != 0;
        return alive;
    }

private:
    template <class F>
    static F Original(uitest::ImportHook GdiCreations::*hook) {
        return (self_->*hook).Original<F>();
    }
    static HGDIOBJ Keep(HGDIOBJ object) {
        if (object && self_) self_->made_.push_back(object);
        return object;
    }
    static HDC WINAPI CreateDc(HDC dc) {
        return static_cast<HDC>(Keep(Original<HDC(WINAPI*)(HDC)>(&GdiCreations::dc_)(dc)));
    }
    static HBITMAP WINAPI CreateDib(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset) {
        using Fn = HBITMAP(WINAPI*)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD);
        return static_cast<HBITMAP>(Keep(Original<Fn>(&GdiCreations::dib_)(dc, info, usage, bits, section, offset)));
    }
    static HBRUSH WINAPI CreateBrush(COLORREF color) {
        return static_cast<HBRUSH>(Keep(Original<HBRUSH(WINAPI*)(COLORREF)>(&GdiCreations::brush_)(color)));
    }
    static HRGN WINAPI CreateRegion(int l, int t, int r, int b) {
        return static_cast<HRGN>(Keep(Original<HRGN(WINAPI*)(int, int, int, int)>(&GdiCreations::region_)(l, t, r, b)));
    }
    static HRGN WINAPI CreateRoundRegion(int l, int t, int r, int b, int w, int h) {
        using Fn = HRGN(WINAPI*)(int, int, int, int, int, int);
        return static_cast<HRGN>(Keep(Original<Fn>(&GdiCreations::roundRegion_)(l, t, r, b, w, h)));
    }

    static inline GdiCreations* self_ = nullptr;
    uitest::ImportHook dc_, dib_, brush_, region_, roundRegion_;
    std::vector<HGDIOBJ> made_;
};

// WCAG's contrast of two colours (1 to 21).
double Luminance(DWORD rgb) {
    double sum = 0;
    const double weights[] = {0.0722, 0.7152, 0.2126};  // blue, green, red
    for (int i = 0; i < 3; ++i) {
        double c = ((rgb >> (8 * i)) & 0xFF) / 255.0;
        sum += weights[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
}

double Contrast(DWORD a, DWORD b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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

BOOL CALLBACK CountShadow(HWND window, LPARAM counter) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (IsWindowVisible(window) && std::wstring(name) == L"DuiShadow") ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

// The drop shadows this thread's windows show.
int VisibleShadows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountShadow, reinterpret_cast<LPARAM>(&count));
    return count;
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
    StrictBitmapDeletion strict;  // its probe DC lives on past the count
    GdiCreations made;
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
    EXPECT_GT(made.Made(), 20u);
    EXPECT_EQ(made.Alive(), 0) << "of " << made.Made() << " GDI objects made";
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

// In high contrast the window paints in the system's colours: surfaces and
// their text, a button's face, outline and text (its picture gone), the
// disabled text, the picked option as a selection; the focus mark stays, the
// drop shadow goes.
// It follows the mode when the system announces it, both ways.
TEST(Render, HighContrastPaintsInTheSystemColours) {
    ASSERT_TRUE(uitest::UseOwnArchive());
    TestWindow w(LR"(<Window size="300,200" shadowsize="8"><Font id="0" name="微软雅黑" size="16" bold="true" default="true"/>
      <VerticalLayout bkcolor="#FFFFFFFF" inset="10,10,10,10" childpadding="6">
        <Label name="band" height="30" bkcolor="#FF0082F9" text="正在下载" textcolor="#FFFFFFFF"/>
        <Button name="fix" width="130" height="36" text="立即修复" textcolor="#FFFFFFFF" normalimage="img1/btn1.png"/>
        <Label name="off" height="26" text="暂不可用" enabled="false"/>
        <Option name="picked" width="130" height="26" text="已选中" selected="true" selectedbkcolor="#FFE8F2FE"
                selectedtextcolor="#FF238EF9"/>
      </VerticalLayout></Window>)");
    ASSERT_TRUE(w.Open());
    ShowWindow(w.GetHWND(), SW_SHOWNA);
    auto shoot = [&](Snapshot& shot) {
        UpdateWindow(w.GetHWND());
        ASSERT_TRUE(CaptureClient(w.GetHWND(), shot));
    };
    auto rect = [&](const wchar_t* name) { return w.Find(name)->GetPos(); };
    Snapshot shot;
    shoot(shot);
    ASSERT_EQ(shot.At(rect(L"band").left + 2, rect(L"band").top + 2) & 0xFFFFFF, 0x0082F9u);
    EXPECT_EQ(VisibleShadows(), 1);
    {
        using Hc = uitest::SimulatedHighContrast;
        Hc contrast;
        SendMessageW(w.GetHWND(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        w.GetPaintManager().SetFocus(nullptr);
        PostMessageW(w.GetHWND(), WM_KEYDOWN, VK_TAB, 0);  // the mark on the button
        uitest::Pump(50);
        ASSERT_EQ(w.GetPaintManager().GetFocus(), w.Find(L"fix"));
        shoot(shot);
        auto argb = [](COLORREF c) { return 0xFF000000 | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
        struct Part {
            const wchar_t* name;
            COLORREF surface, text;
        };
        const Part parts[] = {
            {L"band", Hc::kWindow, Hc::kWindowText},
            {L"fix", Hc::kButtonFace, Hc::kButtonText},
            {L"off", Hc::kWindow, Hc::kGrayText},
            {L"picked", Hc::kHighlight, Hc::kHighlightText},
        };
        for (const Part& part : parts) {
            SCOPED_TRACE(testing::Message() << "control " << part.name);
            RECT rc = rect(part.name);
            RECT inside{rc.left + 4, rc.top + 4, rc.right - 4, rc.bottom - 4};
            EXPECT_EQ(shot.At(inside.right - 1, inside.top), argb(part.surface));  // beside the text
            EXPECT_GT(CountNear(shot, inside, argb(part.text), 10), 40) << "its text";
            EXPECT_GT(CountNear(shot, inside, argb(part.surface), 0) + CountNear(shot, inside, argb(part.text), 10),
                      (inside.right - inside.left) * (inside.bottom - inside.top) * 6 / 10)
                << "mostly the two colours";
        }
        RECT fix = rect(L"fix");
        int middle = (fix.top + fix.bottom) / 2;
        EXPECT_EQ(shot.At(fix.left, middle), argb(Hc::kButtonText)) << "the button's outline";
        EXPECT_EQ(shot.At(fix.left + 1, middle), argb(Hc::kWindowText)) << "the focus mark";
        EXPECT_EQ(shot.At(fix.left + 2, middle), argb(Hc::kWindow)) << "the focus mark";
        EXPECT_EQ(VisibleShadows(), 0) << "no drop shadow";
    }
    SendMessageW(w.GetHWND(), WM_SYSCOLORCHANGE, 0, 0);
    shoot(shot);
    EXPECT_EQ(shot.At(rect(L"band").left + 2, rect(L"band").top + 2) & 0xFFFFFF, 0x0082F9u) << "back to the layout's";
    EXPECT_EQ(VisibleShadows(), 1);
    DestroyWindow(w.GetHWND());
}

// Disabled text reads at 4.5:1 at least against what it is drawn on, as
// painted: the toolkit's own grey on white, and the report window's button
// before the report is ready.
TEST(Render, DisabledTextStandsOutFromItsBackground) {
    struct Case {
        const wchar_t* folder;  // nullptr: the test's own archive
        const wchar_t* layout;
        const wchar_t* name;
    };
    const Case cases[] = {
        {nullptr, LR"(<Window size="240,80"><VerticalLayout bkcolor="#FFFFFFFF" inset="10,10,10,10">
           <Label name="off" height="40" text="暂不可用 Disabled" enabled="false"/></VerticalLayout></Window>)",
         L"off"},
        {L"" UI_DUMPER_LAYOUTS, L"ReportUI.xml", L"okBtn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "control " << c.name);
        if (c.folder) uitest::UseFolder(c.folder);
        else ASSERT_TRUE(uitest::UseOwnArchive());
        TestWindow w(c.layout);
        ASSERT_TRUE(w.Open());
        ShowWindow(w.GetHWND(), SW_SHOWNA);
        UpdateWindow(w.GetHWND());
        Snapshot shot;
        ASSERT_TRUE(CaptureClient(w.GetHWND(), shot));
        CControlUI* control = w.Find(c.name);
        ASSERT_TRUE(control && !control->IsEnabled());
        RECT rc = control->GetPos();
        DWORD background = shot.At(rc.left + 4, rc.top + 4);
        double best = 1;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x) best = std::max(best, Contrast(shot.At(x, y), background));
        EXPECT_GE(best, 4.5);
        DestroyWindow(w.GetHWND());
    }
    ASSERT_TRUE(uitest::UseOwnArchive());
}
