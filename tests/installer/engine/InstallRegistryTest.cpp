// Registry components: the key they write under, the values with their folder placeholders, the order of
// install and the "RegistryKeys" record in the uninstall key, over runs.
#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/InstallRegistry.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/engine/UninstallRecords.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/engine/RegistryTestSupport.h"

using rtl::AnsiString;

namespace {

using InstallRegistryTest = EngineTest;

const AnsiString UninstallKey = UninstallKeyOf("Scrivane");
const AnsiString RegistryKeys = UninstallKey + "\\RegistryKeys";

TEST_F(InstallRegistryTest, AnInstallWritesTheAssociationWithTheQuotedProgramPath)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    RunRegistrySetup(*form);

    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\.wkp", ""), "Scrivane.Project");
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\Scrivane.Project\\shell\\open\\command", ""),
              "\"C:\\Program Files\\Halvern Scrivane\\Scrivane.exe\" \"%1\"");
    // Loaded as stored: the integer entry keeps its type although it has a text too.
    EXPECT_EQ(RegReadInteger(win::HKEY_CLASSES_ROOT, "\\Scrivane.Project\\shell\\open\\command", "Stored", -1), 7);
    // The key made from the product information, under the local machine.
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Halvern\\Scrivane\\1.0", "Path"),
              "C:\\Program Files\\Halvern Scrivane");
}

TEST_F(InstallRegistryTest, TheRecordListsEachComponentAndContinuesOnTheNextRun)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    RunRegistrySetup(*form);

    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys, "Entries"), "3");
    const AnsiString first = RegistryKeys + "\\RegistryKey1";
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first, "Key"), "\\.wkp");  // without the trailing backslash
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, first, "Root", -1), static_cast<int>(hkClassesRoot));
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first + "\\Entries", ""), "Scrivane.Project");
    // Every entry is recorded by its expanded text, the integer one by its (unused) text.
    const AnsiString second = RegistryKeys + "\\RegistryKey2\\Entries";
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, second, ""), "\"C:\\Program Files\\Halvern Scrivane\\Scrivane.exe\" \"%1\"");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, second, "Stored"), "kept");
    const AnsiString third = RegistryKeys + "\\RegistryKey3";
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, third, "Key"), "\\SOFTWARE\\Halvern\\Scrivane\\1.0");
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, third, "Root", -1), static_cast<int>(hkLocalMachine));

    // Each record names the outermost key the run created; a fresh machine has "\SOFTWARE" already.
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first, "Created"), "\\.wkp");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, third, "Created"), "\\SOFTWARE\\Halvern");

    // A second run of the same setup finds its keys recorded and records each once.
    form.reset();
    form.reset(new TfrmRegistrySetup(nullptr));
    RunRegistrySetup(*form);
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys, "Entries"), "3");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys + "\\RegistryKey4", "Key"), "<none>");
    // What the first run created stays what the record says it created.
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first, "Created"), "\\.wkp");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, third, "Created"), "\\SOFTWARE\\Halvern");
}

TEST_F(InstallRegistryTest, AValueThatWasThereBeforeIsKeptWithItsOldTypeAndData)
{
    // Someone else's association and an integer of another program, both overwritten by the setup.
    RegWriteString(win::HKEY_CLASSES_ROOT, "\\.wkp", "", "Other.Document");
    RegWriteInteger(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Halvern\\Scrivane\\1.0", "Path", 42);
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    RunRegistrySetup(*form);
    const AnsiString first = RegistryKeys + "\\RegistryKey1";
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first, "Created"), "");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first + "\\Previous", ""), "Other.Document");
    const AnsiString third = RegistryKeys + "\\RegistryKey3";
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, third, "Created"), "");
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, third + "\\Previous", "Path", -1), 42);
    // Values the setup created have no earlier state.
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys + "\\RegistryKey2", "Created"), "\\Scrivane.Project");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys + "\\RegistryKey2\\Previous", "Stored"), "<none>");

    // The second run finds its own value there and keeps the first state.
    form.reset();
    form.reset(new TfrmRegistrySetup(nullptr));
    RunRegistrySetup(*form);
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, first + "\\Previous", ""), "Other.Document");
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, third + "\\Previous", "Path", -1), 42);
}

TEST_F(InstallRegistryTest, AGarbledCountMovesTheRecordOnInsteadOfEndingTheRun)
{
    RegWriteString(win::HKEY_LOCAL_MACHINE, RegistryKeys, "Entries", "many");
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    RunRegistrySetup(*form);
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys, "Entries"), "many");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys + "1", "Entries"), "3");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys + "1\\RegistryKey1", "Key"), "\\.wkp");
}

TEST_F(InstallRegistryTest, ASkippedValueIsNotWrittenButStillRecorded)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    auto& command = form->Item<TInstallRegistry>("OpenCommand");
    std::vector<std::string> seen;
    command.OnBeforeWriteEntry = [&seen](TCustomInstallRegistry*, TRegistryEntry* entry, bool& proceed) {
        seen.push_back(entry->Ident());
        proceed = entry->Ident() != "Stored";
    };
    RunRegistrySetup(*form);
    EXPECT_EQ(seen, (std::vector<std::string>{"", "Stored"}));
    EXPECT_EQ(RegReadInteger(win::HKEY_CLASSES_ROOT, "\\Scrivane.Project\\shell\\open\\command", "Stored", -1), -1);
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys + "\\RegistryKey2\\Entries", "Stored"), "kept");
}

TEST_F(InstallRegistryTest, RegistryKeysWaitForTheFilesAndInstallOnTheirMessage)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    auto& install = form->Item<TInstall>("Install1");
    auto& command = form->Item<TInstallRegistry>("OpenCommand");
    // Not installed with the group: the driver installs them by type afterwards.
    EXPECT_FALSE(command.InstallWithContainer());
    install.SetInstalling(true);
    command.Install();
    EXPECT_FALSE(command.Processed());  // its group has not been installed yet
    install.SetInstalling(false);

    // -968 installs it at once.
    command.ContainerMessage(&install, InstallMessage::InstallRegistry, nullptr);
    EXPECT_TRUE(command.Processed());
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, RegistryKeys, "Entries"), "1");
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\.wkp", ""), "<none>");
}

TEST_F(InstallRegistryTest, KeysMadeFromTheProductNeedTheDriver)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    auto* reg = new TInstallRegistry(form.get());
    reg->SetKey("\\Somewhere\\");
    reg->SetRootKey(hkUsers);
    EXPECT_EQ(reg->GetFullKey(), "\\Somewhere");
    reg->SetKeySpecifierType(ksCompanyName);
    EXPECT_EQ(reg->Key(), "");
    EXPECT_EQ(reg->RootKey(), hkLocalMachine);
    EXPECT_EQ(reg->GetFullKey(), "\\SOFTWARE\\Halvern");
    reg->SetKey("\\Elsewhere");  // ignored while the key is made from the product
    reg->SetKeySpecifierType(ksProductName);
    EXPECT_EQ(reg->GetFullKey(), "\\SOFTWARE\\Halvern\\Scrivane");
    EXPECT_EQ(reg->Key(), "");

    // The driver goes: the key falls back to an absolute one.
    delete &form->Item<TInstall>("Install1");
    EXPECT_EQ(reg->KeySpecifierType(), ksAbsolute);
    try {
        reg->SetKeySpecifierType(ksVersion);
        FAIL() << "no driver";
    } catch (const IEInstallRegistry& e) {
        EXPECT_STREQ(e.what(), "There is no TInstall component in your project");
    }
    EXPECT_EQ(reg->KeySpecifierType(), ksAbsolute);
}

TEST_F(InstallRegistryTest, TheLastValueSetDecidesTheEntryType)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    auto* reg = new TInstallRegistry(form.get());
    TRegistryEntry* entry = reg->Entries()->Add();
    entry->SetInteger(5);
    EXPECT_EQ(entry->EntryType(), retInteger);
    entry->SetBoolean(true);
    EXPECT_EQ(entry->EntryType(), retBoolean);
    TCustomPathSpecifier& main = FindSpecifier(TpsMainInstall::StaticClass());
    entry->SetPathSpecifier(&main);
    EXPECT_EQ(entry->EntryType(), retText);
    EXPECT_EQ(entry->Text(), "%p");
    entry->SetText("%P\\bin;100%%");
    EXPECT_EQ(entry->GetExpandedText(), "C:\\Program Files\\Halvern Scrivane\\bin;100%");
    entry->SetInteger(0);
    entry->SetIdent("Flag");

    // Copies keep the type; a Boolean entry writes 1 or 0.
    TRegistryEntry* copy = reg->Entries()->Add();
    copy->Assign(entry);
    EXPECT_EQ(copy->EntryType(), retInteger);
    copy->SetBoolean(true);
    copy->SetIdent("On");
    reg->SetKey("\\SOFTWARE\\Test");
    reg->Install();
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Test", "Flag", -1), 0);
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Test", "On", -1), 1);

    // A specifier that goes leaves the entry its type and text.
    auto* own = new TPathSpecifier(form.get());
    own->OnGetPath = [](vcl::TComponent*, AnsiString& path) { path = "D:\\Data"; };
    entry->SetPathSpecifier(own);
    EXPECT_EQ(entry->GetExpandedText(), "D:\\Data");
    delete own;
    EXPECT_EQ(entry->PathSpecifier(), nullptr);
    EXPECT_EQ(entry->EntryType(), retText);
    EXPECT_EQ(entry->GetExpandedText(), "%p");
}

TEST_F(InstallRegistryTest, AKeyThatCannotBeOpenedNamesTheComponent)
{
    std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
    auto* reg = new TInstallRegistry(form.get());
    reg->SetName("Broken");
    reg->SetRootKey(hkDynData);  // no such root on this Windows
    reg->Entries()->Add()->SetText("x");
    try {
        reg->Install();
        FAIL() << "the key cannot be made";
    } catch (const IERegistryEntry& e) {
        EXPECT_STREQ(e.what(), "Broken cannot create the key \\SOFTWARE\\MyStuff in the registry");
    }
    EXPECT_THROW(TRegistryEntries(nullptr), IERegistryEntries);
}

}  // namespace
