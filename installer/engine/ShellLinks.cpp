#include "installer/engine/ShellLinks.h"

#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/engine/UninstallEXE.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/PathVariables.h"
#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/rtl/Encoding.h"
#include "platform/rtl/IniFiles.h"
#include "platform/vcl/Forms.h"
#include "platform/win/ShellLink.h"

using rtl::AnsiString;

namespace {

struct TShellLinkState {
    vcl::TComponentRef<TMainLinkGroup> mainGroup;
    TShellLinkGroupList groups;
    TInstallShellLinkList links;
};

TShellLinkState& State()
{
    static TShellLinkState* state = new TShellLinkState;  // components may outlive static destruction order
    return *state;
}

// Characters a file name cannot hold become "_"; ":" and "\" stay, for a drive and folders the author gave.
AnsiString ReplaceNameCharacters(const AnsiString& name)
{
    AnsiString result = name;
    for (char& c : result) {
        switch (c) {
        case '"': case '*': case '/': case '<': case '>': case '?': case '|':
            c = '_';
            break;
        default:
            break;
        }
    }
    return result;
}

AnsiString UpperExtension(const AnsiString& name)
{
    return rtl::UpperCase(rtl::ExtractFileExt(name));
}

// What ExpandPath asks for %a and %c, over any container of the tree.
class TContainerPathSource : public IInstallPathSource {
public:
    explicit TContainerPathSource(TInstallContainer* container) : container_(container) {}
    AnsiString GetDestPath() override { return container_->GetDestPath(); }
    IInstallPathSource* ContainerPathSource() override
    {
        auto* object = dynamic_cast<TInstallObject*>(container_);
        if (!object || !object->Container())
            return nullptr;
        parent_ = std::make_unique<TContainerPathSource>(object->Container());
        return parent_.get();
    }

private:
    TInstallContainer* container_;
    std::unique_ptr<TContainerPathSource> parent_;
};

// A COM interface released when it goes out of scope.
template <class I>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    ~TComPtr()
    {
        if (p_)
            p_->Release();
    }
    void** Out() { return reinterpret_cast<void**>(&p_); }
    I* operator->() const { return p_; }

private:
    I* p_ = nullptr;
};

bool IsFormOrModule(vcl::TComponent* owner)
{
    return dynamic_cast<vcl::TCustomForm*>(owner) != nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Groups

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomShellLinkGroup)

TCustomShellLinkGroup::TCustomShellLinkGroup(vcl::TComponent* owner) : TInstallObject(owner)
{
    SetInstallWithContainer(false);
    SetInclude(true);
}

int TCustomShellLinkGroup::ComponentType() const
{
    return ComponentTypeCode::ShellLinkGroup;
}

void TCustomShellLinkGroup::ContainerRemoved(TInstallContainer* container)
{
    if (container && container == Container()) {
        SetContainer(nullptr);
        delete this;
        return;
    }
    inherited::ContainerRemoved(container);
}

void TCustomShellLinkGroup::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    inherited::ContainerMessage(sender, code, parameter);
    if (code == InstallMessage::InstallShellLinkGroup)
        Install();
}

void TCustomShellLinkGroup::InstallObjects()
{
    // The stand-alone folder dialog may still change the folder.
    BroadcastMessage(this, InstallMessage::LinkGroupInstalls, nullptr);
    CreateFolderAndParents(GetDestPath());
    inherited::InstallObjects();
}

VCL_IMPLEMENT_CLASS(TMainLinkGroup)

void TMainLinkGroup::RegisterProperties(vcl::TClassDef<TMainLinkGroup>&) {}

TMainLinkGroup::TMainLinkGroup(vcl::TComponent* owner) : TCustomShellLinkGroup(owner)
{
    if (State().mainGroup)
        throw IEShellLinkGroup(AnsiString("You can only have one TMainLinkGroup component in your project"));
    TInstallContainer::SetDestDirType(&FindSpecifier(TpsProgramMenu::StaticClass()));
    TCustomInstall* driver = InstallDriver();
    SetDestDir(driver ? "\\" + driver->Information()->ProductName() : AnsiString("\\MainFolderName"));
    State().mainGroup = this;
}

TMainLinkGroup::~TMainLinkGroup()
{
    if (State().mainGroup.get() == this)
        State().mainGroup = nullptr;
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier*) {}

VCL_IMPLEMENT_CLASS(TSubLinkGroup)

void TSubLinkGroup::RegisterProperties(vcl::TClassDef<TSubLinkGroup>&) {}

TSubLinkGroup::TSubLinkGroup(vcl::TComponent* owner) : TCustomShellLinkGroup(owner)
{
    TMainLinkGroup* main = MainLinkGroup();
    if (!main)
        throw IEShellLinkGroup(
            AnsiString("To create a TInstallMainLink you must first have a TMainLinkGroup component in your project"));
    SetContainer(main);
    TInstallContainer::SetDestDirType(&FindSpecifier(TpsContainerDestDir::StaticClass()));
    SetDestDir("\\ASubGroup");
    State().groups.Add(this);
}

TSubLinkGroup::~TSubLinkGroup()
{
    State().groups.Remove(this);
}

void TSubLinkGroup::SetContainer(TInstallContainer* value)
{
    if (value && value != MainLinkGroup())
        throw IEInstallShellLink(AnsiString(
            "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components"));
    inherited::SetContainer(value);
}

void TSubLinkGroup::SetDestDirType(TCustomPathSpecifier*) {}

// ---------------------------------------------------------------------------------------------------------
// Links

VCL_IMPLEMENT_CLASS(TCustomInstallShellLink)

void TCustomInstallShellLink::RegisterProperties(vcl::TClassDef<TCustomInstallShellLink>& def)
{
    using T = TCustomInstallShellLink;
    def.Property("HotKey", &T::HotKey, &T::SetHotKey, uint16_t{0});
    def.Property("LinkName", &T::LinkName, &T::SetLinkName, AnsiString());
    def.Property("Method", &T::Method, &T::SetMethod, mtAutoDetect);
    def.Property("ObjectLink", &T::ObjectLink, &T::SetObjectLink);
    def.Property("ObjectLocation", &T::ObjectLocation, &T::SetObjectLocation, AnsiString());
    def.Property("ObjectLocationType", &T::ObjectLocationType, &T::SetObjectLocationType);
    def.Property("Parameters", &T::Parameters, &T::SetParameters, AnsiString());
}

TCustomInstallShellLink::TCustomInstallShellLink(vcl::TComponent* owner) : TInstallObject(owner)
{
    SetInstallWithContainer(false);
    SetInclude(true);
    if (IsFormOrModule(owner))
        RegisterStandardSpecifier(TpsObjectLink::StaticClass(), owner, true);
    State().links.Add(this);
}

TCustomInstallShellLink::~TCustomInstallShellLink()
{
    State().links.Remove(this);
}

int TCustomInstallShellLink::ComponentType() const
{
    return ComponentTypeCode::ShellLink;
}

void TCustomInstallShellLink::SetLinkName(const AnsiString& value)
{
    const AnsiString oldExtension = UpperExtension(linkName_);
    linkName_ = ReplaceNameCharacters(value);
    if (IsLoading() || rtl::Trim(linkName_).empty())
        return;
    const AnsiString extension = UpperExtension(linkName_);
    if (extension == ".URL")
        objectLink_ = nullptr;
    else if (extension != ".LNK")
        linkName_ = rtl::ChangeFileExt(linkName_, oldExtension.empty() ? AnsiString(".LNK") : oldExtension);
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* value)
{
    if (IsLoading()) {
        objectLink_ = value;
        return;
    }
    if (!value) {
        objectLink_ = nullptr;
        objectLocationType_ = nullptr;
        return;
    }
    objectLocationType_ = &FindSpecifier(TpsObjectLink::StaticClass());
    objectLocation_.clear();
    AnsiString name;
    if (auto* file = dynamic_cast<TCustomInstallFile*>(value))
        name = rtl::ChangeFileExt(file->DestName(), ".lnk");
    else if (auto* directory = dynamic_cast<TInstallDirectory*>(value))
        name = directory->Description() + ".lnk";
    else
        name = value->Name() + ".lnk";
    // A description may hold a "/", which must not make a folder.
    linkName_ = ReplaceNameCharacters(name);
    if (!Container())
        SetContainer(value);
    objectLink_ = value;
}

void TCustomInstallShellLink::SetObjectLocation(const AnsiString& value)
{
    objectLocation_ = value;
    if (dynamic_cast<TpsObjectLink*>(objectLocationType_.get()))
        objectLocation_.clear();
    if (IsLoading())
        return;
    const AnsiString name = rtl::UpperCase(rtl::Trim(linkName_));
    if (!name.empty() && name != ".LNK")
        return;
    const AnsiString upper = rtl::UpperCase(objectLocation_);
    for (const char* scheme : {"HTTP://", "FTP://"}) {
        const size_t at = upper.find(scheme);
        if (at != AnsiString::npos) {
            // The address's slashes would otherwise make folders of the name.
            linkName_ = ReplaceNameCharacters(objectLocation_.substr(at + std::string(scheme).size()) + ".URL");
            return;
        }
    }
    SetLinkName(rtl::ChangeFileExt(rtl::ExtractFileName(objectLocation_), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier* value)
{
    if (!IsLoading() && value) {
        value->Validate(this);
        if (dynamic_cast<TpsObjectLink*>(value))
            objectLocation_.clear();
    }
    objectLocationType_ = value;
}

void TCustomInstallShellLink::GetObjectPath(AnsiString& path)
{
    if (objectLocationType_)
        path = objectLocationType_->GetPath(this) + objectLocation_;
    else
        path = RemoveBackslash(objectLocation_);
}

AnsiString TCustomInstallShellLink::GetLinkPath()
{
    return AddBackslash(GetDestPath()) + linkName_;
}

bool TCustomInstallShellLink::IsURL() const
{
    return UpperExtension(linkName_) == ".URL";
}

void TCustomInstallShellLink::InitShellLinkCOM()
{
    if (comReady_)
        return;
    const win::HRESULT result = win::CoInitialize(nullptr);
    if (result != win::S_OK && result != win::S_FALSE)
        throw IEInstallShellLink(Fmt, "Could not initialize IShellLink with following error code returned: %d",
                                 static_cast<int>(result));
    comReady_ = true;
}

void TCustomInstallShellLink::ContainerRemoved(TInstallContainer* container)
{
    if (container && container == objectLink_.get()) {
        SetObjectLink(nullptr);
        delete this;
        return;
    }
    if (container && container == Container()) {
        SetContainer(nullptr);
        delete this;
        return;
    }
    inherited::ContainerRemoved(container);
}

void TCustomInstallShellLink::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    inherited::ContainerMessage(sender, code, parameter);
    if (code == InstallMessage::InstallShellLink)
        Install();
}

void TCustomInstallShellLink::InstallObjects()
{
    created_ = false;
    if (rtl::Trim(linkName_).empty())
        throw IEInstallShellLink(Fmt, "The LinkName is blank for %s and therefore could not be installed", Name());
    if (TInstallContainer* object = objectLink_.get()) {
        // Only what this run installed gets a shortcut.
        if (!object->Processed())
            return;
        if (dynamic_cast<TUninstallEXE*>(object)) {
            TCustomInstall* driver = InstallDriver();
            if (!driver)
                throw IEInstallShellLink(Fmt, "%s cannot perform operation because there is no TInstall component",
                                         Name());
            // The uninstaller is started with the product name.
            parameters_ = driver->Information()->ProductName();
        } else if (dynamic_cast<TCustomShellLinkGroup*>(object)) {
            CreateFolderAndParents(object->GetDestPath());
        }
    }
    if (IsURL()) {
        CreateInternetShortcut();
    } else if (method_ == mtShellLinkInterface) {
        CreateShellLink();
    } else {
        switch (WindowsVersion()) {
        case oswin95: case oswinNT: case oswin98: case oswinME:
            CreateShellLink();
            break;
        case oswin2K: case oswinXP:
            if (hardLink_)
                CreateHardLink();
            else
                CreateShellLink();
            break;
        default:
            return inherited::InstallObjects();
        }
    }
    created_ = true;
    inherited::InstallObjects();
}

void TCustomInstallShellLink::RaiseOleError(int32_t code)
{
    AnsiString text;
    switch (static_cast<uint32_t>(code)) {
    case 0x8000FFFFu: text = TranslateText("Indicates an unexpected error occurred"); break;
    case 0x80040110u: text = TranslateText("Indicates this class cannot be created as part of an aggregate"); break;
    case 0x80040154u:
        text = TranslateText("Indicates that a specified class is not registered in the registration database");
        break;
    case 0x8007000Eu: text = TranslateText("Out of memory"); break;
    case 0x80070057u: text = TranslateText("Indicates one or more arguments are invalid"); break;
    case 0: break;
    default: text = win::OleErrorText(code); break;
    }
    throw IEInstallShellLink(Fmt,
                             "The TCustomInstallShellLink %s name could not be installed. The following error was "
                             "reported %s. Error code %d",
                             Name(), text, static_cast<int>(code));
}

void TCustomInstallShellLink::WriteShellLink(const AnsiString& arguments, const AnsiString& target)
{
    auto check = [this](win::HRESULT result) {
        if (win::Failed(result))
            RaiseOleError(result);
    };
    TComPtr<win::IShellLinkA> link;
    check(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER, win::IID_IShellLinkA,
                                link.Out()));
    check(link->SetPath(target.c_str()));
    check(link->SetHotkey(hotKey_));
    check(link->SetArguments(arguments.c_str()));
    const AnsiString folder =
        rtl::Trim(workingDirectory_).empty() ? RemoveBackslash(rtl::ExtractFilePath(target)) : workingDirectory_;
    check(link->SetWorkingDirectory(folder.c_str()));
    if (!rtl::Trim(iconFile_).empty())
        check(link->SetIconLocation(iconFile_.c_str(), iconIndex_));
    TComPtr<win::IPersistFile> file;
    check(link->QueryInterface(win::IID_IPersistFile, file.Out()));
    // A longer path is refused, never cut: the cut name would be a file nobody asked for.
    const std::u16string linkPath = rtl::AnsiToUtf16(GetLinkPath());
    if (linkPath.size() > win::MAX_PATH)
        RaiseOleError(win::E_INVALIDARG);
    check(file->Save(linkPath.c_str(), win::TRUE));
}

void TCustomInstallShellLink::CreateShellLink()
{
    comReady_ = true;
    CreateFolderAndParents(GetDestPath());
    try {
        TContainerPathSource source(this);
        const AnsiString arguments = ExpandPath(parameters_, &source);
        AnsiString target;
        GetObjectPath(target);
        WriteShellLink(arguments, target);
    } catch (const IEInstallShellLink&) {
        throw;
    } catch (const rtl::EAbort&) {
        throw;
    } catch (const rtl::Exception& e) {
        throw IEInstallShellLink(Fmt,
                                 "The TCustomInstallShellLink %s name could not be installed. The following error "
                                 "was reported %s",
                                 Name(), e.Message());
    }
}

void TCustomInstallShellLink::CreateHardLink()
{
    CreateFolderAndParents(GetDestPath());
    AnsiString existing;
    GetObjectPath(existing);
    // The new link's own name: the folder alone would name nothing new.
    if (!CreateHardLinkChecked(GetLinkPath(), existing, nullptr))
        throw IEInstallShellLink(Fmt, "Could not create hardlink for %s", Name());
}

void TCustomInstallShellLink::CreateInternetShortcut()
{
    CreateFolderAndParents(GetDestPath());
    try {
        rtl::TIniFile(GetLinkPath()).WriteString("InternetShortcut", "URL", objectLocation_);
    } catch (const rtl::EIniFileException& e) {
        throw IEInstallShellLink(Fmt,
                                 "The TCustomInstallShellLink %s name could not be installed. The following error "
                                 "was reported %s",
                                 Name(), e.Message());
    }
}

void TCustomInstallShellLink::WriteUninstallInfo(const AnsiString& key)
{
    // A link that was not made (its object was left out of the run) names nothing of the product's.
    if (created_)
        AddFilesRecordEntry(key, GetLinkPath());
}

VCL_IMPLEMENT_CLASS(TInstallSubLink)

void TInstallSubLink::RegisterProperties(vcl::TClassDef<TInstallSubLink>&) {}

TInstallSubLink::TInstallSubLink(vcl::TComponent* owner) : TCustomInstallShellLink(owner)
{
    if (ShellLinkGroups().Count() == 0)
        throw IEInstallShellLink(AnsiString(
            "To create a TInstallSubLink you must first have at least one TSubLinkGroup component in your project"));
    SetContainer(ShellLinkGroups().Items(0));
    TInstallContainer::SetDestDirType(&FindSpecifier(TpsContainerDestDir::StaticClass()));
}

void TInstallSubLink::SetContainer(TInstallContainer* value)
{
    if (value && !dynamic_cast<TSubLinkGroup*>(value))
        throw IEInstallShellLink(
            AnsiString("A TSubLinkGroup component must be the Container for TInstallSubLink components"));
    inherited::SetContainer(value);
}

void TInstallSubLink::SetDestDirType(TCustomPathSpecifier*) {}

// ---------------------------------------------------------------------------------------------------------
// TpsObjectLink

VCL_IMPLEMENT_CLASS_NOPROPS(TpsObjectLink)

TpsObjectLink::TpsObjectLink(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psObjectLink", "Path of the file or file group in the ObjectLink property", "<ObjectLink>");
}

void TpsObjectLink::Validate(vcl::TComponent* component)
{
    auto* link = dynamic_cast<TCustomInstallShellLink*>(component);
    if (!link)
        throw IEPathSpecifier(Fmt, "%s must be a %s to use the %s path specifier",
                              component ? component->Name() : AnsiString(), "TCustomInstallShellLink", "psObjectLink");
    if (!link->ObjectLink())
        throw IEPathSpecifier(Fmt, "Cannot use ddObjectLink for %s unless you assign a value to ObjectLink",
                              link->Name());
}

AnsiString TpsObjectLink::GetPath(vcl::TComponent* component)
{
    Validate(component);
    TInstallContainer* object = static_cast<TCustomInstallShellLink*>(component)->ObjectLink();
    if (auto* file = dynamic_cast<TCustomInstallFile*>(object))
        return RemoveBackslash(file->GetDestFileName());
    return RemoveBackslash(object->GetDestPath());
}

// ---------------------------------------------------------------------------------------------------------

TMainLinkGroup* MainLinkGroup()
{
    return State().mainGroup.get();
}

TShellLinkGroupList& ShellLinkGroups()
{
    return State().groups;
}

TInstallShellLinkList& InstallShellLinks()
{
    return State().links;
}

void RegisterShellLinkClasses()
{
    vcl::RegisterClasses({&TCustomShellLinkGroup::StaticClass(), &TMainLinkGroup::StaticClass(),
                          &TSubLinkGroup::StaticClass(), &TCustomInstallShellLink::StaticClass(),
                          &TInstallSubLink::StaticClass(), &TpsObjectLink::StaticClass()});
}
