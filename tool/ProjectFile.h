#pragma once
// The project file (.wkp): its tolerant reader, the load and save of a whole project, the backup copy and
// the rewriting of picture paths against the project folder.
//
//   auto step = [&](int position, int count) { /* progress bar to position of count, messages, 10 ms */ };
//   NewProject(ProjectState(), pages, &workingLinks);
//   LoadProjectFile(path, ProjectState(), pages, step);      // pages: the page list's items
//   ProjectState().ProjectFileName = path;
//   SaveProjectFile(ProjectState(), pages, step);            // Modified stays True when it raises
//
// The file's bytes are Windows-1252 text and are kept exactly: nothing is converted on the way in or out.
// Every failure is an rtl::EInOutError with the runtime library's text ("File not found", "Invalid numeric
// input", "Disk full", "I/O error 32", ...).

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tool/ProjectModel.h"

// Called once per page, before the page is read or written, with the page's position and the number of
// pages (load: 1..count; save: 0..count-1). The caller moves its progress bar, lets messages run and pauses.
using TProjectProgress = std::function<void(int position, int count)>;

// The reader over a project file's bytes. A line ends at CR (an LF right after it belongs to the line
// end; a lone LF is text); the character 26 ends the file; at the end a string reads as empty and an
// integer as 0.
class TProjectReader {
public:
    explicit TProjectReader(AnsiString bytes);

    // The rest of the current line, without its end; then on to the next line.
    AnsiString ReadString();
    // Skips characters up to code 32, converts the next word (at most 32 characters; a sign, decimal
    // digits, or hexadecimal after "$" or "0x"), then skips the rest of its line. Raises EInOutError
    // "Invalid numeric input".
    int32_t ReadInteger();
    // A count of entries that follow. Like ReadInteger, but a count that reaches far past the end of the
    // file raises EInOutError "Read beyond end of file" instead of making millions of empty entries.
    int32_t ReadCount();
    // "TRUE" in any case of its letters is True; any other line is False.
    bool ReadBoolean();

    bool AtEnd() const { return position_ >= bytes_.size(); }

private:
    void SkipLineEnd();

    AnsiString bytes_;
    size_t position_ = 0;
};

// Recognised from the first line: the format version (1 when the marker is missing) and the help file name.
struct TProjectHeader {
    int32_t Version = 1;
    AnsiString HelpFileName;
};
TProjectHeader ReadProjectHeader(TProjectReader& reader);

// Reads a whole project from `reader` into `state` and `pages` (objects TPageObject*, not owned by the
// list), appending to what they hold: call NewProject first. Picture paths are made relative to
// `projectFolder` (ending in a backslash). On failure the contents entries read so far and the pages read
// completely stay; the page being read is freed.
void ReadProject(TProjectReader& reader, const AnsiString& projectFolder, TProjectState& state,
                 rtl::TStrings& pages, const TProjectProgress& progress = {});

// Reads the file `fileName` (a full Windows path) as ReadProject does, and clears Modified when it is
// complete. ProjectFileName is left to the caller.
void LoadProjectFile(const AnsiString& fileName, TProjectState& state, rtl::TStrings& pages,
                     const TProjectProgress& progress = {});

// The version 3 bytes of the project: CR LF after every line.
AnsiString ProjectFileBytes(const TProjectState& state, const rtl::TStrings& pages,
                            const TProjectProgress& progress = {});

// Saves to state.ProjectFileName: the backup copy first when AutoSaveBackup is on, then the new content
// through a temporary file beside the project that replaces it only once complete. Clears Modified on
// success; on failure the old file is whole and Modified is unchanged. The caller flushes the shown page
// first, and turns an empty ProjectFileName into Save As (here it raises "File not found").
void SaveProjectFile(TProjectState& state, const rtl::TStrings& pages, const TProjectProgress& progress = {});

// All bytes of a project file. Raises EInOutError.
AnsiString ReadProjectBytes(const AnsiString& fileName);
// Writes `bytes` to a new file beside `fileName` and puts it in its place. Raises EInOutError; then the old
// file is untouched and the temporary file gone.
void WriteProjectBytes(const AnsiString& fileName, const AnsiString& bytes);

// The project file name with its extension replaced by ".bak" (or ".bak" appended when it has none).
AnsiString BackupFileName(const AnsiString& projectFileName);
// Copies the project file over its backup; a copy that fails (no project file yet) is ignored.
void MakeBackupCopy(const AnsiString& projectFileName);

// The path of `fileName` relative to `baseFolder` (ending in a backslash): unchanged when their drives
// ("C:", "\\server\share") differ without regard to case, otherwise "..\" for each folder of the base
// left after the folders both share, then the file's own remaining folders and its name.
AnsiString RelativePath(const AnsiString& baseFolder, const AnsiString& fileName);

// Appends each stored picture path, made relative to `projectFolder`, to the page's Pictures; where that
// changes the path, the first picture marker of every text line is rewritten to match. A marker is
// "#path#" as RTF text holds it: backslashes doubled, braces and letters past 127 escaped.
void ApplyPictureRule(TPageObject& page, const std::vector<AnsiString>& storedPaths,
                      const AnsiString& projectFolder);

// The model's part of New: frees every page with what it owns, every contents entry, and the records of
// the working link list that no page holds (each record once); empties those lists; resets the project
// values (white colours, no names, window 200 by 200, Left and Top kept) and clears Modified.
void NewProject(TProjectState& state, rtl::TStrings& pages, rtl::TStrings* workingLinks = nullptr);
