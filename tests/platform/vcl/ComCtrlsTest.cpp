// Tree views and their nodes, progress and status bars, tab and page controls, up-down and spin buttons,
// panels, splitters, images and paint boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class ComCtrlsTest : public ControlsTest {};

// The tree as "text(level)" in pre-order.
std::string Outline(TTreeView& tree)
{
    std::string out;
    for (int i = 0; i < tree.Items()->Count(); ++i) {
        TTreeNode* n = tree.Items()->Item(i);
        out += (out.empty() ? "" : " ") + n->Text() + "(" + std::to_string(n->Level()) + ")";
    }
    return out;
}

TEST_F(ComCtrlsTest, TreeNodesAddMoveAndDelete)
{
    auto* form = new TForm(Application);
    auto* tree = new TTreeView(form);
    tree->SetParent(form);
    TTreeNodes* nodes = tree->Items();
    int data = 7;
    TTreeNode* group = nodes->AddObject(nullptr, "Group", &data);
    TTreeNode* topic = nodes->AddChild(group, "Topic");
    nodes->AddChild(group, "Second");
    TTreeNode* last = nodes->Add(nullptr, "Last");
    nodes->Insert(last, "Before last");
    nodes->AddChildFirst(group, "First child");
    EXPECT_EQ(Outline(*tree), "Group(0) First child(1) Topic(1) Second(1) Before last(0) Last(0)");
    EXPECT_EQ(nodes->Count(), 6);
    EXPECT_EQ(group->Data(), &data);
    EXPECT_EQ(group->Count(), 3);
    EXPECT_EQ(group->Item(1), topic);
    EXPECT_EQ(topic->Parent(), group);
    EXPECT_EQ(group->Parent(), nullptr);
    EXPECT_EQ(topic->Index(), 1);
    EXPECT_EQ(topic->AbsoluteIndex(), 2);
    EXPECT_EQ(topic->GetNext()->Text(), "Second");
    EXPECT_EQ(last->GetPrev()->Text(), "Before last");
    EXPECT_EQ(group->GetFirstChild()->GetPrev(), group);
    EXPECT_THROW(nodes->Item(6), rtl::EListError);

    topic->MoveTo(nullptr, naAdd);  // to the end of the top level
    EXPECT_EQ(Outline(*tree), "Group(0) First child(1) Second(1) Before last(0) Last(0) Topic(0)");
    group->MoveTo(last, naAddChild);  // with everything under it
    EXPECT_EQ(Outline(*tree), "Before last(0) Last(0) Group(1) First child(2) Second(2) Topic(0)");
    last->MoveTo(group, naAddChild);  // into its own subtree: nothing happens
    EXPECT_EQ(last->Level(), 0);
    topic->MoveTo(last, naInsert);
    EXPECT_EQ(Outline(*tree), "Before last(0) Topic(0) Last(0) Group(1) First child(2) Second(2)");

    std::vector<std::string> deleted;
    tree->OnDeletion = [&](TObject*, TTreeNode* n) { deleted.push_back(n->Text()); };
    last->Delete();
    EXPECT_EQ(deleted, (std::vector<std::string>{"First child", "Second", "Group", "Last"}));
    EXPECT_EQ(Outline(*tree), "Before last(0) Topic(0)");
    EXPECT_EQ(nodes->Count(), 2);
    nodes->Clear();
    EXPECT_EQ(nodes->Count(), 0);
    EXPECT_EQ(nodes->GetFirstNode(), nullptr);
}

TEST_F(ComCtrlsTest, TreeSelectionEventsAndImages)
{
    TForm* form = ShownForm();
    auto* images = new TImageList(form);
    auto* glyphs = new TBitmap;
    std::unique_ptr<TBitmap> owned(glyphs);
    glyphs->SetSize(32, 16);
    images->Add(glyphs, nullptr);
    auto* tree = new TTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 200, 200);
    tree->SetImages(images);
    TTreeNode* a = tree->Items()->Add(nullptr, "a");
    TTreeNode* b = tree->Items()->Add(nullptr, "b");
    TTreeNode* c = tree->Items()->AddChild(b, "c");
    a->SetImageIndex(0);
    a->SetSelectedIndex(1);
    EXPECT_EQ(tree->Images(), images);

    std::vector<std::string> changes;
    bool allow = true;
    tree->OnChanging = [&](TObject*, TTreeNode*, bool& allowChange) { allowChange = allow; };
    tree->OnChange = [&](TObject*, TTreeNode* n) { changes.push_back(n ? n->Text() : "none"); };
    tree->SetSelected(a);
    EXPECT_TRUE(a->Selected());
    allow = false;
    c->SetSelected(true);  // refused
    EXPECT_EQ(tree->Selected(), a);
    allow = true;
    vt::SelectItem(*tree, "b");  // as a user picks it
    EXPECT_EQ(tree->Selected(), b);
    b->Delete();  // the selection moves to a neighbour
    EXPECT_EQ(tree->Selected(), a);
    EXPECT_EQ(changes, (std::vector<std::string>{"a", "b", "a"}));
    delete images;  // the tree forgets its image list
    EXPECT_EQ(tree->Images(), nullptr);
}

TEST_F(ComCtrlsTest, TreeFindsNodesUnderTheMouseAndDrags)
{
    TForm* form = ShownForm();
    auto* tree = new TTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 200, 200);
    tree->SetRightClickSelect(true);
    TTreeNode* group = tree->Items()->Add(nullptr, "Group");
    TTreeNode* inside = tree->Items()->AddChild(group, "Inside");
    TTreeNode* topic = tree->Items()->Add(nullptr, "Topic");
    group->Expand(false);
    EXPECT_TRUE(inside->IsVisible());

    TRect r = topic->DisplayRect(false);
    ASSERT_GT(r.Height(), 0);
    int x = 60, y = r.Top + r.Height() / 2;
    EXPECT_EQ(tree->GetNodeAt(x, y), topic);
    EXPECT_EQ(tree->GetNodeAt(x, 190), nullptr);  // below the last row

    TPoint client = Point(x, y - 2);  // the click lands in the rows' area, a little inside the frame
    vt::MouseClick(*tree, client.X, client.Y, mbRight);  // a right click selects with RightClickSelect
    EXPECT_EQ(tree->Selected(), topic);
    group->Collapse(false);
    EXPECT_FALSE(inside->IsVisible());

    // A drag of the tree's own nodes: OnDragOver as the mouse moves, OnDragDrop where it is let go.
    tree->SetDragMode(dmAutomatic);
    std::vector<std::string> events;
    tree->OnDragOver = [&](TObject*, TObject* source, int, int, TDragState state, bool& accept) {
        accept = source == tree;
        events.push_back(state == dsDragMove ? "over" : "enter");
    };
    tree->OnDragDrop = [&](TObject*, TObject*, int, int dy) { events.push_back("drop@" + std::to_string(dy)); };
    tree->OnEndDrag = [&](TObject*, TObject* target, int, int) { events.push_back(target ? "end" : "cancel"); };
    tree->MouseDown(mbLeft, {}, 10, 5);
    tree->MouseMove({ssLeft}, 11, 6);  // not far enough yet
    EXPECT_FALSE(tree->Dragging());
    tree->MouseMove({ssLeft}, 10, 40);
    EXPECT_TRUE(tree->Dragging());
    tree->MouseMove({ssLeft}, 10, 50);
    tree->MouseUp(mbLeft, {}, 10, 50);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "over", "drop@50", "end"}));
    EXPECT_EQ(tree->Cursor(), crDefault);
}

TEST_F(ComCtrlsTest, ProgressBarKeepsItsRangeAndAnEmptyRangeIsAnEmptyBar)
{
    TForm* form = ShownForm();
    auto* bar = new TProgressBar(form);
    bar->SetParent(form);
    bar->SetBounds(10, 10, 200, 20);
    bar->SetPosition(150);
    EXPECT_EQ(bar->Position(), 100);
    bar->SetStep(30);
    bar->StepIt();  // past the end it starts again
    EXPECT_EQ(bar->Position(), 0);
    bar->StepIt();
    EXPECT_EQ(bar->Position(), 30);

    auto barPixels = [&] {
        TPicturePixels picture = FormPicture(*form);
        std::vector<uint32_t> pixels;
        for (int y = 12; y < 28; ++y)
            for (int x = 12; x < 208; ++x)
                pixels.push_back(picture.At(x, y));
        return pixels;
    };
    bar->SetPosition(0);
    std::vector<uint32_t> empty = barPixels();
    bar->SetMax(0);  // 0 to 0: the same empty bar, never a busy indicator
    EXPECT_EQ(bar->Position(), 0);
    vt::ProcessMessages();
    EXPECT_EQ(barPixels(), empty);
    bar->SetMax(100);
    bar->SetPosition(60);
    EXPECT_NE(barPixels(), empty);

    TForm* loaded = LoadForm("object f: TForm\n  object b: TProgressBar\n    Position = 40\n    Min = 10\n    Max = 50\n  end\nend");
    auto* fromResource = dynamic_cast<TProgressBar*>(loaded->FindComponent("b"));
    EXPECT_EQ(fromResource->Position(), 40);  // the position came before its range
}

TEST_F(ComCtrlsTest, StatusBarPanelsFromAResource)
{
    TForm* form = LoadForm(R"(object f: TForm
  ClientWidth = 300
  ClientHeight = 200
  object sb: TStatusBar
    Panels = <
      item
        Text = 'File Name:'
        Width = 120
      end
      item
        Alignment = taRightJustify
        Bevel = pbRaised
      end>
    SimpleText = 'simple'
  end
end)");
    auto* sb = dynamic_cast<TStatusBar*>(form->FindComponent("sb"));
    ASSERT_NE(sb, nullptr);
    EXPECT_EQ(sb->Align(), alBottom);
    EXPECT_EQ(sb->Top(), 200 - sb->Height());
    ASSERT_EQ(sb->Panels()->Count(), 2);
    EXPECT_EQ(sb->Panels()->Items(0)->Text(), "File Name:");
    EXPECT_EQ(sb->Panels()->Items(1)->Alignment(), taRightJustify);
    EXPECT_EQ(sb->Panels()->Items(1)->Width(), 50);
    EXPECT_EQ(sb->PanelRect(0).Width(), 120);
    EXPECT_EQ(sb->PanelRect(1).Right, 300);  // the last panel reaches the right edge
    sb->Panels()->Items(0)->SetText("File Name:  C:\\a.wkp");
    sb->Panels()->Add()->SetText("third");
    EXPECT_EQ(sb->Panels()->Count(), 3);
    AnsiString written = WriteComponentResource(*form);
    EXPECT_NE(written.find("'File Name:  C:\\a.wkp'"), AnsiString::npos);
    EXPECT_NE(written.find("SimpleText = 'simple'"), AnsiString::npos);
}

TEST_F(ComCtrlsTest, TabControlChangesOnlyForTheUserAndMayRefuse)
{
    TForm* form = ShownForm();
    auto* tabs = new TTabControl(form);
    tabs->SetParent(form);
    tabs->SetBounds(0, 0, 300, 200);
    EXPECT_EQ(tabs->TabIndex(), -1);
    tabs->Tabs()->Add("One");
    EXPECT_EQ(tabs->TabIndex(), 0);  // the first tab is chosen once there is one
    tabs->Tabs()->Add("Two");
    tabs->Tabs()->Add("Three");
    std::vector<std::string> events;
    bool allow = true;
    tabs->OnChanging = [&](TObject*, bool& a) { events.push_back("changing@" + std::to_string(tabs->TabIndex())); a = allow; };
    tabs->OnChange = [&](TObject*) { events.push_back("change@" + std::to_string(tabs->TabIndex())); };
    tabs->SetTabIndex(1);  // from code: no events
    EXPECT_TRUE(events.empty());
    vt::SelectItem(*tabs, "Three");
    allow = false;
    vt::SelectItem(*tabs, 0);
    EXPECT_EQ(tabs->TabIndex(), 2);
    EXPECT_EQ(events, (std::vector<std::string>{"changing@1", "change@2", "changing@2"}));

    auto* inside = new TPanel(form);
    inside->SetParent(tabs);
    inside->SetAlign(alClient);
    TRect display = tabs->DisplayRect();
    EXPECT_EQ(inside->BoundsRect(), display);  // children fill the area below the tabs
    EXPECT_GT(display.Top, 10);
}

TEST_F(ComCtrlsTest, PageControlShowsOneSheetAtATime)
{
    TForm* form = LoadForm(R"(object f: TForm
  object pc: TPageControl
    Width = 300
    Height = 200
    ActivePage = tsTwo
    object tsOne: TTabSheet
      Caption = 'One'
    end
    object tsTwo: TTabSheet
      Caption = 'Two'
    end
    object tsHidden: TTabSheet
      Caption = 'Hidden'
      TabVisible = False
    end
  end
end)");
    auto* pc = dynamic_cast<TPageControl*>(form->FindComponent("pc"));
    ASSERT_NE(pc, nullptr);
    auto* one = dynamic_cast<TTabSheet*>(form->FindComponent("tsOne"));
    auto* two = dynamic_cast<TTabSheet*>(form->FindComponent("tsTwo"));
    EXPECT_EQ(pc->PageCount(), 3);
    EXPECT_EQ(pc->ActivePage(), two);
    EXPECT_TRUE(two->Visible());
    EXPECT_FALSE(one->Visible());
    EXPECT_EQ(pc->Tabs()->CommaText(), "One,Two");  // hidden tabs are left out
    EXPECT_EQ(pc->TabIndex(), 1);
    EXPECT_EQ(two->BoundsRect(), pc->DisplayRect());
    form->Show();
    vt::SelectItem(*pc, "One");
    EXPECT_EQ(pc->ActivePage(), one);
    EXPECT_FALSE(two->Visible());
    two->SetCaption("Second");
    EXPECT_EQ(pc->Tabs()->Strings(1), "Second");
    delete one;
    EXPECT_EQ(pc->PageCount(), 2);
    EXPECT_EQ(pc->ActivePage(), two);
}

TEST_F(ComCtrlsTest, UpDownAndSpinButtonsStep)
{
    TForm* form = ShownForm();
    auto* edt = new TEdit(form);
    edt->SetParent(form);
    edt->SetBounds(10, 10, 100, 21);
    auto* ud = new TUpDown(form);
    ud->SetParent(form);
    ud->SetMax(1500);
    ud->SetIncrement(600);
    ud->SetAssociate(edt);
    EXPECT_EQ(edt->Width(), 100 - ud->Width());  // the associate gives up room at its right
    EXPECT_EQ(ud->Left(), 10 + edt->Width());
    EXPECT_EQ(edt->Text(), "0");
    std::vector<int> clicks;
    ud->OnClick = [&](TObject*, TUDBtnType button) { clicks.push_back(button == btNext ? 1 : -1); };
    ud->Click(btNext);
    ud->Click(btNext);
    ud->Click(btNext);  // held at Max
    EXPECT_EQ(ud->Position(), 1500);
    EXPECT_EQ(edt->Text(), "1,500");
    ud->SetWrap(true);
    ud->Click(btNext);
    EXPECT_EQ(ud->Position(), 0);
    vt::MouseClick(*ud, 2, ud->Height() - 2);  // the lower button
    EXPECT_EQ(ud->Position(), 1500);
    EXPECT_EQ(clicks, (std::vector<int>{1, 1, 1, 1, -1}));

    auto* spin = new TSpinButton(form);
    spin->SetParent(form);
    spin->SetBounds(200, 10, 20, 30);
    std::vector<std::string> spins;
    spin->OnUpClick = [&](TObject*) { spins.push_back("up"); };
    spin->OnDownClick = [&](TObject*) { spins.push_back("down"); };
    vt::MouseClick(*spin, 5, 3);
    vt::MouseClick(*spin, 5, 27);
    EXPECT_EQ(spins, (std::vector<std::string>{"up", "down"}));
}

TEST_F(ComCtrlsTest, SplitterResizesItsNeighbour)
{
    TForm* form = ShownForm();
    auto* left = new TPanel(form);
    left->SetParent(form);
    left->SetAlign(alLeft);
    left->SetWidth(100);
    auto* split = new TSplitter(form);
    split->SetParent(form);
    split->SetLeft(100);
    auto* rest = new TPanel(form);
    rest->SetParent(form);
    rest->SetAlign(alClient);
    EXPECT_EQ(split->Left(), 100);
    EXPECT_EQ(split->FindNeighbour(), left);
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };

    split->MouseDown(mbLeft, {ssLeft}, 1, 50);
    split->MouseMove({ssLeft}, 51, 50);
    EXPECT_EQ(left->Width(), 100);  // the classic pattern style resizes when let go
    split->MouseUp(mbLeft, {}, 51, 50);
    EXPECT_EQ(left->Width(), 150);
    EXPECT_EQ(split->Left(), 150);
    EXPECT_EQ(rest->Left(), 153);
    EXPECT_EQ(moved, 1);

    split->MouseDown(mbLeft, {ssLeft}, 1, 50);
    split->MouseUp(mbLeft, {}, 400, 50);  // no further than the others leave, less MinSize
    EXPECT_EQ(left->Width(), 400 - 3 - 30);
    split->SetAutoSnap(false);
    split->MouseDown(mbLeft, {ssLeft}, 1, 50);
    split->MouseUp(mbLeft, {}, -500, 50);
    EXPECT_EQ(left->Width(), 30);  // MinSize
    split->SetAutoSnap(true);
    split->MouseDown(mbLeft, {ssLeft}, 1, 50);
    split->MouseUp(mbLeft, {}, -25, 50);
    EXPECT_EQ(left->Width(), 0);  // below MinSize it snaps shut

    // Top-aligned, with the live style.
    auto* top = new TPanel(form);
    top->SetParent(rest);
    top->SetAlign(alTop);
    top->SetHeight(50);
    auto* hsplit = new TSplitter(form);
    hsplit->SetParent(rest);
    hsplit->SetAlign(alTop);
    hsplit->SetHeight(3);
    hsplit->SetTop(50);
    hsplit->SetResizeStyle(rsUpdate);
    EXPECT_EQ(hsplit->Cursor(), crVSplit);
    hsplit->MouseDown(mbLeft, {ssLeft}, 10, 1);
    hsplit->MouseMove({ssLeft}, 10, 21);
    EXPECT_EQ(top->Height(), 70);
    hsplit->MouseUp(mbLeft, {}, 10, 1);
    EXPECT_EQ(top->Height(), 70);
}

TEST_F(ComCtrlsTest, PanelsKeepTheirBevelsFreeAndPaintBoxesPaint)
{
    TForm* form = ShownForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelInner(bvLowered);
    panel->SetBevelWidth(2);
    panel->SetPanelBorderWidth(3);
    auto* child = new TPanel(form);
    child->SetParent(panel);
    child->SetAlign(alClient);
    EXPECT_EQ(child->BoundsRect(), Rect(7, 7, 193, 93));  // outer bevel 2, border 3, inner bevel 2

    auto* box = new TPaintBox(form);
    box->SetParent(form);
    box->SetBounds(250, 10, 40, 40);
    int paints = 0;
    box->OnPaint = [&](TObject*) {
        ++paints;
        box->Canvas()->Brush()->SetColor(clRed);
        box->Canvas()->FillRect(Rect(0, 0, 40, 40));
    };
    TPicturePixels picture = FormPicture(*form);
    EXPECT_GT(paints, 0);
    EXPECT_EQ(picture.At(270, 30), 0xFF0000u);
    EXPECT_NE(picture.At(270, 60), 0xFF0000u);
}

TEST_F(ComCtrlsTest, ImagePlacesItsPicture)
{
    auto* form = new TForm(Application);
    auto* img = new TImage(form);
    img->SetParent(form);
    img->SetBounds(0, 0, 100, 50);
    img->Picture()->Bitmap()->SetSize(20, 10);
    EXPECT_EQ(img->DestRect(), Rect(0, 0, 20, 10));
    img->SetCenter(true);
    EXPECT_EQ(img->DestRect(), Rect(40, 20, 60, 30));
    img->SetStretch(true);
    img->SetProportional(true);
    EXPECT_EQ(img->DestRect(), Rect(0, 0, 100, 50));  // twice as wide as high, like the control
    img->SetAutoSize(true);
    EXPECT_EQ(img->Width(), 20);
    img->Canvas()->Brush()->SetColor(clRed);  // the picture's bitmap
    img->Canvas()->FillRect(Rect(0, 0, 5, 5));
    EXPECT_EQ(Rgb(*img->Picture()->Bitmap(), 1, 1), 0xFF0000u);
}

}  // namespace

namespace {

// Every shown node is on the widget's row the control expects, in order (those scrolled out of view aside).
void ExpectRowsMatch(TTreeView& tree)
{
    int lastTop = -1;
    for (TTreeNode* n = tree.Items()->GetFirstNode(); n; n = n->GetNext()) {
        if (!n->IsVisible())
            continue;
        TRect r = n->DisplayRect(false);
        if (r.Bottom > tree.ClientHeight() - 4)
            break;
        EXPECT_GT(r.Top, lastTop) << n->Text();
        lastTop = r.Top;
        EXPECT_EQ(tree.GetNodeAt(60, r.Top + r.Height() / 2), n) << n->Text();
    }
}

TEST_F(ComCtrlsTest, TreeWidgetMirrorsEveryChange)
{
    TForm* form = ShownForm();
    auto* tree = new TTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 300, 290);
    TTreeNodes* nodes = tree->Items();
    TTreeNode* a = nodes->Add(nullptr, "a");
    TTreeNode* b = nodes->Add(nullptr, "b");
    TTreeNode* a1 = nodes->AddChild(a, "a1");
    nodes->AddChild(a, "a2");
    TTreeNode* b1 = nodes->AddChildFirst(b, "b1");
    nodes->AddFirst(a, "zero");
    a->Expand(true);
    b->Expand(false);
    ExpectRowsMatch(*tree);
    a1->MoveTo(b1, naInsert);
    b->MoveTo(a, naAddFirst);
    ExpectRowsMatch(*tree);
    a->Collapse(false);
    ExpectRowsMatch(*tree);
    b1->SetText("renamed");
    EXPECT_EQ(tree->GetNodeAt(60, b1->DisplayRect(false).Top + 3)->Text(), "renamed");
    a->Delete();
    nodes->BeginUpdate();
    for (int i = 0; i < 20; ++i)
        nodes->AddChild(b, "n" + rtl::IntToStr(i));
    nodes->EndUpdate();
    ExpectRowsMatch(*tree);
    tree->FullCollapse();
    ExpectRowsMatch(*tree);
    nodes->Clear();
    EXPECT_EQ(tree->GetNodeAt(60, 5), nullptr);
}

TEST_F(ComCtrlsTest, TreeEndAndHomeWithNothingSelectedGoToTheLastAndFirstVisibleEntry)
{
    TForm* form = ShownForm();
    auto* tree = new TTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 300, 290);
    TTreeNodes* nodes = tree->Items();
    TTreeNode* group = nodes->Add(nullptr, "group");
    nodes->AddChild(group, "inside");
    TTreeNode* book = nodes->Add(nullptr, "book");
    TTreeNode* last = nodes->AddChild(book, "last");
    TTreeNode* hidden = nodes->Add(nullptr, "closed");
    nodes->AddChild(hidden, "unseen");
    group->Expand(false);
    book->Expand(false);
    ASSERT_EQ(tree->Selected(), nullptr);

    vt::PressKey(*tree, VK_END);
    EXPECT_EQ(tree->Selected(), hidden);  // a collapsed group's children are not visible
    hidden->Delete();
    tree->SetSelected(nullptr);
    vt::PressKey(*tree, VK_END);
    EXPECT_EQ(tree->Selected(), last);
    tree->SetSelected(nullptr);
    vt::PressKey(*tree, VK_HOME);
    EXPECT_EQ(tree->Selected(), group);
}

TEST_F(ComCtrlsTest, TreeExpansionAndEditingCanBeRefused)
{
    auto* form = new TForm(Application);
    auto* tree = new TTreeView(form);
    tree->SetParent(form);
    TTreeNode* book = tree->Items()->Add(nullptr, "Book");
    tree->Items()->AddChild(book, "Page");
    bool allowExpand = false;
    std::vector<std::string> events;
    tree->OnExpanding = [&](TObject*, TTreeNode*, bool& allow) { allow = allowExpand; events.push_back("expanding"); };
    tree->OnExpanded = [&](TObject*, TTreeNode*) { events.push_back("expanded"); };
    tree->OnCollapsed = [&](TObject*, TTreeNode*) { events.push_back("collapsed"); };
    book->Expand(false);
    EXPECT_FALSE(book->Expanded());
    allowExpand = true;
    book->SetExpanded(true);
    book->Collapse(false);
    EXPECT_EQ(events, (std::vector<std::string>{"expanding", "expanding", "expanded", "collapsed"}));

    bool allowEdit = true;
    tree->OnEditing = [&](TObject*, TTreeNode*, bool& allow) { allow = allowEdit; };
    tree->OnEdited = [&](TObject*, TTreeNode*, AnsiString& s) { s = rtl::Trim(s); };
    EXPECT_TRUE(tree->CanEdit(book));
    tree->EditedByUser(book, "  Title  ");  // as the widget reports a finished edit
    EXPECT_EQ(book->Text(), "Title");
    allowEdit = false;
    EXPECT_FALSE(tree->CanEdit(book));
    allowEdit = true;
    tree->SetReadOnly(true);
    EXPECT_FALSE(tree->CanEdit(book));

    TTreeNode* other = tree->Items()->Add(nullptr, "Other");
    TTreeView second(nullptr);
    second.SetSelected(other);  // a node of another tree is not selected
    EXPECT_EQ(second.Selected(), nullptr);
    EXPECT_THROW(second.Items()->AddChild(other, "x"), EInvalidOperation);
    book->DeleteChildren();
    EXPECT_EQ(book->Count(), 0);
    EXPECT_EQ(tree->Items()->Count(), 2);
}

TEST_F(ComCtrlsTest, TabsAndPagesKeepTheirChoiceThroughChanges)
{
    auto* form = new TForm(Application);
    auto* tabs = new TTabControl(form);
    tabs->SetParent(form);
    tabs->Tabs()->SetCommaText("a,b,c");
    tabs->SetTabIndex(2);
    tabs->Tabs()->Delete(2);  // the chosen tab goes: the last one is chosen
    EXPECT_EQ(tabs->TabIndex(), 1);
    tabs->SetTabIndex(5);  // out of range: no change
    EXPECT_EQ(tabs->TabIndex(), 1);
    tabs->Tabs()->Clear();
    EXPECT_EQ(tabs->TabIndex(), -1);
    EXPECT_EQ(tabs->DisplayRect().Top, 4);  // no tabs, no row of tabs
    tabs->SetTabPosition(tpBottom);
    tabs->Tabs()->Add("x");
    EXPECT_EQ(tabs->DisplayRect().Top, 4);
    EXPECT_LT(tabs->DisplayRect().Bottom, tabs->Height() - 10);

    auto* pages = new TPageControl(form);
    pages->SetParent(form);
    std::vector<TTabSheet*> sheets;
    for (const char* caption : {"One", "Two", "Three"}) {
        auto* sheet = new TTabSheet(form);
        sheet->SetCaption(caption);
        sheet->SetPageControl(pages);
        sheets.push_back(sheet);
    }
    EXPECT_EQ(pages->ActivePage(), sheets[0]);  // the first sheet shows first
    sheets[1]->SetTabVisible(false);
    EXPECT_EQ(pages->FindNextPage(sheets[0], true, true), sheets[2]);
    EXPECT_EQ(pages->FindNextPage(sheets[0], false, true), sheets[2]);
    EXPECT_EQ(pages->FindNextPage(sheets[0], true, false), sheets[1]);
    int changes = 0;
    pages->OnChange = [&](TObject*) { ++changes; };
    pages->SelectNextPage(true);
    EXPECT_EQ(pages->ActivePage(), sheets[2]);
    EXPECT_EQ(changes, 1);
    sheets[0]->SetPageIndex(2);
    EXPECT_EQ(pages->Pages(2), sheets[0]);
    EXPECT_EQ(pages->Tabs()->CommaText(), "Three,One");
    sheets[2]->SetParent(form);  // a sheet taken out of its page control
    EXPECT_EQ(pages->PageCount(), 2);
    EXPECT_EQ(sheets[2]->PageControl(), nullptr);
    EXPECT_NE(pages->ActivePage(), sheets[2]);
}

TEST_F(ComCtrlsTest, UpDownFromAResourceKeepsItsPlace)
{
    TForm* form = LoadForm(R"(object f: TForm
  object edtCount: TEdit
    Left = 10
    Top = 10
    Width = 60
  end
  object udCount: TUpDown
    Left = 70
    Top = 10
    Associate = edtCount
    Position = -1234
    Min = -5000
    Max = 5000
    Increment = 1000
  end
end)");
    auto* edt = dynamic_cast<TEdit*>(form->FindComponent("edtCount"));
    auto* ud = dynamic_cast<TUpDown*>(form->FindComponent("udCount"));
    ASSERT_TRUE(edt && ud);
    EXPECT_EQ(edt->Width(), 60);  // a resource's layout is already made
    EXPECT_EQ(ud->Left(), 70);
    EXPECT_EQ(ud->Position(), -1234);  // given before its range
    EXPECT_EQ(edt->Text(), "-1,234");
    bool allow = false;
    ud->OnChanging = [&](TObject*, bool& a) { a = allow; };
    ud->Click(btNext);
    EXPECT_EQ(ud->Position(), -1234);
    allow = true;
    ud->Click(btPrev);
    ud->Click(btPrev);
    ud->Click(btPrev);
    EXPECT_EQ(ud->Position(), -4234);
    ud->Click(btPrev);
    EXPECT_EQ(ud->Position(), -5000);
    ud->SetThousands(false);
    EXPECT_EQ(edt->Text(), "-5000");
    ud->SetOrientation(udHorizontal);
    ud->MouseDown(mbLeft, {}, ud->Width() - 1, 1);  // the right button steps up
    EXPECT_EQ(ud->Position(), -4000);
}

}  // namespace
