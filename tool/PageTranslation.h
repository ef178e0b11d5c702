#pragma once
// One page as one help topic of the topic file: its footnotes (topic ID, title, keywords), its header
// region, and its rich text translated for the help compiler. The translation renumbers the page's fonts
// and colours into the merged tables of the file, drops underline and protection (they only mark markers
// in the editor) and turns link and picture markers into hotspots and bitmap references.
//
//   rtl::TStringList fonts, colors;
//   BuildFontTable(pages, fonts);
//   BuildColorTable(pages, colors);
//   TTopicWriter topic(pages, fonts, colors);
//   topic.WriteTables();
//   bool errors = WriteTopic(topic, 0);
//   rtl::WriteWholeFile(fileName, topic.Text());
//
// An error in a page (a font or colour number that is not valid, a link marker without its link, a topic
// link to a missing page) shows its message, stops that text where it stands and is reported by the
// result; what was written before it stays.

#include <string_view>
#include <vector>

#include "tool/HelpBuild.h"

// The topic file being written, and what its translation reads: the page list and the merged font and
// colour lists (all three must stay unchanged while the writer is in use).
class TTopicWriter {
public:
    TTopicWriter(const rtl::TStrings& pages, const rtl::TStrings& fonts, const rtl::TStrings& colors);

    void Write(std::string_view text) { text_.append(text); }
    // The text (if any), then CR LF.
    void WriteLn(std::string_view text = {});
    const AnsiString& Text() const { return text_; }

    // The document's start with its font and colour tables, up to and including the empty line after
    // the colour table.
    void WriteTables();

    const rtl::TStrings& Pages() const { return pages_; }
    const TPageObject* FindPage(const AnsiString& name) const { return pageIndex_.Find(name); }
    // Position of a font or colour entry in the merged list, -1 when absent.
    int FontPosition(const AnsiString& entry) const { return fontIndex_.Find(entry); }
    int ColorPosition(const AnsiString& entry) const { return colorIndex_.Find(entry); }

private:
    const rtl::TStrings& pages_;
    const rtl::TStrings& fonts_;
    const rtl::TStrings& colors_;
    TPageIndex pageIndex_;
    TEntryIndex fontIndex_;
    TEntryIndex colorIndex_;
    AnsiString text_;
};

// The translation of one rich text. The rich-text export derives from it and writes its own link and
// picture mark-up.
class TBodyTranslator {
public:
    explicit TBodyTranslator(TTopicWriter& writer) : Writer(writer) {}
    virtual ~TBodyTranslator() = default;
    TBodyTranslator(const TBodyTranslator&) = delete;
    TBodyTranslator& operator=(const TBodyTranslator&) = delete;

    // Translates the text after its first "\pard" into the writer. `links` (null for a header) resolves
    // link markers; `label` names the text in messages. True when it stopped at an error.
    bool Translate(const rtl::TStrings& lines, const rtl::TStrings* links, const AnsiString& label);

protected:
    // A link marker whose link was found (`name` as the marker spells it, its RTF escapes undone); false
    // when an error, whose message has been shown, stops the translation.
    virtual bool WriteLink(const TLinkObject& link, const AnsiString& name, const AnsiString& label);
    // A picture marker; `path` as the rich text holds it (backslashes doubled).
    virtual void WritePicture(const AnsiString& path);
    // Shows an error's message.
    virtual void ShowError(const AnsiString& message);

    TTopicWriter& Writer;

private:
    // False when the line's translation stopped at an error.
    bool TranslateLine(const AnsiString& line);
    // Writes the control word's rest from `from` up to a blank or backslash, then a line break; gives the
    // position to go on from.
    size_t Tail(const AnsiString& line, size_t from, bool eatBlank);
    bool LinkMarker(const AnsiString& line, size_t& pos);
    void PictureMarker(const AnsiString& line, size_t& pos);

    const rtl::TStrings* links_ = nullptr;
    std::unordered_map<AnsiString, const TLinkObject*> linkIndex_;
    AnsiString label_;
    std::vector<int> fontMap_;   // page font N -> merged position, -1 when not there
    std::vector<int> colorMap_;  // page colour N -> merged colour number (0 when not there)
    bool markerMode_ = false;
};

// The translation with the help compiler's mark-up; true when it stopped at an error.
bool WriteTopicBody(TTopicWriter& writer, const rtl::TStrings& lines, const rtl::TStrings* links,
                    const AnsiString& label);
// The page at `pageIndex` of the writer's page list as one topic; true when either of its texts met an
// error.
bool WriteTopic(TTopicWriter& writer, int pageIndex);

// The messages of the translation errors.
AnsiString LinkNotFoundText(const AnsiString& label, const AnsiString& name);
AnsiString LinkTargetMissingText(const AnsiString& label, const AnsiString& name);
AnsiString LinkTypeUnknownText(const AnsiString& label, const AnsiString& name, int linkType);
AnsiString IllegalFontText(const AnsiString& label);
AnsiString IllegalColorText(const AnsiString& label);
