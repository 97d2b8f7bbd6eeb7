// The notices end to end: the box they show, and the web address they hand to
// the browser, which under Wine is a recorder script instead of a browser.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "net/Deployment.h"
#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/MessageWnd.h"
#include "ui/Notices.h"

namespace {

const std::wstring kConfigUrl = L"http://127.0.0.1:9/helper/config?name=quorvex";

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOwnArchive());
        if (!browser_.Active()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
        log_ = browser_.Log();
    }

    // Every address the browser was given, one a line; waits for `lines` of
    // them, then a little longer, so that a stray later one shows too.
    std::string BrowserLog(size_t lines) {
        std::string log;
        for (int i = 0; i < 100; ++i) {
            log = test::AwaitFile(log_, 100);
            if (static_cast<size_t>(std::count(log.begin(), log.end(), '\n')) >= lines) break;
        }
        test::Pump(700);
        return test::FileExists(log_) ? test::ReadFile(log_) : std::string();
    }

    // A notice that certainly opens the chat: a line that the log must end
    // with alone when nothing opened the browser before it.
    std::string Anchor() {
        std::wstring url = L"http://127.0.0.1:9/anchor";
        test::Answering(L"okbtn", [&] { ReportRequestFailure(owner, url, 0, 1); });
        return WideToUtf8(deployment::ChatUrl()) + "&c1=http%3A%2F%2F127.0.0.1%3A9%2Fanchor" +
               "&c2=%E7%8A%B6%E6%80%81%E7%A0%81%3A+0&c3=%E9%94%99%E8%AF%AF%E7%A0%81%3A+1\n";
    }

    HWND owner = test::SharedOwner();
    test::BrowserRecorder browser_;
    std::wstring log_;
};

}  // namespace

TEST_F(NoticeTest, NotFoundIsShownThenTheChatOpens) {
    bool chatBeforeAnswer = false;
    int boxes = test::Answering(L"okbtn", [&] { ReportRequestFailure(owner, kConfigUrl, 404, 0); },
                                [&](HWND box) {
                                    EXPECT_EQ(test::TextOf(box, L"contentlbl"), L"未找到资源。联系客服处理。");
                                    EXPECT_EQ(test::TextOf(box, L"apptitlelbl"), L"提示");
                                    EXPECT_FALSE(test::Shown(box, L"cancelbtn"));
                                    chatBeforeAnswer = test::FileExists(log_);
                                });
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(chatBeforeAnswer) << "the chat opened before the box was answered";
    EXPECT_EQ(BrowserLog(1), WideToUtf8(deployment::ChatUrl()) +
                                 "&c1=http%3A%2F%2F127.0.0.1%3A9%2Fhelper%2Fconfig%3Fname%3Dquorvex"
                                 "&c2=%E7%8A%B6%E6%80%81%E7%A0%81%3A+404&c3=%E9%94%99%E8%AF%AF%E7%A0%81%3A+0\n");
}

TEST_F(NoticeTest, OnlyOneNoticeAtATime) {
    // While a box is open a notice shows nothing and opens no chat; a box the
    // notice wrongly shows is closed by the second ticker so the test goes on.
    HWND first = nullptr;
    int stray = 0;
    test::Ticker closer([&] {
        for (HWND box : test::OpenBoxes()) {
            if (first && box != first && IsWindowVisible(box)) {
                ++stray;
                PostMessageW(box, WM_CLOSE, 0, 0);
            }
        }
        return false;
    });
    int shownWhileOpen = -1;
    test::Ticker notices([&] {
        std::vector<HWND> boxes = test::OpenBoxes();
        if (boxes.empty()) return false;
        first = boxes[0];
        ReportRequestFailure(owner, kConfigUrl, 500, 0);
        ReportRequestFailure(owner, kConfigUrl, 0, 3);
        shownWhileOpen = stray;
        test::Click(first, L"okbtn");
        return true;
    });
    EXPECT_EQ(ShowMessage(owner, L"已下载一个文件!", L"提示", kMessageQuestion), kMessageOk);
    EXPECT_EQ(shownWhileOpen, 0);
    std::string anchor = Anchor();
    EXPECT_EQ(BrowserLog(1), anchor) << "a suppressed notice opened the chat";
}

TEST_F(NoticeTest, CancelledRequestsAndMissingResultsShowNothing) {
    int boxes = test::Answering(L"okbtn", [&] {
        ReportRequestFailure(owner, kConfigUrl, 200, 16);
        ReportDownloadFailure(owner, -1, -1, -1, L"http://127.0.0.1:9/files/a.zip", L"C:\\q\\a.zip");
        ReportDownloadFailure(owner, 200, 16, 2, L"http://127.0.0.1:9/files/a.zip", L"C:\\q\\a.zip");
    });
    EXPECT_EQ(boxes, 0);
    std::string anchor = Anchor();
    EXPECT_EQ(BrowserLog(1), anchor) << "the browser was opened for nothing";
}

TEST_F(NoticeTest, FailedDownloadOffersTheBrowser) {
    const std::wstring url = L"http://127.0.0.1:9/files/%E5%B7%A5%E5%85%B7.zip";
    auto question = [](HWND box) {
        EXPECT_TRUE(test::Shown(box, L"cancelbtn"));
        std::wstring text = test::TextOf(box, L"contentlbl");
        EXPECT_NE(text.find(L"工具 1.zip"), std::wstring::npos) << "the file is not named";
        EXPECT_NE(text.find(L"状态码:500"), std::wstring::npos) << "the status is not given";
    };
    // Declined: nothing opens.
    EXPECT_EQ(test::Answering(L"cancelbtn",
                              [&] { ReportDownloadFailure(owner, 500, 0, 1, url, L"C:\\q\\工具 1.zip"); },
                              question),
              1);
    // Accepted: the download address goes to the browser, and nothing more is shown.
    EXPECT_EQ(test::Answering(L"okbtn",
                              [&] { ReportDownloadFailure(owner, 500, 0, 2, url, L"C:\\q\\工具 1.zip"); },
                              question),
              1);
    EXPECT_EQ(BrowserLog(1), WideToUtf8(url) + "\n");
}

TEST_F(NoticeTest, BrowserThatCannotStartIsReported) {
    // Only a web address is opened: neither a file, a program nor an empty address.
    for (const wchar_t* url : {L"C:\\vantoro-no-such-folder\\tool.zip", L"C:\\Windows\\System32\\cmd.exe", L""}) {
        std::vector<std::wstring> texts;
        int boxes = test::Answering(L"okbtn",
                                    [&] { ReportDownloadFailure(owner, 500, 0, 1, url, L"C:\\q\\tool.zip"); },
                                    [&](HWND box) {
                                        texts.push_back(test::TextOf(box, L"contentlbl"));
                                        if (texts.size() == 2) {
                                            EXPECT_TRUE(test::Shown(box, L"cancelbtn"));
                                        }
                                    });
        EXPECT_EQ(boxes, 2) << "for the address \"" << WideToUtf8(url) << "\"";
        if (texts.size() == 2) {
            EXPECT_EQ(texts[1], L"打开默认浏览器出现了错误，请联系客服处理。");
        }
    }
}
