#include "installer/wizard/DialogManager.h"

#include <algorithm>

#include "installer/engine/InstallFiles.h"
#include "installer/engine/Install.h"
#include "installer/wizard/BaseFormContainer.h"
#include "installer/wizard/BaseForms.h"
#include "platform/vcl/Forms.h"

using rtl::AnsiString;

namespace {

struct TRegistrations {
    std::unique_ptr<std::vector<std::unique_ptr<TBIFEntry>>> pages;   // TBIFList
    std::unique_ptr<std::vector<std::unique_ptr<TDCFEntry>>> copies;  // TDCFList
    std::unique_ptr<std::vector<std::unique_ptr<TBIFEntry>>> others;  // TUIFList: nothing fills it
    std::unique_ptr<std::vector<std::unique_ptr<TCDFEntry>>> changeDisks;
};

TRegistrations& Registrations()
{
    static TRegistrations lists;
    return lists;
}

template <class E>
void EnsureList(std::unique_ptr<std::vector<std::unique_ptr<E>>>& list)
{
    if (!list)
        list = std::make_unique<std::vector<std::unique_ptr<E>>>();
}

template <class E>
E* AddEntry(std::unique_ptr<std::vector<std::unique_ptr<E>>>& list, const vcl::TClassMeta* formClass,
            TCustomBaseInstallDlg* dialog)
{
    EnsureList(list);
    list->push_back(std::make_unique<E>(E{formClass, dialog}));
    return list->back().get();
}

template <class E>
int CountOf(const std::unique_ptr<std::vector<std::unique_ptr<E>>>& list)
{
    return list ? static_cast<int>(list->size()) : 0;
}

template <class E>
void RemoveEntry(std::vector<std::unique_ptr<E>>* list, E* entry)
{
    if (!list || !entry)
        return;
    auto it = std::find_if(list->begin(), list->end(), [entry](const auto& e) { return e.get() == entry; });
    if (it != list->end())
        list->erase(it);
}

vcl::TComponentRef<TDialogManager>& CurrentManagerRef()
{
    static vcl::TComponentRef<TDialogManager> current;
    return current;
}

// Clears the current manager on every way out.
struct TCurrentManagerScope {
    explicit TCurrentManagerScope(TDialogManager* manager) { CurrentManagerRef() = manager; }
    ~TCurrentManagerScope() { CurrentManagerRef() = nullptr; }
    TCurrentManagerScope(const TCurrentManagerScope&) = delete;
    TCurrentManagerScope& operator=(const TCurrentManagerScope&) = delete;
};

}  // namespace

vcl::TPoint DialogPositionOrigin(int position, int dx, int dy, int width, int height, bool roundCentre,
                                 vcl::TPoint current)
{
    const int sw = vcl::Screen->Width();
    const int sh = vcl::Screen->Height();
    const int caption = vcl::GetSystemMetrics(vcl::SM_CYCAPTION);
    // Single precision, as the layouts were computed.
    const float cxExact = static_cast<float>(sw) / 2.0f - static_cast<float>(width) / 2.0f;
    const float cyExact = static_cast<float>(sh) / 2.0f - static_cast<float>(height) / 2.0f;
    const int cx = static_cast<int>(roundCentre ? rtl::Round(cxExact) : rtl::Trunc(cxExact));
    const int cy = static_cast<int>(roundCentre ? rtl::Round(cyExact) : rtl::Trunc(cyExact));
    const int right = sw - width - dx;
    const int bottom = sh - caption - height - dy;
    switch (position) {
    case tdpCenterLeft: return {dx, cy + dy};
    case tdpCenter: return {cx + dx, cy + dy};
    case tdpCenterRight: return {right, cy + dy};
    case tdpBottomLeft: return {dx, bottom};
    case tdpBottomCenter: return {cx + dx, bottom};
    case tdpBottomRight: return {right, bottom};
    case tdpTopLeft: return {dx, dy};
    case tdpTopCenter: return {cx + dx, dy};
    case tdpTopRight: return {right, dy};
    default: return current;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Registration lists

void InitializeDialogRegistrations()
{
    TRegistrations& r = Registrations();
    EnsureList(r.pages);
    EnsureList(r.copies);
    EnsureList(r.others);
}

void FinalizeDialogRegistrations()
{
    TRegistrations& r = Registrations();
    r.pages.reset();
    r.copies.reset();
    r.others.reset();
}

TBIFEntry* RegisterPageForm(const vcl::TClassMeta* formClass, TCustomBaseInstallDlg* dialog)
{
    return AddEntry(Registrations().pages, formClass, dialog);
}

int PageFormCount()
{
    return CountOf(Registrations().pages);
}

TBIFEntry* PageFormEntry(int index)
{
    const auto& list = Registrations().pages;
    if (!list)
        throw IException("The BIFList is NIL");
    if (index < 0 || index >= static_cast<int>(list->size()))
        throw IException(Fmt, "%d is an invalid index in the BIFList", index);
    TBIFEntry* entry = (*list)[static_cast<size_t>(index)].get();
    if (!entry)
        throw IException(Fmt, "The %d 'th entry in the BIFList is NIL", index);
    return entry;
}

void UnregisterPageForm(TBIFEntry* entry)
{
    RemoveEntry(Registrations().pages.get(), entry);
}

TDCFEntry* RegisterDuringCopyForm(const vcl::TClassMeta* formClass, TCustomBaseInstallDlg* dialog)
{
    return AddEntry(Registrations().copies, formClass, dialog);
}

int DuringCopyFormCount()
{
    return CountOf(Registrations().copies);
}

TDCFEntry* DuringCopyFormEntry(int index)
{
    return Registrations().copies->at(static_cast<size_t>(index)).get();
}

void UnregisterDuringCopyForm(TDCFEntry* entry)
{
    RemoveEntry(Registrations().copies.get(), entry);
}

TCDFEntry* RegisterChangeDiskForm(const vcl::TClassMeta* formClass)
{
    return AddEntry(Registrations().changeDisks, formClass, nullptr);
}

int ChangeDiskFormCount()
{
    return CountOf(Registrations().changeDisks);
}

void UnregisterChangeDiskForm(TCDFEntry* entry)
{
    RemoveEntry(Registrations().changeDisks.get(), entry);
}

TDialogManager* FindDialogManager(TManagerType type)
{
    TCustomInstall* driver = InstallDriver();
    const TInstallContainerList& all = InstallContainers();
    for (int i = 0; i < all.Count(); ++i) {
        auto* manager = dynamic_cast<TDialogManager*>(all.Items(i));
        if (manager && manager->ManagerType() == type && manager->Container() == driver && driver)
            return manager;
    }
    return nullptr;
}

TDialogManager* CurrentDialogManager()
{
    return CurrentManagerRef().get();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TCustomBaseInstallDlg)

void TCustomBaseInstallDlg::RegisterProperties(vcl::TClassDef<TCustomBaseInstallDlg>&) {}

TCustomBaseInstallDlg::TCustomBaseInstallDlg(vcl::TComponent* owner)
    : TInstallObject(owner), themeBitmap_(std::make_unique<vcl::TPicture>())
{
    SetInstallWithContainer(false);
    SetInstallTypes({itFull, itDefault, itCompact, itCustom});
    if (IsDesigning(this) && InstallDriver())
        SetContainer(InstallDriver());
    SetOrder(0);
}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg()
{
    // Leave the manager's list while this object is still whole.
    if (TDialogManager* manager = DialogManager())
        manager->RemoveDialog(this);
}

vcl::TCustomForm* TCustomBaseInstallDlg::Form() const
{
    return form_.get();
}

void TCustomBaseInstallDlg::SetForm(vcl::TCustomForm* value)
{
    form_ = value;
}

TDialogManager* TCustomBaseInstallDlg::DialogManager() const
{
    return static_cast<TDialogManager*>(dialogManager_.get());
}

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* value)
{
    TDialogManager* old = DialogManager();
    if (value == old)
        return;
    if (value)
        value->AddDialog(this);
    if (old)
        old->RemoveDialog(this);
    dialogManager_ = value;
}

void TCustomBaseInstallDlg::SetDialogManagerDirectly(TDialogManager* value)
{
    dialogManager_ = value;
}

void TCustomBaseInstallDlg::SetThemeBitmap(const vcl::TPicture* value)
{
    themeBitmap_->Assign(value);
}

void TCustomBaseInstallDlg::ApplyThemeBitmap(vcl::TPicture* target) const
{
    if (!target)
        return;
    // A dialog without a picture of its own shows the installation's.
    if (themeBitmap_->Empty()) {
        if (TCustomInstall* driver = InstallDriver())
            target->Assign(driver->DialogThemeBitmap());
        return;
    }
    target->Assign(themeBitmap_.get());
}

void TCustomBaseInstallDlg::Translate()
{
    if (vcl::TCustomForm* form = form_.get())
        formLanguage_ = TranslateFormWith(form, autoSetFont_, autoTranslate_, overrideMainTranslator_,
                                          translateIntoLanguage_, formLanguage_);
}

void TCustomBaseInstallDlg::AssignDialogProperties()
{
    vcl::TCustomForm* form = form_.get();
    if (!form)
        throw IException(Fmt, "Cannot AssignDialogProperties for %s because the Dialog is Nil", Name());
    if (auto* base = dynamic_cast<TBaseTarnwickForm*>(form)) {
        base->SetAutoSetFont(autoSetFont_);
        base->SetAutoTranslate(autoTranslate_);
        base->SetContainer(Container());
        base->SetOverrideMainTranslator(overrideMainTranslator_);
        base->SetTranslateIntoLanguage(translateIntoLanguage_);
    }
    if (auto* page = dynamic_cast<TBaseInstallForm*>(form))
        page->SetDC(this);
    Translate();
}

bool TCustomBaseInstallDlg::ShowDialog()
{
    if (!CanShow())
        return true;
    vcl::TComponent* made = DialogClass().CreateComponent(vcl::Application);
    std::unique_ptr<vcl::TCustomForm> form(dynamic_cast<vcl::TCustomForm*>(made));
    if (!form) {
        delete made;
        throw IException(Fmt, "Cannot AssignDialogProperties for %s because the Dialog is Nil", Name());
    }
    form_ = form.get();
    vcl::TModalResult result = vcl::mrNone;
    try {
        AssignDialogProperties();
        result = form->ShowModal();
    } catch (...) {
        form.reset();
        form_ = nullptr;
        throw;
    }
    form.reset();
    form_ = nullptr;
    if (result != vcl::mrOk)
        throw EAIUserAbort();
    return true;
}

bool TCustomBaseInstallDlg::Execute()
{
    bool result = false;
    bool shown = false;
    try {
        if (OnBeforeExecute)
            OnBeforeExecute(this);
        result = ShowDialog();
        shown = true;
        vcl::Application->ProcessMessages();
        if (OnAfterExecute)
            OnAfterExecute(this);
    } catch (const rtl::EAbort&) {
        return shown ? result : false;
    }
    return result;
}

void TCustomBaseInstallDlg::ExecuteStandAlone(int code, int standAloneCode)
{
    if (!dialogManager_ && code == standAloneCode)
        Execute();
}

int TCustomBaseInstallDlg::ComponentType() const
{
    return ComponentTypeCode::Dialog;
}

void TCustomBaseInstallDlg::ContainerRemoved(TInstallContainer* container)
{
    TInstallObject::ContainerRemoved(container);
    if (container && container == dialogManager_.get())
        dialogManager_ = nullptr;
}

void TBaseInstallDlg::RegisterProperties(vcl::TClassDef<TBaseInstallDlg>& def)
{
    using T = TBaseInstallDlg;
    def.Property("AutoSetFont", &T::AutoSetFont, &T::SetAutoSetFont, true);
    def.Property("AutoTranslate", &T::AutoTranslate, &T::SetAutoTranslate, true);
    def.Property("DialogManager", &T::DialogManager, &T::SetDialogManager);
    def.Property("Order", &T::Order, &T::SetOrder);
    def.Property("OverrideMainTranslator", &T::OverrideMainTranslator, &T::SetOverrideMainTranslator, false);
    def.Property("ThemeBitmap", &T::ThemeBitmap, &T::SetThemeBitmap);
    def.Property("TranslateIntoLanguage", &T::TranslateIntoLanguage, &T::SetTranslateIntoLanguage, tlUser);
    def.Event("OnAfterExecute", &T::OnAfterExecute);
    def.Event("OnBeforeExecute", &T::OnBeforeExecute);
}

VCL_IMPLEMENT_CLASS(TBaseInstallDlg)

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TDialogManager)

void TDialogManager::RegisterProperties(vcl::TClassDef<TDialogManager>& def)
{
    using T = TDialogManager;
    def.Property("Height", &T::Height, &T::SetHeight, 395);
    def.Property("ManagerType", &T::ManagerType, &T::SetManagerType, dmBeforeInstall);
    def.Property("Position", &T::Position, &T::SetPosition, tdpCenter);
    def.Property("RelativeLeftOffset", &T::RelativeLeftOffset, &T::SetRelativeLeftOffset, 0);
    def.Property("RelativeTopOffset", &T::RelativeTopOffset, &T::SetRelativeTopOffset, 0);
    def.Property("Width", &T::Width, &T::SetWidth, 478);
}

TDialogManager::TDialogManager(vcl::TComponent* owner) : TInstallObject(owner)
{
    SetInstallWithContainer(false);
}

TDialogManager::~TDialogManager() = default;

TBaseDuringCopyForm* TDialogManager::DuringCopyForms(int index) const
{
    return duringCopyForms_.at(static_cast<size_t>(index)).get();
}

int TDialogManager::ComponentType() const
{
    return ComponentTypeCode::Dialog;
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg* dialog)
{
    if (!dialog)
        throw IException(Fmt, "Cannot add a NIL Dialog to the Dialog Manager %s", Name());
    dialogs_.push_back({dialog, dialog});
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* dialog)
{
    if (!dialog)
        return;
    auto it = std::find_if(dialogs_.begin(), dialogs_.end(), [dialog](const TDialogEntry& e) { return e.Dialog == dialog; });
    if (it != dialogs_.end())
        dialogs_.erase(it);
}

void TDialogManager::ContainerRemoved(TInstallContainer* container)
{
    TInstallObject::ContainerRemoved(container);
    // The leaving component is past its own destructor: only the address kept when it joined is compared.
    auto it = std::find_if(dialogs_.begin(), dialogs_.end(),
                           [container](const TDialogEntry& e) { return e.AsContainer == container; });
    if (it != dialogs_.end())
        dialogs_.erase(it);
}

void TDialogManager::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    TInstallObject::ContainerMessage(sender, code, parameter);
    switch (code) {
    case InstallMessage::BeforeInstall:
        if (managerType_ == dmBeforeInstall)
            ExecuteWizard();
        break;
    case InstallMessage::AfterGoodInstall:
        if (managerType_ == dmAfterGoodInstall)
            ExecuteWizard();
        break;
    case InstallMessage::AfterBadInstall:
        if (managerType_ == dmAfterBadInstall)
            ExecuteWizard();
        break;
    case InstallMessage::BeforeReboot:
        if (managerType_ == dmReboot)
            ExecuteWizard();
        break;
    case InstallMessage::FileStatus:
        if (managerType_ == dmDuringCopyFiles) {
            if (!parameter)
                throw IException(Fmt, "%s got a nil PO parameter", Name());
            auto* status = dynamic_cast<TFileStatusParameter*>(parameter);
            if (!status)
                throw IException(Fmt, "The PO object passed to %s is not a TFileStatusParameter object",
                                 Name());
            UpdateDuringCopyForms(status, nullptr);
        }
        break;
    case InstallMessage::DownloadStatus:
        if (managerType_ == dmDuringCopyFiles) {
            if (!parameter)
                throw IException(Fmt, "%s got a nil PO parameter", Name());
            auto* status = dynamic_cast<TDownloadStatusParameter*>(parameter);
            if (!status)
                throw IException(Fmt,
                                 "The PO object passed to %s is not a TDownloadStatusParameter object", Name());
            UpdateDuringCopyForms(nullptr, status);
        }
        break;
    case InstallMessage::PassDone:
        if (managerType_ == dmDuringCopyFiles)
            CloseDuringCopyForms();
        break;
    case InstallMessage::ChangeDisk:
        if (managerType_ == dmChangeDisk)
            ShowChangeDisk(parameter);
        break;
    default:
        break;
    }
}

void TDialogManager::ExecuteWizard()
{
    TCurrentManagerScope current(this);
    std::unique_ptr<TBaseFormContainer> frame(new TBaseFormContainer(vcl::Application));
    frame->SetPosition(vcl::poDesigned);
    frame->SetHeight(height_);
    frame->SetWidth(width_);
    frame->SetDialogPosition(position_, relativeLeftOffset_, relativeTopOffset_);
    if (frame->BuildPages() == 0)
        return;
    if (frame->ShowModal() == vcl::mrAbort)
        throw EAIUserAbort();
    if (vcl::TCustomForm* main = vcl::Application->MainForm())
        main->Repaint();
    vcl::Application->ProcessMessages();
}

void TDialogManager::ShowChangeDisk(rtl::TObject* parameter)
{
    // The setup registers no change-disk form, so in this system the message shows nothing.
    if (ChangeDiskFormCount() == 0)
        return;
    TCurrentManagerScope current(this);
    std::unique_ptr<vcl::TComponent> made(
        Registrations().changeDisks->front()->FormClass->CreateComponent(vcl::Application));
    auto* form = dynamic_cast<TBaseChangeDiskForm*>(made.get());
    if (!form || form->DM() != this)
        return;
    if (!parameter)
        throw IException(AnsiString("The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
    auto* list = dynamic_cast<TParameterPair*>(parameter);
    if (!list)
        throw IException(AnsiString("TChangeDiskDlg--PO is not a TList object"));
    if (!list->First || !list->Second)
        throw IException(AnsiString("TChangeDiskDlg--Not engouh parameters for status event"));
    auto* file = dynamic_cast<TCustomInstallFile*>(list->First);
    if (!file)
        throw rtl::Exception("TChangeDiskDlg says bad first parameter");
    auto* disk = dynamic_cast<TDiskParameter*>(list->Second);
    if (!disk)
        throw rtl::Exception("TChangeDiskDlg says bad second parameter");
    file->SetTag(1);
    form->SetDC(disk);
    form->RefreshPage();
    form->TranslateForm();
    if (form->ShowModal() == vcl::mrAbort)
        throw EAIUserAbort();
}

void TDialogManager::UpdateDuringCopyForms(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus)
{
    if (duringCopyForms_.empty()) {
        for (int i = 0; i < ::DuringCopyFormCount(); ++i) {
            TDCFEntry* entry = DuringCopyFormEntry(i);
            vcl::TComponent* made = entry->FormClass->CreateComponent(vcl::Application);
            auto* form = dynamic_cast<TBaseDuringCopyForm*>(made);
            if (!form || form->DM() != this) {
                delete made;
                continue;
            }
            if (TCustomBaseInstallDlg* dialog = entry->Dialog) {
                dialog->SetForm(form);
                vcl::TPoint origin = DialogPositionOrigin(dialog->Position(), dialog->RelativeLeftOffset(),
                                                          dialog->RelativeTopOffset(), dialog->Width(),
                                                          dialog->Height(), true, {form->Left(), form->Top()});
                form->SetBounds(origin.X, origin.Y, dialog->Width(), dialog->Height());
            }
            form->RefreshPage();
            form->TranslateForm();
            form->Show();
            duringCopyForms_.emplace_back(form);
        }
    }
    for (auto& form : duringCopyForms_) {
        if (form)
            form->UpdateProgress(fileStatus, downloadStatus);
    }
}

void TDialogManager::CloseDuringCopyForms()
{
    for (auto& form : duringCopyForms_) {
        if (form)
            form->Close();
    }
    duringCopyForms_.clear();
}

void RegisterDialogManagerClasses()
{
    RegisterBaseFormClasses();
    vcl::RegisterClasses({&TBaseInstallDlg::StaticClass(), &TDialogManager::StaticClass(),
                          &TBaseFormContainer::StaticClass()});
}
