#pragma once
// Path specifiers: components that name a folder known only on the target machine (Program Files, the
// Windows folder, the folder of a component's container, the folder the setup runs from). Every install
// component's destination is a specifier plus a relative folder:
//
//   file->SetDestDirType(&FindSpecifier(TpsProgramFiles::StaticClass()));
//   file->SetDestDir("\\MyApplication");
//   file->GetDestPath();            // "C:\Program Files\MyApplication"
//
// One of each registered standard kind is made on a form when its first install container is made there
// (CreateStandardSpecifiers). Setup authors add TPathSpecifier components whose folder comes from OnGetPath.

#include <functional>
#include <vector>

#include "installer/engine/InstallObjects.h"

class IEPathSpecifier : public IException {
public:
    using IException::IException;
};
class IEPathSpecifierList : public IException {
public:
    using IException::IException;
};
class IEPathSpecifierClassList : public IException {
public:
    using IException::IException;
};

using TGetPathEvent = std::function<void(vcl::TComponent* Component, rtl::AnsiString& Path)>;

class TCustomPathSpecifier : public vcl::TComponent {
    VCL_CLASS(TCustomPathSpecifier, vcl::TComponent)
public:
    explicit TCustomPathSpecifier(vcl::TComponent* owner);
    ~TCustomPathSpecifier() override;

    TGetPathEvent OnGetPath;
    // The component name the kind is made with ("psProgramFiles").
    const rtl::AnsiString& DefaultName() const { return defaultName_; }

    // Raises when the specifier cannot serve `component`; the base accepts every component.
    virtual void Validate(vcl::TComponent* component);
    virtual rtl::AnsiString GetDescription();
    virtual rtl::AnsiString GetComponentDescription(vcl::TComponent* component);
    // The folder; the base gives what OnGetPath leaves in an empty text.
    virtual rtl::AnsiString GetPath(vcl::TComponent* component);
    virtual rtl::AnsiString GetCaption();
    virtual rtl::AnsiString GetComponentCaption(vcl::TComponent* component);

protected:
    void SetDefaultName(const rtl::AnsiString& value) { defaultName_ = value; }

private:
    rtl::AnsiString defaultName_;
};

// The specifier setup authors place themselves.
class TPathSpecifier : public TCustomPathSpecifier {
    VCL_CLASS(TPathSpecifier, TCustomPathSpecifier)
public:
    explicit TPathSpecifier(vcl::TComponent* owner);
    const rtl::AnsiString& Description() const { return description_; }
    void SetDescription(const rtl::AnsiString& value) { description_ = value; }
    rtl::AnsiString GetDescription() override { return description_; }

private:
    rtl::AnsiString description_ = "My cool new path specifier";
};

// The base of the built-in kinds; they join the standard list as well. Each kind gives its default name,
// description and caption when it is made.
class TStandardPathSpecifier : public TCustomPathSpecifier {
    VCL_CLASS(TStandardPathSpecifier, TCustomPathSpecifier)
public:
    explicit TStandardPathSpecifier(vcl::TComponent* owner);
    ~TStandardPathSpecifier() override;
    rtl::AnsiString GetDescription() override;
    rtl::AnsiString GetCaption() override;

protected:
    void SetTexts(const rtl::AnsiString& defaultName, const rtl::AnsiString& description, const rtl::AnsiString& caption);

private:
    rtl::AnsiString description_;
    rtl::AnsiString caption_;
};

// A plain list of specifiers; adding none raises.
class TPathSpecifierList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TCustomPathSpecifier* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    void Add(TCustomPathSpecifier* item);
    void Remove(TCustomPathSpecifier* item);
    // The first specifier of that class or one derived from it; IEPathSpecifier when there is none.
    TCustomPathSpecifier& FindSpecifier(const vcl::TClassMeta& meta) const;
    TCustomPathSpecifier* FindSpecifierOrNull(const vcl::TClassMeta& meta) const;

private:
    std::vector<TCustomPathSpecifier*> items_;
};
using TStandardPathSpecList = TPathSpecifierList;

// The registered standard kinds, in registration order.
class TPathSpecifierClassList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    const vcl::TClassMeta* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    void Add(const vcl::TClassMeta* meta);

private:
    std::vector<const vcl::TClassMeta*> items_;
};

TPathSpecifierList& PathSpecifiers();
TStandardPathSpecList& StandardPathSpecifiers();
TPathSpecifierClassList& PathSpecifierClasses();

// FindSpecifier on the standard list.
TCustomPathSpecifier& FindSpecifier(const vcl::TClassMeta& meta);
// Makes one specifier of the class owned by `owner`, named after the kind; with `onlyIfMissing`, nothing
// when one of the class (or derived) exists already. A name taken in the owner gives the framework's error.
void RegisterStandardSpecifier(const vcl::TClassMeta& meta, vcl::TComponent* owner, bool onlyIfMissing);
// RegisterStandardSpecifier for every registered kind in order; nothing without an owner.
void CreateStandardSpecifiers(vcl::TComponent* owner, bool onlyIfMissing);
// "%p" (any case) is the path, "%%" one "%", any other "%x" is "x", a lone "%" at the end is dropped.
rtl::AnsiString ExpandPathPlaceholder(const rtl::AnsiString& text, const rtl::AnsiString& path);

// ---------------------------------------------------------------------------------------------------------
// The core kinds

// A kind that only knows its folder.
#define SCRIVANE_FOLDER_SPECIFIER(Class)                                \
    class Class : public TStandardPathSpecifier {                       \
        VCL_CLASS(Class, TStandardPathSpecifier)                        \
    public:                                                             \
        explicit Class(vcl::TComponent* owner);                         \
        rtl::AnsiString GetPath(vcl::TComponent* component) override;   \
    };

// Its definition, for the .cpp file: the texts the kind is made with and the folder it gives, whose trailing
// backslash is removed.
#define SCRIVANE_FOLDER_SPECIFIER_BODY(Class, Name, Description, Caption, Folder) \
    VCL_IMPLEMENT_CLASS_NOPROPS(Class)                                           \
    Class::Class(vcl::TComponent* owner) : TStandardPathSpecifier(owner)         \
    {                                                                            \
        SetTexts(Name, Description, Caption);                                    \
    }                                                                            \
    rtl::AnsiString Class::GetPath(vcl::TComponent*)                                  \
    {                                                                            \
        return RemoveBackslash(Folder);                                          \
    }

SCRIVANE_FOLDER_SPECIFIER(TpsProgramFiles)
SCRIVANE_FOLDER_SPECIFIER(TpsCommonFiles)
SCRIVANE_FOLDER_SPECIFIER(TpsWindow)
SCRIVANE_FOLDER_SPECIFIER(TpsSystem)
SCRIVANE_FOLDER_SPECIFIER(TpsStartMenu)
SCRIVANE_FOLDER_SPECIFIER(TpsProgramMenu)
SCRIVANE_FOLDER_SPECIFIER(TpsStartupMenu)
SCRIVANE_FOLDER_SPECIFIER(TpsDesktopMenu)
SCRIVANE_FOLDER_SPECIFIER(TpsBDEDLL)

// A kind that serves only the components its Validate accepts, and checks before every GetPath.
#define SCRIVANE_VALIDATING_SPECIFIER(Class)                            \
    class Class : public TStandardPathSpecifier {                       \
        VCL_CLASS(Class, TStandardPathSpecifier)                        \
    public:                                                             \
        explicit Class(vcl::TComponent* owner);                         \
        void Validate(vcl::TComponent* component) override;             \
        rtl::AnsiString GetPath(vcl::TComponent* component) override;

SCRIVANE_VALIDATING_SPECIFIER(TpsMainInstall)
};
SCRIVANE_VALIDATING_SPECIFIER(TpsInstallSource)
};
SCRIVANE_VALIDATING_SPECIFIER(TpsContainerArchiveFile)
};
SCRIVANE_VALIDATING_SPECIFIER(TpsContainerDestDir)
    // Texts that name the component's container; the general ones when Validate refuses it.
    rtl::AnsiString GetComponentDescription(vcl::TComponent* component) override;
    rtl::AnsiString GetComponentCaption(vcl::TComponent* component) override;
};
SCRIVANE_VALIDATING_SPECIFIER(TpsMainArchiveFile)
    // Set by the disk change to the folder chosen for the next disk.
    const rtl::AnsiString& ArchiveFolder() const { return archiveFolder_; }
    void SetArchiveFolder(const rtl::AnsiString& value) { archiveFolder_ = value; }

private:
    rtl::AnsiString archiveFolder_;
};

// Registers the specifier classes with the framework and the core kinds in the class list (once).
void RegisterPathSpecifierClasses();
