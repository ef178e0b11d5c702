#pragma once
// The Start menu's entries of a product: one TMainLinkGroup (the product's folder under Programs), its
// TSubLinkGroups (sub-folders) and their TInstallSubLinks (".LNK" shell links to installed files or
// folders, or ".URL" internet shortcuts to an address).
//
//   auto* main = new TMainLinkGroup(form);          // "<Programs>\<product name>"
//   auto* sub = new TSubLinkGroup(form);            // "\ASubGroup" inside it
//   auto* link = new TInstallSubLink(form);         // in the first sub-group
//   link->SetObjectLink(appFile);                   // "app.lnk", target through psObjectLink
//
// Groups and links are not installed with their container: the driver installs every type-7000
// component, then every type-8000 one, and a link whose object was not installed in the run makes nothing.

#include "installer/engine/InstallObjects.h"
#include "installer/engine/PathSpecifiers.h"

VCL_ENUM_SIZED(TMethodType, uint8_t, mtAutoDetect, mtShellLinkInterface)

class IEShellLinkGroup : public IException {
public:
    using IException::IException;
};
class IEInstallShellLink : public IException {
public:
    using IException::IException;
};
class IEInstallShellLinkList : public IException {
public:
    using IException::IException;
};

class TCustomShellLinkGroup : public TInstallObject {
    VCL_CLASS(TCustomShellLinkGroup, TInstallObject)
public:
    explicit TCustomShellLinkGroup(vcl::TComponent* owner);

    int ComponentType() const override;
    void ContainerRemoved(TInstallContainer* container) override;
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
    void InstallObjects() override;
};

// At most one per process: the product's folder under the Programs menu.
class TMainLinkGroup : public TCustomShellLinkGroup {
    VCL_CLASS(TMainLinkGroup, TCustomShellLinkGroup)
public:
    explicit TMainLinkGroup(vcl::TComponent* owner);
    ~TMainLinkGroup() override;
    // Always psProgramMenu.
    void SetDestDirType(TCustomPathSpecifier* value) override;
};

class TSubLinkGroup : public TCustomShellLinkGroup {
    VCL_CLASS(TSubLinkGroup, TCustomShellLinkGroup)
public:
    explicit TSubLinkGroup(vcl::TComponent* owner);
    ~TSubLinkGroup() override;
    // Only the main group (or none).
    void SetContainer(TInstallContainer* value) override;
    // Always psContainerDestDir.
    void SetDestDirType(TCustomPathSpecifier* value) override;
};

class TCustomInstallShellLink : public TInstallObject {
    VCL_CLASS(TCustomInstallShellLink, TInstallObject)
public:
    explicit TCustomInstallShellLink(vcl::TComponent* owner);
    ~TCustomInstallShellLink() override;

    // Published.
    uint16_t HotKey() const { return hotKey_; }
    void SetHotKey(uint16_t value) { hotKey_ = value; }
    const rtl::AnsiString& LinkName() const { return linkName_; }
    virtual void SetLinkName(const rtl::AnsiString& value);
    TMethodType Method() const { return method_; }
    void SetMethod(TMethodType value) { method_ = value; }
    TInstallContainer* ObjectLink() const { return objectLink_.get(); }
    virtual void SetObjectLink(TInstallContainer* value);
    const rtl::AnsiString& ObjectLocation() const { return objectLocation_; }
    virtual void SetObjectLocation(const rtl::AnsiString& value);
    TCustomPathSpecifier* ObjectLocationType() const { return objectLocationType_.get(); }
    virtual void SetObjectLocationType(TCustomPathSpecifier* value);
    const rtl::AnsiString& Parameters() const { return parameters_; }
    void SetParameters(const rtl::AnsiString& value) { parameters_ = value; }

    // Unpublished: nothing in the setup sets them.
    const rtl::AnsiString& IconFile() const { return iconFile_; }
    void SetIconFile(const rtl::AnsiString& value) { iconFile_ = value; }
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int value) { iconIndex_ = value; }
    const rtl::AnsiString& WorkingDirectory() const { return workingDirectory_; }
    void SetWorkingDirectory(const rtl::AnsiString& value) { workingDirectory_ = value; }
    bool HardLink() const { return hardLink_; }
    void SetHardLink(bool value) { hardLink_ = value; }
    bool ComReady() const { return comReady_; }
    rtl::TStringList& Strings() { return strings_; }

    virtual void InitShellLinkCOM();
    virtual void CreateShellLink();
    virtual void CreateHardLink();
    virtual void CreateInternetShortcut();
    // The object's path through ObjectLocationType, followed by ObjectLocation.
    virtual void GetObjectPath(rtl::AnsiString& path);
    rtl::AnsiString GetLinkPath();
    bool IsURL() const;

    int ComponentType() const override;
    void ContainerRemoved(TInstallContainer* container) override;
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
    void InstallObjects() override;
    void WriteUninstallInfo(const rtl::AnsiString& key) override;

private:
    // The OLE error of a failing call, raised as the link's error.
    [[noreturn]] void RaiseOleError(int32_t code);
    void WriteShellLink(const rtl::AnsiString& arguments, const rtl::AnsiString& target);

    uint16_t hotKey_ = 0;
    rtl::AnsiString linkName_;
    TMethodType method_ = mtAutoDetect;
    vcl::TComponentRef<TInstallContainer> objectLink_;
    rtl::AnsiString objectLocation_;
    vcl::TComponentRef<TCustomPathSpecifier> objectLocationType_;
    rtl::AnsiString parameters_;
    rtl::AnsiString iconFile_;
    int iconIndex_ = 0;
    rtl::AnsiString workingDirectory_;
    bool hardLink_ = false;
    bool created_ = false;  // this run wrote the link
    bool comReady_ = false;
    rtl::TStringList strings_;
};

class TInstallSubLink : public TCustomInstallShellLink {
    VCL_CLASS(TInstallSubLink, TCustomInstallShellLink)
public:
    explicit TInstallSubLink(vcl::TComponent* owner);
    // Only a sub-group (or none).
    void SetContainer(TInstallContainer* value) override;
    // Always psContainerDestDir.
    void SetDestDirType(TCustomPathSpecifier* value) override;
};

// The installed path of a link's ObjectLink.
class TpsObjectLink : public TStandardPathSpecifier {
    VCL_CLASS(TpsObjectLink, TStandardPathSpecifier)
public:
    explicit TpsObjectLink(vcl::TComponent* owner);
    void Validate(vcl::TComponent* component) override;
    rtl::AnsiString GetPath(vcl::TComponent* component) override;
};

// ---------------------------------------------------------------------------------------------------------
// Process-wide lists

struct TShellLinkGroupListError : IEInstallShellLinkList {
    using IEInstallShellLinkList::IEInstallShellLinkList;
    static constexpr const char* BlankEntryText = "Cannot add a blank entry to the shell link group list";
};
struct TInstallShellLinkListError : IEInstallShellLinkList {
    using IEInstallShellLinkList::IEInstallShellLinkList;
    static constexpr const char* BlankEntryText = "Cannot add a blank entry to the shell link list";
};
using TShellLinkGroupList = TTypedObjectList<TSubLinkGroup, TShellLinkGroupListError>;
using TInstallShellLinkList = TTypedObjectList<TCustomInstallShellLink, TInstallShellLinkListError>;

// The main group, nullptr while there is none.
TMainLinkGroup* MainLinkGroup();
// Sub-groups and links, in creation order.
TShellLinkGroupList& ShellLinkGroups();
TInstallShellLinkList& InstallShellLinks();


void RegisterShellLinkClasses();
