// The plain-text and rich-text exports of the main window and its plain-text import.
#include "tool/TextExport.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/vcl/Dialogs.h"
#include "platform/win/Paths.h"
#include "tool/HelpBuild.h"
#include "tool/MainUnit.h"

namespace {

const char MarkerColorEntry[] = "\\red0\\green128\\blue0;";
const char TextFileFilter[] = "Text File|*.txt|All Files|*.*";
const char RichTextFileFilter[] = "Rich Text File|*.rtf|All Files|*.*";
const int HeaderGapLines = 4;

// A marker's path as the rich text holds it, back to the path itself: "\\", "\{", "\}" and "\'hh" are
// the escapes the editor writes.
AnsiString UnescapeMarkerPath(const AnsiString& raw)
{
    AnsiString path;
    const size_t n = raw.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = raw[i];
        if (c == '\\' && i + 1 < n && (raw[i + 1] == '\\' || raw[i + 1] == '{' || raw[i + 1] == '}')) {
            path += raw[++i];
        } else if (c == '\\' && i + 3 < n && raw[i + 1] == '\'' && rtl::HexDigitValue(raw[i + 2]) >= 0 &&
                   rtl::HexDigitValue(raw[i + 3]) >= 0) {
            path += static_cast<char>(rtl::HexDigitValue(raw[i + 2]) * 16 + rtl::HexDigitValue(raw[i + 3]));
            i += 3;
        } else {
            path += c;
        }
    }
    return path;
}

// An address as the quoted argument of a field instruction: a quote in it is written as a URL writes it
// ("%22"), so no reader can take it for the argument's end; then the whole is made rich text.
AnsiString QuotedAddress(const AnsiString& address)
{
    AnsiString escaped;
    for (char c : address)
        escaped += c == '"' ? AnsiString("%22") : AnsiString(1, c);
    return "\"" + RtfText(escaped) + "\"";
}

// The quoted bookmark a hyperlink jumps to.
AnsiString BookmarkInstruction(const AnsiString& topicId)
{
    return "\\\\l \"" + RtfText(topicId) + "\"";
}

void WriteContents(TTopicWriter& writer, const rtl::TStrings& tocList, int markerColor)
{
    writer.Write("\\fs28\\cf0\\f0");
    writer.WriteLn("Table Of Contents\\par\\par");
    for (int i = 0; i < tocList.Count(); ++i) {
        size_t level = 0;
        const TTocObject& entry = TocEntryAt(tocList, i, level);
        // Each TAB of the line, wherever it stands, indents by one tab stop.
        AnsiString text;
        for (char c : tocList[i]) {
            if (c == '\t')
                writer.Write("\\tab");
            else
                text += c;
        }
        const TPageObject* page = entry.IsGroup ? nullptr : writer.FindPage(entry.PageName);
        if (page)
            writer.Write(HyperlinkField(BookmarkInstruction(page->TopicID),
                                        "\\cf" + rtl::IntToStr(markerColor) + " " + RtfText(text)) +
                         "\\par");
        else
            writer.WriteLn(" " + RtfText(text) + "\\par");
    }
    writer.Write("\\fs20\\cf0\\f0");
    writer.WriteLn("\\page");
}

// Loads rich-text lines into the editor and appends its plain lines (one per paragraph) to `text`;
// gives their number.
int AppendPlainLines(vcl::TRichEdit& editor, const rtl::TStrings& richLines, AnsiString& text)
{
    editor.Lines()->Assign(richLines);
    vcl::Application->ProcessMessages();
    editor.SetPlainText(true);
    std::vector<AnsiString> lines;
    const rtl::TStrings& plain = *editor.Lines();
    for (int i = 0; i < plain.Count(); ++i)
        lines.push_back(plain[i]);
    editor.SetPlainText(false);
    for (const AnsiString& line : lines)
        text += line + "\r\n";
    return static_cast<int>(lines.size());
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// The rich-text document

AnsiString HyperlinkField(const AnsiString& instruction, const AnsiString& result)
{
    return "\\ul{\\field{\\*\\fldinst { HYPERLINK  " + instruction + " }}{\\fldrslt {" + result + "}}}\\ul0";
}

AnsiString ExportPicturePath(const AnsiString& markerPath, const AnsiString& projectFolder)
{
    AnsiString path = UnescapeMarkerPath(markerPath);
    if (!projectFolder.empty())
        win::SetCurrentDirectory(projectFolder.c_str());
    if (const std::optional<std::string> full = win::FullWindowsPath(path))
        path = *full;
    // Doubled once for the field instruction, once more as rich text.
    AnsiString doubled;
    for (char c : path)
        doubled += c == '\\' ? AnsiString("\\\\") : AnsiString(1, c);
    return RtfText(doubled);
}

bool TExportTranslator::WriteLink(const TLinkObject& link, const AnsiString& name, const AnsiString& label)
{
    const AnsiString shown = RtfText(link.Text);
    switch (link.LinkType) {
    case 0: {
        const TPageObject* page = Writer.FindPage(link.Target);
        if (!page) {
            ShowError(LinkTargetMissingText(label, name));
            return false;
        }
        Writer.Write(HyperlinkField(BookmarkInstruction(page->TopicID), shown));
        return true;
    }
    case 1:
        Writer.Write(HyperlinkField(QuotedAddress(link.Target), shown));
        return true;
    case 2:
        Writer.Write(HyperlinkField(QuotedAddress("mailto:" + link.Target), shown));
        return true;
    default:
        ShowError(LinkTypeUnknownText(label, name, link.LinkType));
        return false;
    }
}

void TExportTranslator::WritePicture(const AnsiString& path)
{
    Writer.Write("{\\field{\\*\\fldinst { INCLUDEPICTURE \"" + ExportPicturePath(path, projectFolder_) +
                 "\" \\\\* MERGEFORMAT \\\\d }}{\\fldrslt {}}}");
    Writer.WriteLn();
}

bool WriteExportBody(TTopicWriter& writer, const rtl::TStrings& lines, const rtl::TStrings* links,
                     const AnsiString& label, const AnsiString& projectFolder)
{
    TExportTranslator translator(writer, projectFolder);
    return translator.Translate(lines, links, label);
}

// A text is translated from after its own "\\pard", and a page's text need not end what it began (the editor
// leaves the closing brace to end an italic header; a translation stopped at an error leaves its colour on):
// without this, formatting runs on into the next text and every page after it.
namespace {
void WriteFormattingReset(TTopicWriter& writer)
{
    writer.WriteLn("\\pard");
    writer.WriteLn("\\b0\\i0\\strike0\\cf0");
}
}  // namespace

bool WriteExportTopic(TTopicWriter& writer, int pageIndex, const AnsiString& projectFolder)
{
    const TPageObject& page = PageAt(writer.Pages(), pageIndex);
    if (!page.TopicID.empty()) {
        // An empty bookmark that the hyperlinks jump to.
        writer.WriteLn("{\\*\\bkmkstart " + RtfText(page.TopicID) + "}");
        writer.WriteLn("{\\*\\bkmkend " + RtfText(page.TopicID) + "}");
    }
    bool errors = false;
    if (page.Header.Count() > 0) {
        WriteFormattingReset(writer);
        writer.WriteLn("\\keepn");
        const size_t start = writer.Text().size();
        errors = WriteExportBody(writer, page.Header, nullptr, page.Name + " - Page Header", projectFolder);
        // The editor ends its last paragraph without "\par": without one here the header's last line
        // would run into the page's first.
        const std::string_view header = std::string_view(writer.Text()).substr(start);
        if (!header.empty() && !header.ends_with("\\par\r\n"))
            writer.WriteLn("\\par");
        writer.WriteLn("\\pard");
        writer.WriteLn("\\b0");
    }
    WriteFormattingReset(writer);
    if (WriteExportBody(writer, page.Text, &page.Links, page.Name, projectFolder))
        errors = true;
    return errors;
}

bool WriteRtfExport(TTopicWriter& writer, const rtl::TStrings& tocList, const AnsiString& projectFolder,
                    const std::function<void(int pageIndex)>& onPage)
{
    writer.WriteTables();
    writer.WriteLn("\\plain\\fs20\\cf1\\f0");
    writer.WriteLn();
    // The merged colour list has the markers' green only when some page has a marker.
    const int markerColor = writer.ColorPosition(MarkerColorEntry) + 1;
    if (tocList.Count() > 0)
        WriteContents(writer, tocList, markerColor);
    bool errors = false;
    for (int i = 0; i < writer.Pages().Count(); ++i) {
        if (onPage)
            onPage(i);
        if (WriteExportTopic(writer, i, projectFolder))
            errors = true;
        writer.WriteLn();
        writer.WriteLn("\\page");
        writer.WriteLn();
    }
    writer.WriteLn("}");
    return errors;
}

// ---------------------------------------------------------------------------------------------------------
// The main window's commands

void TfrmMainMenu::FlushAndLeaveEditor()
{
    lstPagesClick(this);
    // Stored just now: the switch to no page need not store it again.
    CurrentPageIndex = -1;
    lstPages->SetItemIndex(-1);
    lstPagesClick(this);
}

std::unique_ptr<TProgressWindow> TfrmMainMenu::BeginExport(const AnsiString& filter, const AnsiString& extension,
                                                           AnsiString& fileName)
{
    const int pageCount = lstPages->Items()->Count();
    if (pageCount == 0) {
        vcl::ShowMessage(NoPagesToExportText);
        return nullptr;
    }
    std::unique_ptr<vcl::TSaveDialog> dialog(new vcl::TSaveDialog(this));
    dialog->SetFilter(filter);
    // A name typed without an extension gets this one: "name.txt".
    dialog->SetDefaultExt(extension);
    dialog->SetOptions({vcl::ofHideReadOnly, vcl::ofEnableSizing});
    if (!dialog->Execute())
        return nullptr;
    fileName = dialog->FileName();
    FlushAndLeaveEditor();
    return std::make_unique<TProgressWindow>(this, 0, pageCount - 1);
}

void TfrmMainMenu::TXT1Click(vcl::TObject*)
{
    AnsiString fileName;
    const std::unique_ptr<TProgressWindow> progress = BeginExport(TextFileFilter, "txt", fileName);
    if (!progress)
        return;
    const rtl::TStrings& pages = *lstPages->Items();
    // The file is written whole at the end, so a failed export leaves no half-written file.
    AnsiString text;
    for (int i = 0; i < pages.Count(); ++i) {
        progress->SetPosition(i);
        const TPageObject& page = PageAt(pages, i);
        const TProtectedEdit allow(*this);
        if (AppendPlainLines(*mmoPage, page.Header, text) > 0) {
            for (int gap = 0; gap < HeaderGapLines; ++gap)
                text += "\r\n";
        }
        AppendPlainLines(*mmoPage, page.Text, text);
        text += AnsiString("\r\n\r\n") + PageBreakText + "\r\n\r\n\r\n";
    }
    rtl::WriteWholeFile(fileName, text);
    progress->Close();
    vcl::ShowMessage(TextExportedText);
}

void TfrmMainMenu::RTF1Click(vcl::TObject*)
{
    AnsiString fileName;
    const std::unique_ptr<TProgressWindow> progress = BeginExport(RichTextFileFilter, "rtf", fileName);
    if (!progress)
        return;
    const rtl::TStrings& pages = *lstPages->Items();
    rtl::TStringList fonts;
    rtl::TStringList colors;
    BuildFontTable(pages, fonts);
    BuildColorTable(pages, colors);
    TTopicWriter document(pages, fonts, colors);
    const rtl::TStringList noContents;
    const TProjectState& state = ProjectState();
    const bool errors = WriteRtfExport(document, state.TocList ? *state.TocList : noContents,
                                       ProjectFolder(state.ProjectFileName), [&](int i) {
                                           progress->SetPosition(i);
                                           vcl::Application->ProcessMessages();
                                       });
    rtl::WriteWholeFile(fileName, document.Text());
    progress->Close();
    // A page cut short by an error is no success.
    vcl::ShowMessage(errors ? RtfExportHadErrorsText : RtfExportedText);
}

void TfrmMainMenu::TextFileTXT1Click(vcl::TObject*)
{
    std::unique_ptr<vcl::TOpenDialog> dialog(new vcl::TOpenDialog(this));
    dialog->SetFilter(TextFileFilter);
    dialog->SetDefaultExt("txt");
    dialog->SetOptions({vcl::ofHideReadOnly, vcl::ofFileMustExist, vcl::ofEnableSizing});
    if (!dialog->Execute())
        return;
    rtl::TStrings& pages = *lstPages->Items();
    auto page = std::make_unique<TPageObject>();
    page->Name = FirstFreeName(pages, "New Page ");
    // A file that cannot be read ends the command here, before any page is made.
    rtl::TStringList lines;
    lines.LoadFromFile(dialog->FileName());
    FlushAndLeaveEditor();
    int index = -1;
    {
        const TProtectedEdit allow(*this);
        mmoPage->Clear();
        mmoPage->SetPlainText(true);
        mmoPage->Lines()->Assign(lines);
        mmoPage->SetPlainText(false);
        page->Text.Assign(*mmoPage->Lines());
        index = pages.AddObject(page->Name, page.get());
        page.release();  // the page list's now
    }
    lstPages->SetItemIndex(index);
    CurrentPageIndex = index;
    mmoPage->Show();
    ProjectState().Modified = true;
    vcl::ShowMessage(TextImportedText);
}
