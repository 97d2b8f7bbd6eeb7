// Display scaling: the windows of both programs laid out, drawn and
// hit-tested at the scale of the Wine prefix the run has (100 %, 150 % or
// 200 %, from its LogPixels), then moved to a monitor of another scale and
// back. VANTORO_EXPECT_DPI names the prefix's DPI.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "UiTestSupport.h"
#include "ui/toolkit/Resources.h"
#include "ui/toolkit/Snapshot.h"
#include "ui/toolkit/TextLayout.h"
#include "ui/toolkit/UIlib.h"

using namespace DuiLib;

namespace {

int ExpectedDpi() {
    const char* value = std::getenv("VANTORO_EXPECT_DPI");
    return value && *value ? std::atoi(value) : 96;
}

// The other scale a window is tried at: 150 % from a 100 % display, else 100 %.
int OtherDpi(int dpi) { return dpi == 96 ? 144 : 96; }

// What each window measures at each display scale on the tests' screen
// (1280 x 1024): the scale it is laid out at and its size. The main window
// is too wide for the screen above 133 DPI and the report window too tall
// above 183, so they stop there. Written out, not computed.
struct Measure {
    int dpi;
    SIZE size;
};
struct WindowCase {
    const wchar_t* layout;
    Measure at96, at144, at192;
    const Measure& At(int display) const { return display == 96 ? at96 : display == 144 ? at144 : at192; }
};
const WindowCase kWindows[] = {
    {L"MainUI.xml", {96, {920, 560}}, {133, {1275, 776}}, {133, {1275, 776}}},
    {L"CheckProgress.xml", {96, {410, 228}}, {144, {615, 342}}, {192, {820, 456}}},
    {L"SolutionUI.xml", {96, {616, 403}}, {144, {924, 605}}, {192, {1232, 806}}},
    {L"UpdateUI.xml", {96, {410, 228}}, {144, {615, 342}}, {192, {820, 456}}},
    {L"Msgbox.xml", {96, {320, 200}}, {144, {480, 300}}, {192, {640, 400}}},
    {L"ReportUI.xml", {96, {668, 534}}, {144, {1002, 801}}, {183, {1273, 1018}}},
};
constexpr SIZE kScreen{1280, 1024};

// The solution page's drop-down with three items 36 units high and its
// border of a unit, by the scale its window is laid out at.
int DropDownHeight(int layoutDpi) { return layoutDpi == 96 ? 110 : layoutDpi == 144 ? 166 : 220; }

// The tooltip's maximum width of 400 units, by the scale its window is laid out at.
int ToolTipWidth(int layoutDpi) {
    switch (layoutDpi) {
        case 96: return 400;
        case 133: return 554;
        case 144: return 600;
        case 183: return 763;
        default: return 800;
    }
}

struct ToolTipSearch {
    HWND owner, found;
};

BOOL CALLBACK FindToolTip(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<ToolTipSearch*>(p);
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (GetWindow(hwnd, GW_OWNER) == s->owner && lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) s->found = hwnd;
    return !s->found;
}

HWND ToolTipOf(HWND window) {
    ToolTipSearch search{window, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindToolTip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

SIZE WindowSize(HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

SIZE WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return SIZE{work.right - work.left, work.bottom - work.top};
}

class Scale : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(uitest::UseOwnArchive()); }
};

std::vector<CControlUI*> Shown(CPaintManagerUI& manager) {
    std::vector<CControlUI*> controls;
    manager.GetRoot()->FindControl([&](CControlUI* c) {
        if (c->IsVisibleInTree() && !IsEmptyRect(c->GetPos())) controls.push_back(c);
        return false;
    });
    return controls;
}

std::map<CControlUI*, RECT> Positions(CPaintManagerUI& manager) {
    std::map<CControlUI*, RECT> at;
    for (CControlUI* c : Shown(manager)) at[c] = c->GetPos();
    return at;
}

// The room a label's text has and the size the text takes at the window's scale.
struct TextFit {
    SIZE room{};
    SIZE text{};
    bool Fits() const { return text.cx <= room.cx + 1 && text.cy <= room.cy + 1; }
};

TextFit MeasureText(CPaintManagerUI& manager, CLabelUI* label) {
    const TextStyle& style = label->GetTextStyle();
    RECT pad = manager.GetDpiScale().Scale(style.padding), pos = label->GetPos();
    TextFit fit;
    fit.room = SIZE{pos.right - pos.left - pad.left - pad.right, pos.bottom - pos.top - pad.top - pad.bottom};
    TextFormat format;
    format.wordWrap = style.wordWrap;
    format.font = style.font;
    FontLookup fonts = [&manager](int id, bool bold, bool underline, bool italic) {
        return manager.GetFont(id, bold, underline, italic);
    };
    std::wstring text = label->GetText();
    HDC dc = CreateCompatibleDC(nullptr);
    fit.text = MeasureTextRuns(dc, style.markup ? ParseMarkup(text) : PlainRuns(text), format, fonts,
                               style.wordWrap ? fit.room.cx : 0);
    DeleteDC(dc);
    return fit;
}

// Labels with a text that is meant to be whole (an ellipsis may cut the others).
std::vector<CLabelUI*> WholeTexts(CPaintManagerUI& manager) {
    std::vector<CLabelUI*> labels;
    for (CControlUI* c : Shown(manager)) {
        auto* label = dynamic_cast<CLabelUI*>(c);
        if (label && !dynamic_cast<CRichEditUI*>(c) && !label->GetText().empty() && !label->GetTextStyle().endEllipsis)
            labels.push_back(label);
    }
    return labels;
}

// A move to a monitor of `dpi`, as Windows reports it, with the place it
// proposes: the window's size in proportion. The window takes that place
// where it is laid out at the display's scale before and after, else it
// takes the size `expected` gives.
void MoveToMonitorOf(HWND hwnd, CPaintManagerUI& manager, int dpi, const Measure& expected) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    int from = manager.GetDisplayDpi();
    bool alike = manager.GetDpiScale().Dpi() == from;
    RECT suggested{rc.left, rc.top, rc.left + MulDiv(rc.right - rc.left, dpi, from),
                   rc.top + MulDiv(rc.bottom - rc.top, dpi, from)};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    manager.UpdateLayout();
    EXPECT_EQ(manager.GetDpiScale().Dpi(), expected.dpi);
    GetWindowRect(hwnd, &rc);
    if (alike && expected.dpi == dpi) {
        EXPECT_TRUE(EqualRect(&rc, &suggested)) << "the window takes the place Windows proposes";
    }
    EXPECT_EQ(rc.right - rc.left, expected.size.cx);
    EXPECT_EQ(rc.bottom - rc.top, expected.size.cy);
}

LRESULT HitTest(HWND hwnd, POINT client) {
    ClientToScreen(hwnd, &client);
    return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(client.x, client.y));
}

// The drag area ends at the layout's caption bottom, scaled: just above it the
// window drags, just below it it does not (where no control takes the press).
void ExpectCaptionEdge(uitest::TestWindow& window, CPaintManagerUI& manager) {
    int bottom = manager.GetCaptionRect().bottom;
    if (bottom <= 0) return;  // the whole window or none
    int edge = manager.GetDpiScale().Scale(bottom);
    RECT client;
    GetClientRect(window.GetHWND(), &client);
    auto passive = [&](POINT pt) {
        CControlUI* c = manager.FindControl(pt);
        return !c || !c->IsInteractive();
    };
    for (int x = 2; x < client.right; x += 7) {
        POINT above{x, edge - 2}, below{x, edge + 2};
        if (!passive(above) || !passive(below)) continue;
        EXPECT_EQ(HitTest(window.GetHWND(), above), HTCAPTION) << "at " << x << "," << above.y;
        EXPECT_EQ(HitTest(window.GetHWND(), below), HTCLIENT) << "at " << x << "," << below.y;
        return;
    }
    ADD_FAILURE() << "no place to try the caption's edge";
}

struct Luma {
    int width = 0, height = 0;
    std::vector<double> v;
    double At(int x, int y) const { return v[static_cast<size_t>(y) * width + x]; }
};

Luma LumaOf(const std::vector<uint32_t>& pixels, int stride, const RECT& rc) {
    Luma out;
    out.width = rc.right - rc.left;
    out.height = rc.bottom - rc.top;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * stride + x];
            out.v.push_back(0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) + 0.114 * (p & 0xFF));
        }
    return out;
}

// What stretching a bitmap gives: bilinear, as good as stretching gets.
Luma Stretch(const Luma& in, int width, int height) {
    Luma out;
    out.width = width;
    out.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double sx = std::clamp((x + 0.5) * in.width / width - 0.5, 0.0, in.width - 1.0);
            double sy = std::clamp((y + 0.5) * in.height / height - 0.5, 0.0, in.height - 1.0);
            int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
            int x1 = std::min(x0 + 1, in.width - 1), y1 = std::min(y0 + 1, in.height - 1);
            double fx = sx - x0, fy = sy - y0;
            double top = in.At(x0, y0) * (1 - fx) + in.At(x1, y0) * fx;
            double bottom = in.At(x0, y1) * (1 - fx) + in.At(x1, y1) * fx;
            out.v.push_back(top * (1 - fy) + bottom * fy);
        }
    return out;
}

// How steep the edges are: neighbour differences weighted by themselves. A
// glyph edge drawn at its size steps in about a pixel; stretched, it ramps.
double EdgeSteepness(const Luma& l) {
    double sum = 0, squares = 0;
    for (int y = 0; y + 1 < l.height; ++y)
        for (int x = 0; x + 1 < l.width; ++x) {
            for (double d : {std::abs(l.At(x + 1, y) - l.At(x, y)), std::abs(l.At(x, y + 1) - l.At(x, y))}) {
                sum += d;
                squares += d * d;
            }
        }
    return sum > 0 ? squares / sum : 0;
}

}  // namespace

// Each layout of Fixer and Dumper at the display's scale: the window and every
// control sized by it, the texts still inside their controls, the caption's
// drag area and the combo's drop-down scaled; then moved to a monitor of
// another scale and back, which leaves it exactly as it was. A window the
// screen cannot hold at the display's scale is laid out at the largest that
// it can.
TEST_F(Scale, EveryWindowFollowsTheDisplayScale) {
    const int dpi = ExpectedDpi(), other = OtherDpi(dpi);
    SIZE work = WorkArea();
    ASSERT_TRUE(work.cx == kScreen.cx && work.cy == kScreen.cy) << "the sizes are written for a 1280 x 1024 screen";
    for (const WindowCase& expected : kWindows) {
        SCOPED_TRACE(testing::Message() << expected.layout);
        const Measure here = expected.At(dpi), there = expected.At(other);
        uitest::TestWindow window(expected.layout);
        ASSERT_TRUE(window.Open());
        CPaintManagerUI& manager = window.GetPaintManager();
        ASSERT_EQ(manager.GetDisplayDpi(), dpi) << "the toolkit reads the display's scale";
        ASSERT_EQ(manager.GetDpiScale().Dpi(), here.dpi);
        SIZE size = WindowSize(window.GetHWND());
        EXPECT_EQ(size.cx, here.size.cx);
        EXPECT_EQ(size.cy, here.size.cy);
        auto* combo = window.Find<CComboUI>(L"versioncombo");
        if (combo) {
            for (const wchar_t* item : {L"2019", L"2020", L"2021"}) combo->AddItem(item);
            manager.UpdateLayout();
        }
        // What follows the scale besides the layout: the drag area, the
        // tooltip's width and the drop-down.
        CControlUI* tipped = nullptr;
        for (CControlUI* c : Shown(manager))
            if (!tipped && !c->GetToolTip().empty()) tipped = c;
        auto expectScaledInput = [&] {
            ExpectCaptionEdge(window, manager);
            if (tipped) {
                RECT at = tipped->GetPos();
                SendMessageW(window.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(at.left + 1, at.top + 1));
                HWND tip = ToolTipOf(window.GetHWND());
                ASSERT_TRUE(tip) << "hovering " << tipped->GetName().c_str();
                EXPECT_EQ(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), ToolTipWidth(manager.GetDpiScale().Dpi()));
                SendMessageW(window.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
            }
            if (!combo) return;
            ASSERT_TRUE(combo->ShowDropDown());
            RECT drop, at = combo->GetPos();
            GetWindowRect(combo->GetDropDownWindow(), &drop);
            POINT below{at.left, at.bottom};
            ClientToScreen(window.GetHWND(), &below);
            EXPECT_EQ(drop.left, below.x);
            EXPECT_EQ(drop.right - drop.left, at.right - at.left);
            EXPECT_EQ(drop.bottom - drop.top, DropDownHeight(manager.GetDpiScale().Dpi()));
            combo->CloseDropDown();
        };
        expectScaledInput();

        // The same window at the other scale: each control where scaling puts it.
        std::map<CControlUI*, RECT> positions = Positions(manager);
        std::map<CLabelUI*, TextFit> texts;
        for (CLabelUI* label : WholeTexts(manager)) texts[label] = MeasureText(manager, label);
        MoveToMonitorOf(window.GetHWND(), manager, other, there);
        ASSERT_EQ(manager.GetDpiScale().Dpi(), there.dpi);
        expectScaledInput();
        std::map<CControlUI*, RECT> moved = Positions(manager);
        ASSERT_EQ(moved.size(), positions.size());
        // From 150 % to 200 % a layout's rounding adds up along a row of controls.
        const int slack = 3;
        for (const auto& [control, pos] : positions) {
            SCOPED_TRACE(testing::Message() << "control " << control->GetName().c_str() << " "
                                            << control->GetClass().c_str());
            auto scaled = [&](LONG v) { return MulDiv(v, there.dpi, here.dpi); };
            RECT got = moved[control];
            EXPECT_NEAR(got.left, scaled(pos.left), slack);
            EXPECT_NEAR(got.top, scaled(pos.top), slack);
            EXPECT_NEAR(got.right, scaled(pos.right), slack);
            EXPECT_NEAR(got.bottom, scaled(pos.bottom), slack);
        }
        for (const auto& [label, fit] : texts) {
            SCOPED_TRACE(testing::Message() << "text of " << label->GetName().c_str());
            TextFit now = MeasureText(manager, label);
            // Fonts are made at the scaled size, so the text grows with its box.
            EXPECT_NEAR(now.text.cy, fit.text.cy * there.dpi / double(here.dpi), 2 + fit.text.cy * 0.1);
            const TextFit& unscaled = here.dpi < there.dpi ? fit : now;
            const TextFit& scaled = here.dpi < there.dpi ? now : fit;
            if (unscaled.Fits()) {
                EXPECT_TRUE(scaled.Fits()) << "needs " << scaled.text.cx << "x" << scaled.text.cy << " in "
                                           << scaled.room.cx << "x" << scaled.room.cy;
            }
        }
        MoveToMonitorOf(window.GetHWND(), manager, dpi, here);
        EXPECT_EQ(Positions(manager).size(), positions.size());
        for (const auto& [control, pos] : Positions(manager))
            EXPECT_TRUE(EqualRect(&pos, &positions[control])) << "back at the first scale: " << control->GetName().c_str();
        window.Close(IDOK);
        uitest::Pump(20);
    }
}

// The scale a window is laid out at, for the display's scale, the text scale
// and the room the monitor's work area gives.
TEST(ScaleArithmetic, LayoutDpiGrowsWithTheTextAndStopsAtTheWorkArea) {
    struct Case {
        int display, text;
        SIZE layout, work;
        int expected;
    };
    const Case cases[] = {
        {96, 100, {320, 200}, {1280, 1024}, 96},
        {96, 150, {320, 200}, {1280, 1024}, 144},
        {144, 150, {320, 200}, {1920, 1040}, 216},
        {96, 225, {320, 200}, {1920, 1040}, 216},
        {96, 150, {920, 560}, {1280, 1024}, 133},    // as wide as the screen
        {144, 100, {920, 560}, {1280, 1024}, 133},   // the display's scale alone does not fit
        {120, 100, {920, 560}, {800, 600}, 96},      // never below 100 %
        {72, 100, {920, 560}, {640, 480}, 72},       // nor below the display's own
        {96, 50, {320, 200}, {1280, 1024}, 96},      // below 100 % is 100 %
        {144, 100, {0, 0}, {1280, 1024}, 144},       // no layout size yet
        {144, 200, {320, 200}, {0, 0}, 288},         // no monitor
    };
    for (const Case& c : cases)
        EXPECT_EQ(LayoutDpi(c.display, c.text, c.layout, c.work), c.expected)
            << c.display << " dpi, text " << c.text << " %, " << c.layout.cx << "x" << c.layout.cy << " in "
            << c.work.cx << "x" << c.work.cy;
}

// A dialog opens on the monitor its owner is on, at that monitor's scale,
// centred over the owner and inside the work area; a hidden owner's dialog
// is centred on the owner's monitor.
TEST(ScaleArithmetic, DialogsOpenOnTheirOwnersMonitorAtItsScale) {
    const std::vector<MonitorArea> monitors = {
        {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96},
        {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}, 144},
        {{-1280, 0, 0, 1024}, {-1280, 0, 0, 1024}, 192},
    };
    const SIZE box{320, 200}, solution{616, 403}, report{668, 534};
    struct Case {
        const char* what;
        SIZE layout;
        int text;
        RECT owner;
        bool shown;
        RECT rect;
        int dpi;
    };
    const Case cases[] = {
        {"on the primary", box, 100, {100, 100, 1020, 660}, true, {400, 280, 720, 480}, 96},
        {"on the 150 % monitor", box, 100, {2200, 200, 3580, 1040}, true, {2650, 470, 3130, 770}, 144},
        {"owner across two, centre on the second", box, 100, {1500, 100, 2420, 660}, true, {1920, 230, 2400, 530}, 144},
        {"hidden owner", box, 100, {1920, 0, 4480, 1400}, false, {2960, 550, 3440, 850}, 144},
        {"left of the primary at 200 %", box, 100, {-1200, 100, -280, 660}, true, {-1060, 180, -420, 580}, 192},
        {"owner off every monitor", box, 100, {300, 1200, 700, 1400}, true, {340, 840, 660, 1040}, 96},
        {"larger text", solution, 150, {100, 100, 1020, 660}, true, {98, 78, 1022, 683}, 144},
        {"too large for its monitor", report, 100, {-1200, 100, -280, 660}, true, {-1280, 0, -7, 1018}, 183},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialogPlacement placed = PlaceDialog(c.layout, c.text, c.owner, c.shown, monitors);
        EXPECT_EQ(placed.dpi, c.dpi);
        EXPECT_TRUE(EqualRect(&placed.rect, &c.rect)) << placed.rect.left << "," << placed.rect.top << ","
                                                      << placed.rect.right << "," << placed.rect.bottom;
    }
}

// "Make text bigger" at 150 %: the windows grow with their text, every text
// still whole in its box; the main window, wider than the screen would hold,
// stops at the work area with every control inside it.
TEST_F(Scale, LargerTextGetsRoomAndWindowsStayOnTheScreen) {
    const int dpi = ExpectedDpi();
    if (dpi != 96) GTEST_SKIP() << "at 100 % display scale only";
    ASSERT_TRUE(WorkArea().cx == kScreen.cx && WorkArea().cy == kScreen.cy);
    struct Case {
        const wchar_t* layout;
        Measure expected;
    };
    const Case cases[] = {
        {L"Msgbox.xml", {144, {480, 300}}},
        {L"SolutionUI.xml", {144, {924, 605}}},
        {L"MainUI.xml", {133, {1275, 776}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.layout);
        std::map<CLabelUI*, TextFit> before;
        int fontBefore = 0;
        {
            uitest::TestWindow window(c.layout);
            ASSERT_TRUE(window.Open());
            fontBefore = window.GetPaintManager().GetFont(-1)->metrics.tmHeight;
            window.Close(IDOK);
            uitest::Pump(20);
        }
        uitest::TextScaleSetting larger(150);
        uitest::TestWindow window(c.layout);
        ASSERT_TRUE(window.Open());
        CPaintManagerUI& manager = window.GetPaintManager();
        EXPECT_EQ(manager.GetDpiScale().Dpi(), c.expected.dpi);
        SIZE size = WindowSize(window.GetHWND());
        EXPECT_EQ(size.cx, c.expected.size.cx);
        EXPECT_EQ(size.cy, c.expected.size.cy);
        EXPECT_GE(manager.GetFont(-1)->metrics.tmHeight, fontBefore * 13 / 10) << "larger text";
        RECT rc;
        GetWindowRect(window.GetHWND(), &rc);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= kScreen.cx && rc.bottom <= kScreen.cy);
        RECT client;
        GetClientRect(window.GetHWND(), &client);
        for (CControlUI* control : Shown(manager)) {
            RECT pos = control->GetPos(), inside;
            IntersectRect(&inside, &pos, &client);
            EXPECT_TRUE(EqualRect(&inside, &pos)) << "inside the window: " << control->GetName().c_str();
        }
        for (CLabelUI* label : WholeTexts(manager)) {
            TextFit fit = MeasureText(manager, label);
            EXPECT_TRUE(fit.Fits()) << label->GetName().c_str() << " needs " << fit.text.cx << "x" << fit.text.cy
                                    << " in " << fit.room.cx << "x" << fit.room.cy;
        }
        window.Close(IDOK);
        uitest::Pump(20);
    }
}

// Text at 150 % or 200 % is drawn with fonts made at that size, not stretched
// from a 100 % picture: its glyph edges stay steep where stretching ramps them.
TEST_F(Scale, TextIsDrawnSharpAtTheTargetSize) {
    const int dpi = ExpectedDpi();
    const int target = dpi == 96 ? 144 : dpi;
    uitest::TestWindow window(L"Msgbox.xml");
    ASSERT_TRUE(window.Open());
    CPaintManagerUI& manager = window.GetPaintManager();
    auto* text = window.Find<CLabelUI>(L"contentlbl");
    ASSERT_TRUE(text);
    text->SetText(L"网络请求失败，是否联系客服处理？ Network 404");
    auto render = [&](int at, Luma& out) {
        manager.SetDpi(at);
        std::vector<uint32_t> pixels;
        int width = 0, height = 0;
        ASSERT_TRUE(manager.RenderToPixels(pixels, width, height));
        out = LumaOf(pixels, width, text->GetPos());
    };
    Luma base, scaled;
    render(96, base);
    render(target, scaled);
    ASSERT_GT(scaled.width, base.width);
    double drawn = EdgeSteepness(scaled), stretched = EdgeSteepness(Stretch(base, scaled.width, scaled.height));
    EXPECT_GT(drawn, stretched * 1.2) << "drawn " << drawn << ", stretched " << stretched;
    window.Close(IDOK);
    uitest::Pump(20);
}

// Above 100 % an image with a double-size twin is drawn from the twin: at
// 200 % the close button shows the twin's pixels one for one over its bar.
TEST_F(Scale, ImagesAreDrawnFromTheirDoubleSizeTwin) {
    uitest::TestWindow window(L"Msgbox.xml");
    ASSERT_TRUE(window.Open());
    CPaintManagerUI& manager = window.GetPaintManager();
    manager.SetDpi(192);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(manager.RenderToPixels(pixels, width, height));
    std::shared_ptr<const Image> twin = manager.GetImage(L"img/close@2x.png");
    ASSERT_TRUE(twin);
    RECT at = window.Find(L"closebtn")->GetPos();
    ASSERT_EQ(at.right - at.left, 84);
    ASSERT_EQ(at.bottom - at.top, 60);
    const DWORD bar = 0xFF0081F3;
    int worst = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 84; ++x) {
            uint32_t src = twin->Frame(0)->pixels[static_cast<size_t>(y) * twin->width + x];
            uint32_t got = pixels[static_cast<size_t>(at.top + y) * width + at.left + x];
            uint32_t a = src >> 24;
            for (int shift : {0, 8, 16}) {
                int expected = static_cast<int>(((src >> shift) & 0xFF) + ((bar >> shift) & 0xFF) * (255 - a) / 255);
                worst = std::max(worst, std::abs(expected - static_cast<int>((got >> shift) & 0xFF)));
            }
        }
    EXPECT_LE(worst, 2);
    window.Close(IDOK);
    uitest::Pump(20);
}

// The landing page at the display's scale, pixel for pixel as the reference
// pictures in tests/ui/reference show it (the animation at its first frame).
// VANTORO_CAPTURE_REFERENCE=1 writes the pictures instead.
TEST_F(Scale, LandingPageLooksAsItsReference) {
    const int dpi = ExpectedDpi();
    uitest::TestWindow window(L"MainUI.xml");
    ASSERT_TRUE(window.Open());
    CPaintManagerUI& manager = window.GetPaintManager();
    Snapshot drawn;
    ASSERT_TRUE(manager.RenderToPixels(drawn.pixels, drawn.width, drawn.height));
    // Each flavour has its own pictures: 64-bit GDI+ rounds scaled images differently.
#ifdef _WIN64
    const wchar_t* flavour = L"-x64";
#else
    const wchar_t* flavour = L"";
#endif
    std::wstring file =
        std::wstring(UI_REFERENCE_DIR) + L"\\landing-" + std::to_wstring(dpi) + flavour + L".png";
    const char* capture = std::getenv("VANTORO_CAPTURE_REFERENCE");
    if (capture && *capture == '1') {
        ASSERT_TRUE(SaveSnapshotPng(drawn, file));
    } else {
        std::string bytes;
        ASSERT_TRUE(Resources::Load(L"", file, bytes)) << "no reference picture for this scale";
        std::shared_ptr<const Image> reference = DecodeImage(bytes.data(), bytes.size());
        ASSERT_TRUE(reference);
        ASSERT_EQ(reference->width, drawn.width);
        ASSERT_EQ(reference->height, drawn.height);
        const ImageFrame* frame = reference->Frame(0);
        ASSERT_TRUE(frame);
        size_t differing = 0;
        for (size_t i = 0; i < drawn.pixels.size(); ++i) differing += frame->pixels[i] != drawn.pixels[i];
        EXPECT_EQ(differing, 0u) << "pixels that differ from the reference";
    }
    window.Close(IDOK);
    uitest::Pump(20);
}

// Images are decoded when first drawn, once, at the scale they are drawn at:
// the landing page laid out has decoded nothing but its animation (its shadow
// waits for the first paint), and drawn it has decoded only what it shows
// (above 100 % the double-size twins, not the plain files beside them; the
// animation's from 150 %, where the page is laid out at 133 DPI on the tests'
// screen).
TEST_F(Scale, LandingPageDecodesOnlyWhatItDraws) {
    ASSERT_TRUE(uitest::UseOwnArchive());  // the image cache starts empty
    const bool large = ExpectedDpi() > 96;
    const char* size = large ? "@2x.png" : ".png";
    const std::set<std::string> early = {large ? "img1/dll@2x.gif" : "img1/dll.gif"};
    std::set<std::string> drawn = early;
    for (std::string file : {"img1/logo", "img/hide", "img/close", "img1/nav_dll", "img1/nav_c", "img1/nav_xt",
                             "img1/nav_directx", "img1/btn1"})
        drawn.insert(file + size);
    uitest::TestWindow window(L"MainUI.xml");
    ASSERT_TRUE(window.Open());
    for (const std::string& file : Resources::DecodedImages())
        EXPECT_TRUE(early.count(file)) << file << " decoded before the first paint";
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(window.GetPaintManager().RenderToPixels(pixels, width, height));
    std::vector<std::string> decoded = Resources::DecodedImages();
    EXPECT_EQ(std::set<std::string>(decoded.begin(), decoded.end()), drawn);
    window.Close(IDOK);
    uitest::Pump(20);
}
