#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>

#include "tests/support/UiDriver.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/Snapshot.h"

namespace {

class MessageWndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::UseOwnArchive()) << "no layout archive in the test program"; }

    // Shows a box of the type and lets act answer it; returns the box's result.
    int Show(int type, const std::function<void(HWND)>& act, const std::wstring& text = L"正文",
             const std::wstring& title = L"标题") {
        HWND seen = nullptr;
        test::Ticker ticker([&] {
            std::vector<HWND> boxes = test::OpenBoxes();
            if (boxes.empty() || !IsWindowVisible(boxes[0])) return false;
            seen = boxes[0];
            act(seen);
            return true;
        });
        int result = ShowMessage(owner, text, title, type);
        EXPECT_NE(seen, nullptr) << "no box was seen";
        EXPECT_TRUE(test::OpenBoxes().empty()) << "the box outlived its answer";
        return result;
    }

    HWND owner = test::SharedOwner();
};

// Premultiplied BGRA without alpha, as 0xRRGGBB.
DWORD Rgb(const DuiLib::Snapshot& shot, int x, int y) { return shot.At(x, y) & 0xFFFFFF; }

int InkedPixels(const DuiLib::Snapshot& shot, const RECT& area) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (Rgb(shot, x, y) != 0xFFFFFF) ++count;
    return count;
}

}  // namespace

TEST_F(MessageWndTest, InformationHasOnlyOkWhichReturnsOne) {
    int result = Show(kMessageInfo, [&](HWND box) {
        wchar_t name[32] = {}, text[32] = {};
        GetClassNameW(box, name, 32);
        GetWindowTextW(box, text, 32);
        EXPECT_STREQ(name, L"msgwnd");
        EXPECT_STREQ(text, L"msgwnd");
        EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
        EXPECT_FALSE(IsWindowEnabled(owner)) << "the owner stays usable under a modal box";
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & WS_THICKFRAME, 0) << "the box can be resized";
        EXPECT_NE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
        EXPECT_TRUE(test::Shown(box, L"okbtn"));
        EXPECT_FALSE(test::Shown(box, L"cancelbtn"));
        EXPECT_FALSE(test::Shown(box, L"retrybtn"));
        EXPECT_FALSE(test::Shown(box, L"closebtn"));
        EXPECT_EQ(test::TextOf(box, L"okbtn"), L"确定");
        EXPECT_EQ(test::TextOf(box, L"apptitlelbl"), L"提示");
        EXPECT_EQ(test::TextOf(box, L"contentlbl"), L"已下载一个文件!");
        EXPECT_TRUE(test::Shown(box, L"contentlbl")) << "the text's page is not the one shown";
        test::Click(box, L"okbtn");
    }, L"已下载一个文件!", L"提示");
    EXPECT_EQ(result, kMessageOk);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(MessageWndTest, QuestionAnswersOkWithOneAndCancelWithSix) {
    auto shownButtons = [](HWND box) {
        EXPECT_TRUE(test::Shown(box, L"okbtn"));
        EXPECT_TRUE(test::Shown(box, L"cancelbtn"));
        EXPECT_EQ(test::TextOf(box, L"cancelbtn"), L"取消");
        EXPECT_FALSE(test::Shown(box, L"retrybtn"));
        EXPECT_FALSE(test::Shown(box, L"closebtn"));
    };
    EXPECT_EQ(Show(kMessageQuestion, [&](HWND box) { shownButtons(box); test::Click(box, L"okbtn"); }), kMessageOk);
    EXPECT_EQ(Show(kMessageQuestion, [&](HWND box) {
        shownButtons(box);
        EXPECT_EQ(test::TextOf(box, L"apptitlelbl"), L"") << "an empty title leaves the bar blank";
        test::Click(box, L"cancelbtn");
    }, L"text", L""), kMessageCancel);
}

TEST_F(MessageWndTest, KeyboardAndSystemClosesAnswerLikeTheCloseButton) {
    // Enter presses "确定" (in both programs' boxes) unless Tab moved to another
    // button first. Keys that answer nothing leave the box to a plain close (IDCANCEL).
    auto keys = [](std::initializer_list<UINT> pressed) {
        return [pressed](HWND box) {
            for (UINT key : pressed) PostMessageW(box, WM_KEYDOWN, key, 0);
            PostMessageW(box, WM_CLOSE, 0, 0);
        };
    };
    for (const char* exe : {DUMPER_EXE, VANTORO_EXE}) {
        ASSERT_TRUE(test::UseArchiveOf(test::DosPath(exe)));
        EXPECT_EQ(Show(kMessageQuestion, keys({VK_RETURN})), kMessageOk) << exe;
    }
    ASSERT_TRUE(test::UseOwnArchive());
    EXPECT_EQ(Show(kMessageQuestion, keys({VK_TAB, VK_RETURN})), kMessageCancel);
    EXPECT_EQ(Show(kMessageQuestion, keys({VK_TAB, VK_TAB, VK_SPACE})), kMessageOk);
    EXPECT_EQ(Show(kMessageQuestion, keys({})), IDCANCEL);
    EXPECT_EQ(Show(kMessageQuestion, [](HWND box) {
        PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(box, WM_KEYUP, VK_ESCAPE, 0);
    }), kMessageCancel);
    EXPECT_EQ(Show(kMessageInfo, [](HWND box) { PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }), kMessageCancel);
}

TEST_F(MessageWndTest, RetryAndCloseButtonsHaveTheirCodes) {
    // Neither type shows them; a layout that does must still get their codes.
    auto reveal = [](HWND box, const wchar_t* name) {
        test::ControlOf(box, name)->SetVisible(true);
        test::Click(box, name);
    };
    EXPECT_EQ(Show(kMessageQuestion, [&](HWND box) { reveal(box, L"retrybtn"); }), kMessageRetry);
    EXPECT_EQ(Show(kMessageQuestion, [&](HWND box) { reveal(box, L"closebtn"); }), kMessageCancel);
}

// Both programs' layouts, drawn: the blue title band with its text, the text,
// and the blue border that only the assistant's box has.
TEST_F(MessageWndTest, BothProgramsBoxesDraw) {
    struct Case {
        const char* exe;
        bool border;
    };
    for (Case c : {Case{VANTORO_EXE, true}, Case{DUMPER_EXE, false}}) {
        SCOPED_TRACE(c.exe);
        ASSERT_TRUE(test::UseArchiveOf(test::DosPath(c.exe)));
        Show(kMessageInfo, [&](HWND box) {
            DuiLib::Snapshot shot;
            ASSERT_TRUE(DuiLib::CaptureClient(box, shot));
            EXPECT_GE(shot.width, 320);
            EXPECT_GE(shot.height, 200);
            EXPECT_EQ(Rgb(shot, shot.width - 60, 16), 0x0081F3u) << "title band";
            EXPECT_GT(InkedPixels(shot, {8, 4, 80, 30}), 20) << "title text";
            int mid = shot.height / 2;
            EXPECT_GT(InkedPixels(shot, {20, 40, shot.width - 20, shot.height - 50}), 50) << "the text";
            EXPECT_EQ(Rgb(shot, 0, mid), c.border ? 0x0081F3u : 0xFFFFFFu) << "left edge";
            EXPECT_EQ(Rgb(shot, shot.width - 1, mid), c.border ? 0x0081F3u : 0xFFFFFFu) << "right edge";
            test::Click(box, L"okbtn");
        }, L"软件由于未知原因崩溃了，已分析完成。开始重新启动它。", L"提示");
    }
    ASSERT_TRUE(test::UseOwnArchive());
}

TEST_F(MessageWndTest, WithoutItsLayoutTheSystemBoxStandsIn) {
    const char junk[] = "not a zip";
    DuiLib::CPaintManagerUI::SetResourceZip(junk, sizeof(junk));
    auto answer = [&](int type, WPARAM button) {
        test::Ticker ticker([&] {
            HWND dialog = FindWindowW(L"#32770", L"标题");
            if (!dialog) return false;
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
            PostMessageW(dialog, WM_COMMAND, button, 0);
            return true;
        });
        int result = ShowMessage(owner, L"正文", L"标题", type);
        EXPECT_TRUE(ticker.Finished()) << "no system box";
        EXPECT_TRUE(test::OpenBoxes().empty());
        return result;
    };
    EXPECT_EQ(answer(kMessageInfo, IDOK), kMessageOk);
    EXPECT_EQ(answer(kMessageQuestion, IDCANCEL), kMessageCancel);
    ASSERT_TRUE(test::UseOwnArchive());
}
