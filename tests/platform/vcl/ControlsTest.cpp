// Layout by Align and Anchors, fonts and colours that follow the parent, focus, fonts and colours as
// values, and a form rendered to a picture.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/vcl/Graphics.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/VclTestControls.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
using namespace vcltest;
namespace vt = vcl::test;

namespace {

class ControlsTest : public VclTest {
protected:
    // A bare form with a client area of 400 x 300.
    TForm* MakeForm()
    {
        auto* form = new TForm(Application);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 400, 300);
        return form;
    }
    TWinControl* Child(TWinControl* parent, TAlign align, int left, int top, int width, int height)
    {
        auto* c = new TWinControl(parent->Owner() ? parent->Owner() : parent);
        c->SetParent(parent);
        c->SetBounds(left, top, width, height);
        c->SetAlign(align);
        return c;
    }
};

TRect BoundsOf(const TControl* c)
{
    return c->BoundsRect();
}

// The decoded pixels of an 8-bit RGB or RGBA PNG, row by row.
struct TPng {
    int Width = 0, Height = 0, Channels = 0;
    std::vector<uint8_t> Pixels;
};

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

TPng ReadPng(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TPng png;
    if (file.size() < 33 || file[1] != 'P' || file[2] != 'N' || file[3] != 'G')
        return png;
    std::vector<uint8_t> idat;
    for (size_t pos = 8; pos + 8 <= file.size();) {
        uint32_t length = Be32(&file[pos]);
        std::string type(reinterpret_cast<const char*>(&file[pos + 4]), 4);
        const uint8_t* data = &file[pos + 8];
        if (type == "IHDR") {
            png.Width = static_cast<int>(Be32(data));
            png.Height = static_cast<int>(Be32(data + 4));
            png.Channels = data[9] == 6 ? 4 : data[9] == 2 ? 3 : 0;
            if (data[8] != 8)
                return TPng{};
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + length);
        }
        pos += 12 + length;
    }
    size_t stride = static_cast<size_t>(png.Width) * static_cast<size_t>(png.Channels);
    std::vector<uint8_t> raw((stride + 1) * static_cast<size_t>(png.Height));
    uLongf rawSize = raw.size();
    if (png.Channels == 0 || uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK)
        return TPng{};
    png.Pixels.resize(stride * static_cast<size_t>(png.Height));
    size_t bpp = static_cast<size_t>(png.Channels);
    for (size_t y = 0; y < static_cast<size_t>(png.Height); ++y) {
        uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* src = &raw[y * (stride + 1) + 1];
        uint8_t* row = &png.Pixels[y * stride];
        const uint8_t* up = y ? &png.Pixels[(y - 1) * stride] : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            int a = x >= bpp ? row[x - bpp] : 0, b = up ? up[x] : 0, c = (up && x >= bpp) ? up[x - bpp] : 0;
            int predictor = 0;
            switch (filter) {
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: {
                int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predictor = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
                break;
            }
            default: break;
            }
            row[x] = static_cast<uint8_t>(src[x] + predictor);
        }
    }
    return png;
}

}  // namespace

TEST_F(ControlsTest, AlignLaysOutInTheClassicOrder)
{
    TForm* form = MakeForm();
    TWinControl* left = Child(form, alLeft, 0, 0, 50, 10);
    TWinControl* client = Child(form, alClient, 0, 0, 10, 10);
    TWinControl* top2 = Child(form, alTop, 0, 100, 10, 20);  // below top1 by position
    TWinControl* top1 = Child(form, alTop, 0, 0, 10, 30);
    TWinControl* bottom = Child(form, alBottom, 0, 0, 10, 25);
    TWinControl* right = Child(form, alRight, 0, 0, 60, 10);
    EXPECT_EQ(BoundsOf(top1), Bounds(0, 0, 400, 30));
    EXPECT_EQ(BoundsOf(top2), Bounds(0, 30, 400, 20));
    EXPECT_EQ(BoundsOf(bottom), Bounds(0, 275, 400, 25));
    EXPECT_EQ(BoundsOf(left), Bounds(0, 50, 50, 225));
    EXPECT_EQ(BoundsOf(right), Bounds(340, 50, 60, 225));
    EXPECT_EQ(BoundsOf(client), Bounds(50, 50, 290, 225));

    form->SetBounds(0, 0, 500, 400);  // the parent's resize lays them out again
    EXPECT_EQ(BoundsOf(client), Bounds(50, 50, 390, 325));
    top2->Hide();  // an invisible control takes no room
    EXPECT_EQ(BoundsOf(left), Bounds(0, 30, 50, 345));
    form->SetBorderWidth(5);
    EXPECT_EQ(BoundsOf(top1), Bounds(5, 5, 490, 30));

    // A splitter-like fixed strip between a left column and the client keeps the order by position.
    TWinControl* panel = Child(form, alNone, 0, 0, 200, 100);
    TWinControl* column = Child(panel, alLeft, 0, 0, 80, 0);
    TWinControl* strip = Child(panel, alLeft, 80, 0, 4, 0);
    TWinControl* page = Child(panel, alClient, 0, 0, 0, 0);
    EXPECT_EQ(BoundsOf(strip), Bounds(80, 0, 4, 100));
    column->SetWidth(120);  // dragging the column's edge moves what comes after it
    EXPECT_EQ(BoundsOf(strip), Bounds(120, 0, 4, 100));
    EXPECT_EQ(BoundsOf(page), Bounds(124, 0, 76, 100));
}

TEST_F(ControlsTest, AnchorsFollowTheParentsSize)
{
    TForm* form = MakeForm();
    TWinControl* pinned = Child(form, alNone, 300, 250, 80, 30);
    pinned->SetAnchors({akRight, akBottom});
    TWinControl* stretched = Child(form, alNone, 10, 10, 380, 20);
    stretched->SetAnchors({akLeft, akTop, akRight});
    TWinControl* still = Child(form, alNone, 10, 50, 20, 20);
    form->SetBounds(0, 0, 500, 350);
    EXPECT_EQ(BoundsOf(pinned), Bounds(400, 300, 80, 30));
    EXPECT_EQ(BoundsOf(stretched), Bounds(10, 10, 480, 20));
    EXPECT_EQ(BoundsOf(still), Bounds(10, 50, 20, 20));
}

TEST_F(ControlsTest, FontAndColourFollowTheParentUntilSetOwn)
{
    TForm* form = MakeForm();
    TWinControl* panel = Child(form, alNone, 0, 0, 100, 100);
    auto* edit = new TTestEdit(form);
    edit->SetParent(panel);
    EXPECT_TRUE(edit->ParentFont());
    form->Font()->SetName("Arial");
    form->Font()->SetSize(10);
    EXPECT_EQ(edit->Font()->Name(), "Arial");
    EXPECT_EQ(edit->Font()->Height(), -13);
    edit->Font()->SetStyle({fsItalic});
    EXPECT_FALSE(edit->ParentFont());
    form->Font()->SetName("Courier New");
    EXPECT_EQ(panel->Font()->Name(), "Courier New");
    EXPECT_EQ(edit->Font()->Name(), "Arial");
    edit->SetParentFont(true);
    EXPECT_EQ(edit->Font()->Name(), "Courier New");

    panel->SetParentColor(true);
    form->SetColor(clWhite);
    EXPECT_EQ(panel->Color(), clWhite);
    panel->SetColor(clRed);
    EXPECT_FALSE(panel->ParentColor());
}

TEST_F(ControlsTest, FontSizeAndHeightAt96Dpi)
{
    TFont font;
    EXPECT_EQ(font.Name(), "MS Sans Serif");
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Size(), 8);
    font.SetSize(10);
    EXPECT_EQ(font.Height(), -13);
    font.SetHeight(-16);
    EXPECT_EQ(font.Size(), 12);
    font.SetHeight(-37);
    EXPECT_EQ(font.Size(), 28);
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    font.SetStyle({fsBold, fsUnderline});
    font.SetStyle({fsBold, fsUnderline});  // no change, no event
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(GetPropValue(&font, "Style").AsString(), "[fsBold, fsUnderline]");
    EXPECT_EQ(MulDiv(5, 3, 2), 8);
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xC8D0D4u);
    EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFFu);
}

TEST_F(ControlsTest, FocusMovesTheActiveControlAndFiresEnterAndExit)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    std::vector<std::string> events;
    dlg->edtName->OnEnter = [&](TObject*) { events.push_back("enter name"); };
    dlg->edtName->OnExit = [&](TObject*) { events.push_back("exit name"); };
    dlg->btnOk->OnEnter = [&](TObject*) { events.push_back("enter ok"); };
    EXPECT_THROW(dlg->btnOk->SetFocus(), EInvalidOperation);  // the form is not shown
    dlg->Show();
    dlg->edtName->SetFocus();
    dlg->btnOk->SetFocus();
    EXPECT_TRUE(dlg->btnOk->Focused());
    EXPECT_FALSE(dlg->edtName->Focused());
    EXPECT_EQ(events, (std::vector<std::string>{"enter name", "exit name", "enter ok"}));
    dlg->btnCancel->SetEnabled(false);
    EXPECT_FALSE(dlg->btnCancel->CanFocus());
    CollectFailures();
    EXPECT_THROW(vt::Click(*dlg->btnCancel), vt::ETestScriptError);
    EXPECT_EQ(Collected().size(), 1u);
}

TEST_F(ControlsTest, ParentChangesAndTabOrder)
{
    TForm* form = MakeForm();
    TWinControl* a = Child(form, alNone, 0, 0, 10, 10);
    TWinControl* b = Child(form, alNone, 0, 0, 10, 10);
    TWinControl* c = Child(form, alNone, 0, 0, 10, 10);
    EXPECT_EQ(c->TabOrder(), 2);
    c->SetTabOrder(0);
    EXPECT_EQ(form->TabList(), (std::vector<TWinControl*>{c, a, b}));
    EXPECT_EQ(a->TabOrder(), 1);
    EXPECT_THROW(form->SetParent(a), EInvalidOperation);  // a child cannot hold its own parent
    b->SetParent(a);
    EXPECT_EQ(form->ControlCount(), 2);
    EXPECT_EQ(a->Controls(0), b);
    EXPECT_TRUE(form->ContainsControl(b));
    form->Show();
    EXPECT_NE(b->Peer(), nullptr);  // made when it joined a shown parent
    b->SetParent(nullptr);
    EXPECT_EQ(b->Peer(), nullptr);
    delete b;
}

TEST_F(ControlsTest, FormSavedAsPngHasItsSizeAndContent)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    std::string path = (std::filesystem::temp_directory_path() / "vcl-form-test.png").string();
    std::remove(path.c_str());
    vt::SaveFormAsPng(*main, path);
    TPng png = ReadPng(path);
    ASSERT_EQ(png.Width, main->Width());
    ASSERT_EQ(png.Height, main->Height());
    // The red panel shows at the top of the client area, below the caption; the rest is not red.
    auto pixel = [&](int x, int y) {
        const uint8_t* p = &png.Pixels[(static_cast<size_t>(y) * png.Width + x) * png.Channels];
        return std::make_tuple(int(p[0]), int(p[1]), int(p[2]));
    };
    EXPECT_EQ(pixel(200, 4 + 19 + 35), std::make_tuple(255, 0, 0));
    EXPECT_NE(pixel(200, 4 + 19 + 100), std::make_tuple(255, 0, 0));
    EXPECT_NE(pixel(200, 10), pixel(200, 4 + 19 + 100));
    std::remove(path.c_str());
    EXPECT_THROW(vt::SaveFormAsPng(*main, "/nonexistent-folder/x.png"), rtl::Exception);
}
