// The page, header, link and contents-topic dialogs, opened from their resources with the presets their
// commands give and driven headless as a person would, through to the values the commands take back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/LayoutChecks.h"
#include "tool/LinkPropertiesUnit.h"
#include "tool/PageHeaderUnit.h"
#include "tool/PagePropertiesUnit.h"
#include "tool/ProjectModel.h"
#include "tool/TOCTopicPropertiesUnit.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

class DialogsTest : public VclTest {};

std::vector<AnsiString> TabNames(const TWinControl& parent)
{
    std::vector<AnsiString> names;
    for (TWinControl* c : parent.TabList())
        names.push_back(c->Name());
    return names;
}

void ExpectFrame(TForm& form, const char* caption, int width, int height, int helpContext)
{
    SCOPED_TRACE(caption);
    EXPECT_EQ(form.Caption(), caption);
    EXPECT_EQ(form.Width(), width);
    EXPECT_EQ(form.Height(), height);
    EXPECT_EQ(form.HelpContext(), helpContext);
    EXPECT_EQ(form.Position(), poScreenCenter);
    ExpectLaidOutWhole(form);
}

// ---- the page dialog, preset and read back as the page command does it

struct TPageFields {
    AnsiString Name = "Intro", ContextID, TopicID = "IDH_INTRO", TopicTitle = "Introduction", IndexKeywords = "a;b";
};

TModalResult EditPage(TPageFields& page, std::function<void(TfrmPageProperties&)> script)
{
    vt::OnNextModal<TfrmPageProperties>(std::move(script));
    std::unique_ptr<TfrmPageProperties> dlg(new TfrmPageProperties(Application));
    dlg->edtName->SetText(page.Name);
    dlg->edtContextID->SetText(page.ContextID);
    dlg->edtTopicID->SetText(page.TopicID);
    dlg->edtTopicTitle->SetText(page.TopicTitle);
    dlg->edtIndexKeywords->SetText(page.IndexKeywords);
    TModalResult result = dlg->ShowModal();
    page = {dlg->edtName->Text(), dlg->edtContextID->Text(), dlg->edtTopicID->Text(), dlg->edtTopicTitle->Text(),
            dlg->edtIndexKeywords->Text()};
    return result;
}

}  // namespace

TEST_F(DialogsTest, ResourcesGiveCaptionsSizesHelpContextsAndTabOrders)
{
    TfrmPageProperties page(nullptr);
    ExpectFrame(page, "Page Properties", 350, 224, 12);
    EXPECT_EQ(TabNames(page), (std::vector<AnsiString>{"edtName", "edtContextID", "edtTopicID", "edtTopicTitle",
                                                       "edtIndexKeywords", "btnOK"}));

    TfrmPageHeader header(nullptr);
    ExpectFrame(header, "Page Header", 510, 234, 12);
    EXPECT_EQ(TabNames(header), (std::vector<AnsiString>{"mmoHeader", "pnlButtons"}));
    EXPECT_EQ(header.mmoHeader->Top() + header.mmoHeader->Height(), header.pnlButtons->Top());
    EXPECT_EQ(header.mmoHeader->DefAttributes()->Name(), "Arial");
    EXPECT_EQ(header.mmoHeader->DefAttributes()->Size(), 10);
    EXPECT_EQ(header.mnuText->Caption(), "&Text");
    EXPECT_EQ(header.mnuText->Find("Change Font"), header.mnuFont);
    EXPECT_EQ(header.mnuFont->ShortCut(), TextToShortCut("Ctrl+F"));

    TfrmLinkProperties link(nullptr);
    ExpectFrame(link, "Link Properties", 372, 217, 13);
    EXPECT_EQ(TabNames(link), (std::vector<AnsiString>{"edtName", "edtText", "cbxLinkType", "gbxTopicLink",
                                                       "gbxURLLink", "gbxEMailLink", "btnOK"}));
    EXPECT_EQ(link.cbxLinkType->Items()->Text(),
              "Link To Topic In File\r\nOpen External URL\r\nOpen New External E-Mail\r\n");
    EXPECT_EQ(link.cbxLinkType->Style(), csDropDownList);
    EXPECT_EQ(link.cbxLinkToPage->Style(), csDropDownList);
    EXPECT_EQ(link.gbxURLLink->BoundsRect(), link.gbxTopicLink->BoundsRect());
    EXPECT_EQ(link.gbxEMailLink->BoundsRect(), link.gbxTopicLink->BoundsRect());

    TfrmTOCTopicProperties topic(nullptr);
    ExpectFrame(topic, "Topic Properties", 350, 118, 9);
    EXPECT_EQ(TabNames(topic), (std::vector<AnsiString>{"edtName", "cbxLinkToPage", "btnOK", "btnCancel"}));
    EXPECT_EQ(topic.cbxLinkToPage->Style(), csDropDownList);
}

TEST_F(DialogsTest, ContextNumberTakesBlanksSignDecimalAndBothHexForms)
{
    struct TCase {
        const char* Text;
        int32_t Value;
    };
    for (TCase c : {TCase{"12", 12}, {"-3", -3}, {"+7", 7}, {"   42", 42}, {"$1F", 31}, {"$ff", 255},
                    {"0x10", 16}, {"0X1a", 26}, {"-$10", -16}, {"2147483647", 2147483647},
                    {"-2147483648", -2147483647 - 1}, {"$FFFFFFFF", -1}}) {
        int32_t value = 0;
        EXPECT_TRUE(TryFieldToInt(c.Text, value)) << c.Text;
        EXPECT_EQ(value, c.Value) << c.Text;
    }
    for (const char* text : {"", "   ", "12a", "1.5", "12 ", "\t12", "- 3", "$", "0x", "$1G", "1e3", "2147483648",
                             "$100000000", "--1", "x10"}) {
        int32_t value = 99;
        EXPECT_FALSE(TryFieldToInt(text, value)) << text;
        EXPECT_EQ(value, 99) << text;
    }
}

TEST_F(DialogsTest, PageOkAcceptsEmptyOrWholeContextNumbersAsTyped)
{
    for (const char* typed : {"", "12", "-3", "$1F", " 0x20"}) {
        TPageFields page;
        page.ContextID = "7";
        EXPECT_EQ(EditPage(page, [&](TfrmPageProperties& dlg) {
            vt::SetText(*dlg.edtContextID, typed);
            vt::Click(*dlg.btnOK);
        }), mrOk) << typed;
        EXPECT_EQ(page.ContextID, typed);
    }
    EXPECT_TRUE(vt::Messages().empty());
}

TEST_F(DialogsTest, PageOkRefusesOtherContextNumbersAndStaysOpen)
{
    Application->SetTitle("Halvern Scrivane");
    for (const char* typed : {"12a", "1.5", "   "}) {
        vt::ClearMessages();
        TPageFields page;
        EXPECT_EQ(EditPage(page, [&](TfrmPageProperties& dlg) {
            vt::TypeText(*dlg.edtContextID, typed);
            vt::AnswerMessage(mrOk);
            vt::Click(*dlg.btnOK);
            EXPECT_TRUE(dlg.Visible());
            // Return reaches the same check through the default button.
            vt::AnswerMessage(mrOk);
            vt::PressKey(*dlg.edtContextID, VK_RETURN);
            EXPECT_TRUE(dlg.Visible());
            vt::SetText(*dlg.edtContextID, "12");
            vt::Click(*dlg.btnOK);
        }), mrOk) << typed;
        ASSERT_EQ(vt::Messages().size(), 2u) << typed;
        EXPECT_EQ(vt::LastMessage().Text, "Context ID must be an integer value.");
        EXPECT_EQ(vt::LastMessage().Caption, "Halvern Scrivane");
        EXPECT_EQ(vt::LastMessage().Buttons, std::vector<AnsiString>{"OK"});
        EXPECT_EQ(page.ContextID, "12");
    }
}

TEST_F(DialogsTest, PageCloseBoxSkipsTheCheckAndAllFieldsComeBack)
{
    TPageFields page;
    page.ContextID = "12a";
    EXPECT_EQ(EditPage(page, [](TfrmPageProperties& dlg) {
        vt::PressKey(*dlg.edtName, VK_ESCAPE);  // no Cancel button to answer it
        EXPECT_TRUE(dlg.Visible());
        for (TEdit* edit : {dlg.edtName, dlg.edtContextID, dlg.edtTopicID, dlg.edtTopicTitle, dlg.edtIndexKeywords})
            vt::SetText(*edit, edit->Text() + "!");
        vt::CloseByCloseBox(dlg);
    }), mrCancel);
    EXPECT_TRUE(vt::Messages().empty());
    EXPECT_EQ((std::vector<AnsiString>{page.Name, page.ContextID, page.TopicID, page.TopicTitle, page.IndexKeywords}),
              (std::vector<AnsiString>{"Intro!", "12a!", "IDH_INTRO!", "Introduction!", "a;b!"}));
}

TEST_F(DialogsTest, HeaderRoundTripsItsRichTextWhicheverWayItCloses)
{
    rtl::TStringList header;
    auto edit = [&](std::function<void(TfrmPageHeader&)> script) {
        vt::OnNextModal<TfrmPageHeader>(std::move(script));
        std::unique_ptr<TfrmPageHeader> dlg(new TfrmPageHeader(Application));
        dlg->mmoHeader->Lines()->Assign(header);
        dlg->mmoHeader->SetColor(RGBColor(255, 255, 192));
        dlg->ShowModal();
        header.Assign(*dlg->mmoHeader->Lines());
    };
    edit([](TfrmPageHeader& dlg) {
        EXPECT_EQ(dlg.mmoHeader->Text(), "");
        vt::TypeText(*dlg.mmoHeader, "Chapter");
        vt::Click(*dlg.btnDone);
        EXPECT_FALSE(dlg.Visible());
    });
    ASSERT_GT(header.Count(), 0);
    EXPECT_EQ(header.Strings(0).substr(0, 6), "{\\rtf1");
    edit([](TfrmPageHeader& dlg) {
        EXPECT_EQ(dlg.mmoHeader->Text(), "Chapter");
        EXPECT_EQ(dlg.mmoHeader->Color(), RGBColor(255, 255, 192));
        dlg.mmoHeader->SetSelStart(7);
        vt::TypeText(*dlg.mmoHeader, " One");
        vt::CloseByCloseBox(dlg);
    });
    TfrmPageHeader check(nullptr);
    check.mmoHeader->Lines()->Assign(header);
    EXPECT_EQ(check.mmoHeader->Text(), "Chapter One");
}

TEST_F(DialogsTest, HeaderFontGoesOntoTheSelectionOnlyWhenConfirmed)
{
    vt::OnNextModal<TfrmPageHeader>([](TfrmPageHeader& dlg) {
        TRichEdit& rich = *dlg.mmoHeader;
        vt::TypeText(rich, "A Big header");
        vt::PressKey(rich, 'F', {ssCtrl});  // nothing selected: no font dialog
        EXPECT_TRUE(vt::Dialogs().empty());

        rich.SetSelStart(2);
        rich.SetSelLength(3);
        rich.SelAttributes()->SetName("Courier New");
        rich.SelAttributes()->SetStyle({fsItalic});
        vt::CancelDialog();
        vt::PressKey(rich, 'F', {ssCtrl});
        ASSERT_EQ(vt::Dialogs().size(), 1u);
        EXPECT_EQ(dlg.dlgFont->Font()->Name(), "Courier New");  // preset from the selection
        EXPECT_EQ(dlg.dlgFont->Font()->Size(), 10);
        EXPECT_EQ(dlg.dlgFont->Font()->Style(), TFontStyles{fsItalic});
        EXPECT_EQ(rich.Document().AttributesAt(2).Face, "Courier New");  // a cancel changes nothing

        TFont chosen;
        chosen.SetName("Times New Roman");
        chosen.SetSize(14);
        chosen.SetColor(clRed);
        chosen.SetStyle({fsBold, fsUnderline});
        vt::AnswerFontDialog(chosen);
        dlg.mnuFont->Click();
        for (int i = 2; i < 5; ++i) {
            richedit::TCharAttributes a = rich.Document().AttributesAt(i);
            EXPECT_EQ(a.Face, "Times New Roman");
            EXPECT_EQ(a.HalfPoints, 28);
            EXPECT_EQ(a.Color, ColorToRGB(clRed));
            EXPECT_TRUE(a.Bold && a.Underline && !a.Italic);
        }
        EXPECT_EQ(rich.Document().AttributesAt(1).Face, "Arial");
        EXPECT_EQ(rich.Document().AttributesAt(5).Face, "Arial");
        vt::Click(*dlg.btnDone);
    });
    std::unique_ptr<TfrmPageHeader> dlg(new TfrmPageHeader(Application));
    dlg->ShowModal();
}

namespace {

struct TLinkFields {
    AnsiString Name = "Link1", Target, Text = "see here";
    int LinkType = 0;
    bool Popup = false;
};

const std::vector<AnsiString> Pages = {"Intro", "Details", "Index"};

// Preset and read back as the link command does it.
void EditLink(TLinkFields& link, std::function<void(TfrmLinkProperties&)> script)
{
    vt::OnNextModal<TfrmLinkProperties>(std::move(script));
    std::unique_ptr<TfrmLinkProperties> dlg(new TfrmLinkProperties(Application));
    for (const AnsiString& page : Pages)
        dlg->cbxLinkToPage->Items()->Add(page);
    dlg->edtName->SetText(link.Name);
    dlg->cbxLinkType->SetItemIndex(link.LinkType);
    if (link.LinkType == 0)
        dlg->cbxLinkToPage->SetItemIndex(dlg->cbxLinkToPage->Items()->IndexOf(link.Target));
    else if (link.LinkType == 1)
        dlg->edtURL->SetText(link.Target);
    else
        dlg->edtEMail->SetText(link.Target);
    dlg->edtText->SetText(link.Text);
    dlg->cbxPopupLink->SetChecked(link.Popup);
    dlg->cbxLinkTypeChange(nullptr);
    dlg->ShowModal();
    link.Name = dlg->edtName->Text();
    link.LinkType = dlg->cbxLinkType->ItemIndex();
    link.Target = link.LinkType == 0 ? dlg->cbxLinkToPage->Text()
                  : link.LinkType == 1 ? dlg->edtURL->Text()
                                       : dlg->edtEMail->Text();
    link.Text = dlg->edtText->Text();
    link.Popup = link.LinkType == 0 && dlg->cbxPopupLink->Checked();
}

// Which of the three groups show: topic, URL, e-mail.
std::vector<bool> Groups(const TfrmLinkProperties& dlg)
{
    return {dlg.gbxTopicLink->Showing(), dlg.gbxURLLink->Showing(), dlg.gbxEMailLink->Showing()};
}

}  // namespace

TEST_F(DialogsTest, LinkKindSwitchesItsFieldsAndKeepsTheirContents)
{
    TLinkFields link;
    link.Target = "Details";
    link.Popup = true;
    EditLink(link, [](TfrmLinkProperties& dlg) {
        EXPECT_EQ(Groups(dlg), (std::vector<bool>{true, false, false}));
        EXPECT_EQ(dlg.cbxLinkToPage->ItemIndex(), 1);
        vt::SelectItem(*dlg.cbxLinkType, "Open External URL");
        EXPECT_FALSE(dlg.cbxLinkToPage->Showing());
        EXPECT_FALSE(dlg.cbxPopupLink->Showing());
        EXPECT_TRUE(dlg.edtURL->Showing());
        vt::TypeText(*dlg.edtURL, "http://example.org/");
        vt::SelectItem(*dlg.cbxLinkType, 0);
        EXPECT_EQ(Groups(dlg), (std::vector<bool>{true, false, false}));
        EXPECT_EQ(dlg.cbxLinkToPage->Text(), "Details");
        EXPECT_TRUE(dlg.cbxPopupLink->Checked());
        vt::SelectItem(*dlg.cbxLinkType, 2);
        EXPECT_EQ(Groups(dlg), (std::vector<bool>{false, false, true}));
        // No kind chosen leaves the groups as they are.
        dlg.cbxLinkType->SetItemIndex(-1);
        dlg.cbxLinkTypeChange(nullptr);
        EXPECT_EQ(Groups(dlg), (std::vector<bool>{false, false, true}));
        vt::SelectItem(*dlg.cbxLinkType, 1);
        vt::Click(*dlg.btnOK);
        EXPECT_FALSE(dlg.Visible());
    });
    EXPECT_EQ(link.LinkType, 1);
    EXPECT_EQ(link.Target, "http://example.org/");
    EXPECT_FALSE(link.Popup);

    // An e-mail link opens on its own group; the close box returns the values too.
    link = TLinkFields{"Mail", "ann@example.org", "write", 2, false};
    EditLink(link, [](TfrmLinkProperties& dlg) {
        EXPECT_EQ(Groups(dlg), (std::vector<bool>{false, false, true}));
        EXPECT_EQ(dlg.edtEMail->Text(), "ann@example.org");
        vt::SelectItem(*dlg.cbxLinkType, 0);
        vt::SelectItem(*dlg.cbxLinkToPage, "Index");
        vt::Click(*dlg.cbxPopupLink);
        vt::SetText(*dlg.edtName, "ToIndex");
        vt::CloseByCloseBox(dlg);
    });
    EXPECT_EQ(link.Name, "ToIndex");
    EXPECT_EQ(link.LinkType, 0);
    EXPECT_EQ(link.Target, "Index");
    EXPECT_TRUE(link.Popup);
    EXPECT_EQ(link.Text, "write");
}

// The Tab key walks the fields of the chosen kind before OK, so an address typed after Tab is kept.
TEST_F(DialogsTest, LinkTabReachesTheKindsFieldsBeforeOK)
{
    auto walkFromType = [](TfrmLinkProperties& dlg) {
        std::vector<AnsiString> path;
        TWinControl* at = dlg.cbxLinkType;
        for (int i = 0; i < 4 && at; ++i) {
            vt::PressKey(*at, VK_TAB);
            at = dlg.FocusedControl();
            path.push_back(at ? at->Name() : "(none)");
        }
        return path;
    };
    TLinkFields link{"Web", "", "site", 1, false};
    EditLink(link, [&](TfrmLinkProperties& dlg) {
        EXPECT_EQ(walkFromType(dlg), (std::vector<AnsiString>{"edtURL", "btnOK", "edtName", "edtText"}));
        vt::PressKey(*dlg.edtText, VK_TAB);
        vt::PressKey(*dlg.cbxLinkType, VK_TAB);
        vt::TypeText(*dlg.FocusedControl(), "http://example.org/");
        vt::SelectItem(*dlg.cbxLinkType, 0);
        EXPECT_EQ(walkFromType(dlg), (std::vector<AnsiString>{"cbxLinkToPage", "cbxPopupLink", "btnOK", "edtName"}));
        vt::SelectItem(*dlg.cbxLinkType, 2);
        EXPECT_EQ(walkFromType(dlg), (std::vector<AnsiString>{"edtEMail", "btnOK", "edtName", "edtText"}));
        vt::SelectItem(*dlg.cbxLinkType, 1);
        vt::Click(*dlg.btnOK);
    });
    EXPECT_EQ(link.Target, "http://example.org/");
}

TEST_F(DialogsTest, TopicDialogEndsWithOkOrCancel)
{
    auto show = [](int preset, std::function<void(TfrmTOCTopicProperties&)> script, AnsiString& page) {
        vt::OnNextModal<TfrmTOCTopicProperties>(std::move(script));
        std::unique_ptr<TfrmTOCTopicProperties> dlg(new TfrmTOCTopicProperties(Application));
        for (const AnsiString& p : Pages)
            dlg->cbxLinkToPage->Items()->Add(p);
        dlg->edtName->SetText("Overview");
        dlg->cbxLinkToPage->SetItemIndex(preset);
        TModalResult result = dlg->ShowModal();
        page = dlg->cbxLinkToPage->Text();
        return result;
    };
    AnsiString page;
    EXPECT_EQ(show(0, [](TfrmTOCTopicProperties& dlg) {
        vt::SelectItem(*dlg.cbxLinkToPage, "Index");
        vt::Click(*dlg.btnOK);
    }, page), mrOk);
    EXPECT_EQ(page, "Index");
    EXPECT_EQ(show(-1, [](TfrmTOCTopicProperties& dlg) { vt::PressKey(*dlg.edtName, VK_RETURN); }, page), mrOk);
    EXPECT_EQ(page, "");  // no page chosen: an empty page name
    EXPECT_EQ(show(1, [](TfrmTOCTopicProperties& dlg) { vt::Click(*dlg.btnCancel); }, page), mrCancel);
    EXPECT_EQ(show(1, [](TfrmTOCTopicProperties& dlg) { vt::PressKey(*dlg.edtName, VK_ESCAPE); }, page), mrCancel);
}
