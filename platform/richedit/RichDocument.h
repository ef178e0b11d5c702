#pragma once
// The rich-text document behind the editor control, in plain C++: paragraphs with an alignment, made of
// characters that each carry their attributes (face, character set, size, colour, bold, italic,
// underline, strikeout, protected). A character's byte is in its font's character set (Charsets.h):
// Windows-1252 for what is typed, any other set for what rich text brought in.
//
// Positions count as the editor control counts them: a paragraph end is the pair CR LF in Text() and
// takes two positions. The last paragraph has no end of its own. A position between the CR and the LF
// is never a place of its own: a caret there moves back before the CR, a range end moves on past the LF.
//
// Every paragraph end carries attributes like a character does (it is the formatting an empty paragraph
// shows and types with), and the paragraph's alignment belongs to its end: inserting text that holds
// paragraph ends brings their alignments along, and joining two paragraphs keeps the second one's.
//
// Edits that would touch a protected character are first put to the protect query, and do nothing when
// it refuses:
//
//   richedit::TRichDocument doc;
//   doc.ReplaceText(0, 0, "Hello\r\nworld", doc.InsertionAttributes(0), nullptr);   // no query: allowed
//   richedit::TAttributeChange bold;
//   bold.Bold = true;
//   doc.ChangeAttributes(0, 5, bold, [](int start, int end) { return AllowProtectedEdit; });
//   doc.Length();                 // 12: "Hello" CR LF "world"
//   doc.ParagraphCount();         // 2

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace richedit {

using rtl::AnsiString;

// A malformed rich text that cannot be read at all.
class ERichTextError : public rtl::Exception {
public:
    using Exception::Exception;
};

enum TParaAlignment : uint8_t { paLeft, paCenter, paRight };

inline constexpr int MinHalfPoints = 2;      // 1 point
inline constexpr int MaxHalfPoints = 3276;   // 1638 points, the largest size the control takes

struct TCharAttributes {
    AnsiString Face = "Arial";
    uint8_t Charset = 0;  // the font character set the byte is in
    int HalfPoints = 20;
    uint32_t Color = 0;  // 0x00BBGGRR; black is the automatic colour
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    bool Protected = false;

    bool operator==(const TCharAttributes&) const = default;
    auto operator<=>(const TCharAttributes&) const = default;
};

// A face name as a font table can carry it: no control characters, no ";", "{", "}" or "\", no blanks
// at either end. May come out empty.
AnsiString CleanFaceName(std::string_view face);
int ClampHalfPoints(int halfPoints);
// Only the 24 colour bits count; anything else (a system colour) is the automatic colour.
uint32_t CleanColor(uint32_t color);

// The attributes one change sets; those left empty stay as they are.
struct TAttributeChange {
    std::optional<AnsiString> Face;
    std::optional<uint8_t> Charset;
    std::optional<int> HalfPoints;
    std::optional<uint32_t> Color;
    std::optional<bool> Bold;
    std::optional<bool> Italic;
    std::optional<bool> Underline;
    std::optional<bool> StrikeOut;
    std::optional<bool> Protected;

    bool Empty() const;
    // Values are cleaned on the way in; an empty face name is ignored.
    void ApplyTo(TCharAttributes& attributes) const;
    // Every attribute of `attributes`.
    static TAttributeChange All(const TCharAttributes& attributes);
};

// Asked before a change that touches protected text, with the range the change covers; true allows it.
using TProtectQuery = std::function<bool(int startPos, int endPos)>;

// Text as it may stand in the document: any line end (CR LF, lone CR, lone LF) becomes CR LF; control
// characters other than TAB are dropped.
AnsiString NormalizeText(std::string_view text);

class TRichDocument {
public:
    // A stretch of characters with one set of attributes inside one paragraph; a paragraph end is a run
    // of its own.
    struct TRun {
        int Start;
        int Length;
        const TCharAttributes* Attributes;
        bool IsParagraphEnd;
    };

    // An empty document whose (one, empty) paragraph types with `emptyAttributes`.
    TRichDocument();
    explicit TRichDocument(const TCharAttributes& emptyAttributes);

    const AnsiString& Text() const { return text_; }
    int Length() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    int ParagraphCount() const { return static_cast<int>(alignments_.size()); }
    TParaAlignment Alignment(int paragraph) const;
    // The paragraph a position lies in; a paragraph's end belongs to it.
    int ParagraphAt(int pos) const;
    // Position of the paragraph's first character, and of its end (Length() for the last paragraph).
    int ParagraphStart(int paragraph) const;
    int ParagraphEnd(int paragraph) const;
    // The plain text of each paragraph in Windows-1252 ("?" for what that cannot hold); a final empty
    // paragraph does not count, an empty document has none.
    std::vector<AnsiString> PlainLines() const;

    // 0 <= pos < Length().
    const TCharAttributes& AttributesAt(int pos) const;
    bool IsProtected(int pos) const { return AttributesAt(pos).Protected; }
    bool AnyProtected(int start, int end) const;
    bool AllProtected(int start, int end) const;
    // What text typed at `pos` takes: the character before it, at a paragraph's start the paragraph's own
    // first character; protected characters are passed over for the nearest unprotected one of the
    // paragraph (before the caret first), else the paragraph's end. Never protected, and always in
    // Windows-1252, the set typed text comes in.
    TCharAttributes InsertionAttributes(int pos) const;
    // The attributes of an empty document (what its one paragraph shows and types with).
    const TCharAttributes& EmptyAttributes() const { return emptyAttributes_; }
    void SetEmptyAttributes(const TCharAttributes& attributes);

    // Each run of [start, end) in order; the range is snapped first.
    void ForEachRun(int start, int end, const std::function<void(const TRun&)>& visit) const;
    void ForEachRun(const std::function<void(const TRun&)>& visit) const { ForEachRun(0, Length(), visit); }

    // Position rules: clamped to 0..Length(), then moved out of the middle of a paragraph end.
    int SnapCaret(int pos) const;
    void SnapRange(int& start, int& end) const;
    // Would replacing [start, end) (inserting, when empty) touch protected text? The range is snapped.
    bool TouchesProtected(int start, int end) const;

    // Building without questions, for the reader: text is normalised; a paragraph end closes the current
    // paragraph with the given alignment.
    void AppendText(std::string_view text, const TCharAttributes& attributes);
    void AppendParagraphEnd(const TCharAttributes& attributes, TParaAlignment alignment);
    void SetLastAlignment(TParaAlignment alignment);

    // Edits; each answers false when the protect query refused (and then nothing changed). A null query
    // allows everything.
    bool Replace(int start, int end, const TRichDocument& fragment, const TProtectQuery& query);
    // The new paragraph ends take the alignment of the paragraph the text goes into.
    bool ReplaceText(int start, int end, std::string_view text, const TCharAttributes& attributes,
                     const TProtectQuery& query);
    // Deleting everything leaves the empty document with what its start typed with.
    bool Delete(int start, int end, const TProtectQuery& query);
    // An empty range changes the end of the paragraph it lies in when that paragraph is empty (the
    // attributes an empty document has, for an empty document), else nothing.
    bool ChangeAttributes(int start, int end, const TAttributeChange& change, const TProtectQuery& query);
    // Aligns every paragraph that [start, end] reaches (the caret's paragraph for an empty range); the
    // query is asked when any character of those paragraphs is protected.
    bool SetAlignment(int start, int end, TParaAlignment alignment, const TProtectQuery& query);
    // Empties the document without asking; `emptyAttributes` become its attributes.
    void Clear(const TCharAttributes& emptyAttributes);

    // [start, end) as a document of its own (snapped): its paragraphs keep their alignments.
    TRichDocument Copy(int start, int end) const;

    // What takes one edit back: [Start, End) of the edited document goes and Old comes back in its place,
    // with the alignments its paragraphs had.
    struct TUndoStep {
        int Start = 0;
        int End = 0;
        std::shared_ptr<const TRichDocument> Old;
        std::vector<TParaAlignment> Alignments;  // of the paragraphs from Start's on
    };
    // Kept before an edit of [start, end) (snapped); the edit's caller sets End to where it left its text.
    TUndoStep KeepForUndo(int start, int end) const;
    // Puts the step's text back. Like any edit it asks first when it touches protected text: the range it
    // replaces, or protected text it would bring back.
    bool Undo(const TUndoStep& step, const TProtectQuery& query);

    // Same text, alignments and attributes (and, when empty, the same empty attributes).
    bool operator==(const TRichDocument& other) const;

    // Changes with every edit, to a number no other state of any document had (a copy shares its
    // original's); views and caches compare it.
    uint64_t Version() const { return version_; }

private:
    uint32_t Intern(const TCharAttributes& attributes);
    void Changed();
    const std::vector<int>& Ends() const;  // positions of the CR of every paragraph end
    int EndsBefore(int pos) const;          // paragraph ends wholly before pos
    bool IsInsideEnd(int pos) const;
    void ReplaceRange(int start, int end, const AnsiString& text, const std::vector<uint32_t>& ids,
                      const std::vector<TParaAlignment>& endAlignments);
    bool Ask(const TProtectQuery& query, int start, int end) const;

    AnsiString text_;
    std::vector<uint32_t> ids_;                 // attributes of each character, as table indexes
    std::vector<TCharAttributes> table_;
    std::map<TCharAttributes, uint32_t> index_;
    std::vector<TParaAlignment> alignments_;   // one per paragraph
    TCharAttributes emptyAttributes_;
    uint64_t version_ = 0;
    mutable std::vector<int> ends_;
    mutable bool endsValid_ = true;
};

}  // namespace richedit
