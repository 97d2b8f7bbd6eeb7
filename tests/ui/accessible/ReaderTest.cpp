// The landing page and the message box as a screen reader in another process
// sees them: the objects come from WM_GETOBJECT through oleacc's marshalling.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "ReaderView.h"
#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/Program.h"
#include "tests/support/TestService.h"

using reader::Node;

namespace {

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    // Waits until the window's objects satisfy done (or 5 s pass).
    template <class F>
    std::vector<Node> ReadUntil(HWND window, F done) {
        std::vector<Node> nodes;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(50)) {
            nodes = reader::Read(reader::ClientOf(window).Get());
            if (done(nodes)) break;
        }
        return nodes;
    }
};

bool Checked(const std::vector<Node>& nodes, const wchar_t* name) {
    const Node* node = reader::Named(nodes, name);
    return node && (node->state & STATE_SYSTEM_CHECKED);
}

SIZE SizeOf(const RECT& rc) { return SIZE{rc.right - rc.left, rc.bottom - rc.top}; }

}  // namespace

TEST_F(ReaderTest, LandingPageNamesEveryControlAndItsPlace) {
    test::TempFolder folder;
    std::wstring exe = folder.Path() + L"\\Vantoro.exe";
    ASSERT_TRUE(CopyFileW(test::DosPath(VANTORO_EXE).c_str(), exe.c_str(), FALSE));
    SetEnvironmentVariableW(L"VANTORO_SERVICE_URL", Utf8ToWide(test::BaseUrl()).c_str());
    test::Program fixer(exe, L"");
    HWND main = fixer.AwaitWindow(L"mainWnd");
    ASSERT_NE(main, nullptr);

    reader::ComPtr<IAccessible> client = reader::ClientOf(main);
    ASSERT_NE(client, nullptr) << "no accessible object for the client area";
    VARIANT role;
    ASSERT_EQ(client->get_accRole(reader::Self(), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_CLIENT);

    std::vector<Node> nodes = reader::Read(client.Get());
    std::vector<std::wstring> expected = {
        L"button 最小化",
        L"button 关闭",
        L"radio DLL修复 [checked] [selected]",
        L"radio C盘瘦身",
        L"radio 系统重装",
        L"radio DirectX修复",
        L"animation",
        L"text DLL修复工具 安全可靠",
        L"text DLL修复工具可对U盘、硬盘、SD卡等进行修复",
        L"button 立即修复",
        L"text 注意：人工客服，24小时在线服务，1对1解答",
        L"button 咨询客服",
    };
    EXPECT_EQ(reader::Lines(nodes), expected);

    // Screen places: the window buttons sit in the top right corner inside the border.
    RECT window;
    GetWindowRect(main, &window);
    const Node* close = reader::Named(nodes, L"关闭");
    const Node* minimise = reader::Named(nodes, L"最小化");
    const Node* fix = reader::Named(nodes, L"立即修复");
    ASSERT_TRUE(close && minimise && fix);
    EXPECT_EQ(close->location.right, window.right - 1);
    EXPECT_EQ(close->location.top, window.top + 1);
    EXPECT_EQ(SizeOf(close->location).cx, 42);
    EXPECT_EQ(SizeOf(close->location).cy, 30);
    EXPECT_EQ(minimise->location.right, close->location.left);
    EXPECT_EQ(SizeOf(fix->location).cx, 170);
    EXPECT_EQ(SizeOf(fix->location).cy, 53);
    for (const Node& node : nodes) {
        RECT inside;
        EXPECT_TRUE(IntersectRect(&inside, &node.location, &window) && EqualRect(&inside, &node.location))
            << WideToUtf8(node.Line()) << " lies outside the window";
    }

    // The reader's default action is the user's click: the page changes feature.
    const Node* cleanup = reader::Named(nodes, L"C盘瘦身");
    BSTR action = nullptr;
    ASSERT_EQ(cleanup->object->get_accDefaultAction(reader::Self(), &action), S_OK);
    EXPECT_STREQ(action, L"Select");
    SysFreeString(action);
    ASSERT_EQ(cleanup->object->accDoDefaultAction(reader::Self()), S_OK);
    nodes = ReadUntil(main, [](const std::vector<Node>& n) { return Checked(n, L"C盘瘦身"); });
    EXPECT_TRUE(Checked(nodes, L"C盘瘦身"));
    EXPECT_FALSE(Checked(nodes, L"DLL修复"));
    EXPECT_NE(reader::Named(nodes, L"C盘瘦身 扩充容量"), nullptr) << "the title did not follow the feature";
    EXPECT_NE(reader::Named(nodes, L"立即清理"), nullptr);

    ASSERT_EQ(reader::Named(nodes, L"关闭")->object->accDoDefaultAction(reader::Self()), S_OK);
    EXPECT_EQ(fixer.AwaitExit(), 0u) << "pressing close did not end the program";
}

TEST_F(ReaderTest, MessageBoxReadsAndAnswersAndItsGoneButtonsSaySo) {
    test::Program host(test::DosPath(BOX_HOST_EXE), L"");
    HWND box = host.AwaitWindow(L"msgwnd");
    ASSERT_NE(box, nullptr);
    // A dialog as the system's message box reads: its title the name, its text the description.
    reader::ComPtr<IAccessible> dialog = reader::ClientOf(box);
    ASSERT_NE(dialog, nullptr);
    VARIANT role;
    ASSERT_EQ(dialog->get_accRole(reader::Self(), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(reader::NameOf(dialog.Get()), L"提示");
    BSTR description = nullptr;
    ASSERT_EQ(dialog->get_accDescription(reader::Self(), &description), S_OK);
    EXPECT_STREQ(description, L"已下载一个文件!");
    SysFreeString(description);

    std::vector<Node> nodes = ReadUntil(box, [](const std::vector<Node>& n) { return n.size() >= 7; });
    std::vector<std::wstring> expected = {
        L"text 提示",
        L"button 关闭 [invisible]",
        L"tabs",
        L"  text 已下载一个文件! [selected]",
        L"button 重试 [invisible]",
        L"button 取消",
        L"button 确定",
    };
    ASSERT_EQ(reader::Lines(nodes), expected);

    RECT client;
    GetClientRect(box, &client);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const Node* ok = reader::Named(nodes, L"确定");
    const Node* cancel = reader::Named(nodes, L"取消");
    EXPECT_EQ(SizeOf(ok->location).cx, 70);
    EXPECT_EQ(SizeOf(ok->location).cy, 27);
    EXPECT_EQ(ok->location.right, client.right - 1 - 12);
    EXPECT_EQ(cancel->location.right + 10, ok->location.left);
    EXPECT_GT(ok->location.top, reader::Named(nodes, L"已下载一个文件!")->location.top);

    // A hidden button cannot be pressed; the shown one answers the box.
    EXPECT_EQ(reader::Named(nodes, L"重试")->object->accDoDefaultAction(reader::Self()), E_FAIL);
    ASSERT_EQ(ok->object->accDoDefaultAction(reader::Self()), S_OK);

    // The second box comes in a new window; the first box's objects outlive their controls.
    HWND second = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000 && (!second || second == box); Sleep(50))
        second = host.Window(L"msgwnd");
    ASSERT_NE(second, box);
    ASSERT_NE(second, nullptr);
    HRESULT result = S_OK;
    EXPECT_EQ(reader::NameOf(ok->object.Get(), &result), L"");
    EXPECT_EQ(result, CO_E_OBJNOTCONNECTED);
    long left, top, width, height;
    EXPECT_EQ(ok->object->accLocation(&left, &top, &width, &height, reader::Self()), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(ok->object->accDoDefaultAction(reader::Self()), CO_E_OBJNOTCONNECTED);

    nodes = ReadUntil(second, [](const std::vector<Node>& n) { return reader::Named(n, L"取消"); });
    ASSERT_NE(reader::Named(nodes, L"取消"), nullptr);
    ASSERT_EQ(reader::Named(nodes, L"取消")->object->accDoDefaultAction(reader::Self()), S_OK);
    EXPECT_EQ(host.AwaitExit(), 16u) << "first box: OK (1), second: cancel (6)";
}
