#pragma once
// The pages written out as one rich-text document that a word processor opens: a table of contents with
// hyperlinks to the pages, each page marked by a bookmark, link markers as hyperlink fields and picture
// markers as picture fields. The page text goes through the help build's translation (fonts and colours
// renumbered into the merged tables, marker formatting dropped); only links and pictures differ.
//
//   rtl::TStringList fonts, colors;
//   BuildFontTable(pages, fonts);
//   BuildColorTable(pages, colors);
//   TTopicWriter document(pages, fonts, colors);
//   bool errors = WriteRtfExport(document, tocList, projectFolder);
//   rtl::WriteWholeFile(fileName, document.Text());
//
// The main window's commands (TXT1Click, RTF1Click, TextFileTXT1Click) live in TextExport.cpp too.

#include <functional>

#include "tool/PageTranslation.h"

// The translation of the rich-text export: topic links become hyperlinks to the target page's bookmark,
// web and e-mail links hyperlinks to their address, pictures INCLUDEPICTURE fields with absolute paths.
class TExportTranslator : public TBodyTranslator {
public:
    // Relative picture paths are taken against `projectFolder` (none: the current directory).
    TExportTranslator(TTopicWriter& writer, const AnsiString& projectFolder)
        : TBodyTranslator(writer), projectFolder_(projectFolder)
    {
    }

protected:
    bool WriteLink(const TLinkObject& link, const AnsiString& name, const AnsiString& label) override;
    void WritePicture(const AnsiString& path) override;

private:
    AnsiString projectFolder_;
};

// The translation of one text with the export's links and pictures; true when it stopped at an error.
bool WriteExportBody(TTopicWriter& writer, const rtl::TStrings& lines, const rtl::TStrings* links,
                     const AnsiString& label, const AnsiString& projectFolder);
// The page at `pageIndex`: its bookmark, its header, its text; true when either text met an error.
bool WriteExportTopic(TTopicWriter& writer, int pageIndex, const AnsiString& projectFolder);
// The whole document: the frame with the merged tables, the contents section (when `tocList` has entries),
// every page followed by a page break, the closing brace. `onPage` runs before each page with its index.
// True when some page's translation stopped at an error.
bool WriteRtfExport(TTopicWriter& writer, const rtl::TStrings& tocList, const AnsiString& projectFolder,
                    const std::function<void(int pageIndex)>& onPage = {});

// A hyperlink field: `instruction` after "HYPERLINK  ", `result` the shown rich text; underlined.
AnsiString HyperlinkField(const AnsiString& instruction, const AnsiString& result);
// A picture marker's path (as the page's rich text holds it) made absolute against `projectFolder`, in the
// form a field instruction holds it inside rich text: every backslash written as four.
AnsiString ExportPicturePath(const AnsiString& markerPath, const AnsiString& projectFolder);

inline constexpr char NoPagesToExportText[] = "You do not have any pages in this file so it can not be exported.";
inline constexpr char TextExportedText[] = "File Exported To TXT Successfully";
inline constexpr char RtfExportedText[] = "File Exported To RTF Successfully";
inline constexpr char RtfExportHadErrorsText[] =
    "File Exported To RTF, but the pages named in the messages before were not exported completely.";
inline constexpr char TextImportedText[] = "TXT file successfully imported.";
inline constexpr char PageBreakText[] = "---PAGE BREAK---";
