#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/HttpSession.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/Dialog.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/UIlib.h"
#include "windows/CheckProgressWnd.h"

using Windows::CheckProgressHooks;
using Windows::CheckProgressWnd;
using Windows::CheckStageText;

namespace {

const std::wstring kStart = L"开始检测中~";
const std::wstring kEnvironment = L"正在检测当前操作系统环境";
const std::wstring kFeatureStage[] = {L"正在检测当前系统丢失dll与dll环境问题", L"正在检测C盘垃圾、大文件、缓存等",
                                      L"正在检测适配当前系统的系统", L"正在检测当前系统丢失DirectX与DirectX环境问题"};
const std::wstring kSearching = L"正在检索适配当前问题的资源中";
const std::wstring kSearchingSystem = L"正在检索适配的操作系统中";
const std::wstring kGenerating = L"正在生成适配当前问题的解决方案中";
const std::wstring kGeneratingDownloads = L"正在生成下载资源";
const std::wstring kReady = L"已准备好解决方案，立即查看";
const std::wstring kRunningTitle = L"正在生成解决方案中...";
const std::wstring kDoneTitle = L"检测完成";

// What the window shows.
struct Screen {
    int bar = -1;
    std::wstring percent, stage, title;
    bool button = false;
};

Screen Read(HWND window) {
    Screen screen;
    if (auto* bar = dynamic_cast<DuiLib::CProgressUI*>(test::ControlOf(window, L"progressprog"))) screen.bar = bar->GetValue();
    screen.percent = test::TextOf(window, L"progresslbl");
    screen.stage = test::TextOf(window, L"msgLbl");
    screen.title = test::TextOf(window, L"apptitlelbl");
    screen.button = test::Shown(window, L"viewSolutionBtn");
    return screen;
}

// Width of text in the control's own font, less the room the control gives it.
int Overflow(HWND window, const wchar_t* name, const std::wstring& text) {
    auto* label = dynamic_cast<DuiLib::CLabelUI*>(test::ControlOf(window, name));
    if (!label) return 1 << 20;
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, label->GetManager()->GetFontHandle(label->GetFont()));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    RECT pos = label->GetPos(), padding = label->GetTextPadding();
    return size.cx - ((pos.right - pos.left) - padding.left - padding.right);
}

void Step(HWND window) { SendMessageW(window, WM_TIMER, CheckProgressWnd::kStepTimer, 0); }

// Steps that add these increments (5 to 9), sent by the test: no timer runs.
CheckProgressHooks Scripted(std::vector<int> increments) {
    auto next = std::make_shared<size_t>(0);
    CheckProgressHooks hooks;
    hooks.draw = [increments = std::move(increments), next](unsigned) {
        int increment = increments[std::min(*next, increments.size() - 1)];
        ++*next;
        return increment - 5 + 5 * 1000;  // only the draw modulo 5 counts
    };
    hooks.openSolution = [](HWND, int) { ADD_FAILURE() << "the solution page opened"; };
    hooks.stepMs = 0;
    return hooks;
}

class CheckProgressWndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::UseOwnArchive()) << "no layout archive in the test program"; }

    // Runs a check window for the feature over the owner; once it shows,
    // drive(window) is called every 30 ms inside its modal loop until it
    // returns true. A window still open after 20 s is closed. Returns the
    // window's modal result.
    UINT Run(int feature, CheckProgressHooks hooks, const std::function<bool(HWND)>& drive) {
        HWND seen = nullptr;
        bool driven = false;
        DWORD start = GetTickCount();
        test::Ticker ticker([&] {
            HWND window = test::ShownWindow(L"CheckProgressWnd");
            if (!window) return false;
            seen = window;
            if (GetTickCount() - start > 20000) {
                ADD_FAILURE() << "the check window stayed open";
                PostMessageW(window, WM_CLOSE, 0, 0);
                return true;
            }
            if (!driven) driven = drive(window);
            return false;
        });
        UINT result = RunDialog(new CheckProgressWnd(feature, std::move(hooks)), owner, L"正在检查中");
        EXPECT_NE(seen, nullptr) << "no check window was seen";
        EXPECT_EQ(test::ShownWindow(L"CheckProgressWnd"), nullptr) << "the window outlived its modal loop";
        return result;
    }

    HWND owner = test::SharedOwner();
};

}  // namespace

// The stage texts at every boundary, for the four features. A stage starts
// at its boundary: 15, 30 and 50 belong to the stage that follows.
TEST(CheckProgressStages, EveryBoundaryOfEveryFeature) {
    for (int feature = 0; feature < 4; ++feature) {
        SCOPED_TRACE(feature);
        bool reinstall = feature == 2;
        struct Expected {
            int counter;
            std::wstring text;
        };
        const Expected expected[] = {
            {0, kStart},
            {1, kEnvironment},
            {14, kEnvironment},
            {15, kFeatureStage[feature]},
            {16, kFeatureStage[feature]},
            {29, kFeatureStage[feature]},
            {30, reinstall ? kSearchingSystem : kSearching},
            {31, reinstall ? kSearchingSystem : kSearching},
            {49, reinstall ? kSearchingSystem : kSearching},
            {50, reinstall ? kGeneratingDownloads : kGenerating},
            {51, reinstall ? kGeneratingDownloads : kGenerating},
            {69, reinstall ? kGeneratingDownloads : kGenerating},
            {70, kReady},
            {100, kReady},
        };
        for (const Expected& e : expected) EXPECT_EQ(CheckStageText(e.counter, feature), e.text) << e.counter;
    }
}

TEST(CheckProgressStages, AnIndexWithoutAFeatureGetsTheSharedTexts) {
    for (int feature : {-1, 4}) {
        EXPECT_EQ(CheckStageText(20, feature), kEnvironment);
        EXPECT_EQ(CheckStageText(40, feature), kSearching);
        EXPECT_EQ(CheckStageText(60, feature), kGenerating);
    }
}

// Steps that land on every stage boundary and on exactly 100: each shows
// the counter and its text; only the step past 100 completes.
TEST_F(CheckProgressWndTest, StepsShowTheCounterAndTheStageOfTheFeature) {
    const std::vector<int> increments = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    for (int feature = 0; feature < 4; ++feature) {
        SCOPED_TRACE(feature);
        Run(feature, Scripted(increments), [&](HWND window) {
            Screen before = Read(window);
            EXPECT_EQ(before.bar, 0);
            EXPECT_EQ(before.percent, L"0%");
            EXPECT_EQ(before.stage, kStart);
            EXPECT_EQ(before.title, kRunningTitle);
            EXPECT_FALSE(before.button);
            SendMessageW(window, WM_TIMER, CheckProgressWnd::kStepTimer + 1, 0);
            EXPECT_EQ(Read(window).percent, L"0%") << "another timer moved the bar";

            int counter = 0;
            for (size_t i = 0; i + 1 < increments.size(); ++i) {
                Step(window);
                counter += increments[i];
                Screen now = Read(window);
                EXPECT_EQ(now.bar, counter);
                EXPECT_EQ(now.percent, std::to_wstring(counter) + L"%");
                EXPECT_EQ(now.stage, CheckStageText(counter, feature)) << counter;
                EXPECT_EQ(now.title, kRunningTitle) << counter;
                EXPECT_FALSE(now.button) << counter;
            }
            EXPECT_EQ(counter, 100);
            EXPECT_EQ(Read(window).stage, kReady);
            Step(window);
            Screen done = Read(window);
            EXPECT_EQ(done.bar, 100);
            EXPECT_EQ(done.percent, L"100%");
            EXPECT_EQ(done.title, kDoneTitle);
            EXPECT_EQ(done.stage, kReady) << "the last text stays";
            EXPECT_TRUE(done.button);
            test::Click(window, L"closebtn");
            return true;
        });
    }
}

// However far the last step overshoots, the window shows 100 % and the
// button; steps that still come change nothing.
TEST_F(CheckProgressWndTest, TheBarNeverPassesOneHundred) {
    const std::vector<std::vector<int>> runs = {
        {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9},  // 99, then 108
        {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 6, 9},  // 96, then 105
        {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},  // 98, then 105
    };
    for (const std::vector<int>& increments : runs) {
        Run(1, Scripted(increments), [&](HWND window) {
            int counter = 0;
            std::wstring lastStage;
            for (size_t i = 0; i + 1 < increments.size(); ++i) {
                Step(window);
                counter += increments[i];
                lastStage = Read(window).stage;
            }
            EXPECT_LT(counter, 100);
            EXPECT_FALSE(Read(window).button);
            for (int extra = 0; extra < 3; ++extra) {
                Step(window);
                Screen done = Read(window);
                EXPECT_EQ(done.bar, 100);
                EXPECT_EQ(done.percent, L"100%");
                EXPECT_EQ(done.title, kDoneTitle);
                EXPECT_EQ(done.stage, lastStage);
                EXPECT_TRUE(done.button);
            }
            test::Click(window, L"closebtn");
            return true;
        });
    }
}

// The product's own draw, seeded with scripted seconds: every step adds 5
// to 9, steps in the same second add the same, and the seed is the clock.
TEST_F(CheckProgressWndTest, EachDrawIsSeededWithTheSecondsOfItsStep) {
    for (unsigned first : {1000u, 1700000000u, 4000000000u}) {
        auto second = std::make_shared<unsigned>(first);
        auto calls = std::make_shared<int>(0);
        CheckProgressHooks hooks;
        hooks.clock = [second, calls] { return *second + (*calls)++ / 2; };  // two steps a second
        hooks.stepMs = 0;
        Run(3, hooks, [&](HWND window) {
            std::vector<int> added;
            int shown = 0;
            while (!Read(window).button && added.size() < 30) {
                Step(window);
                Screen now = Read(window);
                EXPECT_LE(now.bar, 100);
                if (now.button) break;
                added.push_back(now.bar - shown);
                shown = now.bar;
            }
            EXPECT_TRUE(Read(window).button);
            EXPECT_GE(added.size(), 11u);
            EXPECT_LE(added.size(), 20u);
            for (size_t i = 0; i < added.size(); ++i) {
                EXPECT_GE(added[i], 5) << i;
                EXPECT_LE(added[i], 9) << i;
                if (i % 2 == 1) {
                    EXPECT_EQ(added[i], added[i - 1]) << "steps " << i - 1 << " and " << i << " share a second";
                }
            }
            test::Click(window, L"closebtn");
            return true;
        });
    }
    std::vector<unsigned> seeds;
    CheckProgressHooks hooks;
    hooks.clock = [n = 40u]() mutable { return n++; };
    hooks.draw = [&seeds](unsigned seed) {
        seeds.push_back(seed);
        return 0;
    };
    hooks.stepMs = 0;
    Run(0, hooks, [](HWND window) {
        for (int i = 0; i < 3; ++i) Step(window);
        EXPECT_EQ(Read(window).percent, L"15%");
        test::Click(window, L"closebtn");
        return true;
    });
    EXPECT_EQ(seeds, (std::vector<unsigned>{40, 41, 42}));
}

// Closing half way and opening again starts at 0 %: destroying the window
// sets the shared counter back.
TEST_F(CheckProgressWndTest, ClosingHalfWayStartsTheNextCheckFromZero) {
    UINT first = Run(1, Scripted({9}), [](HWND window) {
        for (int i = 0; i < 6; ++i) Step(window);
        EXPECT_EQ(Read(window).percent, L"54%");
        test::Click(window, L"closebtn");
        return true;
    });
    EXPECT_EQ(first, static_cast<UINT>(IDCANCEL));
    Run(2, Scripted({7}), [](HWND window) {
        Screen fresh = Read(window);
        EXPECT_EQ(fresh.bar, 0);
        EXPECT_EQ(fresh.percent, L"0%");
        EXPECT_EQ(fresh.stage, kStart);
        EXPECT_EQ(fresh.title, kRunningTitle);
        EXPECT_FALSE(fresh.button);
        Step(window);
        EXPECT_EQ(Read(window).percent, L"7%");
        EXPECT_EQ(Read(window).bar, 7);
        test::Click(window, L"closebtn");
        return true;
    });
}

// Every text the window can show fits its label whole, in the fonts this
// machine resolves (微软雅黑 on Windows, a fallback under Wine).
TEST_F(CheckProgressWndTest, EveryTextFitsItsLabel) {
    Run(3, Scripted({9}), [](HWND window) {
        for (int i = 0; i < 30 && !Read(window).button; ++i) Step(window);  // the button is laid out once shown
        test::ControlOf(window, L"viewSolutionBtn")->GetManager()->UpdateLayout();
        std::vector<std::wstring> stages = {kStart, kEnvironment, kSearching, kSearchingSystem,
                                            kGenerating, kGeneratingDownloads, kReady};
        stages.insert(stages.end(), std::begin(kFeatureStage), std::end(kFeatureStage));
        for (const std::wstring& text : stages) EXPECT_LE(Overflow(window, L"msgLbl", text), 0) << text;
        for (const std::wstring& text : {kRunningTitle, kDoneTitle})
            EXPECT_LE(Overflow(window, L"apptitlelbl", text), 0) << text;
        EXPECT_LE(Overflow(window, L"progresslbl", L"100%"), 0);
        EXPECT_LE(Overflow(window, L"viewSolutionBtn", L"确定"), 0);
        test::Click(window, L"closebtn");
        return true;
    });
}

// The button opens the page of the same feature modally over the check
// window, which stays until the page returns and then closes with 0.
// Before the check completes the button is hidden and a click there does nothing.
TEST_F(CheckProgressWndTest, TheButtonOpensTheSolutionPageThenTheWindowCloses) {
    for (int feature = 0; feature < 4; ++feature) {
        SCOPED_TRACE(feature);
        CheckProgressHooks hooks = Scripted({9});
        HWND checkWindow = nullptr;
        std::vector<int> opened;
        hooks.openSolution = [&](HWND owner, int featureIndex) {
            opened.push_back(featureIndex);
            EXPECT_EQ(owner, checkWindow);
            // A modal window over the check window, as the page is.
            int boxes = test::Answering(L"okbtn", [&] { ShowMessage(owner, L"产品详情", L"提示", kMessageInfo); },
                                        [&](HWND box) {
                                            EXPECT_EQ(GetWindow(box, GW_OWNER), checkWindow);
                                            EXPECT_TRUE(IsWindowVisible(checkWindow));
                                            EXPECT_FALSE(IsWindowEnabled(checkWindow));
                                        });
            EXPECT_EQ(boxes, 1);
            EXPECT_TRUE(IsWindow(checkWindow)) << "the check window went before the page returned";
        };
        int phase = 0;
        UINT result = Run(feature, hooks, [&](HWND window) {
            checkWindow = window;
            if (phase == 0) {
                for (int i = 0; i < 5; ++i) Step(window);
                test::Click(window, L"viewSolutionBtn");  // hidden
            } else if (phase == 1) {
                EXPECT_TRUE(opened.empty()) << "a hidden button opened the page";
                for (int i = 0; i < 7; ++i) Step(window);
                EXPECT_TRUE(Read(window).button);
                test::Click(window, L"viewSolutionBtn");
            }
            return ++phase == 2;
        });
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(opened, std::vector<int>{feature});
    }
}

// Windows of a class created on this thread while it lives, with their owner,
// styles and text.
class CreationWatch {
public:
    struct Created {
        HWND owner;
        DWORD style, exStyle;
        std::wstring text;
    };
    explicit CreationWatch(const wchar_t* windowClass) {
        watched = windowClass;
        seen = &created;
        hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~CreationWatch() {
        UnhookWindowsHookEx(hook);
        seen = nullptr;
    }
    std::vector<Created> created;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND && seen) {
            const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            wchar_t name[64] = {};
            GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
            if (watched == name)
                seen->push_back({create->hwndParent, static_cast<DWORD>(create->style), create->dwExStyle,
                                 create->lpszName ? create->lpszName : L""});
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline std::wstring watched;
    static inline std::vector<Created>* seen = nullptr;
    HHOOK hook = nullptr;
};

// Without a replaced opener the button runs the product's solution page as a
// dialog owned by the check window, which closes once the page has gone.
TEST_F(CheckProgressWndTest, TheDefaultOpenerRunsTheSolutionPageAsADialog) {
    HttpSession::Instance().SetBaseUrl(test::BaseUrl());  // for a page that asks the service
    CreationWatch pages(L"SolutionWnd");
    CheckProgressHooks hooks = Scripted({9});
    hooks.openSolution = nullptr;
    HWND checkWindow = nullptr;
    UINT result = Run(1, hooks, [&](HWND window) {
        if (!checkWindow) {
            checkWindow = window;
            for (int i = 0; i < 12; ++i) Step(window);
            test::Click(window, L"viewSolutionBtn");
            return false;
        }
        // A page that shows is closed again; so is a notice it raises.
        for (HWND box : test::OpenBoxes()) PostMessageW(box, WM_CLOSE, 0, 0);
        if (HWND page = test::ShownWindow(L"SolutionWnd")) PostMessageW(page, WM_CLOSE, 0, 0);
        return false;
    });
    EXPECT_EQ(result, 0u);
    ASSERT_EQ(pages.created.size(), 1u);
    EXPECT_EQ(pages.created[0].owner, checkWindow);
    EXPECT_EQ(pages.created[0].style, kDialogStyle);
    EXPECT_EQ(pages.created[0].exStyle & kDialogExStyle, kDialogExStyle);
    EXPECT_FALSE(pages.created[0].text.empty());
}

// The product's own timer and draw: steps arrive by themselves every half
// second until the button shows (6 to 10.5 s).
TEST_F(CheckProgressWndTest, TheTimerRunsTheCheckToTheEnd) {
    std::vector<int> seen;
    DWORD start = GetTickCount();
    Run(1, {}, [&](HWND window) {
        Screen now = Read(window);
        EXPECT_LE(now.bar, 100);
        if (seen.empty() || seen.back() != now.bar) seen.push_back(now.bar);
        if (!now.button) return false;
        EXPECT_EQ(now.title, kDoneTitle);
        EXPECT_EQ(now.percent, L"100%");
        test::Click(window, L"closebtn");
        return true;
    });
    DWORD took = GetTickCount() - start;
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
    EXPECT_GE(took, 5000u) << "steps come faster than every half second";
}
