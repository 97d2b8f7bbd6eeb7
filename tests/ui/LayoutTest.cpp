// Building windows from layout XML (text, a folder, the archive) and where
// the layouts put their controls.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "ui/toolkit/Resources.h"

using namespace DuiLib;
using uitest::TestWindow;

namespace {

const wchar_t kDialog[] = LR"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,40" roundcorner="5,5">
  <Font id="0" name="微软雅黑" size="12" default="true"/>
  <Font id="1" name="微软雅黑" size="20" bold="true"/>
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout name="band" height="40" bkcolor="#FF238EF9">
      <Label name="title" text="标题" font="1" textcolor="#FFFFFFFF"/>
      <Button name="closebtn" width="42" height="30"/>
    </HorizontalLayout>
    <VerticalLayout name="body" inset="10,10,10,10" childpadding="5">
      <Label name="fixed" height="20" text="固定"/>
      <Label name="stretch" text="余下"/>
      <Label name="padded" height="20" padding="15,0,15,0"/>
      <Label name="floating" float="true" pos="300,5,340,25"/>
    </VerticalLayout>
    <HorizontalLayout name="buttons" height="44" childalign="right vcenter" childpadding="10" inset="0,0,12,0">
      <Button name="cancelbtn" width="70" height="27" text="取消"/>
      <Button name="okbtn" width="70" height="27" text="确定"/>
    </HorizontalLayout>
    <TabLayout name="tabs" height="20" selectedid="1">
      <Label name="page0"/>
      <Label name="page1"/>
    </TabLayout>
  </VerticalLayout>
</Window>)";

RECT PosOf(TestWindow& w, const wchar_t* name) {
    CControlUI* c = w.Find(name);
    return c ? c->GetPos() : RECT{-1, -1, -1, -1};
}

const wchar_t* const kGalleryNames[] = {
    L"root",     L"titleband", L"titlelbl", L"minbtn",    L"closebtn",     L"navrow",   L"opt1",
    L"opt2",     L"opt3",      L"autoOpt",  L"pages",     L"page0",        L"anim",     L"markuplbl",
    L"headlbl",  L"sublbl",    L"prog",     L"proglbl",   L"versioncombo", L"noteedit", L"cancelbtn",
    L"okbtn",    L"page1",     L"worklist", L"bottomband", L"notelbl",     L"customerBtn"};

// Looks for its controls in InitWindow, as every window of the product does.
class InitCounting : public TestWindow {
public:
    using TestWindow::TestWindow;
    void InitWindow() override {
        ++inits;
        sawClose = m_PaintManager.FindControl(L"closebtn") != nullptr;
    }
    int inits = 0;
    bool sawClose = false;
};

std::wstring TwoLists() {
    std::wstring list = LR"(<ListHeader height="30"><ListHeaderItem text="名" width="150"/><ListHeaderItem text="说明"/></ListHeader>
      <ListContainerElement height="40"><Label name="#0"/><Label name="#1"/></ListContainerElement>)";
    auto named = [&](const wchar_t* prefix) {
        std::wstring xml = list;
        for (size_t at; (at = xml.find(L'#')) != std::wstring::npos;) xml.replace(at, 1, prefix);
        return xml;
    };
    return LR"(<Window size="400,300"><VerticalLayout>
      <List name="shown" height="120">)" + named(L"s") + LR"(</List>
      <List name="hidden" header="hidden" height="120">)" + named(L"h") + LR"(</List>
      <Control/></VerticalLayout></Window>)";
}

}  // namespace

TEST(Layout, XmlTextPlacesControlsByTheLayoutRules) {
    TestWindow w(kDialog);
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.IsLayoutLoaded());
    RECT client;
    GetClientRect(w.GetHWND(), &client);
    EXPECT_EQ(client.right, 400);  // the layout's size, no system frame
    EXPECT_EQ(client.bottom, 300);

    RECT band = PosOf(w, L"band"), close = PosOf(w, L"closebtn"), title = PosOf(w, L"title");
    EXPECT_EQ(band.bottom, 40);
    EXPECT_EQ(close.right, 400);
    EXPECT_EQ(close.right - close.left, 42);
    EXPECT_EQ(close.bottom - close.top, 30);
    EXPECT_EQ(title.right, close.left);  // the label takes what is left

    // Inset, child padding, the stretching child and padding.
    RECT fixed = PosOf(w, L"fixed"), stretch = PosOf(w, L"stretch"), padded = PosOf(w, L"padded");
    EXPECT_EQ(fixed.left, 10);
    EXPECT_EQ(fixed.top, 40 + 10);
    EXPECT_EQ(fixed.bottom - fixed.top, 20);
    EXPECT_EQ(stretch.top, fixed.bottom + 5);
    EXPECT_EQ(padded.top, stretch.bottom + 5);
    EXPECT_EQ(padded.left, 25);
    EXPECT_EQ(padded.right, 400 - 10 - 15);
    RECT body = PosOf(w, L"body");
    EXPECT_EQ(padded.bottom, body.bottom - 10);
    RECT floating = PosOf(w, L"floating");
    EXPECT_EQ(floating.left, body.left + 300);
    EXPECT_EQ(floating.top, body.top + 5);

    // Buttons right-aligned, 10 apart, centred in their row.
    RECT ok = PosOf(w, L"okbtn"), cancel = PosOf(w, L"cancelbtn"), row = PosOf(w, L"buttons");
    EXPECT_EQ(ok.right, 400 - 12);
    EXPECT_EQ(cancel.right, ok.left - 10);
    EXPECT_EQ(ok.top - row.top, (44 - 27) / 2);

    auto* tabs = w.Find<CTabLayoutUI>(L"tabs");
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_FALSE(w.Find(L"page0")->IsVisible());
    EXPECT_TRUE(w.Find(L"page1")->IsVisible());
    tabs->SelectItem(0);
    EXPECT_TRUE(w.Find(L"page0")->IsVisible());
    EXPECT_FALSE(w.Find(L"page1")->IsVisible());

    // The caption drags, but not over its buttons.
    POINT inBand{100, 20}, onClose = w.CenterOf(L"closebtn"), below{100, 100};
    ClientToScreen(w.GetHWND(), &inBand);
    ClientToScreen(w.GetHWND(), &onClose);
    ClientToScreen(w.GetHWND(), &below);
    EXPECT_EQ(SendMessageW(w.GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(inBand.x, inBand.y)), HTCAPTION);
    EXPECT_EQ(SendMessageW(w.GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(onClose.x, onClose.y)), HTCLIENT);
    EXPECT_EQ(SendMessageW(w.GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(below.x, below.y)), HTCLIENT);
    DestroyWindow(w.GetHWND());
}

TEST(Layout, FolderOnDiskFindsEveryControl) {
    uitest::UseFolder(L"" UI_TEST_LAYOUTS);
    TestWindow w(L"Gallery.xml");
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.IsLayoutLoaded());
    for (const wchar_t* name : kGalleryNames) EXPECT_TRUE(w.Find(name)) << name;
    EXPECT_EQ(w.GetPaintManager().GetFontCount(), 5);
    EXPECT_EQ(w.Find(L"closebtn")->GetToolTip(), L"关闭");
    DestroyWindow(w.GetHWND());
}

TEST(Layout, InitWindowRunsOnlyOnceTheLayoutIsBuilt) {
    uitest::UseFolder(L"" UI_TEST_LAYOUTS);
    {
        InitCounting w(kDialog);
        ASSERT_TRUE(w.Open());
        EXPECT_EQ(w.inits, 1);
        EXPECT_TRUE(w.sawClose);
        EXPECT_EQ(w.Count(L"windowinit", L"root"), 1u);
        DestroyWindow(w.GetHWND());
    }
    for (const wchar_t* broken : {L"NoSuchLayout.xml", L"<Window><VerticalLayout></Window>"}) {
        InitCounting w(broken);
        ASSERT_TRUE(w.Open());
        EXPECT_FALSE(w.IsLayoutLoaded());
        EXPECT_EQ(w.inits, 0) << "InitWindow ran without a layout: " << broken;
        EXPECT_TRUE(w.seen.empty());
        DestroyWindow(w.GetHWND());
    }
}

TEST(Layout, HiddenListHeaderTakesNoRoomButKeepsTheColumns) {
    TestWindow w(TwoLists());
    ASSERT_TRUE(w.Open());
    auto* shown = w.Find<CListUI>(L"shown");
    auto* hidden = w.Find<CListUI>(L"hidden");
    ASSERT_TRUE(shown && hidden);
    EXPECT_TRUE(shown->GetHeader()->IsVisible());
    EXPECT_EQ(PosOf(w, L"s0").top, shown->GetPos().top + 30);

    EXPECT_FALSE(hidden->GetHeader()->IsVisible());
    RECT first = PosOf(w, L"h0"), second = PosOf(w, L"h1"), list = hidden->GetPos();
    EXPECT_EQ(first.top, list.top);  // the row starts where the list does
    EXPECT_EQ(first.bottom - first.top, 40);
    EXPECT_EQ(first.left, list.left);
    EXPECT_EQ(first.right, list.left + 150);  // the header's first column
    EXPECT_EQ(second.left, first.right);
    DestroyWindow(w.GetHWND());
}

TEST(Layout, MalformedOrMissingLayoutsFailCleanly) {
    uitest::UseFolder(L"" UI_TEST_LAYOUTS);
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"<Window><VerticalLayout></Window>"), nullptr);
    EXPECT_FALSE(builder.GetLastError().empty());
    EXPECT_EQ(builder.Create(L"NoSuchLayout.xml"), nullptr);
    // An unknown element is left out, its siblings are built.
    CControlUI* built = builder.Create(L"<VerticalLayout><Gizmo name='g'/><Label name='l'/></VerticalLayout>");
    ASSERT_TRUE(built);
    auto* container = dynamic_cast<CContainerUI*>(built);
    ASSERT_TRUE(container);
    EXPECT_EQ(container->GetCount(), 1);
    EXPECT_TRUE(container->FindSubControl(L"l"));
    delete built;
}

TEST(Archive, OwnResourceBuildsTheGalleryWithItsImages) {
    ASSERT_TRUE(uitest::UseOwnArchive());
    EXPECT_EQ(CPaintManagerUI::GetResourceType(), UILIB_ZIPRESOURCE);
    TestWindow w(L"Gallery.xml");
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.IsLayoutLoaded());
    for (const wchar_t* name : kGalleryNames) EXPECT_TRUE(w.Find(name)) << name;

    auto close = w.GetPaintManager().GetImage(L"img/close.png");
    ASSERT_TRUE(close);
    EXPECT_EQ(close->width, 126);
    EXPECT_EQ(close->height, 30);
    // Archive names match whatever the case and separators.
    EXPECT_TRUE(w.GetPaintManager().GetImage(L"IMG\\Close.PNG"));
    auto gif = w.GetPaintManager().GetImage(L"img1/dll.gif");
    ASSERT_TRUE(gif);
    EXPECT_GT(gif->FrameCount(), 1u);
    for (size_t i = 0; i < gif->FrameCount(); ++i) EXPECT_GT(gif->Delay(i), 0u);
    EXPECT_FALSE(w.GetPaintManager().GetImage(L"img/none.png"));

    auto* combo = w.Find<CComboUI>(L"versioncombo");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetItemTag(1), 7);
    EXPECT_EQ(combo->GetText(), L"Windows 10 专业版");
    DestroyWindow(w.GetHWND());
}

TEST(Archive, RowTemplatesBuildAtRunTimeWithCustomAttributes) {
    ASSERT_TRUE(uitest::UseOwnArchive());
    TestWindow w(L"Gallery.xml");
    ASSERT_TRUE(w.Open());
    w.Find<CTabLayoutUI>(L"pages")->SelectItem(1);
    auto* list = w.Find<CListUI>(L"worklist");
    ASSERT_TRUE(list);
    CDialogBuilder builder;
    for (int i = 0; i < 3; ++i) {
        CControlUI* row = builder.IsLoaded() ? builder.Create(&w.GetPaintManager())
                                             : builder.Create(L"Row.xml", &w.GetPaintManager());
        ASSERT_TRUE(row);
        auto* container = dynamic_cast<CContainerUI*>(row);
        ASSERT_TRUE(container);
        container->FindSubControl(L"filenamelbl")->SetText(L"文件" + std::to_wstring(i));
        CControlUI* button = container->FindSubControl(L"godownbtn");
        button->AddCustomAttribute(L"URL", L"http://example.test/" + std::to_wstring(i));
        ASSERT_TRUE(list->Add(row));
    }
    EXPECT_EQ(list->GetCount(), 3);
    w.GetPaintManager().UpdateLayout();

    auto* second = dynamic_cast<CContainerUI*>(list->GetItemAt(1));
    CControlUI* button = second->FindSubControl(L"godownbtn");
    EXPECT_EQ(button->GetCustomAttribute(L"URL"), L"http://example.test/1");
    EXPECT_FALSE(button->HasCustomAttribute(L"appendurl"));
    EXPECT_EQ(button->GetCustomAttribute(L"appendurl"), L"");
    EXPECT_EQ(button->GetParent(), second);

    // The row's children take the header's columns; the button is centred in "操作".
    CListHeaderUI* header = list->GetHeader();
    RECT column = header->GetItemAt(1)->GetPos(), row = second->GetPos(), pos = button->GetPos();
    EXPECT_EQ(row.bottom - row.top, 45);
    EXPECT_EQ(pos.right - pos.left, 60);
    EXPECT_EQ(pos.left - column.left, (column.right - column.left - 60) / 2);
    EXPECT_EQ(second->FindSubControl(L"filenamelbl")->GetPos().right, header->GetItemAt(0)->GetPos().right);
    DestroyWindow(w.GetHWND());
}

TEST(Archive, MissingOrBrokenArchiveIsNoCrash) {
    CPaintManagerUI::SetResourceType(UILIB_ZIPRESOURCE);
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(nullptr, 0));
    const char garbage[] = "this is not a zip archive at all";
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(garbage, sizeof(garbage)));
    EXPECT_FALSE(Resources::HasZip());

    TestWindow w(L"Gallery.xml");
    ASSERT_TRUE(w.Open());  // the window exists, it just has no layout
    EXPECT_FALSE(w.IsLayoutLoaded());
    EXPECT_EQ(w.Find(L"closebtn"), nullptr);
    // At once, not a hidden endless loop (the watchdog would answer 0xDEAD).
    EXPECT_EQ(w.ShowModal(), static_cast<UINT>(-1));
    EXPECT_FALSE(IsWindow(w.GetHWND()));
    CPaintManagerUI::ReleaseResources();
}
