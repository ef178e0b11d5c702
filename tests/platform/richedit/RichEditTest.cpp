// The rich-text editor control from a form resource, driven headless: positions, Lines, attributes, the
// clipboard, undo, drops, and protected text refused or allowed through OnProtectChange, as a person types.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextEdit>

#include <memory>
#include <random>
#include <vector>

#include "FormResources_tests_platform_richedit.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RtfWriter.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/richedit/RichTestSupport.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

class TfrmRichTest : public TForm {
    VCL_CLASS(TfrmRichTest, TForm)
public:
    explicit TfrmRichTest(TComponent* owner) : TForm(owner)
    {
        RegisterRichEditControls();
        RegisterFormResources_tests_platform_richedit();
        RegisterClasses({&TfrmRichTest::StaticClass()});
        LoadForm("RichEditTest.frm");
        mmoPage = FindChild<TRichEdit>("mmoPage");
    }

    void mmoPageProtectChange(TObject*, int StartPos, int EndPos, bool& AllowChange)
    {
        Asked.emplace_back(StartPos, EndPos);
        AllowChange = AllowProtectedEdit;
    }
    void mmoPageChange(TObject*) { ++Changes; }

    TRichEdit* mmoPage = nullptr;
    bool AllowProtectedEdit = false;
    std::vector<std::pair<int, int>> Asked;
    int Changes = 0;
};

VCL_IMPLEMENT_CLASS(TfrmRichTest)

void TfrmRichTest::RegisterProperties(TClassDef<TfrmRichTest>& def)
{
    def.Handler("mmoPageProtectChange", &TfrmRichTest::mmoPageProtectChange);
    def.Handler("mmoPageChange", &TfrmRichTest::mmoPageChange);
}

// Inserts a link marker at the caret as the page editor does: the text, then green and underlined
// without its blank, then all of it protected.
void InsertMarker(TRichEdit& rich, const AnsiString& name)
{
    rich.SetSelStart(rich.SelStart());
    int start = rich.SelStart();
    AnsiString marker = "##" + name + "## ";
    rich.SetSelText(marker);
    rich.SetSelStart(start);
    rich.SetSelLength(static_cast<int>(marker.size()) - 1);
    rich.SelAttributes()->SetColor(static_cast<TColor>(32768));
    rich.SelAttributes()->SetStyle({fsUnderline});
    rich.SetSelLength(static_cast<int>(marker.size()));
    rich.SelAttributes()->SetProtected(true);
}

class RichEditTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        form.reset(new TfrmRichTest(Application));
        form->Show();
        rich = form->mmoPage;
    }
    void TearDown() override
    {
        form.reset();
        VclTest::TearDown();
    }

    // "See ##Next## now." with the marker at 4..11 and its protected blank at 12.
    void MarkerPage()
    {
        rich->SetSelText("See now.");
        rich->SetSelStart(4);
        InsertMarker(*rich, "Next");
        ASSERT_EQ(rich->Text(), "See ##Next## now.");
        form->Asked.clear();
    }

    std::unique_ptr<TfrmRichTest> form;
    TRichEdit* rich = nullptr;
};

}  // namespace

TEST_F(RichEditTest, ResourceSetsOptionsAndDefaultsAreArialTenBlack)
{
    EXPECT_EQ(rich->ScrollBars(), ssBoth);
    EXPECT_FALSE(rich->HideSelection());
    EXPECT_TRUE(rich->WantTabs());
    EXPECT_FALSE(rich->ReadOnly());
    EXPECT_TRUE(static_cast<bool>(rich->OnProtectChange));
    EXPECT_EQ(rich->Color(), clWindow);
    EXPECT_EQ(rich->DefAttributes()->Name(), "Arial");
    EXPECT_EQ(rich->DefAttributes()->Size(), 10);
    EXPECT_EQ(rich->DefAttributes()->Color(), clBlack);
    EXPECT_TRUE(rich->DefAttributes()->Style().Empty());
    EXPECT_EQ(rich->SelAttributes()->Name(), "Arial");
    EXPECT_EQ(rich->Width(), 420);  // alClient

    // A box without a font of its own reads in its form's font, as every other control does.
    auto* plain = new TRichEdit(form.get());
    EXPECT_EQ(plain->Font()->Name(), "Arial");
    plain->SetParent(form.get());
    EXPECT_EQ(plain->Font()->Name(), form->Font()->Name());
    EXPECT_EQ(plain->DefAttributes()->Size(), form->Font()->Size());
}

TEST_F(RichEditTest, ParagraphEndsCountTwoPositions)
{
    rich->SetSelText("abc\r\ndef");
    EXPECT_EQ(rich->GetTextLen(), 8);
    EXPECT_EQ(rich->SelStart(), 8);
    rich->SetSelStart(2);
    rich->SetSelLength(3);
    EXPECT_EQ(rich->SelText(), "c\r\n");
    rich->SetSelLength(2);  // ends between CR and LF: the pair goes whole
    EXPECT_EQ(rich->SelLength(), 3);
    rich->SetSelStart(4);  // between CR and LF: before the CR
    EXPECT_EQ(rich->SelStart(), 3);
    rich->SetSelStart(8);
    rich->SetSelLength(-3);
    EXPECT_EQ(rich->SelStart(), 5);
    EXPECT_EQ(rich->SelText(), "def");
}

TEST_F(RichEditTest, PlainTextLinesOnePerParagraph)
{
    rich->SetPlainText(true);
    EXPECT_EQ(rich->Lines()->Count(), 0);
    rich->SetSelText("one\r\ntwo\r\n");
    ASSERT_EQ(rich->Lines()->Count(), 2);
    EXPECT_EQ(rich->Lines()->Strings(1), "two");

    // Plain lines set in go as paragraphs; added one by one they build up.
    rich->Lines()->Clear();
    rich->Lines()->Add("first");
    rich->Lines()->Add("second");
    EXPECT_EQ(rich->Text(), "first\r\nsecond");
    rich->SetPlainText(false);
    EXPECT_EQ(rich->Lines()->Strings(1), "\\pard\\f0\\fs20 first\\par");
}

TEST_F(RichEditTest, RichLinesReadBackByteForByte)
{
    form->AllowProtectedEdit = true;  // the random text holds protected runs, which each load replaces
    richedit::TRichDocument doc = richtest::RandomDocument(11, 80);
    rtl::TStringList page;
    page.SetText(richedit::WriteRtf(doc));
    rich->Lines()->Assign(page);
    EXPECT_TRUE(rich->Document() == doc);
    EXPECT_TRUE(rich->Lines()->Equals(page));
    EXPECT_EQ(rich->ViewMismatch(), "");

    // Whatever the lines held, what comes back is the writer's shape.
    rtl::TStringList handWritten;
    handWritten.SetText("{\\rtf1{\\fonttbl\r\n{\\f0 Arial;}}\r\n\\f0\\fs20 x\\line y}");
    rich->Lines()->Assign(handWritten);
    EXPECT_EQ(rich->Lines()->Text(),
              "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n\\pard\\f0\\fs20 x\\par\r\ny\r\n}\r\n");

    // Lines that are no rich text are taken as plain text.
    rtl::TStringList plain;
    plain.SetText("just\r\ntext\r\n");
    rich->Lines()->Assign(plain);
    EXPECT_EQ(rich->Text(), "just\r\ntext\r\n");
}

TEST_F(RichEditTest, EmptyControlKeepsTheFontItWasGiven)
{
    rich->Clear();
    rich->SelAttributes()->SetName("Times New Roman");
    rich->SelAttributes()->SetSize(12);
    rtl::TStringList saved;
    saved.Assign(*rich->Lines());
    rich->Clear();
    rich->Lines()->Assign(saved);
    EXPECT_EQ(rich->SelAttributes()->Name(), "Times New Roman");
    EXPECT_EQ(rich->SelAttributes()->Size(), 12);
    vt::TypeText(*rich, "a");
    EXPECT_EQ(rich->Document().AttributesAt(0).Face, "Times New Roman");
}

TEST_F(RichEditTest, TypingKeysAndCaretMovesGoThroughTheDocument)
{
    vt::TypeText(*rich, "ab");
    vt::PressKey(*rich, VK_RETURN);
    vt::TypeText(*rich, "cd");
    vt::PressKey(*rich, VK_TAB);
    EXPECT_EQ(rich->Text(), "ab\r\ncd\t");
    EXPECT_EQ(rich->SelStart(), 7);
    vt::PressKey(*rich, VK_HOME);
    EXPECT_EQ(rich->SelStart(), 4);
    vt::PressKey(*rich, VK_LEFT);  // over the paragraph end: two positions
    EXPECT_EQ(rich->SelStart(), 2);
    vt::PressKey(*rich, VK_DELETE);  // joins the paragraphs
    EXPECT_EQ(rich->Text(), "abcd\t");
    vt::PressKey(*rich, VK_BACK);
    EXPECT_EQ(rich->Text(), "acd\t");
    vt::PressKey(*rich, VK_RIGHT, {ssShift});
    EXPECT_EQ(rich->SelText(), "c");
    vt::TypeText(*rich, "X");
    EXPECT_EQ(rich->Text(), "aXd\t");
    EXPECT_EQ(rich->ViewMismatch(), "");
    EXPECT_TRUE(rich->Modified());

    rich->SetReadOnly(true);
    vt::TypeText(*rich, "zz");
    vt::PressKey(*rich, VK_BACK);
    EXPECT_EQ(rich->Text(), "aXd\t");
}

TEST_F(RichEditTest, MarkerIsProtectedGreenAndUnderlined)
{
    MarkerPage();
    rich->SetSelStart(4);
    rich->SetSelLength(8);
    EXPECT_EQ(rich->SelAttributes()->Color(), static_cast<TColor>(32768));
    EXPECT_EQ(rich->SelAttributes()->Style(), TFontStyles{fsUnderline});
    EXPECT_TRUE(rich->SelAttributes()->Protected());
    rich->SetSelStart(12);
    rich->SetSelLength(1);
    EXPECT_TRUE(rich->SelAttributes()->Protected());
    EXPECT_EQ(rich->SelAttributes()->Color(), clBlack);  // the blank keeps the caret's look
    rich->SetSelStart(3);
    rich->SetSelLength(3);
    EXPECT_FALSE(rich->SelAttributes()->ConsistentAttributes().Contains(caProtected));
    EXPECT_NE(rich->Lines()->Strings(2).find("\\cf1\\ul\\protect ##Next##\\cf0\\ulnone  \\protect0 now."),
              AnsiString::npos);
}

TEST_F(RichEditTest, TypingInsideAMarkerIsRefusedUnlessAllowed)
{
    MarkerPage();
    rich->SetSelStart(7);
    vt::TypeText(*rich, "x");
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
    ASSERT_EQ(form->Asked.size(), 1u);
    EXPECT_EQ(form->Asked[0], std::make_pair(7, 7));
    EXPECT_EQ(rich->ViewMismatch(), "");

    // Beside the marker typing is free and asks nothing.
    rich->SetSelStart(13);
    vt::TypeText(*rich, "y");
    rich->SetSelStart(4);
    vt::TypeText(*rich, "z");
    EXPECT_EQ(rich->Text(), "See z##Next## ynow.");
    EXPECT_EQ(form->Asked.size(), 1u);

    form->AllowProtectedEdit = true;
    rich->SetSelStart(8);
    vt::TypeText(*rich, "x");
    EXPECT_EQ(rich->Text(), "See z##Nxext## ynow.");
}

TEST_F(RichEditTest, DeletingACharacterOfAMarkerIsRefusedUnlessAllowed)
{
    MarkerPage();
    rich->SetSelStart(8);
    vt::PressKey(*rich, VK_DELETE);
    vt::PressKey(*rich, VK_BACK);
    rich->SetSelStart(13);
    vt::PressKey(*rich, VK_BACK);  // the protected blank
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
    EXPECT_EQ(form->Asked.size(), 3u);

    form->AllowProtectedEdit = true;
    rich->SetSelStart(8);
    vt::PressKey(*rich, VK_DELETE);
    EXPECT_EQ(rich->Text(), "See ##Net## now.");
    EXPECT_EQ(rich->ViewMismatch(), "");
}

TEST_F(RichEditTest, PastingOverAMarkerIsRefusedUnlessAllowed)
{
    MarkerPage();
    rich->SetSelStart(0);
    rich->SetSelLength(3);
    rich->CopyToClipboard();
    rich->SetSelStart(5);
    rich->SetSelLength(4);
    vt::PressKey(*rich, 'V', {ssCtrl});
    rich->PasteFromClipboard();
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
    EXPECT_EQ(form->Asked.size(), 2u);
    EXPECT_EQ(form->Asked[0], std::make_pair(5, 9));

    form->AllowProtectedEdit = true;
    rich->PasteFromClipboard();
    EXPECT_EQ(rich->Text(), "See #Seet## now.");
    EXPECT_EQ(rich->SelStart(), 8);
    EXPECT_FALSE(rich->Document().IsProtected(5));  // pasted text brings its own attributes
    EXPECT_EQ(rich->ViewMismatch(), "");
}

TEST_F(RichEditTest, ProgramChangesToProtectedTextAskToo)
{
    MarkerPage();
    rich->SetSelStart(2);
    rich->SetSelLength(6);
    rich->SetSelText("");
    rich->SelAttributes()->SetStyle({fsBold});
    rich->Paragraph()->SetAlignment(taCenter);
    rich->CutToClipboard();
    rich->Clear();
    rich->Lines()->Clear();
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
    EXPECT_EQ(rich->Paragraph()->Alignment(), taLeftJustify);
    EXPECT_FALSE(rich->Document().AttributesAt(2).Bold);
    EXPECT_EQ(form->Asked.size(), 6u);

    // Removing the marker as the page editor does: unprotect, then delete, while allowed.
    form->AllowProtectedEdit = true;
    rich->SetSelStart(4);
    rich->SetSelLength(9);
    rich->SelAttributes()->SetProtected(false);
    rich->SetSelText("");
    form->AllowProtectedEdit = false;
    EXPECT_EQ(rich->Text(), "See now.");
    EXPECT_FALSE(rich->Document().AnyProtected(0, rich->GetTextLen()));
}

TEST_F(RichEditTest, ClipboardCarriesAttributesAndParagraphs)
{
    rich->SetSelText("plain ");
    rich->SelAttributes()->SetStyle({fsBold, fsItalic});
    rich->SelAttributes()->SetName("Courier New");
    rich->SetSelText("bold");
    rich->Paragraph()->SetAlignment(taRightJustify);
    rich->SetSelText("\r\nnext");
    rich->SetSelStart(6);
    rich->SetSelLength(6);
    rich->CopyToClipboard();
    rich->SetSelStart(0);
    rich->PasteFromClipboard();
    EXPECT_EQ(rich->Text(), "bold\r\nplain bold\r\nnext");
    const richedit::TRichDocument& doc = rich->Document();
    EXPECT_TRUE(doc.AttributesAt(0).Bold && doc.AttributesAt(0).Italic);
    EXPECT_EQ(doc.AttributesAt(0).Face, "Courier New");
    EXPECT_EQ(doc.Alignment(0), richedit::paRight);
    EXPECT_FALSE(doc.AttributesAt(6).Bold);
    EXPECT_EQ(rich->ViewMismatch(), "");

    rich->SetSelStart(0);
    rich->SetSelLength(4);
    rich->CutToClipboard();
    EXPECT_EQ(rich->Text(), "\r\nplain bold\r\nnext");
}

TEST_F(RichEditTest, DroppingMovesOrCopiesAndAsksForProtectedText)
{
    rich->SetSelText("one two three");
    richedit::TRichDocument two = rich->Document().Copy(4, 8);
    rich->UserDrops(0, two, 4, 8);  // moved to the front
    EXPECT_EQ(rich->Text(), "two one three");
    EXPECT_EQ(rich->SelText(), "two ");
    rich->UserDrops(13, two);  // copied to the end
    EXPECT_EQ(rich->Text(), "two one threetwo ");
    rich->UserDrops(2, two, 0, 4);  // onto itself: nothing
    EXPECT_EQ(rich->Text(), "two one threetwo ");

    rich->Clear();
    MarkerPage();
    rich->UserDrops(0, rich->Document().Copy(5, 9), 5, 9);  // dragging part of the marker away
    rich->UserDrops(7, two);                                // dropping into it
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
    EXPECT_EQ(form->Asked.size(), 2u);
    EXPECT_EQ(rich->ViewMismatch(), "");
}

TEST_F(RichEditTest, ChangeEventsFollowTheContent)
{
    int before = form->Changes;
    rich->SetSelText("abc");
    rich->SetSelStart(1);
    rich->SetSelLength(1);
    rich->SelAttributes()->SetSize(14);
    EXPECT_EQ(form->Changes, before + 2);
    EXPECT_EQ(rich->SelAttributes()->Size(), 14);
    EXPECT_EQ(rich->SelAttributes()->Height(), 19);
}

// Random edits from every side: the widget always shows exactly the document, whatever was patched.
TEST_F(RichEditTest, ViewStaysInStepWithTheDocument)
{
    std::mt19937 random(99);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    form->AllowProtectedEdit = true;
    static const char* const texts[] = {"a", "word ", "\r\n", "\t", "x\r\ny", "\xe9", ""};
    for (int n = 0; n < 300; ++n) {
        int length = rich->GetTextLen();
        rich->SetSelStart(pick(length + 1));
        rich->SetSelLength(pick(5));
        switch (pick(10)) {
        case 0:
            rich->SetSelText(texts[pick(7)]);
            break;
        case 7:
            rich->SelAttributes()->SetSize(8 + pick(10));
            break;
        case 8:
            rich->SelAttributes()->SetColor(pick(2) ? clRed : clBlack);
            break;
        case 9:
            rich->UserDrops(pick(length + 1), rich->SelectionFragment(), rich->SelStart(),
                            rich->SelStart() + rich->SelLength());
            break;
        case 1:
            vt::TypeText(*rich, "k");
            break;
        case 2:
            vt::PressKey(*rich, pick(2) ? VK_BACK : VK_DELETE);
            break;
        case 3:
            rich->SelAttributes()->SetStyle(pick(2) ? TFontStyles{fsBold} : TFontStyles{});
            break;
        case 4:
            rich->Paragraph()->SetAlignment(pick(2) ? taCenter : taLeftJustify);
            break;
        case 5:
            rich->CopyToClipboard();
            break;
        default:
            rich->PasteFromClipboard();
            break;
        }
        ASSERT_EQ(rich->ViewMismatch(), "") << "after edit " << n;
    }
}

TEST_F(RichEditTest, ChangingOneStyleLeavesEveryCharactersOtherStyles)
{
    rich->SetSelText("ab");
    rich->SetSelStart(0);
    rich->SetSelLength(1);
    rich->SelAttributes()->SetStyle({fsBold, fsUnderline});
    rich->SetSelStart(1);
    rich->SetSelLength(1);
    rich->SelAttributes()->SetStyle({fsItalic, fsUnderline});

    rich->SelectAll();
    rich->SelAttributes()->ChangeStyle(fsUnderline, false);
    const richedit::TRichDocument& doc = rich->Document();
    EXPECT_TRUE(doc.AttributesAt(0).Bold && !doc.AttributesAt(0).Italic && !doc.AttributesAt(0).Underline);
    EXPECT_TRUE(!doc.AttributesAt(1).Bold && doc.AttributesAt(1).Italic && !doc.AttributesAt(1).Underline);

    // Over protected text it asks, like every other change.
    MarkerPage();
    rich->SelectAll();
    rich->SelAttributes()->ChangeStyle(fsStrikeOut, true);
    EXPECT_FALSE(rich->Document().AttributesAt(0).StrikeOut);
    EXPECT_EQ(form->Asked.size(), 1u);
    form->AllowProtectedEdit = true;
    rich->SelAttributes()->ChangeStyle(fsStrikeOut, true);
    EXPECT_TRUE(rich->Document().AttributesAt(0).StrikeOut);
    EXPECT_TRUE(rich->Document().AttributesAt(5).Underline);
    EXPECT_EQ(rich->ViewMismatch(), "");
}

// ---- taking changes back

TEST_F(RichEditTest, CtrlZTakesBackTheLastChangesOneByOneAndARunOfTypingAsOne)
{
    vt::TypeText(*rich, "one two");
    rich->SetSelStart(0);  // moving the caret ends the run
    vt::TypeText(*rich, ">");
    vt::PressKey(*rich, VK_RETURN);
    rich->SetSelStart(3);
    rich->SetSelLength(3);
    rich->SelAttributes()->SetStyle({fsBold});
    rich->Paragraph()->SetAlignment(taCenter);
    vt::PressKey(*rich, VK_DELETE);
    ASSERT_EQ(rich->Text(), ">\r\n two");
    ASSERT_EQ(rich->Document().Alignment(1), richedit::paCenter);

    auto undo = [&] {
        vt::PressKey(*rich, 'Z', {ssCtrl});
        EXPECT_EQ(rich->ViewMismatch(), "");
    };
    undo();
    EXPECT_EQ(rich->Text(), ">\r\none two");
    EXPECT_EQ(rich->SelText(), "one");  // what came back is selected
    EXPECT_TRUE(rich->Document().AttributesAt(3).Bold);
    undo();
    EXPECT_EQ(rich->Document().Alignment(1), richedit::paLeft);
    undo();
    EXPECT_FALSE(rich->Document().AttributesAt(3).Bold);
    undo();
    EXPECT_EQ(rich->Text(), "one two");
    EXPECT_EQ(rich->SelStart(), 0);
    undo();
    EXPECT_EQ(rich->Text(), "");
    EXPECT_FALSE(rich->CanUndo());
    undo();
    EXPECT_EQ(rich->Text(), "");

    // New content has no history.
    vt::TypeText(*rich, "x");
    EXPECT_TRUE(rich->CanUndo());
    rtl::TStringList lines;
    lines.Add("y");
    rich->Lines()->Assign(lines);
    EXPECT_FALSE(rich->CanUndo());
}

TEST_F(RichEditTest, UndoThatTouchesProtectedTextAsksFirst)
{
    MarkerPage();  // its last change protected the marker
    vt::PressKey(*rich, 'Z', {ssCtrl});
    EXPECT_TRUE(rich->Document().AllProtected(4, 13));
    ASSERT_EQ(form->Asked.size(), 1u);
    EXPECT_EQ(form->Asked[0], std::make_pair(4, 13));
    EXPECT_TRUE(rich->CanUndo());  // refused, it stays to be asked again

    form->AllowProtectedEdit = true;
    vt::PressKey(*rich, 'Z', {ssCtrl});
    EXPECT_FALSE(rich->Document().AnyProtected(0, rich->GetTextLen()));
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
}

// Random edits from every side, then taken back one by one: each undo gives exactly the content before
// the edit, and the widget shows it.
TEST_F(RichEditTest, UndoWalksBackThroughEveryKindOfEdit)
{
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    form->AllowProtectedEdit = true;
    rich->SetSelText("Some words\r\nto start with");
    std::vector<richedit::TRichDocument> before;
    static const char* const texts[] = {"a", "word ", "\r\n", "x\r\ny", ""};
    for (int n = 0; n < 90; ++n) {
        const richedit::TRichDocument state = rich->Document();
        int length = rich->GetTextLen();
        rich->SetSelStart(pick(length + 1));
        rich->SetSelLength(pick(6));
        switch (pick(9)) {
        case 0:
            rich->SetSelText(texts[pick(5)]);
            break;
        case 1:
            rich->SelAttributes()->SetSize(8 + pick(10));  // at a caret: an empty paragraph's look
            break;
        case 2:
            rich->SelAttributes()->SetProtected(pick(2) == 0);
            break;
        case 3:
            vt::PressKey(*rich, pick(2) ? VK_BACK : VK_DELETE);
            break;
        case 4:
            rich->Paragraph()->SetAlignment(pick(2) ? taCenter : taRightJustify);
            break;
        case 5:
            rich->CutToClipboard();
            break;
        case 6:
            rich->CopyToClipboard();
            break;
        case 7:
            rich->PasteFromClipboard();
            break;
        default:
            rich->UserDrops(pick(length + 1), rich->SelectionFragment(), rich->SelStart(),
                            rich->SelStart() + rich->SelLength());
            break;
        }
        if (rich->Document().Version() != state.Version())
            before.push_back(state);
    }
    ASSERT_GT(before.size(), 40u);
    for (size_t k = before.size(); k-- > 0;) {
        rich->Undo();
        ASSERT_TRUE(rich->Document() == before[k]) << "undo " << k;
        ASSERT_EQ(rich->ViewMismatch(), "") << "undo " << k;
    }
    EXPECT_EQ(rich->Text(), "Some words\r\nto start with");
}

// ---- dragging inside the control

TEST_F(RichEditTest, DraggingTextInsideTheControlMovesItAndWithCtrlCopiesIt)
{
    rich->SetSelText("one two three");
    QTextEdit* view = nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* edit = qobject_cast<QTextEdit*>(widget))
            view = edit;
    ASSERT_NE(view, nullptr);
    // The view's own drag carries its selection and marks itself (as a drag it starts would); the window
    // system proposes a move, or a copy with Ctrl held.
    auto dropAt = [&](int viewPos, Qt::KeyboardModifiers modifiers) {
        const Qt::DropAction action = modifiers & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
        richedit::TRichDocument fragment = rich->SelectionFragment();
        AnsiString rtf = richedit::WriteRtf(fragment);
        QMimeData mime;
        mime.setData("text/rtf", QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())));
        mime.setText(QString::fromLatin1(fragment.Text().c_str()));
        mime.setData("application/x-scrivane-rich-edit-drag", QByteArray::number(reinterpret_cast<quintptr>(view)));
        QTextCursor at(view->document());
        at.setPosition(viewPos);
        QPointF point = view->cursorRect(at).center();
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(point.toPoint(), actions, &mime, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(point.toPoint(), actions, &mime, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(view->viewport(), &move);
        QDropEvent drop(point, actions, &mime, Qt::LeftButton, modifiers);
        drop.setDropAction(action);
        QCoreApplication::sendEvent(view->viewport(), &drop);
        vt::ProcessMessages();
    };
    rich->SetSelStart(4);
    rich->SetSelLength(4);
    dropAt(0, Qt::NoModifier);
    EXPECT_EQ(rich->Text(), "two one three");
    EXPECT_EQ(rich->SelText(), "two ");
    rich->SetSelStart(0);
    rich->SetSelLength(4);
    dropAt(13, Qt::ControlModifier);
    EXPECT_EQ(rich->Text(), "two one threetwo ");
    EXPECT_EQ(rich->ViewMismatch(), "");

    // A marker dragged away is a change to protected text: asked, refused, nothing moves or doubles.
    rich->Clear();
    MarkerPage();
    rich->SetSelStart(4);
    rich->SetSelLength(8);
    dropAt(0, Qt::NoModifier);
    EXPECT_EQ(rich->Text(), "See ##Next## now.");
    EXPECT_EQ(form->Asked.size(), 1u);
}
