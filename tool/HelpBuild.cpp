#include "tool/HelpBuild.h"

#include <unordered_set>

#include "platform/richedit/RtfReader.h"
#include "platform/win/Files.h"
#include "platform/win/Platform.h"
#include "platform/win/Process.h"
#include "tool/PageTranslation.h"

namespace {

const char ArialEntry[] = "\\fnil\\fcharset0 Arial;}";
const char BlackEntry[] = "\\red0\\green0\\blue0;";
const char HexDigits[] = "0123456789abcdef";

// Position just past `word` in the first line whose upper-case form holds it, and that line's index;
// false when no line does.
bool FindTableLine(const rtl::TStrings& lines, std::string_view word, int& index, size_t& after)
{
    for (index = 0; index < lines.Count(); ++index) {
        const size_t found = rtl::UpperCase(lines[index]).find(word);
        if (found != AnsiString::npos) {
            after = found + word.size();
            return true;
        }
    }
    return false;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Adds each entry of `entries` that `merged` does not hold yet (`seen`: the upper-case forms held).
void MergeEntries(const rtl::TStrings& entries, rtl::TStrings& merged, std::unordered_set<AnsiString>& seen)
{
    for (int i = 0; i < entries.Count(); ++i) {
        if (seen.insert(rtl::AnsiUpperCase(entries[i])).second)
            merged.Add(entries[i]);
    }
}

using TExtract = void (*)(const rtl::TStrings& lines, rtl::TStrings& entries);

void MergePageTables(const rtl::TStrings& pages, rtl::TStrings& merged, std::unordered_set<AnsiString>& seen,
                     TExtract extract)
{
    rtl::TStringList entries;
    for (int i = 0; i < pages.Count(); ++i) {
        const TPageObject& page = PageAt(pages, i);
        extract(page.Text, entries);
        MergeEntries(entries, merged, seen);
        if (page.Header.Count() > 0) {
            extract(page.Header, entries);
            MergeEntries(entries, merged, seen);
        }
    }
}

const char ForbiddenNameCharacters[] = "\\/:*?\"<>|";

bool IsDeviceName(const AnsiString& name)
{
    const AnsiString base = rtl::UpperCase(name.substr(0, name.find('.')));
    static const std::unordered_set<AnsiString> Devices = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return Devices.count(base) > 0;
}

void AddLine(AnsiString& text, std::string_view line)
{
    text.append(line);
    text.append("\r\n");
}

AnsiString StartFailureReason(win::DWORD error)
{
    switch (error) {
    case win::ERROR_FILE_NOT_FOUND:
    case win::ERROR_PATH_NOT_FOUND: return "The program file does not exist.";
    case win::ERROR_BAD_EXE_FORMAT: return "The file is not a program that can run here.";
    default: return rtl::SysErrorMessage(error);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------

void ExtractFontTable(const rtl::TStrings& lines, rtl::TStrings& fonts)
{
    fonts.Clear();
    int index = 0;
    size_t after = 0;
    if (!FindTableLine(lines, "FONTTBL", index, after))
        return;
    const AnsiString line = lines[index];
    const size_t n = line.size();
    size_t pos = after;
    for (;;) {
        // The backslash of the entry's number, then the first control word after it.
        const size_t number = line.find('\\', pos);
        if (number == AnsiString::npos)
            break;
        const size_t start = line.find('\\', number + 1);
        if (start == AnsiString::npos)
            break;
        // Up to the brace that closes the entry; groups inside it come whole.
        int depth = 1;
        size_t end = start;
        for (; end < n; ++end) {
            if (line[end] == '{')
                ++depth;
            else if (line[end] == '}' && --depth == 0)
                break;
        }
        if (end == n)
            break;  // an entry without its closing brace is not taken
        fonts.Add(line.substr(start, end - start + 1));
        pos = end + 1;
        if (pos >= n || line[pos] == '}')
            break;
    }
}

void ExtractColorTable(const rtl::TStrings& lines, rtl::TStrings& colors)
{
    colors.Clear();
    int index = 0;
    size_t after = 0;
    if (!FindTableLine(lines, "COLORTBL", index, after))
        return;
    const AnsiString line = lines[index];
    const size_t n = line.size();
    // Past the end of the automatic colour.
    size_t pos = line.find(';', after);
    pos = pos == AnsiString::npos ? n : pos + 1;
    for (;;) {
        while (pos < n && line[pos] == ' ')
            ++pos;
        if (pos >= n || line[pos] == '}')
            break;
        const size_t start = line.find('\\', pos);
        if (start == AnsiString::npos)
            break;
        const size_t semicolon = line.find(';', start);
        if (semicolon == AnsiString::npos)
            break;
        colors.Add(line.substr(start, semicolon - start + 1));
        pos = semicolon + 1;
    }
    colors.Insert(0, BlackEntry);
}

void BuildFontTable(const rtl::TStrings& pages, rtl::TStrings& fonts)
{
    fonts.Clear();
    fonts.Add(ArialEntry);
    std::unordered_set<AnsiString> seen = {rtl::AnsiUpperCase(ArialEntry)};
    MergePageTables(pages, fonts, seen, &ExtractFontTable);
}

void BuildColorTable(const rtl::TStrings& pages, rtl::TStrings& colors)
{
    colors.Clear();
    std::unordered_set<AnsiString> seen;
    MergePageTables(pages, colors, seen, &ExtractColorTable);
}

// ---------------------------------------------------------------------------------------------------------

TPageObject& PageAt(const rtl::TStrings& pages, int index)
{
    auto* page = dynamic_cast<TPageObject*>(pages.Objects(index));
    if (!page)
        throw EHelpBuildError("The page list entry \"" + pages[index] + "\" has no page record.");
    return *page;
}

TPageIndex::TPageIndex(const rtl::TStrings& pages)
{
    for (int i = 0; i < pages.Count(); ++i) {
        const TPageObject& page = PageAt(pages, i);
        pages_.emplace(rtl::AnsiUpperCase(page.Name), &page);
    }
}

const TPageObject* TPageIndex::Find(const AnsiString& name) const
{
    auto found = pages_.find(rtl::AnsiUpperCase(name));
    return found == pages_.end() ? nullptr : found->second;
}

TEntryIndex::TEntryIndex(const rtl::TStrings& entries)
{
    for (int i = 0; i < entries.Count(); ++i)
        positions_.emplace(rtl::AnsiUpperCase(entries[i]), i);
}

int TEntryIndex::Find(const AnsiString& entry) const
{
    auto found = positions_.find(rtl::AnsiUpperCase(entry));
    return found == positions_.end() ? -1 : found->second;
}

// ---------------------------------------------------------------------------------------------------------

AnsiString RtfText(std::string_view text)
{
    AnsiString result;
    result.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            result += '\\';
            result += c;
        } else if (IsControl(u)) {
            result += ' ';
        } else if (u >= 0x80) {
            result += "\\'";
            result += HexDigits[u >> 4];
            result += HexDigits[u & 0x0F];
        } else {
            result += c;
        }
    }
    return result;
}

AnsiString RtfPlainText(std::string_view rtf)
{
    if (rtf.find('\\') == std::string_view::npos)
        return AnsiString(rtf);
    // The editor's own reader, so every escape it may write is undone the way it reads it back.
    AnsiString document = "{\\rtf1 ";
    document.append(rtf);
    document += '}';
    return richedit::ReadRtf(document).Text();
}

AnsiString LineText(std::string_view text)
{
    AnsiString result(text);
    for (char& c : result) {
        if (IsControl(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------

void CheckHelpFileName(const AnsiString& helpFileName)
{
    if (helpFileName.empty())
        throw EHelpBuildError("You have not yet set a Help File Name for this project.");
    bool plain = helpFileName != "." && helpFileName != ".." && !IsDeviceName(helpFileName);
    for (char c : helpFileName)
        plain = plain && !IsControl(static_cast<unsigned char>(c)) && std::string_view(ForbiddenNameCharacters).find(c) == std::string_view::npos;
    if (!plain)
        throw EHelpBuildError("The help file name \"" + LineText(helpFileName) +
                              "\" cannot be used: the help files are written into the project's folder, so the "
                              "name must be a plain file name, without a folder or a drive, and without any of "
                              "the characters \\ / : * ? \" < > |.");
}

AnsiString ProjectFolder(const AnsiString& projectFileName)
{
    return rtl::ExcludeTrailingPathDelimiter(rtl::ExtractFilePath(projectFileName));
}

const TTocObject& TocEntryAt(const rtl::TStrings& tocList, int index, size_t& level)
{
    const AnsiString line = tocList[index];
    auto* entry = dynamic_cast<const TTocObject*>(tocList.Objects(index));
    if (!entry)
        throw EHelpBuildError("The contents entry \"" + rtl::Trim(line) + "\" has no contents record.");
    size_t tabs = 0;
    while (tabs < line.size() && line[tabs] == '\t')
        ++tabs;
    level = 1 + tabs;
    return *entry;
}

AnsiString ContentsFileText(const AnsiString& helpFileName, const rtl::TStrings& tocList, const rtl::TStrings& pages)
{
    AnsiString text;
    AddLine(text, ":Base " + helpFileName + ".hlp");
    const TPageIndex index(pages);
    for (int i = 0; i < tocList.Count(); ++i) {
        size_t depth = 0;
        const TTocObject& entry = TocEntryAt(tocList, i, depth);
        const AnsiString level = rtl::IntToStr(depth);
        if (entry.IsGroup) {
            AddLine(text, level + " " + LineText(entry.Name));
        } else if (const TPageObject* page = index.Find(entry.PageName)) {
            AddLine(text, level + " " + LineText(entry.Name) + "=" + LineText(page->TopicID));
        }
    }
    return text;
}

AnsiString HelpProjectFileText(const TProjectState& state, const rtl::TStrings& pages)
{
    const AnsiString& name = state.HelpFileName;
    AnsiString text;
    AddLine(text, "[OPTIONS]");
    if (state.UseCompression)
        AddLine(text, "COMPRESS=12 Hall Zeck");
    if (state.TocList && state.TocList->Count() > 0)
        AddLine(text, "CNT=.\\" + name + ".cnt");
    AddLine(text, "HLP=.\\" + name + ".hlp");
    AddLine(text, "");
    AddLine(text, "[FILES]");
    AddLine(text, ".\\" + name + ".wrt");
    AddLine(text, "");
    AddLine(text, "[MAP]");
    for (int i = 0; i < pages.Count(); ++i) {
        const TPageObject& page = PageAt(pages, i);
        if (!page.ContextID.empty())
            AddLine(text, LineText(page.TopicID) + "=" + LineText(page.ContextID));
    }
    AddLine(text, "[WINDOWS]");
    AddLine(text, "Main=\"\",(" + rtl::IntToStr(state.WindowLeft) + "," + rtl::IntToStr(state.WindowTop) + "," +
                      rtl::IntToStr(state.WindowWidth) + "," + rtl::IntToStr(state.WindowHeight) + "),,(r" +
                      rtl::IntToStr(static_cast<int32_t>(state.PageColor)) + "),(r" +
                      rtl::IntToStr(static_cast<int32_t>(state.HeaderColor)) + "),");
    return text;
}

AnsiString HelpCompilerPath(const AnsiString& programFolder)
{
    return rtl::ExcludeTrailingPathDelimiter(programFolder) + "\\Tools\\hcrtf.exe";
}

AnsiString HelpCompilerParameters(bool showHelpFile, const AnsiString& helpProjectFile)
{
    // A folder with blanks must still reach the compiler as one argument.
    const bool quote = helpProjectFile.find_first_of(" \t") != AnsiString::npos;
    return AnsiString(showHelpFile ? "-xh " : "-x ") + (quote ? "\"" + helpProjectFile + "\"" : helpProjectFile);
}

AnsiString CompilerNotStartedText(const AnsiString& compilerPath, win::DWORD error)
{
    return "The help compiler could not be started, so the help file was not made.\r\n\r\n" + compilerPath +
           "\r\n\r\n" + StartFailureReason(error);
}

// ---------------------------------------------------------------------------------------------------------

THelpBuild::THelpBuild(const rtl::TStrings& pages, const TProjectState& state) : pages_(pages), state_(state)
{
    if (state.ProjectFileName.empty())
        throw EHelpBuildError(SaveProjectFirstText);
    CheckHelpFileName(state.HelpFileName);
    folder_ = ProjectFolder(state.ProjectFileName);
}

AnsiString THelpBuild::FileName(const AnsiString& extension) const
{
    return folder_ + "\\" + state_.HelpFileName + extension;
}

void THelpBuild::WriteTopicFile(const std::function<void(int pageIndex)>& onPage)
{
    rtl::TStringList fonts;
    rtl::TStringList colors;
    BuildFontTable(pages_, fonts);
    BuildColorTable(pages_, colors);
    TTopicWriter topic(pages_, fonts, colors);
    topic.WriteTables();
    topic.WriteLn("\\plain\\fs20\\cf1");
    topic.WriteLn();
    for (int i = 0; i < pages_.Count(); ++i) {
        if (onPage)
            onPage(i);
        if (WriteTopic(topic, i))
            errors_ = true;
        topic.WriteLn();
        topic.WriteLn("\\page");
        topic.WriteLn();
    }
    topic.WriteLn("}");
    rtl::WriteWholeFile(FileName(".wrt"), topic.Text());
}

void THelpBuild::WriteContentsFile()
{
    const AnsiString fileName = FileName(".cnt");
    if (state_.TocList && state_.TocList->Count() > 0) {
        rtl::WriteWholeFile(fileName, ContentsFileText(state_.HelpFileName, *state_.TocList, pages_));
        return;
    }
    // The help viewer would still pick up an old contents file beside the help file.
    if (rtl::FileExists(fileName) && !win::DeleteFile(fileName.c_str()))
        throw EHelpBuildError("The old contents file " + fileName + " could not be deleted.\r\n\r\n" +
                              rtl::SysErrorMessage(win::GetLastError()));
}

void THelpBuild::RemoveGidFile()
{
    const AnsiString fileName = FileName(".gid");
    if (rtl::FileExists(fileName) && !win::DeleteFile(fileName.c_str()))
        throw EHelpBuildError("The file " + fileName + " could not be deleted.\r\n\r\n" +
                              rtl::SysErrorMessage(win::GetLastError()));
}

void THelpBuild::WriteHelpProjectFile()
{
    rtl::WriteWholeFile(FileName(".whp"), HelpProjectFileText(state_, pages_));
}

win::DWORD THelpBuild::StartCompiler(const AnsiString& programFolder)
{
    compilerPath_ = HelpCompilerPath(programFolder);
    startError_ = win::StartProcess(compilerPath_, HelpCompilerParameters(state_.ShowHelpFile, FileName(".whp")));
    return startError_;
}

AnsiString THelpBuild::ClosingMessage() const
{
    if (startError_ != win::ERROR_SUCCESS)
        return CompilerNotStartedText(compilerPath_, startError_);
    return errors_ ? BuildHadErrorsText : BuildSentText;
}
