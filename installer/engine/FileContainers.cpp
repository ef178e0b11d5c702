#include "installer/engine/FileContainers.h"

#include "installer/engine/PathSpecifiers.h"

using rtl::AnsiString;

VCL_IMPLEMENT_CLASS(TFileRelated)

void TFileRelated::RegisterProperties(vcl::TClassDef<TFileRelated>& def)
{
    using T = TFileRelated;
    def.Property("AddToArchive", &T::AddToArchive, &T::SetAddToArchive, lzcOverwrite);
    def.Property("ArchiveFile", &T::ArchiveFile, &T::SetArchiveFile, AnsiString());
    def.Property("ArchiveFileType", &T::ArchiveFileType, &T::SetArchiveFileType);
}

TFileRelated::TFileRelated(vcl::TComponent* owner) : TInstallObject(owner)
{
    SetInstallWithContainer(true);
}

TCustomPathSpecifier* TFileRelated::ArchiveFileType() const
{
    return archiveFileType_.get();
}

void TFileRelated::SetArchiveFile(const AnsiString& value)
{
    // Those two specifiers name a whole archive, so a file name under them means nothing.
    if (!IsLoading() && (dynamic_cast<TpsContainerArchiveFile*>(ArchiveFileType()) ||
                         dynamic_cast<TpsMainArchiveFile*>(ArchiveFileType()))) {
        archiveFile_.clear();
        return;
    }
    archiveFile_ = value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* value)
{
    if (value && !IsLoading())
        value->Validate(this);
    archiveFileType_ = value;
}

AnsiString TFileRelated::GetArchivePath()
{
    AnsiString path = archiveFileType_ ? archiveFileType_->GetPath(this) + archiveFile_ : archiveFile_;
    return RemoveBackslash(path);
}

VCL_IMPLEMENT_CLASS(TFileContainer)

void TFileContainer::RegisterProperties(vcl::TClassDef<TFileContainer>& def)
{
    def.Property("Description", &TFileContainer::Description, &TFileContainer::SetDescription, AnsiString());
}

TFileContainer::TFileContainer(vcl::TComponent* owner) : TFileRelated(owner) {}

int TFileContainer::ComponentType() const
{
    return ComponentTypeCode::FileContainer;
}

void TFileContainer::DoInformationEventControl(vcl::TComponent*, int code, rtl::TObject* parameter)
{
    if (TInstallContainer* container = Container())
        container->DoInformationEventControl(this, code, parameter);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomInstallGroup)

TCustomInstallGroup::TCustomInstallGroup(vcl::TComponent* owner) : TFileContainer(owner) {}

int TCustomInstallGroup::ComponentType() const
{
    return ComponentTypeCode::Group;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TInstallGroup)

TInstallGroup::TInstallGroup(vcl::TComponent* owner) : TCustomInstallGroup(owner) {}

VCL_IMPLEMENT_CLASS_NOPROPS(TInstallDirectory)

TInstallDirectory::TInstallDirectory(vcl::TComponent* owner) : TFileContainer(owner) {}
