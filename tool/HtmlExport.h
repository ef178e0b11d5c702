#pragma once
// The HTML export: an index page that links every page, one HTML file per page beside it, and for each page
// that shows pictures a folder "<page file>_images" holding copies of them. Page rich text becomes simple
// mark-up: line and paragraph breaks, alignment, simple tables, bold, italic, FONT tags for face, size and
// colour, character references; link markers become anchors to the other page files and picture markers
// image tags.
//
// The Export command, once the shown page is flushed (pages: the page list, each line carrying its page):
//
//   THtmlExport html(pages, ProjectState(), "C:\\site\\index.html");
//   html.WriteIndex();
//   for (int i = 0; i < pages.Count(); ++i)
//       html.WritePage(i, headerHasText);        // pictures are copied while the page is translated
//
// Project text never becomes mark-up: "&", "<", ">" (and '"' inside attribute values) are written as
// entities. Each file is built whole in memory and then put in place in one step; a failed write raises
// the platform's error (an EStreamError) and leaves no half-written file.

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/vcl/Colors.h"
#include "tool/HelpBuild.h"
#include "tool/ProjectModel.h"

// "#" and the red, green and blue bytes of a colour value (0x00BBGGRR), two upper-case hexadecimal digits
// each: white gives "#FFFFFF".
AnsiString ColorToHtml(vcl::TColor color);
// The face names of the text's font table, entry N the face of font N.
void ExtractHtmlFontNames(const rtl::TStrings& lines, rtl::TStrings& names);
// The colours of the text's colour table as "#RRGGBB", entry N colour N (entry 0 black).
void ExtractHtmlColors(const rtl::TStrings& lines, rtl::TStrings& colors);

// Text as it may stand between tags: "&", "<" and ">" as entities, everything else unchanged.
AnsiString HtmlText(std::string_view text);
// Text as it may stand inside a double-quoted attribute value: HtmlText, and '"' as "&quot;".
AnsiString HtmlAttribute(std::string_view text);

// One base file name per page, in page-list order: the page's name with every character other than 0-9,
// A-Z and a-z made "_", and a number appended (the smallest from 1 up) when another page, or the index
// file, already has that name in any letter case.
void BuildHtmlFileNames(const rtl::TStrings& pages, const AnsiString& indexFileName, rtl::TStrings& names);

class THtmlExport;

// One page file being written: its text, the current font, and the picture copies made for it.
class THtmlPageFile {
public:
    THtmlPageFile(const THtmlExport& html, int pageIndex);

    void Write(std::string_view text) { text_.append(text); }
    // The text (if any), then CR LF.
    void WriteLn(std::string_view text = {});
    const AnsiString& Text() const { return text_; }

    // The translation of a rich text (the page's header or body) into the file; the current font carries
    // on from one call to the next.
    void WritePageHtml(const rtl::TStrings& lines);

    // The current font: face, size attribute and colour.
    AnsiString Face = "Arial";
    AnsiString Size = "2";
    AnsiString Color = "#000000";

private:
    friend class THtmlTranslation;
    // The line of a picture marker (`path` with its doubled backslashes already undone): the copy made
    // into the page's picture folder and its image tag; nothing when no such file exists.
    void WritePicture(const AnsiString& path);
    // The name the copy of `source` takes in the page's picture folder: its own file name, or, when another
    // picture of this page took that one already, the name with a number before its extension.
    AnsiString PictureCopyName(const AnsiString& source);
    // The line of a link marker: an anchor when the link names a page of the project, else nothing.
    void WriteLink(const AnsiString& name);

    const THtmlExport& html_;
    int pageIndex_;
    AnsiString text_;
    std::unordered_map<AnsiString, AnsiString> copyBySource_;  // upper-case source path -> copy name
    std::unordered_map<AnsiString, AnsiString> sourceByCopy_;  // upper-case copy name -> source path
    std::unique_ptr<TEntryIndex> linkIndex_;                    // the page's links by name, made when needed
};

class THtmlExport {
public:
    // Reads the pages and the project state while the export runs; both must outlive it. The output folder
    // is the index file's folder.
    THtmlExport(const rtl::TStrings& pages, const TProjectState& state, const AnsiString& indexFileName);

    const rtl::TStrings& Pages() const { return pages_; }
    const TProjectState& State() const { return state_; }
    const AnsiString& OutputFolder() const { return folder_; }
    // The base file name of page `pageIndex` (without ".html").
    AnsiString FileName(int pageIndex) const { return fileNames_[pageIndex]; }
    // The position of the page with this name (any letter case), -1 when there is none.
    int FindPage(const AnsiString& name) const { return pageIndex_.Find(name); }

    // The index file's text and the index file.
    AnsiString IndexText() const;
    void WriteIndex() const;
    // The text of page `pageIndex`'s file; `withHeader` when the page's header holds text. Copies the
    // page's pictures as it goes.
    AnsiString PageText(int pageIndex, bool withHeader) const;
    void WritePage(int pageIndex, bool withHeader) const;

private:
    AnsiString BodyLine() const;

    const rtl::TStrings& pages_;
    const TProjectState& state_;
    AnsiString indexFileName_;
    AnsiString folder_;
    rtl::TStringList fileNames_;
    rtl::TStringList pageNames_;
    TEntryIndex pageIndex_;
};

inline constexpr char NoPagesToExportText[] = "You do not have any pages in this file so it can not be exported.";
inline constexpr char HtmlExportedText[] = "File Exported To HTML Successfully";
