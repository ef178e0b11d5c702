// The product's uninstall key: its display values, the uninstaller's command line, and the "Files" and
// "ActiveX" records with their count, their move to a numbered subkey and their limit.
#include <gtest/gtest.h>

#include "installer/engine/UninstallRecords.h"
#include "installer/uninstall/Uninstaller.h"
#include "platform/win/Process.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/engine/RegistryTestSupport.h"

using rtl::AnsiString;

namespace {

using UninstallRecordsTest = EngineTest;

const win::HKEY HKLM = win::HKEY_LOCAL_MACHINE;
const AnsiString Key = UninstallKeyOf("Scrivane");

// The subkeys (or values) of a key; none when it does not exist.
std::vector<std::string> NamesOf(const AnsiString& key, bool keys = true)
{
    TtrwkRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKeyReadOnly(key))
        return {};
    std::vector<std::string> names;
    for (const AnsiString& name : RegistryNames(registry, keys))
        names.push_back(name);
    return names;
}

TEST_F(UninstallRecordsTest, DisplayValuesAreWrittenWhenSet)
{
    TInstallInformation information;
    information.SetProductName(" Scrivane ");
    information.SetCompanyName("Halvern");
    information.SetVersion("");
    TControlPanelExtensionInformation extended;
    extended.SetHelpLink("http://halvern.example/help");
    extended.SetContact("Support");
    TRegistrationInformation registration;
    registration.SetRegOwner("Ann");
    const AnsiString key = UninstallKeyOf(information.ProductName());
    WriteUninstallValues(key, information, extended, registration,
                         {"C:\\Program Files\\Halvern Scrivane\\uninstall.exe", "", "C:\\Program Files\\Halvern Scrivane\\readme.txt"});

    EXPECT_EQ(key, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ Scrivane ");
    EXPECT_EQ(ReadValue(HKLM, key, "DisplayName"), "Scrivane");
    EXPECT_EQ(ReadValue(HKLM, key, "UninstallString"),
              "\"C:\\Program Files\\Halvern Scrivane\\uninstall.exe\" \" Scrivane \"");
    EXPECT_EQ(ReadValue(HKLM, key, "Publisher"), "Halvern");
    EXPECT_EQ(ReadValue(HKLM, key, "HelpLink"), "http://halvern.example/help");
    EXPECT_EQ(ReadValue(HKLM, key, "Contact"), "Support");
    EXPECT_EQ(ReadValue(HKLM, key, "RegOwner"), "Ann");
    EXPECT_EQ(ReadValue(HKLM, key, "Readme"), "C:\\Program Files\\Halvern Scrivane\\readme.txt");
    for (const char* absent : {"DisplayVersion", "DisplayIcon", "Comments", "HelpTelephone", "ProductID",
                               "URLInfoAbout", "URLUpdateInfo", "RegCompany"})
        EXPECT_EQ(ReadValue(HKLM, key, absent), "<none>") << absent;

    // An empty product name still gets both values that are always written.
    information.SetProductName("");
    WriteUninstallValues(UninstallKeyOf(""), information, extended, registration, {"C:\\u.exe", "", ""});
    EXPECT_EQ(ReadValue(HKLM, UninstallKeyOf(""), "DisplayName"), "");
    EXPECT_EQ(ReadValue(HKLM, UninstallKeyOf(""), "UninstallString"), "\"C:\\u.exe\" \"\"");
}

TEST_F(UninstallRecordsTest, TheUninstallerGetsTheProductNameAsOneArgument)
{
    for (const AnsiString& name : {AnsiString("Scrivane"), AnsiString(" Halvern  Scrivane 1.0 "),
                                   AnsiString("Say \"hi\""), AnsiString("Ends in \\"), AnsiString("a\\\\\"b"),
                                   AnsiString("")}) {
        const auto arguments = win::SplitCommandLine(UninstallCommandLine("C:\\Program Files\\My App\\uninstall.exe", name));
        ASSERT_EQ(arguments.size(), 2u) << name;
        EXPECT_EQ(arguments[0], "C:\\Program Files\\My App\\uninstall.exe");
        EXPECT_EQ(arguments[1], name);
        TUninstallArguments parsed;
        std::string error;
        ASSERT_TRUE(ParseUninstallArguments({"/S", arguments[1]}, parsed, error)) << error;
        EXPECT_TRUE(parsed.Silent);
        EXPECT_EQ(parsed.ProductName, name);
    }
    TUninstallArguments parsed;
    std::string error;
    EXPECT_FALSE(ParseUninstallArguments({"/S"}, parsed, error));
    EXPECT_FALSE(ParseUninstallArguments({"Scrivane", "extra"}, parsed, error));
    ASSERT_TRUE(ParseUninstallArguments({"Scrivane"}, parsed, error));
    EXPECT_FALSE(parsed.Silent);
}

TEST_F(UninstallRecordsTest, FilesAreNumberedInInstallOrderAndAppendedLater)
{
    AddFilesRecordEntry(Key, "C:\\A\\one.exe");
    AddFilesRecordEntry(Key, "C:\\A\\two.hlp");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "Entries"), "2");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File1"), "C:\\A\\one.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File2"), "C:\\A\\two.hlp");
    // A library for self-registration goes to its own record with its kind, and not under "Files".
    AddActiveXRecordEntry(Key, "C:\\A\\types.tlb", "Types.TLB");
    AddActiveXRecordEntry(Key, "C:\\A\\server.exe", "server.Exe");
    AddActiveXRecordEntry(Key, "C:\\A\\control.ocx", "control.ocx");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "File1"), "C:\\A\\types.tlb;2");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "File2"), "C:\\A\\server.exe;1");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "File3"), "C:\\A\\control.ocx;0");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "Entries"), "3");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "Entries"), "2");
}

TEST_F(UninstallRecordsTest, APathIsRecordedOnceWhereverItStands)
{
    RegWriteString(HKLM, Key + "\\Files", "Entries", "garbled");
    AddFilesRecordEntry(Key, "C:\\A\\one.exe");
    AddFilesRecordEntry(Key, "c:\\a\\ONE.EXE");  // the same file: names compare without case
    AddFilesRecordEntry(Key, "C:\\A\\two.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files1", "Entries"), "2");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files1", "File2"), "C:\\A\\two.exe");
    // An ActiveX entry is told by its path, whatever its kind.
    AddActiveXRecordEntry(Key, "C:\\A\\types.tlb", "types.tlb");
    AddActiveXRecordEntry(Key, "C:\\A\\types.tlb", "types.tlb");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "Entries"), "1");
}

TEST_F(UninstallRecordsTest, ARunKnowsWhatTheRecordsHeldBeforeItAndWhatItAdds)
{
    AddFilesRecordEntry(Key, "C:\\A\\one.exe");
    RegWriteString(HKLM, Key + "\\Files1", "Entries", "1");
    RegWriteString(HKLM, Key + "\\Files1", "File1", "C:\\A\\old.exe");
    AddActiveXRecordEntry(Key, "C:\\A\\types.tlb", "types.tlb");
    {
        const TUninstallRecordsRun run;
        AddFilesRecordEntry(Key, "c:\\a\\OLD.EXE");  // in another subkey, written before the run
        AddFilesRecordEntry(Key, "C:\\A\\ONE.exe");
        AddFilesRecordEntry(Key, "C:\\A\\two.exe");
        AddFilesRecordEntry(Key, "c:\\A\\TWO.EXE");
        {
            const TUninstallRecordsRun nested;
            AddFilesRecordEntry(Key, "C:\\A\\two.exe");
        }
        AddFilesRecordEntry(Key, "C:\\A\\two.exe");  // the nested run's end keeps what the outer one knows
        AddActiveXRecordEntry(Key, "C:\\A\\TYPES.TLB", "types.tlb");
        // The records are told apart: a path of "Files" is new to "ActiveX", and another product's key is
        // another record.
        AddActiveXRecordEntry(Key, "C:\\A\\one.exe", "one.exe");
        AddFilesRecordEntry(UninstallKeyOf("Other"), "C:\\A\\two.exe");
    }
    EXPECT_EQ(NamesOf(Key + "\\Files", false), (std::vector<std::string>{"Entries", "File1", "File2"}));
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File2"), "C:\\A\\two.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "Entries"), "2");
    EXPECT_EQ(NamesOf(Key + "\\Files1", false), (std::vector<std::string>{"Entries", "File1"}));
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "File2"), "C:\\A\\one.exe;1");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX", "Entries"), "2");
    EXPECT_EQ(ReadValue(HKLM, UninstallKeyOf("Other") + "\\Files", "File1"), "C:\\A\\two.exe");

    // What a run knew goes with it: a record emptied afterwards takes the path again in the next run.
    RegDeleteKeyTree(HKLM, Key + "\\Files");
    const TUninstallRecordsRun next;
    AddFilesRecordEntry(Key, "C:\\A\\two.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File1"), "C:\\A\\two.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "Entries"), "1");
}

TEST_F(UninstallRecordsTest, AnEntryThatFailsIsNotKnownToTheRun)
{
    const AnsiString other = UninstallKeyOf("Other");
    for (int k = 0; k < MaxRecordSubkeys; ++k)
        RegWriteString(HKLM, RecordSubkey(other, "Files", k), "Entries", "x");
    const TUninstallRecordsRun run;
    EXPECT_THROW(AddFilesRecordEntry(other, "C:\\A\\one.exe"), rtl::EConvertError);
    RegWriteString(HKLM, RecordSubkey(other, "Files", 0), "Entries", "0");
    AddFilesRecordEntry(other, "C:\\A\\one.exe");
    EXPECT_EQ(ReadValue(HKLM, other + "\\Files", "File1"), "C:\\A\\one.exe");
}

TEST_F(UninstallRecordsTest, AnUnusableRecordMovesOnAndGivesUpAfterItsLimit)
{
    RegWriteString(HKLM, Key + "\\Files", "Entries", "two");
    RegWriteString(HKLM, Key + "\\Files1", "Entries", "-3");
    AddFilesRecordEntry(Key, "C:\\A\\one.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "Entries"), "two");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File1"), "<none>");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files2", "Entries"), "1");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files2", "File1"), "C:\\A\\one.exe");

    // The same rule for the other records.
    RegWriteString(HKLM, Key + "\\ActiveX", "Entries", "");
    AddActiveXRecordEntry(Key, "C:\\A\\types.tlb", "types.tlb");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\ActiveX1", "File1"), "C:\\A\\types.tlb;2");

    // Every subkey unusable: the entry is refused with the error, not retried for ever.
    const AnsiString other = UninstallKeyOf("Other");
    for (int k = 0; k < MaxRecordSubkeys; ++k)
        RegWriteString(HKLM, RecordSubkey(other, "Files", k), "Entries", "x");
    try {
        AddFilesRecordEntry(other, "C:\\A\\one.exe");
        FAIL() << "no subkey could take the entry";
    } catch (const rtl::EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(ReadValue(HKLM, RecordSubkey(other, "Files", MaxRecordSubkeys), "Entries"), "<none>");

    // A count at the top of its range cannot count one more either.
    RegWriteString(HKLM, Key + "\\RegistryKeys", "Entries", "2147483647");
    EXPECT_EQ(AddRecordEntry(Key, "RegistryKeys", [](const AnsiString&, int) {}), Key + "\\RegistryKeys1");
}

TEST_F(UninstallRecordsTest, AnEntryIsAddedWholeOrNotAtAllAndNoNumberServesTwoEntries)
{
    const AnsiString help = "\\SOFTWARE\\Microsoft\\Windows\\Help";
    // The second value's name is too long for the registry: the record's write fails half-way.
    const std::vector<std::pair<AnsiString, AnsiString>> broken = {{"SCRIVANE HELP.HLP", "C:\\A"},
                                                                   {AnsiString(20000, 'n'), "x"}};
    TRegistryWriteNotes notes;
    EXPECT_THROW(AddRegistryKeysRecordEntry(Key, hkLocalMachine, help, broken, notes), rtl::Exception);
    EXPECT_EQ(NamesOf(Key), std::vector<std::string>());

    AddRegistryKeysRecordEntry(Key, hkClassesRoot, "\\.wkp", {{"", "Scrivane.Project"}}, notes);
    const AnsiString record = Key + "\\RegistryKeys\\RegistryKey1";
    EXPECT_EQ(ReadValue(HKLM, record, "Key"), "\\.wkp");
    EXPECT_EQ(NamesOf(record + "\\Entries", false), std::vector<std::string>{""});

    // What a failure could not take back keeps its number: the next entry takes the one after it.
    RegWriteString(HKLM, Key + "\\Files", "File1", "C:\\A\\left.exe");
    AddFilesRecordEntry(Key, "C:\\A\\one.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File1"), "C:\\A\\left.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "File2"), "C:\\A\\one.exe");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\Files", "Entries"), "2");
    RegWriteString(HKLM, Key + "\\RegistryKeys\\RegistryKey2", "Key", "\\Half");
    AddRegistryKeysRecordEntry(Key, hkClassesRoot, "\\.wkt", {{"", "Scrivane.Template"}}, notes);
    EXPECT_EQ(ReadValue(HKLM, Key + "\\RegistryKeys\\RegistryKey2", "Key"), "\\Half");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\RegistryKeys\\RegistryKey3", "Key"), "\\.wkt");
    EXPECT_EQ(ReadValue(HKLM, Key + "\\RegistryKeys", "Entries"), "3");

    // Names added to a known record are taken back as well when one of them fails.
    EXPECT_THROW(AddRegistryKeysRecordEntry(Key, hkClassesRoot, "\\.wkp", {{"Extra", "1"}, broken[1]}, notes),
                 rtl::Exception);
    EXPECT_EQ(NamesOf(record + "\\Entries", false), std::vector<std::string>{""});
}

}  // namespace
