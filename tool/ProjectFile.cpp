#include "tool/ProjectFile.h"

#include <atomic>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/rtl/FileSystem.h"
#include "platform/win/Files.h"
#include "tool/HelpBuild.h"

using rtl::AnsiString;

namespace {

const char VersionMarker[] = "WKPFILEVERSION";
constexpr int32_t WrittenVersion = 3;
constexpr char EndOfFileCharacter = 26;
constexpr size_t MaxNumberLength = 32;
// Entries a count may claim beyond what the rest of the file could hold before it is taken for damage:
// past the end every entry reads empty, and a huge count would only exhaust memory and time.
constexpr int64_t MaxEntriesPastEnd = 1000;

// The runtime library's numbers for its input/output errors.
constexpr int IoReadBeyondEnd = 100;
constexpr int IoDiskFull = 101;
constexpr int IoInvalidNumber = 106;

constexpr uint32_t ErrorFileNotFound = 2;
constexpr uint32_t ErrorHandleDiskFull = 39;
constexpr uint32_t ErrorFileExists = 80;
constexpr uint32_t ErrorDiskFull = 112;
constexpr uint32_t ErrorAlreadyExists = 183;

// A Windows error code as the number an input/output error carries.
[[noreturn]] void RaiseInOutError(uint32_t windowsError)
{
    if (windowsError == ErrorDiskFull || windowsError == ErrorHandleDiskFull)
        throw rtl::EInOutError(IoDiskFull);
    throw rtl::EInOutError(static_cast<int>(windowsError));
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Counts and lines.

void ReadLines(TProjectReader& reader, rtl::TStrings& lines)
{
    const int32_t count = reader.ReadCount();
    for (int32_t i = 0; i < count; ++i)
        lines.Add(reader.ReadString());
}

std::unique_ptr<TPageObject> ReadPage(TProjectReader& reader, int32_t version, const AnsiString& projectFolder)
{
    auto page = std::make_unique<TPageObject>();
    page->Name = reader.ReadString();
    if (version > 1)
        page->ContextID = reader.ReadString();
    page->TopicID = reader.ReadString();
    page->TopicTitle = reader.ReadString();
    page->IndexKeywords = reader.ReadString();
    ReadLines(reader, page->Text);
    ReadLines(reader, page->Header);

    const int32_t linkCount = reader.ReadCount();
    for (int32_t i = 0; i < linkCount; ++i) {
        auto link = std::make_unique<TLinkObject>();
        link->Name = reader.ReadString();
        if (version >= 3)
            link->LinkType = reader.ReadInteger();
        link->Target = reader.ReadString();
        link->Text = reader.ReadString();
        link->Popup = reader.ReadBoolean();
        TLinkObject* record = link.get();
        page->Links.AddObject(record->Name, record);
        link.release();
    }

    const int32_t pictureCount = reader.ReadCount();
    std::vector<AnsiString> storedPaths;
    for (int32_t i = 0; i < pictureCount; ++i)
        storedPaths.push_back(reader.ReadString());
    ApplyPictureRule(*page, storedPaths, projectFolder);
    return page;
}

class TLineWriter {
public:
    void Line(std::string_view text)
    {
        bytes_ += text;
        bytes_ += "\r\n";
    }
    void Integer(int32_t value) { Line(rtl::IntToStr(value)); }
    void Boolean(bool value) { Line(value ? "TRUE" : "FALSE"); }
    void Lines(const rtl::TStrings& lines)
    {
        Integer(lines.Count());
        for (int i = 0; i < lines.Count(); ++i)
            Line(lines.Strings(i));
    }
    AnsiString Take() { return std::move(bytes_); }

private:
    AnsiString bytes_;
};

template <typename T>
const T& RecordOf(const rtl::TStrings& list, int index, const char* what)
{
    const auto* record = dynamic_cast<const T*>(list.Objects(index));
    if (record == nullptr)
        throw rtl::Exception(rtl::Format("%s %d has no record", what, index));
    return *record;
}

void WritePage(TLineWriter& out, const TPageObject& page)
{
    out.Line(page.Name);
    out.Line(page.ContextID);
    out.Line(page.TopicID);
    out.Line(page.TopicTitle);
    out.Line(page.IndexKeywords);
    out.Lines(page.Text);
    out.Lines(page.Header);
    out.Integer(page.Links.Count());
    for (int i = 0; i < page.Links.Count(); ++i) {
        const auto& link = RecordOf<TLinkObject>(page.Links, i, "Link");
        out.Line(link.Name);
        out.Integer(link.LinkType);
        out.Line(link.Target);
        out.Line(link.Text);
        out.Boolean(link.Popup);
    }
    out.Lines(page.Pictures);
}

// Folders of a path without its drive: the pieces before each backslash; `name` gets what follows the last.
std::vector<std::string_view> SplitFolders(std::string_view rest, std::string_view* name = nullptr)
{
    std::vector<std::string_view> folders;
    size_t start = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '\\') {
            folders.push_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    if (name != nullptr)
        *name = rest.substr(start);
    return folders;
}

bool SameFolder(std::string_view a, std::string_view b) { return rtl::AnsiSameText(AnsiString(a), AnsiString(b)); }

struct TMarkerRewrite {
    AnsiString From;  // the stored path with doubled backslashes
    AnsiString To;    // the relative path with doubled backslashes
};

// The marker rewrite as the rule words it: per picture and line, the first "#From#" found.
void RewriteMarkersDirectly(rtl::TStrings& text, const std::vector<TMarkerRewrite>& rewrites)
{
    for (const TMarkerRewrite& rewrite : rewrites) {
        const AnsiString from = "#" + rewrite.From + "#";
        const AnsiString to = "#" + rewrite.To + "#";
        for (int i = 0; i < text.Count(); ++i) {
            AnsiString line = text.Strings(i);
            size_t at = line.find(from);
            if (at != AnsiString::npos) {
                line.replace(at, from.size(), to);
                text.SetStrings(i, line);
            }
        }
    }
}

// The same result in one pass over the text, valid when no stored path holds "#" and no new path equals a
// stored one: then a marker is exactly the text between two neighbouring "#", a rewrite leaves the "#"
// where they were, and its result is never found again. k pictures with one path rewrite the first k
// markers of that path in each line.
void RewriteMarkersInOnePass(rtl::TStrings& text, const std::vector<TMarkerRewrite>& rewrites)
{
    struct TTarget {
        const AnsiString* To = nullptr;
        int Pictures = 0;
        int Used = 0;
        int Line = -1;
    };
    std::unordered_map<std::string_view, TTarget> targets;
    for (const TMarkerRewrite& rewrite : rewrites) {
        TTarget& target = targets[rewrite.From];
        target.To = &rewrite.To;
        ++target.Pictures;
    }
    for (int i = 0; i < text.Count(); ++i) {
        const AnsiString line = text.Strings(i);
        size_t open = line.find('#');
        if (open == AnsiString::npos)
            continue;
        AnsiString result;
        size_t copied = 0;
        for (size_t close = line.find('#', open + 1); close != AnsiString::npos;
             open = close, close = line.find('#', open + 1)) {
            auto found = targets.find(std::string_view(line).substr(open + 1, close - open - 1));
            if (found == targets.end())
                continue;
            TTarget& target = found->second;
            if (target.Line != i) {
                target.Line = i;
                target.Used = 0;
            }
            if (target.Used == target.Pictures)
                continue;
            ++target.Used;
            result.append(line, copied, open + 1 - copied);
            result += *target.To;
            copied = close;
        }
        if (copied > 0) {
            result.append(line, copied, AnsiString::npos);
            text.SetStrings(i, result);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// The reader

TProjectReader::TProjectReader(AnsiString bytes) : bytes_(std::move(bytes))
{
    size_t end = bytes_.find(EndOfFileCharacter);
    if (end != AnsiString::npos)
        bytes_.resize(end);
}

void TProjectReader::SkipLineEnd()
{
    if (position_ < bytes_.size() && bytes_[position_] == '\r') {
        ++position_;
        if (position_ < bytes_.size() && bytes_[position_] == '\n')
            ++position_;
    }
}

AnsiString TProjectReader::ReadString()
{
    if (AtEnd())
        return AnsiString();
    size_t end = bytes_.find('\r', position_);
    if (end == AnsiString::npos)
        end = bytes_.size();
    AnsiString line = bytes_.substr(position_, end - position_);
    position_ = end;
    SkipLineEnd();
    return line;
}

int32_t TProjectReader::ReadInteger()
{
    while (position_ < bytes_.size() && IsBlank(bytes_[position_]))
        ++position_;
    if (AtEnd())
        return 0;
    const size_t start = position_;
    while (position_ < bytes_.size() && !IsBlank(bytes_[position_]) && position_ - start < MaxNumberLength)
        ++position_;
    const AnsiString word = bytes_.substr(start, position_ - start);
    size_t lineEnd = bytes_.find('\r', position_);
    position_ = lineEnd == AnsiString::npos ? bytes_.size() : lineEnd;
    SkipLineEnd();
    int value = 0;
    if (!rtl::TryStrToInt(word, value))
        throw rtl::EInOutError(IoInvalidNumber);
    return value;
}

int32_t TProjectReader::ReadCount()
{
    const int32_t count = ReadInteger();
    const auto remaining = static_cast<int64_t>(bytes_.size() - position_);
    if (count - remaining > MaxEntriesPastEnd)
        throw rtl::EInOutError(IoReadBeyondEnd);
    return count;
}

bool TProjectReader::ReadBoolean() { return rtl::UpperCase(ReadString()) == "TRUE"; }

// ---------------------------------------------------------------------------------------------------------
// Load

TProjectHeader ReadProjectHeader(TProjectReader& reader)
{
    TProjectHeader header;
    AnsiString first = reader.ReadString();
    if (first == VersionMarker) {
        header.Version = reader.ReadInteger();
        header.HelpFileName = reader.ReadString();
    } else {
        header.HelpFileName = std::move(first);
    }
    return header;
}

void ReadProject(TProjectReader& reader, const AnsiString& projectFolder, TProjectState& state,
                 rtl::TStrings& pages, const TProjectProgress& progress)
{
    const TProjectHeader header = ReadProjectHeader(reader);
    state.HelpFileName = header.HelpFileName;
    state.PageColor = static_cast<vcl::TColor>(reader.ReadInteger());
    state.HeaderColor = static_cast<vcl::TColor>(reader.ReadInteger());
    state.WindowLeft = reader.ReadInteger();
    state.WindowTop = reader.ReadInteger();
    state.WindowWidth = reader.ReadInteger();
    state.WindowHeight = reader.ReadInteger();

    if (!state.TocList)
        state.TocList = NewTocList();
    const int32_t entryCount = reader.ReadCount();
    for (int32_t i = 0; i < entryCount; ++i) {
        AnsiString line = reader.ReadString();
        auto entry = std::make_unique<TTocObject>();
        entry->Name = reader.ReadString();
        entry->PageName = reader.ReadString();
        entry->IsGroup = reader.ReadBoolean();
        state.TocList->AddObject(line, entry.get());
        entry.release();
    }

    const int32_t pageCount = reader.ReadCount();
    for (int32_t i = 1; i <= pageCount; ++i) {
        if (progress)
            progress(i, pageCount);
        std::unique_ptr<TPageObject> page = ReadPage(reader, header.Version, projectFolder);
        pages.AddObject(page->Name, page.get());
        page.release();
    }
}

void LoadProjectFile(const AnsiString& fileName, TProjectState& state, rtl::TStrings& pages,
                     const TProjectProgress& progress)
{
    TProjectReader reader(ReadProjectBytes(fileName));
    ReadProject(reader, rtl::ExtractFilePath(fileName), state, pages, progress);
    state.Modified = false;
}

AnsiString ReadProjectBytes(const AnsiString& fileName)
{
    uint32_t error = 0;
    std::unique_ptr<rtl::IFileHandle> file = rtl::FileSystem().Open(
        fileName, rtl::TFileAccess::Read, rtl::TFileShare::DenyWrite, rtl::TFileDisposition::OpenExisting, &error);
    if (!file)
        RaiseInOutError(error);
    AnsiString bytes;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        int64_t n = file->Read(buffer.data(), static_cast<int64_t>(buffer.size()), &error);
        if (n < 0)
            RaiseInOutError(error);
        if (n == 0)
            break;
        bytes.append(buffer.data(), static_cast<size_t>(n));
    }
    return bytes;
}

// ---------------------------------------------------------------------------------------------------------
// Save

AnsiString ProjectFileBytes(const TProjectState& state, const rtl::TStrings& pages, const TProjectProgress& progress)
{
    TLineWriter out;
    out.Line(VersionMarker);
    out.Integer(WrittenVersion);
    out.Line(state.HelpFileName);
    out.Integer(state.PageColor);
    out.Integer(state.HeaderColor);
    out.Integer(state.WindowLeft);
    out.Integer(state.WindowTop);
    out.Integer(state.WindowWidth);
    out.Integer(state.WindowHeight);

    const int entryCount = state.TocList ? state.TocList->Count() : 0;
    out.Integer(entryCount);
    for (int i = 0; i < entryCount; ++i) {
        const auto& entry = RecordOf<TTocObject>(*state.TocList, i, "Contents entry");
        out.Line(state.TocList->Strings(i));
        out.Line(entry.Name);
        out.Line(entry.PageName);
        out.Boolean(entry.IsGroup);
    }

    out.Integer(pages.Count());
    for (int i = 0; i < pages.Count(); ++i) {
        if (progress)
            progress(i, pages.Count());
        WritePage(out, RecordOf<TPageObject>(pages, i, "Page"));
    }
    return out.Take();
}

void SaveProjectFile(TProjectState& state, const rtl::TStrings& pages, const TProjectProgress& progress)
{
    if (state.ProjectFileName.empty())
        throw rtl::EInOutError(static_cast<int>(ErrorFileNotFound));
    if (state.AutoSaveBackup)
        MakeBackupCopy(state.ProjectFileName);
    WriteProjectBytes(state.ProjectFileName, ProjectFileBytes(state, pages, progress));
    state.Modified = false;
}

void WriteProjectBytes(const AnsiString& fileName, const AnsiString& bytes)
{
    static std::atomic<unsigned> temporaryCounter{0};
    rtl::IFileSystem& fs = rtl::FileSystem();
    AnsiString temporaryName;
    std::unique_ptr<rtl::IFileHandle> file;
    uint32_t error = 0;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporaryName = fileName + ".~" + rtl::IntToHex(temporaryCounter.fetch_add(1), 4);
        file = fs.Open(temporaryName, rtl::TFileAccess::Write, rtl::TFileShare::Exclusive,
                       rtl::TFileDisposition::CreateNew, &error);
        if (!file && error != ErrorFileExists && error != ErrorAlreadyExists)
            break;
    }
    if (!file)
        RaiseInOutError(error);

    auto discard = [&](uint32_t reason) {
        file.reset();
        uint32_t ignored = 0;
        fs.DeleteFile(temporaryName, &ignored);
        RaiseInOutError(reason);
    };
    size_t written = 0;
    while (written < bytes.size()) {
        int64_t n = file->Write(bytes.data() + written, static_cast<int64_t>(bytes.size() - written), &error);
        if (n <= 0)
            discard(n == 0 ? ErrorDiskFull : error);
        written += static_cast<size_t>(n);
    }
    file.reset();
    if (!fs.ReplaceFile(temporaryName, fileName, &error))
        discard(error);
}

// ---------------------------------------------------------------------------------------------------------
// Backup

AnsiString BackupFileName(const AnsiString& projectFileName) { return rtl::ChangeFileExt(projectFileName, ".bak"); }

void MakeBackupCopy(const AnsiString& projectFileName)
{
    // There is nothing to keep before the first save, and a backup never stops a save.
    win::CopyFile(projectFileName.c_str(), BackupFileName(projectFileName).c_str(), win::FALSE);
}

// ---------------------------------------------------------------------------------------------------------
// Picture paths

AnsiString RelativePath(const AnsiString& baseFolder, const AnsiString& fileName)
{
    const AnsiString baseDrive = rtl::ExtractFileDrive(baseFolder);
    const AnsiString fileDrive = rtl::ExtractFileDrive(fileName);
    if (!rtl::AnsiSameText(baseDrive, fileDrive))
        return fileName;
    std::string_view name;
    const auto baseFolders = SplitFolders(std::string_view(baseFolder).substr(baseDrive.size()));
    const auto fileFolders = SplitFolders(std::string_view(fileName).substr(fileDrive.size()), &name);
    size_t shared = 0;
    while (shared < baseFolders.size() && shared < fileFolders.size() &&
           SameFolder(baseFolders[shared], fileFolders[shared]))
        ++shared;
    AnsiString result;
    for (size_t i = shared; i < baseFolders.size(); ++i)
        result += "..\\";
    for (size_t i = shared; i < fileFolders.size(); ++i) {
        result += fileFolders[i];
        result += '\\';
    }
    result += name;
    return result;
}

void ApplyPictureRule(TPageObject& page, const std::vector<AnsiString>& storedPaths, const AnsiString& projectFolder)
{
    std::vector<TMarkerRewrite> rewrites;
    for (const AnsiString& stored : storedPaths) {
        const AnsiString relative = RelativePath(projectFolder, stored);
        page.Pictures.Add(relative);
        // The marker as the page's rich text holds the path: backslashes doubled, and braces and letters
        // past 127 escaped too.
        TMarkerRewrite rewrite{RtfText(stored), RtfText(relative)};
        if (rewrite.From != rewrite.To)
            rewrites.push_back(std::move(rewrite));
    }
    if (rewrites.empty())
        return;

    bool onePass = true;
    std::unordered_set<std::string_view> stored;
    for (const TMarkerRewrite& rewrite : rewrites) {
        stored.insert(rewrite.From);
        if (rewrite.From.find('#') != AnsiString::npos || rewrite.To.find('#') != AnsiString::npos)
            onePass = false;
    }
    for (const TMarkerRewrite& rewrite : rewrites)
        if (stored.contains(rewrite.To))
            onePass = false;
    if (onePass)
        RewriteMarkersInOnePass(page.Text, rewrites);
    else
        RewriteMarkersDirectly(page.Text, rewrites);
}

// ---------------------------------------------------------------------------------------------------------
// New

void NewProject(TProjectState& state, rtl::TStrings& pages, rtl::TStrings* workingLinks)
{
    if (workingLinks != nullptr) {
        // The working list holds the shown page's records too; only those no page holds are its own.
        std::unordered_set<const rtl::TObject*> heldByPages;
        for (int i = 0; i < pages.Count(); ++i)
            if (const auto* page = dynamic_cast<const TPageObject*>(pages.Objects(i)))
                for (int j = 0; j < page->Links.Count(); ++j)
                    heldByPages.insert(page->Links.Objects(j));
        std::unordered_set<rtl::TObject*> own;
        for (int i = 0; i < workingLinks->Count(); ++i) {
            rtl::TObject* record = workingLinks->Objects(i);
            workingLinks->SetObjects(i, nullptr);
            if (record != nullptr && !heldByPages.contains(record))
                own.insert(record);
        }
        workingLinks->Clear();
        for (rtl::TObject* record : own)
            delete record;
    }
    FreeObjectsAndClear(pages);
    if (state.TocList)
        FreeObjectsAndClear(*state.TocList);
    else
        state.TocList = NewTocList();

    state.PageColor = vcl::clWhite;
    state.HeaderColor = vcl::clWhite;
    state.HelpFileName.clear();
    state.ProjectFileName.clear();
    state.WindowWidth = 200;
    state.WindowHeight = 200;
    state.Modified = false;
}
