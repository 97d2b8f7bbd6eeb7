#include <gtest/gtest.h>

#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "ui/Notices.h"

TEST(RequestFailureText, WordsEachKindOfFailure) {
    EXPECT_EQ(RequestFailureText(0, 3), ErrorText(3) + L"。请检查网络是否可行或者使用了代理服务器");
    EXPECT_EQ(RequestFailureText(0, 1), ErrorText(1));
    EXPECT_EQ(RequestFailureText(404, 0), L"未找到资源。联系客服处理。");
    EXPECT_EQ(RequestFailureText(500, 0), L"状态码: 500,错误码: 0");
    EXPECT_EQ(RequestFailureText(404, 28), L"状态码: 404,错误码: 28");
    EXPECT_EQ(RequestFailureText(200, 3), L"状态码: 200,错误码: 3");
    EXPECT_EQ(RequestFailureText(0, 16), L"") << "a cancel before the headers is quiet too";
    EXPECT_EQ(RequestFailureText(200, 16), L"") << "a cancelled request is not a failure to report";
}

TEST(RequestFailureChatLink, CarriesTheUrlStatusAndErrorCode) {
    std::wstring link = RequestFailureChatLink(L"http://127.0.0.1:18080/helper/config?name=quorvex", 404, 0);
    EXPECT_EQ(link, deployment::ChatUrl() +
                        L"&c1=http%3A%2F%2F127.0.0.1%3A18080%2Fhelper%2Fconfig%3Fname%3Dquorvex"
                        L"&c2=%E7%8A%B6%E6%80%81%E7%A0%81%3A+404&c3=%E9%94%99%E8%AF%AF%E7%A0%81%3A+0");
    EXPECT_NE(deployment::ChatUrl().find(L'?'), std::wstring::npos) << "the base must carry a query";
    EXPECT_NE(RequestFailureChatLink(L"u", 0, -1).find(L"&c3=%E9%94%99%E8%AF%AF%E7%A0%81%3A+-1"), std::wstring::npos);
}

TEST(DescribeDownloadFailure, NoResultAndCancelledShowNothing) {
    EXPECT_FALSE(DescribeDownloadFailure(-1, -1, -1, L"C:\\d\\a.zip").show);
    EXPECT_FALSE(DescribeDownloadFailure(200, 16, 4, L"C:\\d\\a.zip").show);
    EXPECT_FALSE(DescribeDownloadFailure(0, 16, 5, L"C:\\d\\a.zip").show) << "cancelled before the headers";
    // Only the whole (-1, -1, -1) triple means "no result".
    EXPECT_TRUE(DescribeDownloadFailure(-1, -1, 3, L"C:\\d\\a.zip").show);
}

TEST(DescribeDownloadFailure, WordsEachBranchAndNamesTheFile) {
    auto dns = DescribeDownloadFailure(0, 3, 1, L"C:\\d\\a.zip");
    EXPECT_TRUE(dns.show);
    EXPECT_EQ(dns.type, 1);
    EXPECT_EQ(dns.text, ErrorText(3) + L"。请检查网络是否可行或者使用了代理服务器");

    auto missing = DescribeDownloadFailure(404, 0, 2, L"C:\\Users\\Public\\Documents\\quorvex\\修复 工具.exe");
    EXPECT_EQ(missing.type, 1);
    EXPECT_EQ(missing.text, L"未找到资源修复 工具.exe。联系客服处理。");

    auto other = DescribeDownloadFailure(500, 0, 3, L"C:\\d\\tool.zip");
    EXPECT_EQ(other.type, 0) << "the browser is offered as a question";
    EXPECT_EQ(other.text, L"下载文件: tool.zip出现了错误。状态码:500," + ErrorText(0) + L",是否到浏览器下载？");

    // A connection failure is not the host-resolution wording, and a path
    // without a folder is its own file name.
    auto rejected = DescribeDownloadFailure(200, 4, 5, L"C:\\d\\setup.exe", true);
    EXPECT_TRUE(rejected.show);
    EXPECT_EQ(rejected.type, 1) << "the browser would fetch the same bytes";
    EXPECT_EQ(rejected.text, L"下载的文件setup.exe已损坏或被篡改，已删除，未打开。请稍后重新下载，或联系客服处理。");

    auto refused = DescribeDownloadFailure(0, 1, 4, L"tool.zip");
    EXPECT_EQ(refused.type, 0);
    EXPECT_EQ(refused.text, L"下载文件: tool.zip出现了错误。状态码:0," + ErrorText(1) + L",是否到浏览器下载？");
}
