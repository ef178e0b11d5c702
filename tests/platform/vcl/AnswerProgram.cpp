// A small program the answer-script tests run as a process: a question box, then a modal frame whose two
// pages are forms made child windows of it (stacked, the front one seen), each with a "Next >" button;
// the last one asks before it finishes. Then a modeless window. What it got goes to stdout.
#include <cstdio>

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"

using namespace vcl;

namespace {

// A page: a child window of the frame that made it, as wizard pages are.
class TPage : public TForm {
public:
    explicit TPage(TCustomForm* frame) : TForm(frame)
    {
        SetBorderStyle(bsNone);
        SetBorderIcons({});
        SetBounds(0, 0, 300, 160);
    }
    void CreateParams(TCreateParams& params) override
    {
        TForm::CreateParams(params);
        params.WndParent = static_cast<TCustomForm*>(Owner())->Handle();
        params.Style = WS_CHILD | WS_CLIPSIBLINGS;
        params.X = 0;
        params.Y = 0;
    }
    TButton* AddButton(const AnsiString& caption, int left)
    {
        auto* button = new TButton(this);
        button->SetParent(this);
        button->SetCaption(caption);
        button->SetBounds(left, 120, 75, 25);
        return button;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    Application->Initialize();
    Application->SetTitle("Answer Test");

    std::printf("question %d\n", Application->MessageBox("Go on?", "Question", MB_YESNO));

    auto* frame = new TForm(Application);
    frame->SetCaption("Setup Wizard");
    frame->SetBounds(0, 0, 320, 200);
    auto* welcome = new TPage(frame);
    welcome->SetCaption("Welcome");
    auto* ready = new TPage(frame);
    ready->SetCaption("Ready");
    TButton* disabled = welcome->AddButton("Skip", 0);
    disabled->SetEnabled(false);
    disabled->OnClick = [](TObject*) { std::printf("the disabled button was clicked\n"); };
    welcome->AddButton("Next >", 160)->OnClick = [&](TObject*) { ready->BringToFront(); };
    ready->AddButton("< Back", 80)->OnClick = [&](TObject*) { welcome->BringToFront(); };
    ready->AddButton("Next >", 160)->OnClick = [&](TObject*) {
        if (Application->MessageBox("Install now?", "Confirm", MB_YESNO) == IDYES)
            frame->SetModalResult(mrOk);
    };
    // Both pages are shown before the frame; the frame puts the first in front as it shows.
    ready->Show();
    welcome->Show();
    ready->BringToFront();
    frame->OnShow = [&](TObject*) { welcome->BringToFront(); };

    std::printf("wizard %d\n", static_cast<int>(frame->ShowModal()));

    auto* done = new TForm(Application);
    done->SetCaption("Finished");
    done->Show();
    Application->ProcessMessages();
    return 0;
}
