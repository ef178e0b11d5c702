#pragma once
// The three information holders that the install component publishes: the product, the registration and
// the optional values of the Add/Remove Programs entry. Plain published strings, read and written by the
// form resources ("Information.CompanyName = 'ULO'").

#include "platform/vcl/Classes.h"

class TInstallInformation : public vcl::TPersistent {
    VCL_CLASS(TInstallInformation, vcl::TPersistent)
public:
    TInstallInformation() = default;

    const rtl::AnsiString& CompanyName() const { return companyName_; }
    void SetCompanyName(const rtl::AnsiString& value) { companyName_ = value; }
    const rtl::AnsiString& ProductName() const { return productName_; }
    void SetProductName(const rtl::AnsiString& value) { productName_ = value; }
    const rtl::AnsiString& Version() const { return version_; }
    void SetVersion(const rtl::AnsiString& value) { version_ = value; }

    // Copies another holder of the same class.
    void Assign(const vcl::TPersistent* source) override;

private:
    rtl::AnsiString companyName_ = "My Company";
    rtl::AnsiString productName_ = "My product";
    rtl::AnsiString version_ = "1.0";
};

class TRegistrationInformation : public vcl::TPersistent {
    VCL_CLASS(TRegistrationInformation, vcl::TPersistent)
public:
    TRegistrationInformation() = default;

    const rtl::AnsiString& RegCompany() const { return regCompany_; }
    void SetRegCompany(const rtl::AnsiString& value) { regCompany_ = value; }
    const rtl::AnsiString& RegOwner() const { return regOwner_; }
    void SetRegOwner(const rtl::AnsiString& value) { regOwner_ = value; }

    void Assign(const vcl::TPersistent* source) override;

private:
    rtl::AnsiString regCompany_;
    rtl::AnsiString regOwner_;
};

class TControlPanelExtensionInformation : public vcl::TPersistent {
    VCL_CLASS(TControlPanelExtensionInformation, vcl::TPersistent)
public:
    TControlPanelExtensionInformation() = default;

    const rtl::AnsiString& DisplayIcon() const { return displayIcon_; }
    void SetDisplayIcon(const rtl::AnsiString& value) { displayIcon_ = value; }
    const rtl::AnsiString& HelpLink() const { return helpLink_; }
    void SetHelpLink(const rtl::AnsiString& value) { helpLink_ = value; }
    const rtl::AnsiString& HelpTelephone() const { return helpTelephone_; }
    void SetHelpTelephone(const rtl::AnsiString& value) { helpTelephone_ = value; }
    const rtl::AnsiString& ReadMe() const { return readMe_; }
    void SetReadMe(const rtl::AnsiString& value) { readMe_ = value; }
    const rtl::AnsiString& URLInfoAbout() const { return urlInfoAbout_; }
    void SetURLInfoAbout(const rtl::AnsiString& value) { urlInfoAbout_ = value; }
    const rtl::AnsiString& ProductID() const { return productID_; }
    void SetProductID(const rtl::AnsiString& value) { productID_ = value; }
    const rtl::AnsiString& URLUpdateInfo() const { return urlUpdateInfo_; }
    void SetURLUpdateInfo(const rtl::AnsiString& value) { urlUpdateInfo_ = value; }
    const rtl::AnsiString& Comments() const { return comments_; }
    void SetComments(const rtl::AnsiString& value) { comments_ = value; }
    const rtl::AnsiString& Contact() const { return contact_; }
    void SetContact(const rtl::AnsiString& value) { contact_ = value; }

    void Assign(const vcl::TPersistent* source) override;

private:
    rtl::AnsiString displayIcon_;
    rtl::AnsiString helpLink_;
    rtl::AnsiString helpTelephone_;
    rtl::AnsiString readMe_;
    rtl::AnsiString urlInfoAbout_;
    rtl::AnsiString productID_;
    rtl::AnsiString urlUpdateInfo_;
    rtl::AnsiString comments_;
    rtl::AnsiString contact_;
};
