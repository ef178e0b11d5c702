#include "installer/support/InstallInformation.h"

namespace {

// Every published value of a holder of the same class; anything else as the framework has it.
template <class T>
bool AssignSameClass(T& dest, const vcl::TPersistent* source)
{
    const T* other = dynamic_cast<const T*>(source);
    if (!other)
        return false;
    if (other != &dest)
        vcl::CopyPublishedProps(*other, dest);
    return true;
}

}  // namespace

VCL_IMPLEMENT_CLASS(TInstallInformation)

void TInstallInformation::RegisterProperties(vcl::TClassDef<TInstallInformation>& def)
{
    def.Property("CompanyName", &TInstallInformation::CompanyName, &TInstallInformation::SetCompanyName,
                 rtl::AnsiString("My Company"));
    def.Property("ProductName", &TInstallInformation::ProductName, &TInstallInformation::SetProductName,
                 rtl::AnsiString("My product"));
    def.Property("Version", &TInstallInformation::Version, &TInstallInformation::SetVersion, rtl::AnsiString("1.0"));
}

void TInstallInformation::Assign(const vcl::TPersistent* source)
{
    if (!AssignSameClass(*this, source))
        inherited::Assign(source);
}

VCL_IMPLEMENT_CLASS(TRegistrationInformation)

void TRegistrationInformation::RegisterProperties(vcl::TClassDef<TRegistrationInformation>& def)
{
    def.Property("RegCompany", &TRegistrationInformation::RegCompany, &TRegistrationInformation::SetRegCompany,
                 rtl::AnsiString());
    def.Property("RegOwner", &TRegistrationInformation::RegOwner, &TRegistrationInformation::SetRegOwner,
                 rtl::AnsiString());
}

void TRegistrationInformation::Assign(const vcl::TPersistent* source)
{
    if (!AssignSameClass(*this, source))
        inherited::Assign(source);
}

VCL_IMPLEMENT_CLASS(TControlPanelExtensionInformation)

void TControlPanelExtensionInformation::RegisterProperties(vcl::TClassDef<TControlPanelExtensionInformation>& def)
{
    using T = TControlPanelExtensionInformation;
    def.Property("DisplayIcon", &T::DisplayIcon, &T::SetDisplayIcon, rtl::AnsiString());
    def.Property("HelpLink", &T::HelpLink, &T::SetHelpLink, rtl::AnsiString());
    def.Property("HelpTelephone", &T::HelpTelephone, &T::SetHelpTelephone, rtl::AnsiString());
    def.Property("ReadMe", &T::ReadMe, &T::SetReadMe, rtl::AnsiString());
    def.Property("URLInfoAbout", &T::URLInfoAbout, &T::SetURLInfoAbout, rtl::AnsiString());
    def.Property("ProductID", &T::ProductID, &T::SetProductID, rtl::AnsiString());
    def.Property("URLUpdateInfo", &T::URLUpdateInfo, &T::SetURLUpdateInfo, rtl::AnsiString());
    def.Property("Comments", &T::Comments, &T::SetComments, rtl::AnsiString());
    def.Property("Contact", &T::Contact, &T::SetContact, rtl::AnsiString());
}

void TControlPanelExtensionInformation::Assign(const vcl::TPersistent* source)
{
    if (!AssignSameClass(*this, source))
        inherited::Assign(source);
}
