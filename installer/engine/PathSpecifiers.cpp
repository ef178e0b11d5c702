#include "installer/engine/PathSpecifiers.h"

#include <algorithm>

#include "installer/engine/Install.h"
#include "installer/support/PathVariables.h"
#include "installer/support/TrwkRegistry.h"

using rtl::AnsiString;

namespace {

struct TSpecifierState {
    TPathSpecifierList all;
    TStandardPathSpecList standard;
    TPathSpecifierClassList classes;
};

TSpecifierState& Specifiers()
{
    static TSpecifierState* state = new TSpecifierState;  // specifiers may be freed after static destruction
    return *state;
}

[[noreturn]] void ThrowNoInstall(const vcl::TComponent* component)
{
    throw IEPathSpecifier(Fmt, "There is no TInstall component so the path specifier could not be expanded for %s",
                          component ? component->Name() : AnsiString());
}

TCustomInstall& RequireInstall(const vcl::TComponent* component)
{
    TCustomInstall* driver = InstallDriver();
    if (!driver)
        ThrowNoInstall(component);
    return *driver;
}

// The install object a container specifier serves; "%s must be a %s to use the %s path specifier" otherwise.
TInstallObject& RequireInstallObject(vcl::TComponent* component, const TCustomPathSpecifier& specifier)
{
    auto* object = dynamic_cast<TInstallObject*>(component);
    if (!object)
        throw IEPathSpecifier(Fmt, "%s must be a %s to use the %s path specifier",
                              component ? component->Name() : AnsiString(), AnsiString("TInstallObject"),
                              specifier.DefaultName());
    return *object;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Base classes

VCL_IMPLEMENT_CLASS(TCustomPathSpecifier)

void TCustomPathSpecifier::RegisterProperties(vcl::TClassDef<TCustomPathSpecifier>&) {}

TCustomPathSpecifier::TCustomPathSpecifier(vcl::TComponent* owner) : TComponent(owner)
{
    Specifiers().all.Add(this);
}

TCustomPathSpecifier::~TCustomPathSpecifier()
{
    Specifiers().all.Remove(this);
}

void TCustomPathSpecifier::Validate(vcl::TComponent*) {}

AnsiString TCustomPathSpecifier::GetDescription()
{
    return "Unspecified";
}

AnsiString TCustomPathSpecifier::GetComponentDescription(vcl::TComponent*)
{
    return GetDescription();
}

AnsiString TCustomPathSpecifier::GetPath(vcl::TComponent* component)
{
    AnsiString path;
    if (OnGetPath)
        OnGetPath(component, path);
    return path;
}

AnsiString TCustomPathSpecifier::GetCaption()
{
    return GetDescription();
}

AnsiString TCustomPathSpecifier::GetComponentCaption(vcl::TComponent* component)
{
    return GetComponentDescription(component);
}

VCL_IMPLEMENT_CLASS(TPathSpecifier)

void TPathSpecifier::RegisterProperties(vcl::TClassDef<TPathSpecifier>& def)
{
    def.Property("Description", &TPathSpecifier::Description, &TPathSpecifier::SetDescription,
                 AnsiString("My cool new path specifier"));
    def.Event("OnGetPath", &TPathSpecifier::OnGetPath);
}

TPathSpecifier::TPathSpecifier(vcl::TComponent* owner) : TCustomPathSpecifier(owner) {}

VCL_IMPLEMENT_CLASS_NOPROPS(TStandardPathSpecifier)

TStandardPathSpecifier::TStandardPathSpecifier(vcl::TComponent* owner) : TCustomPathSpecifier(owner)
{
    Specifiers().standard.Add(this);
}

TStandardPathSpecifier::~TStandardPathSpecifier()
{
    Specifiers().standard.Remove(this);
}

AnsiString TStandardPathSpecifier::GetDescription()
{
    return description_;
}

AnsiString TStandardPathSpecifier::GetCaption()
{
    return caption_;
}

void TStandardPathSpecifier::SetTexts(const AnsiString& defaultName, const AnsiString& description,
                                      const AnsiString& caption)
{
    SetDefaultName(defaultName);
    description_ = description;
    caption_ = caption;
}

// ---------------------------------------------------------------------------------------------------------
// Lists and the class registry

void TPathSpecifierList::Add(TCustomPathSpecifier* item)
{
    if (!item)
        throw IEPathSpecifierList(AnsiString("Tried to add a nil object to the path specifier list"));
    items_.push_back(item);
}

void TPathSpecifierList::Remove(TCustomPathSpecifier* item)
{
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it != items_.end())
        items_.erase(it);
}

TCustomPathSpecifier* TPathSpecifierList::FindSpecifierOrNull(const vcl::TClassMeta& meta) const
{
    for (TCustomPathSpecifier* item : items_) {
        if (item->InheritsFrom(meta))
            return item;
    }
    return nullptr;
}

TCustomPathSpecifier& TPathSpecifierList::FindSpecifier(const vcl::TClassMeta& meta) const
{
    if (TCustomPathSpecifier* found = FindSpecifierOrNull(meta))
        return *found;
    throw IEPathSpecifier(AnsiString("Could not find the path specifier"));
}

void TPathSpecifierClassList::Add(const vcl::TClassMeta* meta)
{
    if (!meta)
        throw IEPathSpecifierClassList(AnsiString("Tried to add a nil object to the path specifier list"));
    items_.push_back(meta);
}

TPathSpecifierList& PathSpecifiers()
{
    return Specifiers().all;
}

TStandardPathSpecList& StandardPathSpecifiers()
{
    return Specifiers().standard;
}

TPathSpecifierClassList& PathSpecifierClasses()
{
    return Specifiers().classes;
}

TCustomPathSpecifier& FindSpecifier(const vcl::TClassMeta& meta)
{
    return StandardPathSpecifiers().FindSpecifier(meta);
}

void RegisterStandardSpecifier(const vcl::TClassMeta& meta, vcl::TComponent* owner, bool onlyIfMissing)
{
    if (onlyIfMissing && PathSpecifiers().FindSpecifierOrNull(meta))
        return;
    std::unique_ptr<vcl::TComponent> made(meta.CreateComponent(owner));
    auto* specifier = dynamic_cast<TCustomPathSpecifier*>(made.get());
    if (!specifier)
        throw IEPathSpecifierClassList(AnsiString("Tried to add a nil object to the path specifier list"));
    specifier->SetName(specifier->DefaultName());
    made.release();  // the owner holds it now
}

void CreateStandardSpecifiers(vcl::TComponent* owner, bool onlyIfMissing)
{
    if (!owner)
        return;
    const TPathSpecifierClassList& classes = PathSpecifierClasses();
    for (int i = 0; i < classes.Count(); ++i)
        RegisterStandardSpecifier(*classes.Items(i), owner, onlyIfMissing);
}

AnsiString ExpandPathPlaceholder(const AnsiString& text, const AnsiString& path)
{
    AnsiString result;
    bool afterPercent = false;
    for (char c : text) {
        if (c == '%') {
            if (afterPercent)
                result += '%';
            afterPercent = !afterPercent;
        } else if (afterPercent) {
            if (c == 'P' || c == 'p')
                result += path;
            else
                result += c;
            afterPercent = false;
        } else {
            result += c;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// The folder kinds

SCRIVANE_FOLDER_SPECIFIER_BODY(TpsProgramFiles, "psProgramFiles", "Path of the program files directory",
                               "Program files", ProgramFilesFolder())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsCommonFiles, "psCommonFiles",
                               "Path of the common files directory under the program files directory", "Common files",
                               CommonFilesFolder())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsWindow, "psWindow", "Path of the Windows directory", "Windows dir",
                               WindowsDirectory())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsSystem, "psSystem", "Path of system directory", "System dir", SystemDirectory())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsStartMenu, "psStartMenu", "Path of Start Menu", "Start menu", StartMenuFolder())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsProgramMenu, "psProgramMenu", "Path of the Programs folder under the Start Menu",
                               "Program menu", ProgramsFolder())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsStartupMenu, "psStartupMenu",
                               "Path of the Startup folder in the Programs folder under the Start Menu", "Startup menu",
                               StartupFolder())
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsDesktopMenu, "psDesktopMenu", "Path of the Desktop", "Desktop", DesktopFolder())

VCL_IMPLEMENT_CLASS_NOPROPS(TpsBDEDLL)

TpsBDEDLL::TpsBDEDLL(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psBDEDLL", "Borland Database Engine DLL Path", "BDE DLL");
}

AnsiString TpsBDEDLL::GetPath(vcl::TComponent*)
{
    AnsiString path = RegReadString(win::HKEY_LOCAL_MACHINE, "\\Software\\Borland\\Database Engine", "DLLPath", "");
    if (path.empty())
        path = AddBackslash(ProgramFilesFolder()) + "Borland\\Common Files\\BDE";
    // The value may list several folders; the first is the engine's. Its trailing backslash stays.
    return GetField(path, 1);
}

// ---------------------------------------------------------------------------------------------------------
// The kinds that depend on the component

VCL_IMPLEMENT_CLASS_NOPROPS(TpsMainInstall)

TpsMainInstall::TpsMainInstall(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psMainInstall", "Main installation directory", "Main install dir");
}

void TpsMainInstall::Validate(vcl::TComponent* component)
{
    TCustomInstall& driver = RequireInstall(component);
    if (component == &driver)
        throw IEPathSpecifier(AnsiString("Cannot use the ddMainInstallDir path specifier for a TInstall component"));
}

AnsiString TpsMainInstall::GetPath(vcl::TComponent* component)
{
    Validate(component);
    return RemoveBackslash(InstallDriver()->GetDestPath());
}

VCL_IMPLEMENT_CLASS_NOPROPS(TpsInstallSource)

TpsInstallSource::TpsInstallSource(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psInstallSource", "Path from which the user ran the install", "Install source");
}

void TpsInstallSource::Validate(vcl::TComponent* component)
{
    RequireInstall(component);
}

AnsiString TpsInstallSource::GetPath(vcl::TComponent* component)
{
    Validate(component);
    return RemoveBackslash(InstallDriver()->SourceDir());
}

VCL_IMPLEMENT_CLASS_NOPROPS(TpsContainerDestDir)

TpsContainerDestDir::TpsContainerDestDir(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psContainerDestDir", "Path of the group (container)", "Path of the group (container)");
}

void TpsContainerDestDir::Validate(vcl::TComponent* component)
{
    TInstallObject& object = RequireInstallObject(component, *this);
    if (!object.Container())
        throw IEPathSpecifier(Fmt, "Cannot use ddContainerDestDir for %s unless you assign a Container", object.Name());
}

AnsiString TpsContainerDestDir::GetPath(vcl::TComponent* component)
{
    Validate(component);
    return RemoveBackslash(dynamic_cast<TInstallObject&>(*component).Container()->GetDestPath());
}

AnsiString TpsContainerDestDir::GetComponentDescription(vcl::TComponent* component)
{
    try {
        Validate(component);
    } catch (const IEPathSpecifier&) {
        return GetDescription();
    }
    TInstallContainer* container = dynamic_cast<TInstallObject&>(*component).Container();
    if (container == InstallDriver())
        return "Main installation directory";
    if (auto* group = dynamic_cast<TCustomInstallGroup*>(container))
        return rtl::Format("Path of the <%s> group", group->Description());
    if (auto* files = dynamic_cast<TFileContainer*>(container))
        return rtl::Format("Path of the <%s> directory", files->Description());
    return rtl::Format("Path of the <%s> group", container->Name());
}

AnsiString TpsContainerDestDir::GetComponentCaption(vcl::TComponent* component)
{
    try {
        Validate(component);
    } catch (const IEPathSpecifier&) {
        return GetCaption();
    }
    TInstallContainer* container = dynamic_cast<TInstallObject&>(*component).Container();
    if (container == InstallDriver())
        return "Main installation directory";
    if (auto* files = dynamic_cast<TFileContainer*>(container))
        return "<" + files->Description() + ">";
    return "<" + container->Name() + ">";
}

VCL_IMPLEMENT_CLASS_NOPROPS(TpsContainerArchiveFile)

TpsContainerArchiveFile::TpsContainerArchiveFile(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psContainerArchiveFile", "Path to the archive file of the container", "Container archive file");
}

void TpsContainerArchiveFile::Validate(vcl::TComponent* component)
{
    TInstallObject& object = RequireInstallObject(component, *this);
    if (!object.Container())
        throw IEPathSpecifier(Fmt, "Cannot use ddContainerArchiveFile for %s unless you assign a Container",
                              object.Name());
    if (!dynamic_cast<TFileRelated*>(object.Container()))
        throw IEPathSpecifier(Fmt,
                              "Cannot use the ddContainerArchiveFile path specifier for %s because the Container is "
                              "not a TFileRelated descendant",
                              object.Name());
}

AnsiString TpsContainerArchiveFile::GetPath(vcl::TComponent* component)
{
    Validate(component);
    auto* container = dynamic_cast<TFileRelated*>(dynamic_cast<TInstallObject&>(*component).Container());
    return RemoveBackslash(container->GetArchivePath());
}

VCL_IMPLEMENT_CLASS_NOPROPS(TpsMainArchiveFile)

TpsMainArchiveFile::TpsMainArchiveFile(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psMainArchiveFile", "Archive containing most or all non-internet installation files", "Main archive");
}

void TpsMainArchiveFile::Validate(vcl::TComponent* component)
{
    RequireInstall(component);
}

AnsiString TpsMainArchiveFile::GetPath(vcl::TComponent* component)
{
    Validate(component);
    const TCustomInstall& driver = *InstallDriver();
    if (driver.SelfExtracting()) {
        const AnsiString name = rtl::Trim(driver.SelfExtractorName());
        if (name.empty())
            throw IEInstall(AnsiString("You forgot to pass in the name of the self-extracting executable. Usage "
                                       "example: \"-eSetup.exe\""));
        return AddBackslash(driver.SourceDir()) + name;
    }
    if (rtl::Trim(archiveFolder_).empty())
        return AddBackslash(driver.SourceDir()) + "files.1";
    return AddBackslash(archiveFolder_) + "files.1";
}

// ---------------------------------------------------------------------------------------------------------

void RegisterPathSpecifierClasses()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const std::vector<const vcl::TClassMeta*> core = {
        &TpsBDEDLL::StaticClass(),        &TpsCommonFiles::StaticClass(), &TpsContainerArchiveFile::StaticClass(),
        &TpsContainerDestDir::StaticClass(), &TpsDesktopMenu::StaticClass(), &TpsInstallSource::StaticClass(),
        &TpsMainInstall::StaticClass(),   &TpsProgramFiles::StaticClass(), &TpsProgramMenu::StaticClass(),
        &TpsStartMenu::StaticClass(),     &TpsStartupMenu::StaticClass(), &TpsSystem::StaticClass(),
        &TpsMainArchiveFile::StaticClass(), &TpsWindow::StaticClass(),
    };
    vcl::RegisterClasses({&TCustomPathSpecifier::StaticClass(), &TPathSpecifier::StaticClass(),
                          &TStandardPathSpecifier::StaticClass()});
    for (const vcl::TClassMeta* meta : core) {
        vcl::RegisterClasses({meta});
        PathSpecifierClasses().Add(meta);
    }
}
