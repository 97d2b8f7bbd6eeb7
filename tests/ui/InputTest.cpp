// Input as the user gives it: real mouse and key messages posted to the
// window, so that hit-testing, capture and focus take part; notifications
// and modal results as the windows see them.
#include <gtest/gtest.h>

#include <algorithm>

#include "UiTestSupport.h"
#include "tests/support/UiDriver.h"

using namespace DuiLib;
using uitest::TestWindow;

namespace {

const wchar_t kButtons[] = LR"(<Window size="360,220">
  <VerticalLayout bkcolor="#FFFFFFFF">
    <HorizontalLayout height="32">
      <Label name="title" text="标题"/>
      <Button name="closebtn" width="42" height="30"/>
    </HorizontalLayout>
    <HorizontalLayout height="40" childpadding="10">
      <Button name="okbtn" width="80" height="30" text="确定"/>
      <Button name="offbtn" width="80" height="30" text="禁用" enabled="false"/>
      <Button name="throwbtn" width="80" height="30" text="异常"/>
    </HorizontalLayout>
    <HorizontalLayout height="40" childpadding="10">
      <Option name="a" width="60" group="g" selected="true"/>
      <Option name="b" width="60" group="g"/>
      <Option name="c" width="60" group="g"/>
      <Option name="free" width="60" selected="true"/>
    </HorizontalLayout>
    <Control/>
  </VerticalLayout>
</Window>)";

const wchar_t kNoCloseButton[] = LR"(<Window size="200,100"><VerticalLayout><Label name="l"/></VerticalLayout></Window>)";

// Its memory outlives it (until the test ends), so that a late touch of a
// removed option shows as a notification from it rather than as a random crash.
class KeptOption : public COptionUI {
public:
    static void operator delete(void* p) { Graveyard().push_back(p); }
    static std::vector<void*>& Graveyard() {
        static std::vector<void*> kept;
        return kept;
    }
    static void Bury() {
        for (void* p : Graveyard()) ::operator delete(p);
        Graveyard().clear();
    }
};

const wchar_t kOptionRow[] = LR"(<Window size="300,120"><VerticalLayout name="outer">
  <HorizontalLayout name="row" height="40"/><Button name="okbtn" height="30"/></VerticalLayout></Window>)";

std::wstring Rows(int count) {
    std::wstring xml = LR"(<Window size="400,300"><VerticalLayout>
      <List name="list" height="230"><ListHeader height="30"><ListHeaderItem text="名" width="200"/><ListHeaderItem text="说明"/></ListHeader>)";
    for (int i = 0; i < count; ++i)
        xml += L"<ListContainerElement height=\"45\"><Label name=\"n" + std::to_wstring(i) + L"\" text=\"行\"/></ListContainerElement>";
    xml += L"</List><Control/></VerticalLayout></Window>";
    return xml;
}

const wchar_t kCombo[] = LR"(<Window size="300,300"><VerticalLayout inset="10,10,10,10">
  <Combo name="combo" width="180" height="34" selectedid="0">
    <ListLabelElement text="甲" tag="100" height="30"/>
    <ListLabelElement text="乙" tag="200" height="30"/>
    <ListLabelElement text="丙" tag="-3" height="30"/>
  </Combo><Control/></VerticalLayout></Window>)";

}  // namespace

TEST(Click, CloseButtonEndsTheModalLoopWithItsCode) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    TestWindow w(kButtons);
    ASSERT_TRUE(w.Open(owner, uitest::kProductDialogStyle));
    bool ownerDisabledWhileModal = false;
    w.onNotify = [&](TNotifyUI&) { ownerDisabledWhileModal = !IsWindowEnabled(owner); };
    w.PostClick(L"closebtn");
    EXPECT_EQ(w.ShowModal(), static_cast<UINT>(IDCANCEL));
    EXPECT_EQ(w.Count(L"click", L"closebtn"), 1u);
    EXPECT_TRUE(ownerDisabledWhileModal);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(Click, OnlyAPressAndReleaseInsideAnEnabledButtonClicks) {
    TestWindow w(kButtons);
    ASSERT_TRUE(w.Open());
    w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"click" && msg.pSender->GetName() == L"okbtn") w.Close(1);
    };
    POINT ok = w.CenterOf(L"okbtn");
    HWND hwnd = w.GetHWND();
    // Pressed on the button, released outside: no click.
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(ok.x, ok.y));
    PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 200));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(300, 200));
    // Pressed outside, released on it: no click either. A disabled button never clicks.
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(ok.x, ok.y));
    w.PostClick(L"offbtn");
    w.PostClick(L"okbtn");
    EXPECT_EQ(w.ShowModal(), 1u);
    EXPECT_EQ(w.Count(L"click", L"okbtn"), 1u);
    EXPECT_EQ(w.Count(L"click", L"offbtn"), 0u);
}

TEST(Option, GroupKeepsOneSelectedAndReportsTheNewOne) {
    TestWindow w(kButtons);
    ASSERT_TRUE(w.Open());
    auto* a = w.Find<COptionUI>(L"a");
    auto* b = w.Find<COptionUI>(L"b");
    auto* c = w.Find<COptionUI>(L"c");
    auto* free = w.Find<COptionUI>(L"free");
    EXPECT_EQ(a->GetGroup(), L"g");
    EXPECT_TRUE(a->IsSelected());
    w.PostClick(L"b");
    w.PostClick(L"b");  // selecting the selected one changes nothing
    w.PostClick(L"free");
    uitest::Pump(300);
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(c->IsSelected());
    EXPECT_EQ(w.Count(L"click", L"b"), 2u);
    EXPECT_EQ(w.Count(L"selectchanged", L"b"), 1u);
    EXPECT_EQ(w.Count(L"selectchanged", L"a"), 0u);  // cleared members stay quiet
    EXPECT_FALSE(free->IsSelected());                 // no group: a click toggles
    EXPECT_EQ(w.Count(L"selectchanged", L"free"), 1u);
    c->Selected(true);
    EXPECT_FALSE(b->IsSelected());
    DestroyWindow(w.GetHWND());
}

TEST(Option, ClickHandlerMayRemoveTheOptionOrItsContainer) {
    for (const wchar_t* removed : {L"opt", L"row"}) {
        for (const wchar_t* group : {L"g", L""}) {
            TestWindow w(kOptionRow);
            ASSERT_TRUE(w.Open());
            auto* option = new KeptOption;
            option->SetName(L"opt");
            option->SetGroup(group);
            ASSERT_TRUE(w.Find<CContainerUI>(L"row")->Add(option));
            w.onNotify = [&](TNotifyUI& msg) {
                if (msg.sType == L"click" && msg.pSender->GetName() == L"opt") {
                    CControlUI* gone = w.Find(removed);
                    dynamic_cast<CContainerUI*>(gone->GetParent())->Remove(gone);
                    w.PostClick(L"okbtn");  // where it is now: the window goes on working
                } else if (msg.sType == L"click" && msg.pSender->GetName() == L"okbtn") {
                    w.Close(1);
                }
            };
            w.PostClick(L"opt");
            EXPECT_EQ(w.ShowModal(), 1u) << removed << " group '" << group << "'";
            EXPECT_EQ(w.Count(L"click", L"opt"), 1u);
            EXPECT_EQ(w.Count(L"selectchanged", L"opt"), 0u) << "the removed option was touched";
            EXPECT_EQ(w.Find(removed), nullptr);
            EXPECT_EQ(KeptOption::Graveyard().size(), 1u);
            KeptOption::Bury();
        }
    }
}

TEST(Keyboard, EscapeAndAltF4CloseLikeTheCloseButton) {
    {
        TestWindow w(kButtons);
        ASSERT_TRUE(w.Open());
        PostMessageW(w.GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(w.ShowModal(), static_cast<UINT>(IDCANCEL));
        EXPECT_EQ(w.Count(L"click", L"closebtn"), 1u);
    }
    {
        TestWindow w(kButtons);
        ASSERT_TRUE(w.Open());
        // The close button's handler decides, as it does for a click.
        w.onNotify = [&](TNotifyUI& msg) {
            if (msg.sType == L"click" && msg.pSender->GetName() == L"closebtn") w.Close(6);
        };
        PostMessageW(w.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(w.ShowModal(), 6u);
        EXPECT_EQ(w.Count(L"click", L"closebtn"), 1u);
    }
    {
        TestWindow w(kNoCloseButton);
        ASSERT_TRUE(w.Open());
        PostMessageW(w.GetHWND(), WM_CLOSE, 0, 0);
        EXPECT_EQ(w.ShowModal(), static_cast<UINT>(IDCANCEL));
    }
    {
        // A hidden close button is not clicked.
        TestWindow w(kButtons);
        ASSERT_TRUE(w.Open());
        w.Find(L"closebtn")->SetVisible(false);
        PostMessageW(w.GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(w.ShowModal(), static_cast<UINT>(IDCANCEL));
        EXPECT_EQ(w.Count(L"click", L"closebtn"), 0u);
    }
}

TEST(Modal, NestedWindowsAndSelfDeletion) {
    TestWindow outer(kButtons);
    ASSERT_TRUE(outer.Open());
    bool innerDeleted = false;
    UINT innerResult = 0;
    outer.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"click" || msg.pSender->GetName() != L"okbtn") return;
        // As the product's windows do: made with new, deleting themselves.
        auto* inner = new TestWindow(kButtons);
        inner->deleted = &innerDeleted;
        inner->deleteOnFinal = true;
        inner->Open(outer.GetHWND());
        inner->CenterWindow();
        inner->PostClick(L"closebtn");
        innerResult = inner->ShowModal();
        outer.Close(42);
    };
    outer.PostClick(L"okbtn");
    EXPECT_EQ(outer.ShowModal(), 42u);
    EXPECT_EQ(innerResult, static_cast<UINT>(IDCANCEL));
    EXPECT_TRUE(innerDeleted);
}

TEST(Modal, OwnerIsEnabledOnlyWhenTheLastModalWindowOverItCloses) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    // Either may close first: a notice over the main window while the check window runs.
    for (bool firstClosesFirst : {true, false}) {
        TestWindow first(kButtons), second(kButtons);
        ASSERT_TRUE(first.Open(owner));
        ASSERT_TRUE(second.Open(owner));
        TestWindow& early = firstClosesFirst ? first : second;
        TestWindow& late = firstClosesFirst ? second : first;
        bool disabledWithOneLeft = false, disabledWithBoth = false, inSecondLoop = false;
        UINT secondResult = 0;
        // Inside the first one's loop, the second one's loop over the same owner.
        test::Ticker openSecond([&] {
            inSecondLoop = true;
            secondResult = second.ShowModal();
            return true;
        });
        test::Ticker closeInTurn([&] {
            if (!inSecondLoop) return false;
            if (IsWindow(early.GetHWND())) {
                disabledWithBoth = !IsWindowEnabled(owner);
                early.Close(1);
                return false;
            }
            disabledWithOneLeft = !IsWindowEnabled(owner);
            late.Close(2);
            return true;
        });
        UINT firstResult = first.ShowModal();
        EXPECT_EQ(firstResult, firstClosesFirst ? 1u : 2u);
        EXPECT_EQ(secondResult, firstClosesFirst ? 2u : 1u);
        EXPECT_TRUE(disabledWithBoth);
        EXPECT_TRUE(disabledWithOneLeft) << (firstClosesFirst ? "first" : "second") << " closed first";
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    // An owner that was disabled before stays so.
    EnableWindow(owner, FALSE);
    TestWindow w(kButtons);
    ASSERT_TRUE(w.Open(owner));
    w.Close(3);
    EXPECT_EQ(w.ShowModal(), 3u);
    EXPECT_FALSE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(Modal, FirstCloseCodeWinsAndCloseBeforeShowing) {
    TestWindow w(kButtons);
    ASSERT_TRUE(w.Open());
    w.Close(7);
    w.Close(1);
    EXPECT_EQ(w.ShowModal(), 7u);
}

TEST(Combo, MouseOpensTheDropDownAndPicksAnItem) {
    TestWindow w(kCombo);
    ASSERT_TRUE(w.Open());
    auto* combo = w.Find<CComboUI>(L"combo");
    w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"dropdown") {
            HWND drop = combo->GetDropDownWindow();
            // The third item, 30 pixels each below a 1-pixel border.
            PostMessageW(drop, WM_MOUSEMOVE, 0, MAKELPARAM(20, 1 + 2 * 30 + 15));
            PostMessageW(drop, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 1 + 2 * 30 + 15));
            PostMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(20, 1 + 2 * 30 + 15));
        } else if (msg.sType == L"itemselect") {
            w.Close(100 + static_cast<UINT>(msg.wParam));
        }
    };
    w.PostClick(L"combo");
    EXPECT_EQ(w.ShowModal(), 102u);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->GetItemTag(combo->GetCurSel()), -3);
    EXPECT_EQ(combo->GetText(), L"丙");
    EXPECT_FALSE(combo->IsDroppedDown());
}

TEST(Combo, KeyboardPicksInTheDropDownAndOnTheClosedCombo) {
    TestWindow w(kCombo);
    ASSERT_TRUE(w.Open());
    auto* combo = w.Find<CComboUI>(L"combo");
    w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"dropdown") {
            HWND drop = combo->GetDropDownWindow();
            PostMessageW(drop, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(drop, WM_KEYDOWN, VK_RETURN, 0);
        } else if (msg.sType == L"itemselect") {
            w.Close(100 + static_cast<UINT>(msg.wParam));
        }
    };
    w.PostClick(L"combo");
    EXPECT_EQ(w.ShowModal(), 101u);
    EXPECT_EQ(combo->GetItemTag(combo->GetCurSel()), 200);

    TestWindow closed(kCombo);
    ASSERT_TRUE(closed.Open());
    auto* second = closed.Find<CComboUI>(L"combo");
    second->SetFocus();
    PostMessageW(closed.GetHWND(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(closed.GetHWND(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(closed.GetHWND(), WM_KEYDOWN, VK_DOWN, 0);  // stays on the last
    uitest::Pump(200);
    EXPECT_EQ(second->GetCurSel(), 2);
    EXPECT_EQ(closed.Count(L"itemselect", L"combo"), 2u);
    DestroyWindow(closed.GetHWND());
}

TEST(List, RowsThatDoNotFitScrollWithTheWheel) {
    TestWindow w(Rows(10));
    ASSERT_TRUE(w.Open());
    ShowWindow(w.GetHWND(), SW_SHOWNA);
    auto* list = w.Find<CListUI>(L"list");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->GetCount(), 10);
    // 10 rows of 45 in 200 pixels below the header.
    EXPECT_EQ(list->GetScrollRange(), 10 * 45 - 200);
    RECT before = w.Find(L"n0")->GetPos();
    POINT at = w.CenterOf(L"n1");
    ClientToScreen(w.GetHWND(), &at);
    PostMessageW(w.GetHWND(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(at.x, at.y));
    uitest::Pump(200);
    EXPECT_GT(list->GetScrollPos(), 0);
    RECT after = w.Find(L"n0")->GetPos();
    EXPECT_EQ(before.top - after.top, list->GetScrollPos());
    // Dragging the scroll bar's thumb to the bottom shows the last row.
    RECT pos = list->GetList()->GetPos();
    int view = pos.bottom - pos.top, range = list->GetScrollRange();
    int thumb = std::max(20, view * view / (view + range));
    int thumbMiddle = pos.top + (view - thumb) * list->GetScrollPos() / range + thumb / 2;
    PostMessageW(w.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pos.right - 4, thumbMiddle));
    PostMessageW(w.GetHWND(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pos.right - 4, pos.bottom + 100));
    PostMessageW(w.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(pos.right - 4, pos.bottom + 100));
    uitest::Pump(200);
    EXPECT_EQ(list->GetScrollPos(), list->GetScrollRange());

    TestWindow few(Rows(3));
    ASSERT_TRUE(few.Open());
    EXPECT_EQ(few.Find<CListUI>(L"list")->GetScrollRange(), 0);
    DestroyWindow(few.GetHWND());
    DestroyWindow(w.GetHWND());
}

TEST(Gif, PlaysOnItsOwn) {
    ASSERT_TRUE(uitest::UseOwnArchive());
    TestWindow w(LR"(<Window size="220,240"><VerticalLayout><GifAnim name="anim" width="195" height="210" bkimage="img1/dll.gif"/></VerticalLayout></Window>)");
    ASSERT_TRUE(w.Open());
    auto* anim = w.Find<CGifAnimUI>(L"anim");
    ASSERT_TRUE(anim);
    ASSERT_GT(anim->GetFrameCount(), 1u);
    EXPECT_TRUE(anim->IsPlaying());
    size_t first = anim->GetCurrentFrame();
    uitest::Pump(1500);
    EXPECT_NE(anim->GetCurrentFrame(), first);
    anim->SetBkImage(L"img1/ccleaner.gif");  // another animation, from its start
    EXPECT_EQ(anim->GetCurrentFrame(), 0u);
    EXPECT_TRUE(anim->IsPlaying());
    DestroyWindow(w.GetHWND());
}

TEST(Keyboard, TextEntryTakesTypedLinesAndHidesWithItsPage) {
    TestWindow w(LR"(<Window size="300,200"><TabLayout name="tabs">
      <VerticalLayout inset="10,10,10,10"><RichEdit name="edit" height="80" text="起"/></VerticalLayout>
      <Label name="other"/></TabLayout></Window>)");
    ASSERT_TRUE(w.Open());
    ShowWindow(w.GetHWND(), SW_SHOWNA);
    auto* edit = w.Find<CRichEditUI>(L"edit");
    ASSERT_TRUE(edit);
    HWND host = edit->GetHostWindow();
    ASSERT_TRUE(host);
    EXPECT_TRUE(IsWindowVisible(host));
    EXPECT_TRUE(GetWindowLongW(host, GWL_STYLE) & ES_MULTILINE);
    SendMessageW(host, EM_SETSEL, 1, 1);
    for (wchar_t c : std::wstring(L"一\r二")) SendMessageW(host, WM_CHAR, c, 0);
    EXPECT_EQ(edit->GetText(), L"起一\r\n二");
    EXPECT_GE(w.Count(L"textchanged", L"edit"), 1u);
    size_t changes = w.Count(L"textchanged", L"edit");
    edit->SetText(L"新");  // set by the window itself: no notification
    EXPECT_EQ(w.Count(L"textchanged", L"edit"), changes);
    w.Find<CTabLayoutUI>(L"tabs")->SelectItem(1);
    w.GetPaintManager().UpdateLayout();
    EXPECT_FALSE(IsWindowVisible(host));
    EXPECT_EQ(edit->GetText(), L"新");
    DestroyWindow(w.GetHWND());
}

namespace {

const wchar_t kFocusWalk[] = LR"(<Window size="400,320" defaultbutton="okbtn"><VerticalLayout>
  <HorizontalLayout height="32"><Label/><Button name="closebtn" width="42" height="30"/></HorizontalLayout>
  <HorizontalLayout height="40" childpadding="10">
    <Button name="okbtn" width="80" text="确定"/>
    <Button name="offbtn" width="80" enabled="false"/>
    <Button name="hiddenbtn" width="80" visible="false"/>
    <Label name="label" width="60" text="说明"/>
  </HorizontalLayout>
  <HorizontalLayout height="40">
    <Option name="a" width="60" group="g"/>
    <Option name="b" width="60" group="g" selected="true"/>
    <Option name="c" width="60" group="g"/>
    <Option name="free" width="60"/>
  </HorizontalLayout>
  <Combo name="combo" width="180" height="30" selectedid="0">
    <ListLabelElement text="甲"/><ListLabelElement text="乙"/></Combo>
  <RichEdit name="edit" height="50"/>
  <Control/>
</VerticalLayout></Window>)";

std::wstring FocusName(TestWindow& w) {
    CControlUI* focus = w.GetPaintManager().GetFocus();
    return focus ? std::wstring(focus->GetName()) : L"<none>";
}

void PostKey(HWND to, UINT key) {
    PostMessageW(to, WM_KEYDOWN, key, 0);
    PostMessageW(to, WM_KEYUP, key, 0xC0000000);
    uitest::Pump(40);
}

// Tab (or Shift+Tab) `count` times; the focused control's name after each.
std::vector<std::wstring> Walk(TestWindow& w, int count, bool back = false) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE shift = keys[VK_SHIFT];
    keys[VK_SHIFT] = back ? 0x80 : 0;
    SetKeyboardState(keys);
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) {
        // Keys go where the system's focus is: the hosted edit's window while it has it.
        HWND edit = w.Find<CRichEditUI>(L"edit") ? w.Find<CRichEditUI>(L"edit")->GetHostWindow() : nullptr;
        PostKey(edit && GetFocus() == edit ? edit : w.GetHWND(), VK_TAB);
        names.push_back(FocusName(w));
    }
    keys[VK_SHIFT] = shift;
    SetKeyboardState(keys);
    return names;
}

std::wstring Rows(int count, const wchar_t* cells) {
    std::wstring xml = LR"(<Window size="400,300"><VerticalLayout>
      <List name="list" height="150"><ListHeader height="30"><ListHeaderItem width="100"/><ListHeaderItem width="80"/>
      <ListHeaderItem/></ListHeader>)";
    for (int i = 0; i < count; ++i) xml += L"<ListContainerElement height=\"45\">" + std::wstring(cells) + L"</ListContainerElement>";
    return xml + L"</List><Button name=\"after\" height=\"30\"/><Control/></VerticalLayout></Window>";
}

}  // namespace

TEST(Keyboard, TabWalksEnabledVisibleControlsInLayoutOrder) {
    TestWindow w(kFocusWalk);
    ASSERT_TRUE(w.Open());
    HWND edit = w.Find<CRichEditUI>(L"edit")->GetHostWindow();
    w.GetPaintManager().SetFocus(nullptr);  // from no focus
    // An option group is one stop, at its selected option; disabled, hidden
    // and plain controls are none.
    std::vector<std::wstring> forward{L"closebtn", L"okbtn", L"b", L"free", L"combo", L"edit", L"closebtn"};
    EXPECT_EQ(Walk(w, 7), forward);
    std::vector<std::wstring> back{L"edit", L"combo", L"free", L"b", L"okbtn", L"closebtn", L"edit"};
    EXPECT_EQ(Walk(w, 7, true), back);
    // The edit box holds the system's focus while it has the toolkit's, and
    // gives it back when Tab moves on from it.
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(Walk(w, 1), std::vector<std::wstring>{L"closebtn"});
    EXPECT_EQ(GetFocus(), w.GetHWND());
    // Clicked into directly, the edit box is where Tab goes on from.
    SetFocus(edit);
    uitest::Pump(40);
    EXPECT_EQ(FocusName(w), L"edit");
    EXPECT_EQ(Walk(w, 1, true), std::vector<std::wstring>{L"combo"});
    // A stop that goes away is skipped; one that comes back is walked again.
    w.Find(L"okbtn")->SetEnabled(false);
    w.Find(L"offbtn")->SetEnabled(true);
    w.GetPaintManager().SetFocus(nullptr);
    EXPECT_EQ(Walk(w, 2), (std::vector<std::wstring>{L"closebtn", L"offbtn"}));
    DestroyWindow(w.GetHWND());
}

TEST(Keyboard, SpaceEnterAndArrowsPressPickAndMove) {
    TestWindow w(kFocusWalk);
    ASSERT_TRUE(w.Open());
    HWND hwnd = w.GetHWND();
    w.GetPaintManager().SetFocus(nullptr);
    // Enter with nothing focused, or a control that takes no keys, presses the default button.
    PostKey(hwnd, VK_RETURN);
    EXPECT_EQ(w.Count(L"click", L"okbtn"), 1u);
    w.Find(L"okbtn")->SetFocus();
    PostKey(hwnd, VK_SPACE);
    PostKey(hwnd, VK_RETURN);
    EXPECT_EQ(w.Count(L"click", L"okbtn"), 3u);
    w.Find(L"label")->SetFocus();
    PostKey(hwnd, VK_RETURN);
    EXPECT_EQ(w.Count(L"click", L"okbtn"), 4u);

    // Arrows move within the group, wrapping, and pick as they go.
    auto* b = w.Find<COptionUI>(L"b");
    b->SetFocus();
    PostKey(hwnd, VK_RIGHT);
    EXPECT_EQ(FocusName(w), L"c");
    EXPECT_TRUE(w.Find<COptionUI>(L"c")->IsSelected());
    EXPECT_EQ(w.Count(L"selectchanged", L"c"), 1u);
    PostKey(hwnd, VK_DOWN);
    EXPECT_EQ(FocusName(w), L"a");
    PostKey(hwnd, VK_LEFT);
    PostKey(hwnd, VK_UP);
    EXPECT_EQ(FocusName(w), L"b");
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(w.Find<COptionUI>(L"a")->IsSelected());
    // Space and Enter toggle an option of its own, which takes Enter before
    // the default button; arrows leave it where it is.
    auto* free = w.Find<COptionUI>(L"free");
    free->SetFocus();
    PostKey(hwnd, VK_SPACE);
    EXPECT_TRUE(free->IsSelected());
    PostKey(hwnd, VK_RETURN);
    EXPECT_FALSE(free->IsSelected());
    PostKey(hwnd, VK_RIGHT);
    EXPECT_EQ(FocusName(w), L"free");
    // The focused combo's arrows pick its items.
    w.Find(L"combo")->SetFocus();
    PostKey(hwnd, VK_DOWN);
    EXPECT_EQ(FocusName(w), L"combo");
    EXPECT_EQ(w.Find<CComboUI>(L"combo")->GetCurSel(), 1);
    EXPECT_EQ(w.Count(L"click", L"okbtn"), 4u);
    // Held down, Space repeats its key-down (bit 30 set): still one press.
    w.Find(L"okbtn")->SetFocus();
    for (LPARAM repeat : {0, 1 << 30, 1 << 30}) PostMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 1 | repeat);
    PostKey(hwnd, VK_SPACE);
    EXPECT_EQ(w.Count(L"click", L"okbtn"), 6u);
    DestroyWindow(hwnd);
}

TEST(Keyboard, UpAndDownMoveBetweenTheRowsOfAListAndScrollThemIn) {
    TestWindow w(Rows(8, LR"(<Label text="行"/><Button name="go" width="60" height="30"/>
                             <Button name="more" width="60" height="30"/>)"));
    ASSERT_TRUE(w.Open());
    auto* list = w.Find<CListUI>(L"list");
    auto row = [&](int i) { return list->GetItemAt(i); };
    auto focusedRow = [&]() {
        for (int i = 0; i < list->GetCount(); ++i)
            for (CControlUI* c = w.GetPaintManager().GetFocus(); c; c = c->GetParent())
                if (c == row(i)) return i;
        return -1;
    };
    w.GetPaintManager().SetFocus(nullptr);
    EXPECT_EQ(Walk(w, 2), (std::vector<std::wstring>{L"go", L"more"}));
    EXPECT_EQ(focusedRow(), 0);
    PostKey(w.GetHWND(), VK_UP);  // nothing above the first row
    EXPECT_EQ(focusedRow(), 0);
    for (int i = 0; i < 5; ++i) PostKey(w.GetHWND(), VK_DOWN);
    EXPECT_EQ(focusedRow(), 5);
    EXPECT_EQ(FocusName(w), L"more") << "the row below's control in the same place";
    // Scrolled into the list's view.
    RECT view = list->GetList()->GetPos(), focused = w.GetPaintManager().GetFocus()->GetPos();
    EXPECT_GT(list->GetScrollPos(), 0);
    EXPECT_GE(focused.top, view.top);
    EXPECT_LE(focused.bottom, view.bottom);
    for (int i = 0; i < 5; ++i) PostKey(w.GetHWND(), VK_DOWN);
    EXPECT_EQ(focusedRow(), 7);
    EXPECT_EQ(Walk(w, 1), std::vector<std::wstring>{L"after"});
    DestroyWindow(w.GetHWND());
}

// Input posted to a window just shown is handled before its first paint,
// which is what would lay it out otherwise: the click must find its button.
TEST(ClickBeforeFirstPaint, FindsItsButton) {
    TestWindow placed(kButtons);
    ASSERT_TRUE(placed.Open());
    POINT ok = placed.CenterOf(L"okbtn");
    DestroyWindow(placed.GetHWND());

    TestWindow early(kButtons);
    ASSERT_TRUE(early.Create(nullptr, L"early", WS_POPUP | WS_VISIBLE, 0));
    LPARAM at = MAKELPARAM(ok.x, ok.y);
    SendMessageW(early.GetHWND(), WM_MOUSEMOVE, 0, at);
    SendMessageW(early.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(early.GetHWND(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(early.Count(L"click", L"okbtn"), 1u);
    DestroyWindow(early.GetHWND());
}

namespace {

// Dropped by its container: the container's list must no longer name it.
class FreedProbe : public CButtonUI {
public:
    ~FreedProbe() override { Freed().push_back(this); }
    static std::vector<const void*>& Freed() {
        static std::vector<const void*> freed;
        return freed;
    }
};

}  // namespace

extern "C" void* notifyWinEventSlot __asm__(IMPORT_SLOT(NotifyWinEvent, 16));

TEST(Keyboard, WindowOpensFocusedOnItsDefaultButtonOrFirstControl) {
    const struct {
        const wchar_t* layout;
        const wchar_t* focus;
    } cases[] = {
        {kFocusWalk, L"okbtn"},  // the default button
        {kButtons, L"okbtn"},    // the first control that is not the close button
        {LR"(<Window size="200,100" defaultbutton="okbtn"><HorizontalLayout><Button name="minbtn" width="42"/>
           <Button name="closebtn" width="42"/><Button name="okbtn" width="42" visible="false"/></HorizontalLayout></Window>)",
         L"<none>"},
    };
    for (const auto& c : cases) {
        TestWindow w(c.layout);
        ASSERT_TRUE(w.Open());
        EXPECT_EQ(FocusName(w), c.focus);
        EXPECT_FALSE(w.GetPaintManager().IsFocusMarkShown());
        if (CControlUI* late = w.Find(L"okbtn"); late && !late->IsVisible()) {
            late->SetVisible(true);  // a button that comes later is the first focus then
            w.GetPaintManager().UpdateLayout();
            EXPECT_EQ(FocusName(w), L"okbtn");
        }
        DestroyWindow(w.GetHWND());
    }
}

TEST(Keyboard, FocusMovesOnWhenItsControlIsHiddenDisabledOrRemoved) {
    const wchar_t layout[] = LR"(<Window size="400,200"><VerticalLayout name="outer">
      <TabLayout name="tabs" height="40">
        <HorizontalLayout><Button name="p0" width="80"/></HorizontalLayout>
        <HorizontalLayout><Button name="p1" width="80"/></HorizontalLayout></TabLayout>
      <HorizontalLayout name="row" height="40">
        <Button name="one" width="80"/><Button name="two" width="80"/><Button name="three" width="80"/></HorizontalLayout>
      <Button name="last" height="30"/><Control/></VerticalLayout></Window>)";
    auto remove = [](TestWindow& w, const wchar_t* name) {
        CControlUI* gone = w.Find(name);
        static_cast<CContainerUI*>(gone->GetParent())->Remove(gone);
    };
    const struct {
        const wchar_t* focused;
        std::function<void(TestWindow&)> change;
        const wchar_t* then;
    } cases[] = {
        {L"p0", [](TestWindow& w) { w.Find<CTabLayoutUI>(L"tabs")->SelectItem(1); }, L"p1"},
        {L"two", [](TestWindow& w) { w.Find(L"two")->SetEnabled(false); }, L"three"},
        {L"two", [](TestWindow& w) { w.Find(L"row")->SetEnabled(false); }, L"last"},
        {L"two", [&](TestWindow& w) { remove(w, L"two"); }, L"three"},
        {L"three", [&](TestWindow& w) { remove(w, L"three"); }, L"last"},
        {L"two", [&](TestWindow& w) { remove(w, L"row"); }, L"last"},
        {L"one", [](TestWindow& w) { w.Find<CContainerUI>(L"row")->RemoveAll(); }, L"last"},
    };
    for (const auto& c : cases) {
        TestWindow w(layout);
        ASSERT_TRUE(w.Open());
        w.Find(c.focused)->SetFocus();
        c.change(w);
        PostKey(w.GetHWND(), VK_SHIFT);  // input lays the window out first
        EXPECT_EQ(FocusName(w), c.then) << "from " << std::string(c.focused, c.focused + wcslen(c.focused));
        DestroyWindow(w.GetHWND());
    }
}

TEST(Keyboard, AccessKeysOfTheReportWindowPressTheirOptions) {
    uitest::UseFolder(L"" UI_DUMPER_LAYOUTS);
    TestWindow w(L"ReportUI.xml");
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.IsLayoutLoaded());
    auto* report = w.Find<COptionUI>(L"reportBugOpt");
    auto* restart = w.Find<COptionUI>(L"rebootSoftOpt");
    ASSERT_TRUE(report->IsSelected() && restart->IsSelected());
    // Alt+S as the system sends it, and R typed with the focus on a button.
    PostMessageW(w.GetHWND(), WM_SYSCHAR, L's', 1 << 29);
    uitest::Pump(40);
    EXPECT_FALSE(report->IsSelected());
    EXPECT_EQ(FocusName(w), L"reportBugOpt");
    EXPECT_TRUE(w.GetPaintManager().IsFocusMarkShown());
    PostMessageW(w.GetHWND(), WM_CHAR, L'R', 1);
    PostMessageW(w.GetHWND(), WM_SYSCHAR, L'x', 1 << 29);  // no such key: nothing
    uitest::Pump(40);
    EXPECT_FALSE(restart->IsSelected());
    EXPECT_FALSE(report->IsSelected());
    EXPECT_EQ(FocusName(w), L"rebootSoftOpt");
    DestroyWindow(w.GetHWND());
}

TEST(Combo, AltDownOpensTheDropDownWithoutPicking) {
    TestWindow w(kCombo);
    ASSERT_TRUE(w.Open());
    auto* combo = w.Find<CComboUI>(L"combo");
    combo->SetFocus();
    w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"dropdown") return;
        combo->CloseDropDown();
        w.Close(1);
    };
    PostMessageW(w.GetHWND(), WM_SYSKEYDOWN, VK_DOWN, 1 | (1 << 29));
    EXPECT_EQ(w.ShowModal(), 1u);
    EXPECT_EQ(combo->GetCurSel(), 0);
}

TEST(Keyboard, ADestroyedContainerNamesNoFreedChildWhenFocusMoves) {
    TestWindow w(kOptionRow);
    ASSERT_TRUE(w.Open());
    auto* row = w.Find<CContainerUI>(L"row");
    FreedProbe* probes[3] = {new FreedProbe, new FreedProbe, new FreedProbe};
    for (FreedProbe* p : probes) {
        p->SetFixedWidth(60);
        row->Add(p);
    }
    w.GetPaintManager().UpdateLayout();
    probes[1]->SetFocus();
    // A reader that walks the tree at each focus event.
    static CContainerUI* watched;
    static int events, namingFreed;
    watched = row, events = namingFreed = 0;
    struct Reader {
        static void WINAPI Hear(DWORD, HWND, LONG, LONG) {
            ++events;
            for (int i = 0; i < watched->GetCount(); ++i) {
                auto& freed = FreedProbe::Freed();
                if (std::find(freed.begin(), freed.end(), watched->GetItemAt(i)) != freed.end()) ++namingFreed;
            }
        }
    };
    {
        uitest::ImportHook hook(&notifyWinEventSlot, reinterpret_cast<void*>(&Reader::Hear));
        w.Find<CContainerUI>(L"outer")->Remove(row);
    }
    EXPECT_GE(events, 1);
    EXPECT_EQ(namingFreed, 0);
    FreedProbe::Freed().clear();
    DestroyWindow(w.GetHWND());
}
