#pragma once
// The help compiler's input files: the topic file (".wrt"), the contents file (".cnt") and the help
// project file (".whp"), written into the project's folder, and the start of the compiler beside the
// program. The font and colour tables of page rich text are read here too; the exports use them as well.
//
// The Make command, after its own checks, is this sequence (pages: the page list, each line carrying its
// TPageObject):
//
//   THelpBuild build(*lstPages->Items(), ProjectState());     // refuses a bad help file name
//   build.WriteTopicFile([&](int i) { progress.SetPosition(i); vcl::Application->ProcessMessages(); });
//   build.WriteContentsFile();                                 // or removes it when the contents are empty
//   build.RemoveGidFile();
//   build.WriteHelpProjectFile();
//   build.StartCompiler(rtl::ExtractFilePath(Application->ExeName()));
//   vcl::ShowMessage(build.ClosingMessage());
//
// Files are built whole in memory and then put in place in one step, so a failed write leaves no
// half-written file; the failure is the platform's error (an EStreamError), raised to the caller.

#include <functional>
#include <string_view>
#include <unordered_map>

#include "platform/rtl/Classes.h"
#include "platform/win/WinTypes.h"
#include "tool/ProjectModel.h"

// A help build that cannot go on (a help file name that would leave the project folder, a page list
// entry without its page).
class EHelpBuildError : public rtl::Exception {
public:
    using Exception::Exception;
};

// ---- font and colour tables of rich text

// Fills `fonts` with the entries of the text's font table, each without its opening brace and font
// number ("\fnil\fcharset0 Arial;}"); empty when the text has no font table.
void ExtractFontTable(const rtl::TStrings& lines, rtl::TStrings& fonts);
// Fills `colors` with black ("\red0\green0\blue0;", standing for the automatic colour 0) followed by the
// entries of the text's colour table; empty when the text has none.
void ExtractColorTable(const rtl::TStrings& lines, rtl::TStrings& colors);
// The fonts of every page's text and header merged, Arial first; letter case does not make a new entry.
void BuildFontTable(const rtl::TStrings& pages, rtl::TStrings& fonts);
// The colours of every page merged the same way, without a first entry of their own.
void BuildColorTable(const rtl::TStrings& pages, rtl::TStrings& colors);

// ---- the pages

// The page of a page-list line; EHelpBuildError when the line carries none.
TPageObject& PageAt(const rtl::TStrings& pages, int index);

// Pages by name, compared without regard to letter case; the first of equal names wins.
class TPageIndex {
public:
    explicit TPageIndex(const rtl::TStrings& pages);
    const TPageObject* Find(const AnsiString& name) const;

private:
    std::unordered_map<AnsiString, const TPageObject*> pages_;
};

// Positions in a list of table entries, compared without regard to letter case; -1 when absent.
class TEntryIndex {
public:
    explicit TEntryIndex(const rtl::TStrings& entries);
    int Find(const AnsiString& entry) const;

private:
    std::unordered_map<AnsiString, int> positions_;
};

// ---- texts copied from records into the files

// A record's text as it may stand inside RTF text: "\", "{" and "}" escaped, characters past 127 as
// hexadecimal escapes, control characters (line ends, TABs) as blanks.
AnsiString RtfText(std::string_view text);
// What a piece of RTF text stands for: the inverse of RtfText, so a marker's name or path as the page's
// rich text holds it ("Caf\'e9") compares with the record's ("Caf\xe9").
AnsiString RtfPlainText(std::string_view rtf);
// A record's text as it may stand on one line of the contents or help project file: control characters
// (line ends, TABs) as blanks.
AnsiString LineText(std::string_view text);

// ---- the build

// Raises EHelpBuildError unless the name is a plain file name that keeps every output file in the project
// folder: not empty, no folder or drive part, not "." or "..", no character Windows forbids in names.
void CheckHelpFileName(const AnsiString& helpFileName);

// The folder of the project file, without its trailing "\".
AnsiString ProjectFolder(const AnsiString& projectFileName);

// The contents file's text: ":Base", then a line per entry of `tocList` (level, name, and for a topic
// "=" and its page's topic ID; a topic without its page is left out).
// The record of contents line `index` (EHelpBuildError when the line has none) and the line's level, 1 plus
// its leading TABs.
const TTocObject& TocEntryAt(const rtl::TStrings& tocList, int index, size_t& level);

AnsiString ContentsFileText(const AnsiString& helpFileName, const rtl::TStrings& tocList, const rtl::TStrings& pages);
// The help project file's text: options, files, the map of context numbers and the window.
AnsiString HelpProjectFileText(const TProjectState& state, const rtl::TStrings& pages);

// The compiler beside the program and its parameters for a help project file.
AnsiString HelpCompilerPath(const AnsiString& programFolder);
AnsiString HelpCompilerParameters(bool showHelpFile, const AnsiString& helpProjectFile);

inline constexpr char SaveProjectFirstText[] = "Please save the project before creating the help file.";
inline constexpr char BuildHadErrorsText[] = "The file had errors and was not created successfully.";
inline constexpr char BuildSentText[] = "The file was sent to compiler successfully.";
// What the user is told when the compiler could not be started.
AnsiString CompilerNotStartedText(const AnsiString& compilerPath, win::DWORD error);

class THelpBuild {
public:
    // Reads the pages and the project state while the build runs; both must outlive it. Raises
    // EHelpBuildError for an empty project file name or a help file name that CheckHelpFileName refuses.
    THelpBuild(const rtl::TStrings& pages, const TProjectState& state);

    // The project folder + "\" + HelpFileName + extension (".wrt").
    AnsiString FileName(const AnsiString& extension) const;

    // The topic file. `onPage` runs before each page is translated, with its index. A page whose
    // translation meets an error shows its message and sets Errors; the file is still written.
    void WriteTopicFile(const std::function<void(int pageIndex)>& onPage = {});
    // The contents file; with empty contents, any file of that name is removed instead.
    void WriteContentsFile();
    void RemoveGidFile();
    void WriteHelpProjectFile();
    // Starts the compiler beside the program (`programFolder` holds the program) on the help project
    // file and does not wait for it; ERROR_SUCCESS or the Windows error code of the failed start.
    win::DWORD StartCompiler(const AnsiString& programFolder);

    // Some page's translation met an error.
    bool Errors() const { return errors_; }
    // The message that ends the Make command: the failed start of the compiler, else the errors, else
    // success.
    AnsiString ClosingMessage() const;

private:
    const rtl::TStrings& pages_;
    const TProjectState& state_;
    AnsiString folder_;
    bool errors_ = false;
    win::DWORD startError_ = 0;
    AnsiString compilerPath_;
};
