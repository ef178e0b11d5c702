#include "installer/engine/UninstallRecords.h"

#include <cstdint>
#include <exception>

#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkRegistry.h"

using rtl::AnsiString;

namespace {

// One argument as a Windows program's runtime reads it back: quoted, a quote escaped, and the backslashes
// before a quote (or before the closing one) doubled.
AnsiString QuoteArgument(const AnsiString& argument)
{
    AnsiString quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

void WriteWhenSet(const AnsiString& key, const char* name, const AnsiString& value)
{
    if (!value.empty())
        RegWriteString(win::HKEY_LOCAL_MACHINE, key, name, value);
}

// The count stored in a record subkey (missing: 0); EConvertError when it cannot count one entry more.
int ReadRecordCount(const AnsiString& subkey)
{
    const AnsiString text = RegReadString(win::HKEY_LOCAL_MACHINE, subkey, RecordEntries, "0");
    const int count = rtl::StrToInt(text);
    if (count < 0 || count == INT32_MAX)
        throw rtl::EConvertError("'" + text + "' is not a valid integer value");
    return count;
}

}  // namespace

AnsiString UninstallCommandLine(const AnsiString& uninstallerPath, const AnsiString& productName)
{
    return "\"" + uninstallerPath + "\" " + QuoteArgument(productName);
}

void WriteUninstallValues(const AnsiString& key, const TInstallInformation& information,
                          const TControlPanelExtensionInformation& extended,
                          const TRegistrationInformation& registration, const TUninstallDisplayFiles& files)
{
    const win::HKEY root = win::HKEY_LOCAL_MACHINE;
    RegWriteString(root, key, "DisplayName", rtl::Trim(information.ProductName()));
    // The name as entered: it names the key the uninstaller has to find.
    RegWriteString(root, key, "UninstallString", UninstallCommandLine(files.Uninstaller, information.ProductName()));
    WriteWhenSet(key, "Comments", extended.Comments());
    WriteWhenSet(key, "Contact", extended.Contact());
    WriteWhenSet(key, "DisplayIcon", files.DisplayIcon);
    WriteWhenSet(key, "DisplayVersion", information.Version());
    WriteWhenSet(key, "HelpLink", extended.HelpLink());
    WriteWhenSet(key, "HelpTelephone", extended.HelpTelephone());
    WriteWhenSet(key, "Publisher", information.CompanyName());
    WriteWhenSet(key, "ProductID", extended.ProductID());
    WriteWhenSet(key, "Readme", files.ReadMe);
    WriteWhenSet(key, "URLInfoAbout", extended.URLInfoAbout());
    WriteWhenSet(key, "URLUpdateInfo", extended.URLUpdateInfo());
    WriteWhenSet(key, "RegCompany", registration.RegCompany());
    WriteWhenSet(key, "RegOwner", registration.RegOwner());
}

AnsiString AddRecordEntry(const AnsiString& key, const AnsiString& record, const TRecordEntryWriter& writeEntry)
{
    std::exception_ptr lastError;
    for (int k = 0; k < MaxRecordSubkeys; ++k) {
        const AnsiString subkey = RecordSubkey(key, record, k);
        int n = 0;
        try {
            n = ReadRecordCount(subkey) + 1;
            writeEntry(subkey, n);
        } catch (const rtl::EAbort&) {
            throw;
        } catch (const rtl::Exception&) {
            lastError = std::current_exception();
            continue;
        }
        RegWriteString(win::HKEY_LOCAL_MACHINE, subkey, RecordEntries, rtl::IntToStr(n));
        return subkey;
    }
    std::rethrow_exception(lastError);
}

// "File<n>" of a "Files" or "ActiveX" record.
static void AddFileEntry(const AnsiString& key, const char* record, const AnsiString& text)
{
    AddRecordEntry(key, record, [&text](const AnsiString& subkey, int n) {
        RegWriteString(win::HKEY_LOCAL_MACHINE, subkey, RecordFilePrefix + rtl::IntToStr(n), text);
    });
}

void AddFilesRecordEntry(const AnsiString& key, const AnsiString& path)
{
    AddFileEntry(key, FilesRecord, path);
}

int ActiveXKind(const AnsiString& fileName)
{
    const AnsiString extension = rtl::UpperCase(rtl::ExtractFileExt(fileName));
    if (extension == ".TLB")
        return 2;
    if (extension == ".EXE")
        return 1;
    return 0;
}

void AddActiveXRecordEntry(const AnsiString& key, const AnsiString& path, const AnsiString& fileName)
{
    AddFileEntry(key, ActiveXRecord, path + ";" + rtl::IntToStr(ActiveXKind(fileName)));
}

