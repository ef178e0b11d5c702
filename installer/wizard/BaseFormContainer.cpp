#include "installer/wizard/BaseFormContainer.h"

#include "FormResources_installer_wizard.h"

VCL_IMPLEMENT_CLASS(TBaseFormContainer)

void TBaseFormContainer::RegisterProperties(vcl::TClassDef<TBaseFormContainer>& def)
{
    using T = TBaseFormContainer;
    def.Handler("FormCreate", &T::FormCreate);
    def.Handler("FormDestroy", &T::FormDestroy);
    def.Handler("FormClose", &T::FormClose);
    def.Handler("FormResize", &T::FormResize);
    def.Handler("FormShow", &T::FormShow);
    def.Handler("TabsChange", &T::TabsChange);
    def.Handler("TabsChanging", &T::TabsChanging);
}

TBaseFormContainer::TBaseFormContainer(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_installer_wizard();
    vcl::RegisterClass<TBaseFormContainer>();
    LoadForm("BaseFormContainer.frm");
    DisplayPanel = FindChild<vcl::TPanel>("DisplayPanel");
    Tabs = FindChild<vcl::TTabControl>("Tabs");
}

TBaseFormContainer::~TBaseFormContainer()
{
    // The form's own OnDestroy comes after this class is gone, so the frame's step runs here: the page
    // list goes before the pages, which the frame frees as its components.
    FormDestroy(this);
}

TBaseInstallForm* TBaseFormContainer::Pages(int index) const
{
    return pages_->at(static_cast<size_t>(index)).get();
}

void TBaseFormContainer::FormCreate(vcl::TObject*)
{
    Font()->SetCharset(vcl::ANSI_CHARSET);
    sizing_ = true;
    SetHeight(395);
    SetWidth(478);
    sizing_ = false;
    finished_ = false;
}

void TBaseFormContainer::FormDestroy(vcl::TObject*)
{
    pages_.reset();
}

int TBaseFormContainer::BuildPages()
{
    TDialogManager* current = CurrentDialogManager();
    if (!current)
        throw IException("The current dialog manager is not defined");
    pages_ = std::make_unique<std::vector<vcl::TComponentRef<TBaseInstallForm>>>();
    for (int i = 0; i < PageFormCount(); ++i) {
        TBIFEntry* entry = PageFormEntry(i);
        TCustomBaseInstallDlg* dialog = entry->Dialog;
        if (dialog && (dialog->DialogManager() != current || !dialog->CanShow()))
            continue;
        std::unique_ptr<vcl::TComponent> made(entry->FormClass->CreateComponent(this));
        auto* page = dynamic_cast<TBaseInstallForm*>(made.get());
        if (!page || (!dialog && page->DM() != current))
            continue;  // freed here, which also takes it off the frame's components
        made.release();
        page->SetDC(dialog);
        if (dialog) {
            page->SetContainer(dialog->Container());
            page->SetOrder(dialog->Order());
            dialog->SetForm(page);
            dialog->AssignDialogProperties();
        }
        Tabs->Tabs()->Add("");
        page->SetBounds(DisplayPanel->Left(), DisplayPanel->Top(), DisplayPanel->Width(), DisplayPanel->Height());
        page->TranslateForm();
        page->Show();
        pages_->emplace_back(page);
    }
    SortPages();
    return PageCount();
}

void TBaseFormContainer::SortPages()
{
    // An exchange sort: equal Orders are never swapped with each other, yet the order is not stable.
    auto& list = *pages_;
    for (size_t i = 0; i < list.size(); ++i) {
        for (size_t j = i + 1; j < list.size(); ++j) {
            if (list[j]->Order() < list[i]->Order()) {
                vcl::TComponentRef<TBaseInstallForm> held = list[i];
                list[i] = list[j];
                list[j] = held;
            }
        }
    }
}

bool TBaseFormContainer::ShowPage(int index, TDirection direction)
{
    if (index < 0 || index >= PageCount())
        return false;
    TBaseInstallForm* page = Pages(index);
    if (page->SkipPage())
        return direction == Backward ? ShowPage(index - 1, Backward) : ShowPage(index + 1, Forward);
    Tabs->SetTabIndex(index);
    SetCaption(page->Caption());
    page->ActivatePage();
    return true;
}

void TBaseFormContainer::NextPage()
{
    const int shown = Tabs->TabIndex();
    if (!ShowPage(shown + 1, Forward))
        ShowPage(shown + 1, Backward);
    if (Tabs->TabIndex() != shown)
        return;
    finished_ = true;
    SetModalResult(vcl::mrOk);
    // A modal frame closes by its result; Close would turn that into Cancel.
    if (!Modal())
        Close();
}

void TBaseFormContainer::PreviousPage()
{
    const int shown = Tabs->TabIndex();
    if (!ShowPage(shown - 1, Backward))
        ShowPage(shown - 1, Forward);
}

void TBaseFormContainer::SetDialogPosition(int position, int dx, int dy)
{
    vcl::TPoint origin = DialogPositionOrigin(position, dx, dy, Width(), Height(), false, {Left(), Top()});
    SetBounds(origin.X, origin.Y, Width(), Height());
}

void TBaseFormContainer::FormShow(vcl::TObject*)
{
    if (!ShowPage(0, Backward) && !ShowPage(0, Forward)) {
        // Every page skips itself: nothing to show and no button to press, so the wizard is done.
        finished_ = true;
        SetModalResult(vcl::mrOk);
    }
    BringToFront();
}

void TBaseFormContainer::TabsChange(vcl::TObject*)
{
    const int selected = Tabs->TabIndex();
    if (!ShowPage(selected, Backward))
        ShowPage(selected, Forward);
}

void TBaseFormContainer::TabsChanging(vcl::TObject*, bool&)
{
    const int selected = Tabs->TabIndex();
    if (selected >= 0 && selected < PageCount())
        Pages(selected)->PageLeaving();
}

void TBaseFormContainer::FormClose(vcl::TObject*, vcl::TCloseAction& Action)
{
    if (!finished_ && ModalResult() != vcl::mrAbort)
        Action = vcl::caNone;
}

void TBaseFormContainer::FormResize(vcl::TObject*)
{
    if (sizing_ || !pages_)
        return;
    // The size has changed before the panel follows it; lay it out first.
    Realign();
    for (auto& page : *pages_) {
        if (!page)
            continue;
        page->SetBounds(DisplayPanel->Left(), DisplayPanel->Top(), DisplayPanel->Width(), DisplayPanel->Height());
        page->Repaint();
    }
}
