// Controls as a reader in this process sees them: every kind of control, the
// default actions, the focus event and objects that outlive their controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "ReaderView.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/AccessibleWindow.h"

using namespace DuiLib;
using reader::ComPtr;
using reader::Node;
using uitest::TestWindow;

namespace {

const wchar_t kEveryKind[] = LR"(<Window size="420,420"><VerticalLayout>
  <HorizontalLayout height="40">
    <Label name="title" text="&lt;c #e62c2c&gt;红&lt;/c&gt;字" showhtml="true" width="60"/>
    <Label name="empty" width="10"/>
    <Button name="okbtn" text="确定" width="60"/>
    <Button name="offbtn" text="禁用" enabled="false" width="60"/>
    <Button name="hidebtn" text="隐藏" visible="false" width="60"/>
    <Button name="closebtn" tooltip="关闭" width="42"/>
  </HorizontalLayout>
  <HorizontalLayout height="30">
    <Option name="a" text="甲" group="g" selected="true" width="50"/>
    <Option name="b" text="乙" group="g" width="50"/>
    <Option name="free" text="自由" width="50"/>
  </HorizontalLayout>
  <Combo name="combo" height="30" width="120" selectedid="1"><ListLabelElement text="一"/><ListLabelElement text="二"/></Combo>
  <TabLayout name="tab" height="70">
    <VerticalLayout><Progress name="prog" height="20" value="37"/><RichEdit name="edit" height="30" text="写" tooltip="备注"/></VerticalLayout>
    <VerticalLayout><Label text="第二页"/></VerticalLayout>
  </TabLayout>
  <List name="list" height="130"><ListHeader height="30"><ListHeaderItem text="名" width="200"/><ListHeaderItem text="操作"/></ListHeader>
    <ListContainerElement name="row1" height="40"><Label text="行一"/><Button name="rowbtn" text="下载" width="60"/></ListContainerElement>
    <ListContainerElement name="row2" height="40"><Label text="行二"/></ListContainerElement>
  </List>
</VerticalLayout></Window>)";

class AccessibleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_TRUE(window.Open());
        client = reader::ClientOf(window.GetHWND());
        ASSERT_NE(client, nullptr);
        nodes = reader::Read(client.Get());
    }
    void TearDown() override {
        nodes.clear();
        client.Reset();
        if (IsWindow(window.GetHWND())) DestroyWindow(window.GetHWND());
        CoUninitialize();
    }
    IAccessible* Object(const wchar_t* name) {
        const Node* node = reader::Named(nodes, name);
        return node ? node->object.Get() : nullptr;
    }
    LONG IdOf(const wchar_t* control) { return window.GetPaintManager().GetAccessible().ChildId(window.Find(control)); }

    TestWindow window{kEveryKind};
    ComPtr<IAccessible> client;
    std::vector<Node> nodes;
};

VARIANT Child(LONG id) {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

VARIANT Typed(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    return v;
}

// The system's annotations name the text entry (oleacc's IAccPropServices).
bool SystemKeepsAnnotations() {
    static const GUID services{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
    static const GUID name{0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
    static const GUID iid{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
    ComPtr<IAccPropServices> annotations;
    if (FAILED(CoCreateInstance(services, nullptr, CLSCTX_INPROC_SERVER, iid,
                                reinterpret_cast<void**>(annotations.GetAddressOf()))))
        return false;
    return SUCCEEDED(annotations->SetHwndPropStr(GetDesktopWindow(), static_cast<DWORD>(OBJID_CLIENT), 0, name, L"x")) &&
           SUCCEEDED(annotations->ClearHwndProps(GetDesktopWindow(), static_cast<DWORD>(OBJID_CLIENT), 0, &name, 1));
}

std::wstring NameIn(const VARIANT& v) {
    ComPtr<IAccessible> object;
    if (v.vt != VT_DISPATCH || !v.pdispVal || FAILED(v.pdispVal->QueryInterface(IID_PPV_ARGS(&object)))) return L"?";
    return reader::NameOf(object.Get());
}

std::vector<std::pair<HWND, LONG>>& FocusEvents() {
    static std::vector<std::pair<HWND, LONG>> events;
    return events;
}

void CALLBACK OnFocusEvent(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) FocusEvents().push_back({hwnd, child});
}

}  // namespace

TEST_F(AccessibleTest, EveryKindOfControlShowsItsRoleNameStateAndValue) {
    std::vector<std::wstring> expected = {
        L"text 红字",
        L"button 确定",
        L"button 禁用 [unavailable]",
        L"button 隐藏 [invisible]",
        L"button 关闭",
        L"radio 甲 [checked] [selected]",
        L"radio 乙",
        L"check 自由",
        L"combo = 二",
        L"  item 一 [invisible]",
        L"  item 二 [selected] [invisible]",
        L"tabs",
        L"  page [selected]",
        L"    progress = 37%",
        SystemKeepsAnnotations() ? L"    edit 备注 = 写" : L"    edit = 写",
        L"  page [invisible]",
        L"    text 第二页 [invisible]",
        L"list",
        L"  item 行一",
        L"    text 行一",
        L"    button 下载",
        L"  item 行二",
        L"    text 行二",
    };
    EXPECT_EQ(reader::Lines(nodes), expected);

    // The text entry is the edit window's own object, which knows its caret and text.
    HWND owner = nullptr;
    auto edit = std::find_if(nodes.begin(), nodes.end(), [](const Node& n) { return n.role == ROLE_SYSTEM_TEXT; });
    ASSERT_NE(edit, nodes.end());
    ASSERT_EQ(WindowFromAccessibleObject(edit->object.Get(), &owner), S_OK);
    EXPECT_EQ(owner, window.Find<CRichEditUI>(L"edit")->GetHostWindow());

    // Screen coordinates of the control's rectangle; the point there hits it.
    RECT pos = window.Find(L"okbtn")->GetPos();
    MapWindowPoints(window.GetHWND(), nullptr, reinterpret_cast<POINT*>(&pos), 2);
    EXPECT_TRUE(EqualRect(&reader::Named(nodes, L"确定")->location, &pos));
    VARIANT hit;
    ASSERT_EQ(client->accHitTest(pos.left + 5, pos.top + 5, &hit), S_OK);
    EXPECT_EQ(NameIn(hit), L"确定");
    VariantClear(&hit);

    // Neighbours and parents as the tree above has them.
    VARIANT next;
    ASSERT_EQ(Object(L"确定")->accNavigate(NAVDIR_NEXT, reader::Self(), &next), S_OK);
    EXPECT_EQ(NameIn(next), L"禁用");
    VariantClear(&next);
    EXPECT_EQ(Object(L"红字")->accNavigate(NAVDIR_PREVIOUS, reader::Self(), &next), S_FALSE);
    ComPtr<IDispatch> parent;
    ASSERT_EQ(Object(L"下载")->get_accParent(&parent), S_OK);
    VARIANT wrapped;
    wrapped.vt = VT_DISPATCH;
    wrapped.pdispVal = parent.Get();
    EXPECT_EQ(NameIn(wrapped), L"行一");
}

TEST_F(AccessibleTest, DefaultActionsArriveAsTheControlsOwnClicks) {
    auto actionOf = [](IAccessible* object) {
        BSTR action = nullptr;
        object->get_accDefaultAction(reader::Self(), &action);
        std::wstring text = action ? action : L"";
        SysFreeString(action);
        return text;
    };
    EXPECT_EQ(actionOf(Object(L"确定")), L"Press");
    EXPECT_EQ(actionOf(Object(L"乙")), L"Select");
    EXPECT_EQ(actionOf(Object(L"自由")), L"Check");
    EXPECT_EQ(actionOf(Object(L"一")), L"Select");

    ASSERT_EQ(Object(L"确定")->accDoDefaultAction(reader::Self()), S_OK);
    EXPECT_EQ(window.Count(L"click", L"okbtn"), 0u) << "the reader's call waited for the click";
    ASSERT_EQ(Object(L"乙")->accDoDefaultAction(reader::Self()), S_OK);
    ASSERT_EQ(Object(L"一")->accDoDefaultAction(reader::Self()), S_OK);
    EXPECT_EQ(Object(L"禁用")->accDoDefaultAction(reader::Self()), E_FAIL);
    EXPECT_EQ(Object(L"隐藏")->accDoDefaultAction(reader::Self()), E_FAIL);
    EXPECT_EQ(Object(L"红字")->accDoDefaultAction(reader::Self()), DISP_E_MEMBERNOTFOUND);
    uitest::Pump(100);
    EXPECT_EQ(window.Count(L"click", L"okbtn"), 1u);
    EXPECT_EQ(window.Count(L"selectchanged", L"b"), 1u);
    EXPECT_TRUE(window.Find<COptionUI>(L"b")->IsSelected());
    EXPECT_EQ(window.Count(L"itemselect", L"combo"), 1u);
    EXPECT_EQ(window.Find<CComboUI>(L"combo")->GetCurSel(), 0);
    EXPECT_EQ(window.Count(L"click", L"offbtn") + window.Count(L"click", L"hidebtn"), 0u);

    // Behind a modal box the window is disabled and takes no clicks, the reader's neither.
    EnableWindow(window.GetHWND(), FALSE);
    EXPECT_EQ(Object(L"确定")->accDoDefaultAction(reader::Self()), E_FAIL);
    EnableWindow(window.GetHWND(), TRUE);
    ASSERT_EQ(Object(L"确定")->accDoDefaultAction(reader::Self()), S_OK);
    EnableWindow(window.GetHWND(), FALSE);  // disabled after the reader asked
    uitest::Pump(100);
    EXPECT_EQ(window.Count(L"click", L"okbtn"), 1u);
}

TEST_F(AccessibleTest, ChildIdsOfEveryVariantTypeAndIdentitiesAsTheInterfacesHaveThem) {
    IAccessible* ok = Object(L"确定");
    VARIANT role;
    const std::pair<VARIANT, HRESULT> cases[] = {
        {Typed(VT_EMPTY), S_OK}, {Child(CHILDID_SELF), S_OK}, {Typed(VT_BSTR), E_INVALIDARG},
        {Typed(VT_I2), E_INVALIDARG}, {Typed(VT_DISPATCH), E_INVALIDARG}};
    for (const auto& [child, result] : cases) {
        EXPECT_EQ(ok->get_accRole(child, &role), result) << "variant type " << child.vt;
        if (result == S_OK) {
            EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
        }
    }
    ASSERT_EQ(client->get_accRole(Child(IdOf(L"okbtn")), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);

    // The same control, asked through two objects, is one; another control is not.
    auto identity = [](IUnknown* object, DWORD child) {
        ComPtr<IAccIdentity> id;
        static const GUID iid{0x7852b78d, 0x1cfd, 0x41c1, {0xa6, 0x15, 0x9c, 0x0c, 0x85, 0x96, 0x0b, 0x5f}};
        if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(id.GetAddressOf())))) return std::string("none");
        BYTE* bytes = nullptr;
        DWORD length = 0;
        if (FAILED(id->GetIdentityString(child, &bytes, &length))) return std::string("failed");
        std::string text(reinterpret_cast<char*>(bytes), length);
        CoTaskMemFree(bytes);
        return text;
    };
    std::string okSelf = identity(ok, CHILDID_SELF);
    EXPECT_EQ(okSelf.size(), 12u);
    EXPECT_EQ(identity(client.Get(), static_cast<DWORD>(IdOf(L"okbtn"))), okSelf);
    EXPECT_NE(identity(Object(L"禁用"), CHILDID_SELF), okSelf);
    EXPECT_NE(identity(client.Get(), CHILDID_SELF), okSelf);
}

TEST_F(AccessibleTest, FocusEventLeadsTheReaderToTheFocusedControl) {
    window.GetPaintManager().SetFocus(nullptr);  // away from the first focus
    FocusEvents().clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocusEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    ::SetFocus(window.GetHWND());
    CPaintManagerUI& manager = window.GetPaintManager();
    for (const wchar_t* name : {L"okbtn", L"closebtn", L"okbtn"}) {
        manager.SetFocus(window.Find(name));  // the toolkit raises the event
        uitest::Pump(50);
    }
    UnhookWinEvent(hook);

    ASSERT_EQ(FocusEvents().size(), 3u);
    EXPECT_EQ(FocusEvents()[0].first, window.GetHWND());
    EXPECT_EQ(FocusEvents()[0].second, FocusEvents()[2].second) << "a control's child id changed";
    EXPECT_NE(FocusEvents()[0].second, FocusEvents()[1].second);
    ComPtr<IAccessible> focused;
    VARIANT child;
    ASSERT_EQ(AccessibleObjectFromEvent(window.GetHWND(), static_cast<DWORD>(OBJID_CLIENT), FocusEvents()[2].second, &focused, &child), S_OK);
    EXPECT_EQ(reader::NameOf(focused.Get()), L"确定");
    VARIANT state;
    ASSERT_EQ(focused->get_accState(child, &state), S_OK);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_FOCUSED);
    VARIANT focus;
    ASSERT_EQ(client->get_accFocus(&focus), S_OK);
    EXPECT_EQ(NameIn(focus), L"确定");
    VariantClear(&focus);
}

TEST_F(AccessibleTest, ObjectsOfGoneControlsAndWindowsSaySoAndNeverCrash) {
    ComPtr<IAccessible> row = Object(L"行二"), ok = Object(L"确定");
    LONG rowId = IdOf(L"row2");
    ComPtr<IDispatch> byId;
    ASSERT_EQ(client->get_accChild(Child(rowId), &byId), S_OK);

    window.Find<CListUI>(L"list")->Remove(window.Find(L"row2"));
    nodes.clear();
    HRESULT result = S_OK;
    EXPECT_EQ(reader::NameOf(row.Get(), &result), L"");
    EXPECT_EQ(result, CO_E_OBJNOTCONNECTED);
    VARIANT v;
    EXPECT_EQ(row->get_accRole(reader::Self(), &v), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(row->get_accState(reader::Self(), &v), CO_E_OBJNOTCONNECTED);
    long left, top, width, height, count = -1;
    EXPECT_EQ(row->accLocation(&left, &top, &width, &height, reader::Self()), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(row->accNavigate(NAVDIR_FIRSTCHILD, reader::Self(), &v), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(row->accDoDefaultAction(reader::Self()), CO_E_OBJNOTCONNECTED);
    ComPtr<IDispatch> parent;
    EXPECT_EQ(row->get_accParent(&parent), CO_E_OBJNOTCONNECTED);
    ComPtr<IEnumVARIANT> children;
    ASSERT_EQ(row.As(&children), S_OK);
    ULONG fetched = 0;
    EXPECT_EQ(children->Next(1, &v, &fetched), CO_E_OBJNOTCONNECTED);
    ComPtr<IDispatch> gone;
    EXPECT_EQ(client->get_accChild(Child(rowId), &gone), E_INVALIDARG) << "a dead control's id still answers";
    EXPECT_EQ(reader::NameOf(ok.Get()), L"确定") << "the others went too";

    DestroyWindow(window.GetHWND());
    EXPECT_EQ(client->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(reader::NameOf(ok.Get(), &result), L"");
    EXPECT_EQ(result, CO_E_OBJNOTCONNECTED);

    // Every object that went to the reader is freed once the reader lets go.
    row.Reset();
    ok.Reset();
    children.Reset();
    byId.Reset();
    client.Reset();
    EXPECT_EQ(Accessible::LiveCount(), 0);
}
