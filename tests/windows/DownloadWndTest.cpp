// The download window against the reference service: shown to the end,
// cancelled before and during the transfer, closed every other way, and
// failures handed back as results.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "platform/Text.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/Dialog.h"
#include "ui/MessageWnd.h"
#include "windows/DownloadWnd.h"

using namespace Windows;

namespace {

constexpr int kEightMiB = 8 << 20;

HWND OpenDownloadWindow() { return FindWindowW(L"UpdateWnd", L"download"); }

HWND VisibleBox() {
    std::vector<HWND> boxes = test::OpenBoxes();
    return !boxes.empty() && IsWindowVisible(boxes[0]) ? boxes[0] : nullptr;
}

std::uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class DownloadWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOwnArchive());
        test::ClearFaults();
    }
    void TearDown() override { test::ClearFaults(); }

    std::string Url(const std::string& file) { return test::BaseUrl() + "/files/" + file; }
    void Slow(const std::string& file, int bytesPerSecond) {
        test::SetFault(test::ParseJson("{\"path\": \"/files/" + file + "\", \"rate\": " +
                                       std::to_string(bytesPerSecond) + "}"));
    }
    std::wstring Target(const std::wstring& name) { return folder.Path() + L"\\" + name; }

    // Runs the window over owner; step sees it every 30 ms until it returns true.
    DownloadResult Run(const std::string& url, const std::wstring& target, const std::function<bool(HWND)>& step,
                       HWND owner = test::SharedOwner()) {
        test::Ticker ticker([&] {
            HWND window = OpenDownloadWindow();
            return window && IsWindowVisible(window) && step(window);
        });
        returned = static_cast<int>(RunDialog(new DownloadWnd(url, target, L"D:\\别处\\" + prompt, check), owner, L"download"));
        EXPECT_EQ(OpenDownloadWindow(), nullptr) << "the window outlived its modal loop";
        return TakeDownloadResult(returned);
    }

    // Presses closebtn, then answers the question with button once it shows.
    std::function<bool(HWND)> CancelWith(const wchar_t* button, const std::function<bool(HWND)>& when) {
        return [this, button, when, clicked = false](HWND window) mutable {
            if (!clicked) {
                if (!when(window)) return false;
                test::Click(window, L"closebtn");
                clicked = true;
                return false;
            }
            HWND box = VisibleBox();
            if (!box) return false;
            question = test::TextOf(box, L"contentlbl");
            test::Click(box, button);
            return true;
        };
    }

    static bool Running(HWND window) { return test::TextOf(window, L"progresslbl") != L"0%"; }

    // What the queue still delivers for a closed window arrives, and is freed.
    void Settle() { test::Pump(1500); }

    test::TempFolder folder;
    std::wstring prompt = L"修复工具.exe";
    DownloadCheck check;
    std::wstring question;
    int returned = 0;
};

}  // namespace

TEST_F(DownloadWndTest, ShowsTheTransferToTheEndAndLeavesItsResult) {
    Slow("pattern-8m.bin", 4 << 20);
    std::wstring target = Target(L"下载 测试.bin");
    std::wstring title, tip;
    int lastPercent = 0, barMax = 0;
    bool decreased = false;
    DownloadResult result = Run(Url("pattern-8m.bin"), target, [&](HWND window) {
        title = test::TextOf(window, L"apptitlelbl");
        int percent = _wtoi(test::TextOf(window, L"progresslbl").c_str());
        decreased |= percent < lastPercent;
        lastPercent = percent;
        auto* bar = dynamic_cast<DuiLib::CProgressUI*>(test::ControlOf(window, L"progressprog"));
        if (bar) barMax = std::max(barMax, bar->GetValue());
        if (percent > 0 && percent < 100) tip = test::TextOf(window, L"tipLbl");
        return false;
    });
    EXPECT_EQ(title, L"下载下载 测试.bin中");
    EXPECT_EQ(tip.rfind(L"大小: 8MB 速度: ", 0), 0u) << WideToUtf8(tip);
    EXPECT_FALSE(decreased);
    EXPECT_LE(barMax, 100);
    EXPECT_GT(barMax, 0) << "no progress was shown";

    EXPECT_GT(returned, 0);
    EXPECT_EQ(result.resultId, returned);
    EXPECT_EQ(result.statusCode, 200);
    EXPECT_EQ(result.errorCode, 0);
    EXPECT_EQ(SizeOf(target), std::uint64_t(kEightMiB)) << "the Chinese name reached the queue whole";
    EXPECT_FALSE(test::FileExists(target + L".cache"));
    DownloadResult again = TakeDownloadResult(returned);
    EXPECT_EQ(again.resultId, -1) << "a result is taken once";
}

TEST_F(DownloadWndTest, ResultIdsAreFreshForEveryWindow) {
    DownloadResult first = Run(Url("pattern-256k.bin"), Target(L"a.bin"), [](HWND) { return false; });
    DownloadResult second = Run(Url("pattern-256k.bin"), Target(L"b.bin"), [](HWND) { return false; });
    EXPECT_GT(first.resultId, 0);
    EXPECT_GT(second.resultId, first.resultId);
}

TEST_F(DownloadWndTest, CancelBeforeTheStartClosesWithMinusOne) {
    test::ClearRequestLog();
    std::wstring target = Target(L"never.bin");
    DownloadResult result = Run(Url("pattern-8m.bin"), target, CancelWith(L"okbtn", [](HWND) { return true; }));
    EXPECT_EQ(question, L"是否要取消下载" + prompt + L"?");
    EXPECT_EQ(returned, -1);
    EXPECT_EQ(result.statusCode, -1);
    EXPECT_EQ(result.errorCode, -1);
    EXPECT_EQ(result.resultId, -1);
    Settle();
    EXPECT_FALSE(test::FileExists(target));
    for (const test::LoggedRequest& request : test::RequestLog())
        EXPECT_NE(request.path, "/files/pattern-8m.bin") << "the download started although cancelled first";
}

TEST_F(DownloadWndTest, CancelWhileRunningEndsAsCancelledAndLeavesNothing) {
    Slow("pattern-8m.bin", 1 << 20);
    std::wstring target = Target(L"cancelled.bin");
    DownloadResult result = Run(Url("pattern-8m.bin"), target, CancelWith(L"okbtn", Running));
    EXPECT_GT(returned, 0) << "the window closed before the queue said the transfer ended";
    EXPECT_EQ(result.errorCode, 16);
    Settle();
    EXPECT_FALSE(test::FileExists(target));
    EXPECT_FALSE(test::FileExists(target + L".cache")) << "a cancelled download left its partial file";
}

TEST_F(DownloadWndTest, AnsweringNoKeepsDownloading) {
    Slow("pattern-8m.bin", 4 << 20);
    std::wstring target = Target(L"kept.bin");
    DownloadResult result = Run(Url("pattern-8m.bin"), target, CancelWith(L"cancelbtn", Running));
    EXPECT_EQ(result.statusCode, 200);
    EXPECT_EQ(result.errorCode, 0);
    EXPECT_EQ(SizeOf(target), std::uint64_t(kEightMiB));
}

TEST_F(DownloadWndTest, EscapeAndAltF4AskTheSameQuestion) {
    Slow("pattern-8m.bin", 2 << 20);
    for (UINT way : {UINT(WM_KEYDOWN), UINT(WM_SYSCOMMAND)}) {
        question.clear();
        bool sent = false;
        DownloadResult result = Run(Url("pattern-8m.bin"), Target(L"keys.bin"), [&](HWND window) {
            if (!sent) {
                if (!Running(window)) return false;
                if (way == WM_KEYDOWN) PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
                else PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                sent = true;
                return false;
            }
            HWND box = VisibleBox();
            if (!box) return false;
            question = test::TextOf(box, L"contentlbl");
            test::Click(box, L"okbtn");
            return true;
        });
        EXPECT_EQ(question, L"是否要取消下载" + prompt + L"?") << (way == WM_KEYDOWN ? "Escape" : "Alt+F4");
        EXPECT_EQ(result.errorCode, 16);
    }
    Settle();
}

TEST_F(DownloadWndTest, OwnerGoingAwayStopsTheTransfer) {
    Slow("pattern-8m.bin", 1 << 20);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    std::wstring target = Target(L"orphan.bin");
    Run(Url("pattern-8m.bin"), target, [&](HWND window) {
        if (!Running(window)) return false;
        DestroyWindow(owner);
        return true;
    }, owner);
    // The transfer must end rather than write on for nobody.
    bool ended = false;
    for (int i = 0; i < 60 && !ended; ++i) {
        test::Pump(100);
        ended = !test::FileExists(target + L".cache");
    }
    EXPECT_TRUE(ended) << "the transfer went on after its window was gone";
    Settle();
    EXPECT_FALSE(test::FileExists(target));
}

TEST_F(DownloadWndTest, FailuresComeBackAsResults) {
    std::wstring missing = Target(L"missing.exe");
    DownloadResult notFound = Run(Url("no-such-file.exe"), missing, [](HWND) { return false; });
    EXPECT_EQ(notFound.statusCode, 404);
    EXPECT_EQ(notFound.errorCode, 0);
    EXPECT_GT(notFound.resultId, 0);
    EXPECT_FALSE(test::FileExists(missing));

    test::SetFault(test::ParseJson(R"({"path": "/files/pattern-8m.bin", "body": "drop"})"));
    std::wstring dropped = Target(L"dropped.bin");
    DownloadResult cut = Run(Url("pattern-8m.bin"), dropped, [](HWND) { return false; });
    EXPECT_NE(cut.errorCode, 0) << "a dropped connection must not read as success";
    EXPECT_GT(cut.resultId, 0);
    EXPECT_FALSE(test::FileExists(dropped));

    DownloadResult refused = Run("http://127.0.0.1:9/files/x.bin", Target(L"refused.bin"), [](HWND) { return false; });
    EXPECT_EQ(refused.statusCode, 0);
    EXPECT_EQ(refused.errorCode, 1);
    EXPECT_FALSE(refused.rejected);

    check.sha256 = std::string(64, '0');
    std::wstring altered = Target(L"altered.bin");
    DownloadResult wrong = Run(Url("pattern-256k.bin"), altered, [](HWND) { return false; });
    EXPECT_TRUE(wrong.rejected) << "bytes that are not the file must say so";
    EXPECT_EQ(wrong.statusCode, 200);
    EXPECT_NE(wrong.errorCode, 0);
    EXPECT_FALSE(test::FileExists(altered));
}
