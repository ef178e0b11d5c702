#pragma once
// The file-related layer of the install-object tree: TFileRelated (an install object with an archive) and
// TFileContainer (one that holds files and sub-containers), with the group (type code 500) and the plain
// directory (1000). What is here is the part the tree and the path specifiers rely on: the archive name
// and its specifier, the description, the type codes.

#include "installer/engine/InstallObjects.h"
#include "installer/support/TrwkCompress.h"

class TFileRelated : public TInstallObject {
    VCL_CLASS(TFileRelated, TInstallObject)
public:
    explicit TFileRelated(vcl::TComponent* owner);

    TlzhCommand AddToArchive() const { return addToArchive_; }
    void SetAddToArchive(TlzhCommand value) { addToArchive_ = value; }
    const rtl::AnsiString& ArchiveFile() const { return archiveFile_; }
    // Outside loading, a name given with a specifier that names a whole archive is cleared.
    virtual void SetArchiveFile(const rtl::AnsiString& value);
    TCustomPathSpecifier* ArchiveFileType() const;
    virtual void SetArchiveFileType(TCustomPathSpecifier* value);
    bool Net() const { return net_; }
    virtual void SetNet(bool value) { net_ = value; }

    // The specifier's path for this component followed by ArchiveFile, no trailing backslash.
    virtual rtl::AnsiString GetArchivePath();

private:
    TlzhCommand addToArchive_ = lzcOverwrite;
    rtl::AnsiString archiveFile_;
    vcl::TComponentRef<TCustomPathSpecifier> archiveFileType_;
    bool net_ = true;
};

class TFileContainer : public TFileRelated {
    VCL_CLASS(TFileContainer, TFileRelated)
public:
    explicit TFileContainer(vcl::TComponent* owner);

    // The name shown to the user.
    const rtl::AnsiString& Description() const { return description_; }
    void SetDescription(const rtl::AnsiString& value) { description_ = value; }
    int ComponentType() const override;
    // Passes a component's report on up, with this container as the sender, to the driver.
    void DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;

private:
    rtl::AnsiString description_;
};

class TCustomInstallGroup : public TFileContainer {
    VCL_CLASS(TCustomInstallGroup, TFileContainer)
public:
    explicit TCustomInstallGroup(vcl::TComponent* owner);
    int ComponentType() const override;
};

class TInstallGroup : public TCustomInstallGroup {
    VCL_CLASS(TInstallGroup, TCustomInstallGroup)
public:
    explicit TInstallGroup(vcl::TComponent* owner);
};

class TInstallDirectory : public TFileContainer {
    VCL_CLASS(TInstallDirectory, TFileContainer)
public:
    explicit TInstallDirectory(vcl::TComponent* owner);
};
