// File containers: the group rule, totals, the hooks of their files while an operation runs, compressing
// a tree of containers into one archive and installing it under "C:\Program Files", plain copies, and the
// path specifier each container gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "installer/engine/PathSpecifiers.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/engine/EngineTestSupport.h"

using rtl::AnsiString;

namespace {

// Sits among a container's children and keeps what the container's download broadcasts carry.
class TDownloadWatcher : public TInstallObject {
    VCL_CLASS(TDownloadWatcher, TInstallObject)
public:
    explicit TDownloadWatcher(vcl::TComponent* owner) : TInstallObject(owner) {}
    int ComponentType() const override { return 2000; }
    void ContainerMessage(vcl::TComponent*, int code, rtl::TObject* parameter) override
    {
        if (code == InstallMessage::DownloadStatus)
            Percents.push_back(static_cast<TDownloadStatusParameter*>(parameter)->Percent);
    }
    std::vector<uint32_t> Percents;
};
VCL_IMPLEMENT_CLASS_NOPROPS(TDownloadWatcher)

// Sits among the driver's children, where the copy window's manager sits, and follows the totals of the
// file-status messages it gets: each must be at least the one before.
class TTotalWatcher : public TInstallObject {
    VCL_CLASS(TTotalWatcher, TInstallObject)
public:
    explicit TTotalWatcher(vcl::TComponent* owner) : TInstallObject(owner) {}
    int ComponentType() const override { return 2000; }
    void ContainerMessage(vcl::TComponent*, int code, rtl::TObject* parameter) override
    {
        if (code != InstallMessage::FileStatus)
            return;
        const auto& status = *static_cast<TFileStatusParameter*>(parameter);
        if (Messages > 0 && (status.TotalPercent < LastPercent || status.TotalBytesDone < LastBytes))
            ++Falls;
        ++Messages;
        LastPercent = status.TotalPercent;
        LastBytes = status.TotalBytesDone;
        if (LastPercent >= 40 && LastPercent <= 60)
            ++Halfway;
    }
    int64_t Messages = 0;
    int64_t Falls = 0;
    int64_t Halfway = 0;
    uint32_t LastPercent = 0;
    int32_t LastBytes = 0;
};
VCL_IMPLEMENT_CLASS_NOPROPS(TTotalWatcher)

class FileContainerTest : public FileEngineTest {};

}  // namespace

TEST_F(FileContainerTest, GroupsLiveOnlyInTheDriverOrAnotherGroup)
{
    auto* inner = new TInstallGroup(form_.get());
    inner->SetContainer(group_);
    EXPECT_EQ(MessageOf<IEInstallGroup>([&] { inner->SetContainer(docs_); }),
              "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component");
    EXPECT_EQ(inner->Container(), group_);
    inner->SetContainer(nullptr);
    EXPECT_EQ(inner->Container(), install_);
    // A container's children share its archive, and a name under that kind of archive means nothing.
    EXPECT_TRUE(dynamic_cast<TpsContainerArchiveFile*>(inner->ArchiveFileType()));
    inner->SetArchiveFile("other.1");
    EXPECT_EQ(inner->ArchiveFile(), "");
    EXPECT_EQ(inner->GetArchivePath(), "C:\\dist\\files.1");
}

TEST_F(FileContainerTest, TotalsCountIncludedFilesOfIncludedContainersOrEverything)
{
    AddFile("a.txt", std::string(100, 'a'), group_);
    TCustomInstallFile* skipped = AddFile("b.txt", std::string(20, 'b'), group_);
    AddFile("c.txt", std::string(7, 'c'));
    auto* extra = new TInstallDirectory(form_.get());
    extra->SetContainer(group_);
    AddFile("d.txt", std::string(3000, 'd'), extra);
    group_->ReadInfo();
    skipped->SetInclude(false);
    extra->SetInclude(false);
    EXPECT_EQ(group_->TotalSize(false, false), 100);
    EXPECT_EQ(group_->TotalSize(false, true), 107);
    EXPECT_EQ(group_->TotalSize(true, false), 120);
    EXPECT_EQ(group_->TotalSize(true, true), 3127);
    EXPECT_EQ(install_->TotalSizeDeep(true), 3127);
}

// A file's size has 32 bits; a larger source reads as the largest one, never as a negative size, and the
// totals over such files pass 32 bits.
TEST_F(FileContainerTest, TotalsOfSourcesPastWhat32BitsHoldStayWhole)
{
    constexpr int64_t Largest = std::numeric_limits<int32_t>::max();
    for (const char* name : {"big1.bin", "big2.bin"}) {
        AddFile(name, "");
        std::filesystem::resize_file(DriveC(std::string("src/") + name), int64_t{3} << 30);  // sparse
    }
    AddFile("small.txt", "seven b");
    docs_->ReadInfo();
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\big1.bin")->Size(), Largest);
    EXPECT_EQ(docs_->TotalSize(true, false), 2 * Largest + 7);
    EXPECT_EQ(install_->TotalSizeDeep(true), 2 * Largest + 7);
}

TEST_F(FileContainerTest, IdleContainersDropHooksAndBusyOnesCheckTheirParameters)
{
    TCustomInstallFile* file = AddFile("a.txt", "x");
    int received = 0;
    docs_->OnDataReceived = [&](rtl::TObject*, const AnsiString&, int32_t, int32_t, int32_t, void*) { ++received; };
    TDownloadStatusParameter download;
    docs_->DoInformationEventControl(file, HookCode::DownloadProgress, &download);
    docs_->DoInformationEventControl(file, HookCode::FileReplacing, nullptr);  // not even checked
    EXPECT_EQ(received, 0);

    docs_->SetContainerState(ifsInstall);
    TMessageParameter other;
    TParameterPair wrongFirst(&other, &other);
    TParameterPair wrongSecond(file, &other);
    TParameterPair missing(file, nullptr);
    const auto hook = [&](int code, rtl::TObject* parameter) {
        return MessageOf<IEFileContainer>([&] { docs_->DoInformationEventControl(file, code, parameter); });
    };
    EXPECT_EQ(hook(HookCode::FileReplacing, nullptr), "Docs got a nil PO parameter");
    EXPECT_EQ(hook(HookCode::FileReplacing, &other), "DoInformationEventControl parameter is not TInstallFile");
    EXPECT_EQ(hook(HookCode::InstallProgress, &other), "DoInformationEventControl--PO is not a TList object");
    EXPECT_EQ(hook(HookCode::InstallProgress, &missing), "DoInformationEventControl--Not engouh parameters for status event");
    EXPECT_EQ(hook(HookCode::CopyProgress, &wrongFirst), "DoInformationEventControl says bad first parameter");
    EXPECT_EQ(hook(HookCode::CompressProgress, &wrongSecond), "DoInformationEventControl says bad second parameter");
    EXPECT_EQ(hook(HookCode::NewVolume, &wrongSecond), "DoInformationEventControl says bad 2 parameter");
    EXPECT_EQ(hook(HookCode::DownloadProgress, &other),
              "The PO object passed to Docs is not a TDownloadStatusParameter object");
    EXPECT_EQ(hook(HookCode::FileKept, &other), "DoInformationEventControl says bad first parameter");
    docs_->SetContainerState(ifsNone);
}

TEST_F(FileContainerTest, DownloadProgressTravelsInItsOwnParametersAndStaysWithinAHundredPercent)
{
    TCustomInstallFile* file = AddFile("a.txt", "x");
    auto* watcher = new TDownloadWatcher(form_.get());
    watcher->SetContainer(docs_);
    std::vector<std::string> seen;
    docs_->OnDataReceived = [&](rtl::TObject* sender, const AnsiString& name, int32_t bytes, int32_t total,
                                int32_t size, void* buffer) {
        EXPECT_EQ(sender, docs_);
        EXPECT_EQ(buffer, nullptr);
        seen.push_back(name + " " + std::to_string(bytes) + " " + std::to_string(total) + " " + std::to_string(size));
    };
    docs_->SetContainerState(ifsInstall);
    char block[8] = {};
    file->DoDownloadStatus("Docs.1", 8, 150, 400, block);
    file->DoDownloadStatus("Docs.1", 8, 500, 400, block);  // more than the server announced
    file->DoDownloadStatus("Docs.1", 8, 8, 0, block);      // no size announced
    docs_->SetContainerState(ifsNone);
    EXPECT_EQ(seen, (std::vector<std::string>{"Docs.1 8 150 400", "Docs.1 8 500 400", "Docs.1 8 8 0"}));
    EXPECT_EQ(watcher->Percents, (std::vector<uint32_t>{38, 100, 0}));
}

TEST_F(FileContainerTest, CompressNeedsANetLocationUnlessNetworkFilesStayLocal)
{
    AddFile("a.txt", "alpha");
    EXPECT_EQ(MessageOf<IEFileRel_NoNetLocation>([&] { docs_->Compress(0); }),
              "Could not find a net install location for Docs");
    EXPECT_EQ(docs_->ContainerState(), ifsNone);
    EXPECT_EQ(MessageOf<IEFileContainer>([&] {
                  docs_->Compress(CompressOption::ForceNetFilesLocal | CompressOption::ForceFilesNet);
              }),
              "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
    docs_->Compress(CompressOption::ForceNetFilesLocal);
    EXPECT_TRUE(std::filesystem::exists(DriveC("dist/files.1")));
}

TEST_F(FileContainerTest, ATreeIsCompressedIntoOneArchiveAndInstalledUnderProgramFiles)
{
    AddFile("readme.txt", "read me first");
    AddFile("guide.txt", std::string(70000, 'g'));
    AddFile("app.exe", "program bytes", group_);
    install_->Compress(CompressOption::ForceNetFilesLocal);
    std::filesystem::remove_all(DriveC("src"));  // the archive alone must do

    std::vector<uint32_t> totals;
    docs_->OnStatus = [&](TCustomInstallFile*, uint32_t, uint32_t total) { totals.push_back(total); };
    bool afterInstall = false;
    group_->OnAfterInstallObjects = [&](TInstallContainer* container, bool aborted) {
        afterInstall = container == group_ && !aborted;
    };
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("app.exe")), "program bytes");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "read me first");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/guide.txt")), std::string(70000, 'g'));
    EXPECT_TRUE(afterInstall);
    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), 100u);
    for (size_t i = 1; i < totals.size(); ++i)
        EXPECT_LE(totals[i - 1], totals[i]);
    EXPECT_EQ(docs_->ContainerState(), ifsNone);
    // Each file's size, date and version came back from its archive entry.
    EXPECT_EQ(docs_->TotalArchivedSize(true) > 0, true);
    EXPECT_EQ(docs_->TotalSize(true, false), 70000 + 13);
}

TEST_F(FileContainerTest, AFailingChildGetsItsArchiveSettingsBack)
{
    TCustomInstallFile* file = AddFile("a.txt", "alpha");
    file->OnBeforeCompress = [](TCustomInstallFile*) { throw rtl::Exception("stop"); };
    EXPECT_EQ(MessageOf<rtl::Exception>([&] { install_->Compress(CompressOption::ForceNetFilesLocal); }), "stop");
    EXPECT_EQ(file->AddToArchive(), lzcOverwrite);
    EXPECT_EQ(docs_->AddToArchive(), lzcOverwrite);
    EXPECT_TRUE(dynamic_cast<TpsContainerArchiveFile*>(file->ArchiveFileType()));
    EXPECT_EQ(install_->ContainerState(), ifsNone);
    EXPECT_EQ(docs_->ContainerState(), ifsNone);
}

TEST_F(FileContainerTest, PlainCopyAndMissingSources)
{
    AddFile("a.txt", "alpha");
    AddFile("b.txt", "beta");
    docs_->CopyFiles();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/a.txt")), "alpha");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/b.txt")), "beta");

    std::filesystem::remove(DriveC("src/a.txt"));
    docs_->RemoveMissingFiles();
    ASSERT_EQ(docs_->FileCount(), 1);
    EXPECT_EQ(docs_->FileAt(0)->FileName(), "b.txt");
    EXPECT_EQ(docs_->FindFileBySource("c:\\SRC\\B.TXT"), docs_->FileAt(0));
}

TEST_F(FileContainerTest, EachContainerNamesItsFolderThroughItsOwnSpecifier)
{
    TpsFileContainer* groupSpecifier = group_->PathSpecifier();
    TpsFileContainer* docsSpecifier = docs_->PathSpecifier();
    ASSERT_TRUE(groupSpecifier && docsSpecifier);
    EXPECT_EQ(groupSpecifier->Name(), "psFileContainer");
    EXPECT_EQ(docsSpecifier->Name(), "psFileContainer1");
    EXPECT_EQ(install_->PathSpecifier(), nullptr);
    EXPECT_EQ(docsSpecifier->GetCaption(), "<Documentation>");
    EXPECT_EQ(docsSpecifier->GetDescription(), "Path into which Documentation will be installed");

    TCustomInstallFile* file = AddFile("a.txt", "alpha", group_);
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { docsSpecifier->GetPath(file); }),
              "A file container cannot reference another file container or group");
    auto* link = new TTestLink(form_.get());
    EXPECT_EQ(docsSpecifier->GetPath(link), "C:\\Program Files\\MyApplication\\Docs");

    // A specifier that goes takes its container's link with it; a container that goes takes its specifier.
    vcl::TComponentRef<TpsFileContainer> guard(docsSpecifier);
    delete docs_;
    docs_ = nullptr;
    EXPECT_EQ(guard.get(), nullptr);
    delete groupSpecifier;
    EXPECT_EQ(group_->PathSpecifier(), nullptr);
}

// A form of its own: the standard specifiers belong to the first form made.
// The files of a container as its child list holds them, walked the long way.
std::vector<TCustomInstallFile*> FilesOf(const TFileContainer& container)
{
    std::vector<TCustomInstallFile*> files;
    for (int i = 0; i < container.ChildCount(); ++i) {
        if (auto* file = dynamic_cast<TCustomInstallFile*>(container.ChildAt(i)))
            files.push_back(file);
    }
    return files;
}

std::vector<TCustomInstallFile*> FilesByIndex(const TFileContainer& container)
{
    std::vector<TCustomInstallFile*> files;
    for (int i = 0; i < container.FileCount(); ++i)
        files.push_back(container.FileAt(i));
    EXPECT_EQ(container.FileAt(container.FileCount()), nullptr);
    return files;
}

TEST_F(FileContainerTest, LookUpsByIndexAndBySourceFollowInsertsRemovesRenamesAndMoves)
{
    TCustomInstallFile* a = AddFile("a.txt", "a");
    TCustomInstallFile* b = AddFile("b.txt", "b");
    TCustomInstallFile* c = AddFile("c.txt", "c");
    EXPECT_EQ(FilesByIndex(*docs_), FilesOf(*docs_));
    EXPECT_EQ(docs_->FindFileBySource("c:\\SRC\\B.TXT"), b);

    delete b;
    EXPECT_EQ(FilesByIndex(*docs_), FilesOf(*docs_));
    EXPECT_EQ(docs_->FileCount(), 2);
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\b.txt"), nullptr);
    TCustomInstallFile* b2 = AddFile("b.txt", "b again");  // its source is free once more
    EXPECT_EQ(FilesByIndex(*docs_), FilesOf(*docs_));
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\b.txt"), b2);

    // A renamed file is found by its new source only, and its old one is free.
    WriteHost(DriveC("src/e.txt"), "e");
    a->SetFileName("e.txt");
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\a.txt"), nullptr);
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\E.txt"), a);
    EXPECT_EQ(MessageOf<IEfcDuplicateFile>([&] { AddFile("e.txt", "again"); }),
              "There is already a file with the name :C:\\src\\e.txt");
    EXPECT_NE(AddFile("a.txt", "a again"), nullptr);
    c->SetIncludeFromDir("C:\\elsewhere");
    EXPECT_EQ(docs_->FindFileBySource("C:\\elsewhere\\c.txt"), c);

    // A file moved to another container leaves this one's look-ups and joins the other's; so do containers.
    auto* more = new TInstallDirectory(form_.get());
    more->SetName("More");
    more->SetContainer(group_);
    EXPECT_EQ(group_->FileContainerCount(), 2);
    EXPECT_EQ(group_->FileContainers(0), more);  // a newer one of the same type code goes first
    EXPECT_EQ(group_->FileContainers(1), docs_);
    EXPECT_EQ(more->FindFileBySource("C:\\src\\b.txt"), nullptr);
    b2->SetContainer(more);
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\b.txt"), nullptr);
    EXPECT_EQ(more->FindFileBySource("C:\\src\\b.txt"), b2);
    EXPECT_EQ(FilesByIndex(*docs_), FilesOf(*docs_));
    EXPECT_EQ(FilesByIndex(*more), std::vector<TCustomInstallFile*>{b2});
    delete more;
    EXPECT_EQ(group_->FileContainerCount(), 1);
    EXPECT_EQ(group_->FileContainers(0), docs_);
    EXPECT_THROW(group_->FileContainers(1), IEInstallContainer);

    // Freeing every file while walking by index, last first, as the directory's clean-up does.
    for (int i = docs_->FileCount() - 1; i >= 0; --i)
        delete docs_->FileAt(i);
    EXPECT_EQ(docs_->FileCount(), 0);
    EXPECT_EQ(docs_->FindFileBySource("C:\\src\\e.txt"), nullptr);
}

class StoredSpecifierTest : public EngineTest {};

TEST_F(StoredSpecifierTest, AStoredSpecifierTakesTheNameAndThePlaceOfTheOneMadeForItsContainer)
{
    std::unique_ptr<TfrmStoredTree> stored(new TfrmStoredTree(nullptr));
    auto* group = stored->FindChild<TInstallGroup>("Group1");
    auto* specifier = stored->FindChild<TpsFileContainer>("psFileContainer");
    ASSERT_TRUE(group && specifier);
    EXPECT_EQ(group->PathSpecifier(), specifier);
    EXPECT_EQ(specifier->FileContainer(), group);
    TTestLink link(nullptr);
    EXPECT_EQ(specifier->GetPath(&link), "C:\\Program Files\\MyApplication\\Stored");
    // The one made for the first group is gone; the second group's own kept a free name.
    int specifiers = 0;
    for (int i = 0; i < stored->ComponentCount(); ++i)
        specifiers += dynamic_cast<TpsFileContainer*>(stored->Components(i)) != nullptr;
    EXPECT_EQ(specifiers, 2);
    auto* second = stored->FindChild<TInstallGroup>("Group2");
    ASSERT_TRUE(second->PathSpecifier());
    EXPECT_NE(second->PathSpecifier()->Name(), "psFileContainer");
}

TEST_F(FileContainerTest, CompressRedirectsArchivesBesideTheSetupAndIntoTheBuildLayout)
{
    TCustomInstallFile* beside = AddFile("beside.txt", "beside the setup");
    beside->SetArchiveFileType(&FindSpecifier(TpsInstallSource::StaticClass()));
    beside->SetArchiveFile("\\extra.1");
    auto* elsewhere = new TInstallDirectory(form_.get());
    elsewhere->SetContainer(group_);
    elsewhere->SetArchiveFileType(nullptr);
    elsewhere->SetArchiveFile("D:\\media\\other.1");
    AddFile("other.txt", "laid out", elsewhere);
    install_->Compress(CompressOption::ForceNetFilesLocal | CompressOption::BuildLayout);
    EXPECT_TRUE(std::filesystem::exists(DriveC("dist/extra.1")));
    EXPECT_TRUE(std::filesystem::exists(DriveC("dist/media/other.1")));
    // What the build changed for the time of the compression is back as it was.
    EXPECT_EQ(beside->ArchiveFile(), "\\extra.1");
    EXPECT_TRUE(dynamic_cast<TpsInstallSource*>(beside->ArchiveFileType()));
    EXPECT_EQ(elsewhere->ArchiveFile(), "D:\\media\\other.1");
}

TEST_F(FileContainerTest, TheContainerAnswersForANewDiskAndSilencesTheFilesOwnPrompt)
{
    TCustomInstallFile* file = AddFile("a.txt", "alpha");
    docs_->OnNewDisk = [](TCustomInstallFile*, int32_t disk, AnsiString& path) {
        path = "A:\\disk" + std::to_string(disk);
    };
    TDiskParameter disk;
    disk.DiskNumber = 3;
    disk.Path = "C:\\dist";
    TParameterPair pair(file, &disk);
    docs_->SetContainerState(ifsInstall);
    docs_->DoInformationEventControl(file, HookCode::NewVolume, &pair);
    docs_->SetContainerState(ifsNone);
    EXPECT_EQ(disk.Path, "A:\\disk3");
    EXPECT_EQ(file->Tag(), 1);
}

// An installation of 2.5 GiB: the sources are sparse files of zeros, the archive a few megabytes, and
// only the installed copies take their room on the disk, until the prefix goes. Its totals pass what 32
// bits hold after the fourth file; the total shown must still rise and end full, and the byte count the
// messages carry stops at its largest value instead of turning negative.
TEST_F(FileContainerTest, AnInstallationPastTwoGigabytesFillsTheTotalToTheEnd)
{
    constexpr int64_t FileBytes = int64_t{512} << 20;
    constexpr int Files = 5;
    for (int i = 0; i < Files; ++i) {
        const std::string name = "part" + std::to_string(i) + ".bin";
        AddFile(name, "");
        std::filesystem::resize_file(DriveC("src/" + name), FileBytes);
    }
    install_->Compress(CompressOption::ForceNetFilesLocal);
    std::filesystem::remove_all(DriveC("src"));

    auto* watcher = new TTotalWatcher(form_.get());
    watcher->SetContainer(install_);
    std::vector<uint32_t> fileTotals;
    docs_->OnStatus = [&](TCustomInstallFile*, uint32_t, uint32_t total) {
        if (fileTotals.empty() || fileTotals.back() != total)
            fileTotals.push_back(total);
    };
    install_->InstallTree();
    for (int i = 0; i < Files; ++i)
        EXPECT_EQ(std::filesystem::file_size(InstalledHost("Docs/part" + std::to_string(i) + ".bin")), FileBytes);

    EXPECT_EQ(install_->OperationTotal(), Files * FileBytes);
    EXPECT_EQ(install_->BytesDone(), Files * FileBytes);
    EXPECT_GT(watcher->Messages, 1000);
    EXPECT_EQ(watcher->Falls, 0);
    EXPECT_GT(watcher->Halfway, 0);
    EXPECT_EQ(watcher->LastPercent, 100u);
    EXPECT_EQ(watcher->LastBytes, std::numeric_limits<int32_t>::max());
    // The directory's own event counts the same 2.5 GiB.
    ASSERT_FALSE(fileTotals.empty());
    EXPECT_TRUE(std::is_sorted(fileTotals.begin(), fileTotals.end())) << ::testing::PrintToString(fileTotals);
    EXPECT_EQ(fileTotals.back(), 100u);
}
