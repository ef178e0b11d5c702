#include "installer/engine/InstallObjects.h"

#include <algorithm>
#include <iterator>

#include "installer/engine/Install.h"
#include "installer/engine/InstallRegistry.h"
#include "installer/engine/InstallFiles.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/engine/ShellLinks.h"
#include "installer/engine/StandardSpecifiers.h"
#include "installer/engine/UninstallEXE.h"
#include "installer/support/PathVariables.h"
#include "installer/support/TrwkCompress.h"
#include "installer/support/UninstallLayout.h"
#include "platform/vcl/Forms.h"

using rtl::AnsiString;

namespace {

struct TEngineState {
    TInstallContainerList containers;
    TCustomInstallFileList installFiles;
    TCustomInstallFileList deferredRegistrations;
    std::vector<bool> fileIDs = std::vector<bool>(TTrwkCompress::FileIDSlots, false);
    bool fileIDsInitialised = false;
    AnsiString installKey;
    bool deferRegistration = false;
    vcl::TComponentRef<TCustomInstall> driver;
    std::unique_ptr<TTrwkCompress> compressor;
};

TEngineState& Engine()
{
    static TEngineState* state = new TEngineState;  // components may outlive static destruction order
    return *state;
}

OSSet DefaultOS()
{
    if (WindowsVersion() == osLinux)
        return OSSet{osLinux};
    return OSSet{oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP};
}

bool IsFormOwner(const vcl::TComponent* owner)
{
    return dynamic_cast<const vcl::TCustomForm*>(owner) != nullptr;
}

// The children as they stand, each turning null should it be freed by what the walk calls.
std::vector<vcl::TComponentRef<TInstallContainer>> Guarded(const std::vector<TInstallContainer*>& children)
{
    return {children.begin(), children.end()};
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TInstallContainer

VCL_IMPLEMENT_CLASS(TInstallContainer)

void TInstallContainer::RegisterProperties(vcl::TClassDef<TInstallContainer>& def)
{
    using T = TInstallContainer;
    def.Property("DestDir", &T::DestDir, &T::SetDestDir, AnsiString());
    def.Property("DestDirType", &T::DestDirType, &T::SetDestDirType);
    def.Property("Include", &T::Include, &T::SetInclude, true);
    def.Property("InstallTypes", &T::InstallTypes, &T::SetInstallTypes, TInstallTypes{itFull, itDefault, itCompact});
    def.Property("OS", &T::OS, &T::SetOS);
    def.Property("Uninstall", &T::Uninstall, &T::SetUninstall, true);
    def.Event("OnAfterProcess", &T::OnAfterProcess);
    def.Event("OnBeforeProcess", &T::OnBeforeProcess);
}

TInstallContainer::TInstallContainer(vcl::TComponent* owner) : TComponent(owner), os_(DefaultOS())
{
    if (IsFormOwner(owner))
        CreateStandardSpecifiers(owner, true);
    Engine().containers.Add(this);
}

TInstallContainer::~TInstallContainer()
{
    // Every other container forgets this one: its child list, its Container link. The live list is walked
    // by index, so a container that leaves during the walk is passed over rather than touched.
    TInstallContainerList& all = Engine().containers;
    for (int i = all.Count() - 1; i >= 0; --i) {
        if (i >= all.Count())
            continue;
        TInstallContainer* other = all.Items(i);
        if (other != this)
            other->ContainerRemoved(this);
    }
    children_.clear();
    childrenOfClass_.clear();
    receivers_.reset();
    all.Remove(this);
}

TCustomPathSpecifier* TInstallContainer::DestDirType() const
{
    return destDirType_.get();
}

void TInstallContainer::SetDestDir(const AnsiString& value)
{
    destDir_ = value;
}

void TInstallContainer::SetDestDirType(TCustomPathSpecifier* value)
{
    destDirTypeSet_ = true;
    if (value && !IsLoading())
        value->Validate(this);
    destDirType_ = value;
}

void TInstallContainer::SetInstallTypes(TInstallTypes value)
{
    installTypes_ = value.Empty() ? TInstallTypes{itFull} : value;
}

int TInstallContainer::FileContainerCount() const
{
    return CountOfClass(TFileContainer::StaticClass());
}

TInstallContainer* TInstallContainer::FileContainers(int index) const
{
    if (TInstallContainer* child = ChildOfClass(index, TFileContainer::StaticClass()))
        return child;
    throw IEInstallContainer(Fmt,
                             "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer "
                             "component. The parameters are probably reversed. Index: %d, ComponentType: %d",
                             index, ComponentType());
}

void TInstallContainer::ContainerRemoved(TInstallContainer* container)
{
    // Only install objects are ever children; the pointer alone decides, as the leaving container is
    // already past its own class's destructor.
    RemoveHelperComponent(container);
}

void TInstallContainer::DoStatus(const AnsiString& text)
{
    TMessageParameter parameter;
    parameter.Message = text;
    BroadcastMessage(this, InstallMessage::Status, &parameter);
}

void TInstallContainer::DoInformationEventControl(TComponent*, int, rtl::TObject*) {}

void TInstallContainer::ContainerMessage(TComponent*, int, rtl::TObject*) {}

AnsiString TInstallContainer::GetDestPath()
{
    AnsiString path = destDirType_ ? destDirType_->GetPath(this) + destDir_ : destDir_;
    return RemoveBackslash(path);
}

int TInstallContainer::ComponentType() const
{
    throw IEInstallContainer(AnsiString("Class must declare a registered type"));
}

void TInstallContainer::AddHelperComponent(TInstallContainer* child)
{
    if (!child)
        throw IEInstallContainer(Fmt, "Cannot add a blank base helper component to %s", Name());
    if (child == this)
        throw IEInstallContainer(AnsiString("Circular reference"));
    if (auto* object = dynamic_cast<TInstallObject*>(this)) {
        // The chain is finite: every link was checked when it was made.
        for (TInstallContainer* up = object->Container(); up;) {
            if (up == child)
                throw IEInstallContainer(AnsiString("Circular reference"));
            auto* upObject = dynamic_cast<TInstallObject*>(up);
            up = upObject ? upObject->Container() : nullptr;
        }
    }
    const int code = child->ComponentType();
    auto position = std::find_if(children_.begin(), children_.end(),
                                 [code](TInstallContainer* c) { return c->ComponentType() >= code; });
    if (rtl::SameText(child->ClassName(), "TINSTALLBDE"))
        position = children_.begin();
    children_.insert(position, child);
    childrenOfClass_.clear();
    receivers_.reset();
}

void TInstallContainer::Install()
{
    try {
        if (!os_.Contains(WindowsVersion()))
            include_ = false;
        if (OnBeforeProcess)
            OnBeforeProcess(this);
        BroadcastMessage(this, InstallMessage::BeforeProcess, nullptr);
        if (!include_)
            return;
        BroadcastMessage(this, InstallMessage::Installing, nullptr);
        if (currentInstallType_ != itCustom && !installTypes_.Contains(currentInstallType_))
            return;
        InstallObjects();
        processed_ = true;
        if (TCustomInstall* driver = InstallDriver(); driver && uninstall_)
            WriteUninstallInfo(UninstallKeyOf(driver->Information()->ProductName()));
        if (OnAfterProcess)
            OnAfterProcess(this);
        BroadcastMessage(this, InstallMessage::AfterProcess, nullptr);
    } catch (const rtl::EAbort&) {
        // A silent abort ends this component's step without an error.
    }
}

void TInstallContainer::InstallObjects()
{
    processed_ = true;
    for (TInstallContainer* child : Guarded(children_)) {
        if (child && child->InstallWithContainer())
            child->Install();
    }
}

bool TInstallContainer::IsIncluded() const
{
    return include_ && (currentInstallType_ == itCustom || installTypes_.Contains(currentInstallType_));
}

void TInstallContainer::RemoveHelperComponent(TInstallContainer* child)
{
    if (!child)
        return;
    auto it = std::find(children_.begin(), children_.end(), child);
    if (it == children_.end())
        return;
    children_.erase(it);
    for (auto& [meta, members] : childrenOfClass_) {
        if (auto member = std::find(members.begin(), members.end(), child); member != members.end())
            members.erase(member);
    }
    if (receivers_) {
        if (auto member = std::find(receivers_->begin(), receivers_->end(), child); member != receivers_->end())
            receivers_->erase(member);
    }
}

void TInstallContainer::WriteUninstallInfo(const AnsiString&) {}

void TInstallContainer::BroadcastMessage(TComponent* sender, int code, rtl::TObject* parameter)
{
    if (soleReceiver_) {
        const auto sole = std::find(children_.begin(), children_.end(), soleReceiver_.get());
        if (sole != children_.end())
            (*sole)->ContainerMessage(sender, code, parameter);
        return;
    }
    // Only the receivers that act on it: each of thousands of files in one container tells the container of
    // its progress, which would otherwise pass every report to all its files.
    if (!receivers_) {
        receivers_.emplace();
        std::copy_if(children_.begin(), children_.end(), std::back_inserter(*receivers_),
                     [](TInstallContainer* c) {
                         return c->ComponentType() >= ComponentTypeCode::MessageReceiver && c->TakesMessages();
                     });
    }
    for (TInstallContainer* child : Guarded(*receivers_)) {
        if (child)
            child->ContainerMessage(sender, code, parameter);
    }
}

void TInstallContainer::ClearStatus()
{
    BroadcastMessage(this, InstallMessage::ClearStatus, nullptr);
}

void TInstallContainer::SetCurrentInstallType(TInstallType value)
{
    for (TInstallContainer* child : Guarded(children_)) {
        if (child)
            child->SetCurrentInstallType(value);
    }
    currentInstallType_ = value;
}

TInstallContainer* TInstallContainer::ChildAt(int index) const
{
    if (index < 0 || index >= ChildCount())
        throw IEInstallContainer(Fmt,
                                 "Tried to reference a helper component in the following component: %s. The following "
                                 "index was used: %d",
                                 Name(), index);
    return children_[static_cast<size_t>(index)];
}

const std::vector<TInstallContainer*>& TInstallContainer::ChildrenOfClass(const vcl::TClassMeta& meta) const
{
    for (const auto& [known, members] : childrenOfClass_) {
        if (known == &meta)
            return members;
    }
    std::vector<TInstallContainer*> members;
    std::copy_if(children_.begin(), children_.end(), std::back_inserter(members),
                 [&meta](TInstallContainer* c) { return c->InheritsFrom(meta); });
    return childrenOfClass_.emplace_back(&meta, std::move(members)).second;
}

int TInstallContainer::CountOfClass(const vcl::TClassMeta& meta) const
{
    return static_cast<int>(ChildrenOfClass(meta).size());
}

TInstallContainer* TInstallContainer::ChildOfClass(int index, const vcl::TClassMeta& meta) const
{
    const std::vector<TInstallContainer*>& members = ChildrenOfClass(meta);
    return index >= 0 && static_cast<size_t>(index) < members.size() ? members[static_cast<size_t>(index)] : nullptr;
}

void TInstallContainer::FreeChildrenOfClass(const vcl::TClassMeta& meta)
{
    std::vector<TInstallContainer*> doomed;
    for (TInstallContainer* child : children_) {
        if (child->InheritsFrom(meta))
            doomed.push_back(child);
    }
    // Each one leaves the list itself as it goes.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
        delete *it;
}

void TInstallContainer::Loaded()
{
    inherited::Loaded();
    if (destDirTypeDefaulted_ && !destDirTypeSet_)
        SetDestDirType(nullptr);
    destDirTypeDefaulted_ = false;
}

// ---------------------------------------------------------------------------------------------------------
// TInstallObject

VCL_IMPLEMENT_CLASS(TInstallObject)

void TInstallObject::RegisterProperties(vcl::TClassDef<TInstallObject>& def)
{
    def.Property("Container", &TInstallObject::Container, &TInstallObject::SetContainer);
}

TInstallObject::TInstallObject(vcl::TComponent* owner) : TInstallContainer(owner) {}

void TInstallObject::SetContainer(TInstallContainer* value)
{
    TInstallContainer* old = container_.get();
    if (value == old)
        return;
    if (value)
        value->AddHelperComponent(this);
    if (old)
        old->RemoveHelperComponent(this);
    container_ = value;
    if (IsLoading())
        return;
    if (value) {
        SetDestDirType(&FindSpecifier(TpsContainerDestDir::StaticClass()));
        SetDestDir(AnsiString());
    } else if (dynamic_cast<TpsContainerDestDir*>(DestDirType())) {
        SetDestDirType(nullptr);
    }
}

void TInstallObject::ContainerRemoved(TInstallContainer* container)
{
    inherited::ContainerRemoved(container);
    if (container == container_.get())
        SetContainer(nullptr);
}

void TInstallObject::Install()
{
    if (IsInstalling() && container_ && !container_->Processed())
        return;
    inherited::Install();
}

// ---------------------------------------------------------------------------------------------------------
// Process-wide objects

TInstallContainerList& InstallContainers()
{
    return Engine().containers;
}

TTrwkCompress& SharedCompressor()
{
    TEngineState& e = Engine();
    if (!e.compressor)
        e.compressor = std::make_unique<TTrwkCompress>(nullptr);
    return *e.compressor;
}

TCustomInstallFileList& InstallFiles()
{
    return Engine().installFiles;
}

TCustomInstallFileList& DeferredRegistrations()
{
    return Engine().deferredRegistrations;
}

std::vector<bool>& FileIDTable()
{
    return Engine().fileIDs;
}

bool& FileIDTableInitialised()
{
    return Engine().fileIDsInitialised;
}

AnsiString& InstallKey()
{
    return Engine().installKey;
}

bool& DeferRegistration()
{
    return Engine().deferRegistration;
}

TCustomInstall* InstallDriver()
{
    return Engine().driver.get();
}

namespace {

// "%i" of a path text: the installation's destination folder, while there is an installation.
class TDriverPathSource : public IInstallPathSource {
public:
    rtl::AnsiString GetDestPath() override { return InstallDriver()->GetDestPath(); }
    IInstallPathSource* ContainerPathSource() override { return nullptr; }
};

}  // namespace

void SetInstallDriver(TCustomInstall* driver)
{
    Engine().driver = driver;
    static TDriverPathSource source;
    SetInstallPathSource([]() -> IInstallPathSource* { return InstallDriver() ? &source : nullptr; });
}

bool IsDesigning(const vcl::TComponent* component)
{
    return component && component->ComponentState().Contains(vcl::csDesigning);
}

bool IsInstalling()
{
    TCustomInstall* driver = InstallDriver();
    return driver && driver->Installing();
}

TDistributeType CurrentDistributeType()
{
    TCustomInstall* driver = InstallDriver();
    return driver ? driver->DistributeType() : dtTraditionalNet;
}

void ResetInstallEngine()
{
    TEngineState& e = Engine();
    std::fill(e.fileIDs.begin(), e.fileIDs.end(), false);
    e.fileIDsInitialised = false;
    e.installKey.clear();
    e.deferRegistration = false;
    e.compressor.reset();
}

void RegisterInstallObjectClasses()
{
    RegisterStandardSpecifierClasses();
    vcl::RegisterClasses({&TInstallContainer::StaticClass(), &TInstallObject::StaticClass(),
                          &TCustomInstall::StaticClass(), &TInstall::StaticClass()});
    RegisterFileContainerClasses();
    RegisterInstallFileClasses();
    RegisterInstallRegistryClasses();
    RegisterUninstallEXEClasses();
    RegisterShellLinkClasses();
}
