#include "platform/richedit/RichDocument.h"

#include "platform/richedit/Charsets.h"

#include <algorithm>
#include <atomic>

namespace richedit {

AnsiString CleanFaceName(std::string_view face)
{
    AnsiString clean;
    clean.reserve(face.size());
    for (char c : face) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == ';' || c == '{' || c == '}' || c == '\\')
            continue;
        clean += c;
    }
    size_t first = clean.find_first_not_of(' ');
    if (first == AnsiString::npos)
        return AnsiString();
    size_t last = clean.find_last_not_of(' ');
    return clean.substr(first, last - first + 1);
}

int ClampHalfPoints(int halfPoints) { return std::clamp(halfPoints, MinHalfPoints, MaxHalfPoints); }

uint32_t CleanColor(uint32_t color) { return (color & 0xFF000000u) != 0 ? 0 : color; }

bool TAttributeChange::Empty() const
{
    return !Face && !Charset && !HalfPoints && !Color && !Bold && !Italic && !Underline && !StrikeOut && !Protected;
}

void TAttributeChange::ApplyTo(TCharAttributes& attributes) const
{
    if (Face) {
        AnsiString face = CleanFaceName(*Face);
        if (!face.empty())
            attributes.Face = face;
    }
    if (Charset)
        attributes.Charset = *Charset;
    if (HalfPoints)
        attributes.HalfPoints = ClampHalfPoints(*HalfPoints);
    if (Color)
        attributes.Color = CleanColor(*Color);
    if (Bold)
        attributes.Bold = *Bold;
    if (Italic)
        attributes.Italic = *Italic;
    if (Underline)
        attributes.Underline = *Underline;
    if (StrikeOut)
        attributes.StrikeOut = *StrikeOut;
    if (Protected)
        attributes.Protected = *Protected;
}

TAttributeChange TAttributeChange::All(const TCharAttributes& a)
{
    TAttributeChange change;
    change.Face = a.Face;
    change.Charset = a.Charset;
    change.HalfPoints = a.HalfPoints;
    change.Color = a.Color;
    change.Bold = a.Bold;
    change.Italic = a.Italic;
    change.Underline = a.Underline;
    change.StrikeOut = a.StrikeOut;
    change.Protected = a.Protected;
    return change;
}

AnsiString NormalizeText(std::string_view text)
{
    AnsiString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
            out += c;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------------------

namespace {

// What the document holds is always something the rich text can carry back unchanged.
TCharAttributes Clean(const TCharAttributes& attributes)
{
    TCharAttributes clean = attributes;
    clean.Face = CleanFaceName(attributes.Face);
    if (clean.Face.empty())
        clean.Face = "Arial";
    clean.HalfPoints = ClampHalfPoints(attributes.HalfPoints);
    clean.Color = CleanColor(attributes.Color);
    return clean;
}

}  // namespace

TRichDocument::TRichDocument() : TRichDocument(TCharAttributes{}) {}

TRichDocument::TRichDocument(const TCharAttributes& emptyAttributes)
    : alignments_{paLeft}, emptyAttributes_(Clean(emptyAttributes))
{
    Changed();
}

uint32_t TRichDocument::Intern(const TCharAttributes& dirty)
{
    TCharAttributes attributes = Clean(dirty);
    auto found = index_.find(attributes);
    if (found != index_.end())
        return found->second;
    auto id = static_cast<uint32_t>(table_.size());
    table_.push_back(attributes);
    index_.emplace(attributes, id);
    return id;
}

void TRichDocument::Changed()
{
    // One counter for every document, so no two states of any documents share a version.
    static std::atomic<uint64_t> counter{0};
    version_ = ++counter;
    endsValid_ = false;
}

const std::vector<int>& TRichDocument::Ends() const
{
    if (!endsValid_) {
        ends_.clear();
        for (size_t pos = text_.find('\r'); pos != AnsiString::npos; pos = text_.find('\r', pos + 2))
            ends_.push_back(static_cast<int>(pos));
        endsValid_ = true;
    }
    return ends_;
}

int TRichDocument::EndsBefore(int pos) const
{
    const auto& ends = Ends();
    return static_cast<int>(std::upper_bound(ends.begin(), ends.end(), pos - 2) - ends.begin());
}

bool TRichDocument::IsInsideEnd(int pos) const
{
    return pos > 0 && pos < Length() && text_[pos - 1] == '\r';
}

TParaAlignment TRichDocument::Alignment(int paragraph) const
{
    if (paragraph < 0 || paragraph >= ParagraphCount())
        return paLeft;
    return alignments_[paragraph];
}

int TRichDocument::ParagraphAt(int pos) const { return EndsBefore(std::clamp(pos, 0, Length())); }

int TRichDocument::ParagraphStart(int paragraph) const
{
    paragraph = std::clamp(paragraph, 0, ParagraphCount() - 1);
    return paragraph == 0 ? 0 : Ends()[paragraph - 1] + 2;
}

int TRichDocument::ParagraphEnd(int paragraph) const
{
    paragraph = std::clamp(paragraph, 0, ParagraphCount() - 1);
    return paragraph == ParagraphCount() - 1 ? Length() : Ends()[paragraph];
}

std::vector<AnsiString> TRichDocument::PlainLines() const
{
    AnsiString text;
    text.reserve(text_.size());
    ForEachRun([&](const TRun& run) {
        text += CharsetToAnsi(run.Attributes->Charset, std::string_view(text_).substr(
                                                           static_cast<size_t>(run.Start), static_cast<size_t>(run.Length)));
    });
    std::vector<AnsiString> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\r', start);
        if (end == AnsiString::npos) {
            if (start < text.size())
                lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

const TCharAttributes& TRichDocument::AttributesAt(int pos) const
{
    if (pos < 0 || pos >= Length())
        return emptyAttributes_;
    return table_[ids_[pos]];
}

bool TRichDocument::AnyProtected(int start, int end) const
{
    start = std::clamp(start, 0, Length());
    end = std::clamp(end, start, Length());
    for (int i = start; i < end; ++i)
        if (table_[ids_[i]].Protected)
            return true;
    return false;
}

bool TRichDocument::AllProtected(int start, int end) const
{
    start = std::clamp(start, 0, Length());
    end = std::clamp(end, start, Length());
    if (start == end)
        return false;
    for (int i = start; i < end; ++i)
        if (!table_[ids_[i]].Protected)
            return false;
    return true;
}

TCharAttributes TRichDocument::InsertionAttributes(int pos) const
{
    // Protected text (a marker, say) is the program's own and keeps its look to itself: typed text takes
    // the nearest unprotected character of its paragraph, looking back first, else the paragraph's end.
    TCharAttributes attributes = emptyAttributes_;
    if (!IsEmpty()) {
        pos = SnapCaret(pos);
        const int paragraph = ParagraphAt(pos);
        const int start = ParagraphStart(paragraph);
        const int end = ParagraphEnd(paragraph);
        int from = -1;
        for (int i = pos - 1; i >= start && from < 0; --i)
            if (!IsProtected(i))
                from = i;
        for (int i = pos; i < end && from < 0; ++i)
            if (!IsProtected(i))
                from = i;
        if (from < 0 && end < Length())
            from = end;
        else if (from < 0 && start > 0)
            from = start - 2;  // the last paragraph has no end: the one before it
        if (from >= 0)
            attributes = table_[ids_[from]];
    }
    attributes.Protected = false;
    attributes.Charset = AnsiCharset;
    return attributes;
}

void TRichDocument::SetEmptyAttributes(const TCharAttributes& attributes)
{
    emptyAttributes_ = Clean(attributes);
    Changed();
}

void TRichDocument::ForEachRun(int start, int end, const std::function<void(const TRun&)>& visit) const
{
    SnapRange(start, end);
    int i = start;
    while (i < end) {
        if (text_[i] == '\r') {
            visit(TRun{i, 2, &table_[ids_[i]], true});
            i += 2;
            continue;
        }
        int j = i + 1;
        while (j < end && ids_[j] == ids_[i] && text_[j] != '\r')
            ++j;
        visit(TRun{i, j - i, &table_[ids_[i]], false});
        i = j;
    }
}

int TRichDocument::SnapCaret(int pos) const
{
    pos = std::clamp(pos, 0, Length());
    return IsInsideEnd(pos) ? pos - 1 : pos;
}

void TRichDocument::SnapRange(int& start, int& end) const
{
    start = std::clamp(start, 0, Length());
    end = std::clamp(end, start, Length());
    if (start == end) {
        start = end = SnapCaret(start);
        return;
    }
    if (IsInsideEnd(start))
        --start;
    if (IsInsideEnd(end))
        ++end;
}

bool TRichDocument::TouchesProtected(int start, int end) const
{
    SnapRange(start, end);
    if (start < end)
        return AnyProtected(start, end);
    return start > 0 && start < Length() && IsProtected(start - 1) && IsProtected(start);
}

bool TRichDocument::Ask(const TProtectQuery& query, int start, int end) const
{
    return !query || query(start, end);
}

// ---------------------------------------------------------------------------------------------------------
// Building

void TRichDocument::AppendText(std::string_view text, const TCharAttributes& attributes)
{
    AnsiString clean = NormalizeText(text);
    if (clean.empty())
        return;
    uint32_t id = Intern(attributes);
    size_t start = 0;
    for (;;) {
        size_t end = clean.find('\r', start);
        size_t stop = end == AnsiString::npos ? clean.size() : end;
        text_.append(clean, start, stop - start);
        ids_.insert(ids_.end(), stop - start, id);
        if (end == AnsiString::npos)
            break;
        AppendParagraphEnd(attributes, alignments_.back());
        start = end + 2;
    }
    Changed();
}

void TRichDocument::AppendParagraphEnd(const TCharAttributes& attributes, TParaAlignment alignment)
{
    uint32_t id = Intern(attributes);
    text_ += "\r\n";
    ids_.insert(ids_.end(), 2, id);
    alignments_.back() = alignment;
    alignments_.push_back(alignment);
    Changed();
}

void TRichDocument::SetLastAlignment(TParaAlignment alignment)
{
    alignments_.back() = alignment;
    Changed();
}

// ---------------------------------------------------------------------------------------------------------
// Edits

void TRichDocument::ReplaceRange(int start, int end, const AnsiString& text, const std::vector<uint32_t>& ids,
                                 const std::vector<TParaAlignment>& endAlignments)
{
    if (start == end && text.empty())
        return;
    if (start == 0 && end == Length() && text.empty())
        emptyAttributes_ = InsertionAttributes(0);
    int first = EndsBefore(start);
    int removed = EndsBefore(end) - first;
    alignments_.erase(alignments_.begin() + first, alignments_.begin() + first + removed);
    alignments_.insert(alignments_.begin() + first, endAlignments.begin(), endAlignments.end());
    text_.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), text);
    ids_.erase(ids_.begin() + start, ids_.begin() + end);
    ids_.insert(ids_.begin() + start, ids.begin(), ids.end());
    Changed();
}

bool TRichDocument::Replace(int start, int end, const TRichDocument& fragment, const TProtectQuery& query)
{
    if (&fragment == this)
        return Replace(start, end, TRichDocument(fragment), query);
    SnapRange(start, end);
    if (TouchesProtected(start, end) && !Ask(query, start, end))
        return false;
    std::vector<int64_t> map(fragment.table_.size(), -1);
    std::vector<uint32_t> ids;
    ids.reserve(fragment.ids_.size());
    for (uint32_t id : fragment.ids_) {
        if (map[id] < 0)
            map[id] = Intern(fragment.table_[id]);
        ids.push_back(static_cast<uint32_t>(map[id]));
    }
    std::vector<TParaAlignment> endAlignments(fragment.alignments_.begin(), fragment.alignments_.end() - 1);
    ReplaceRange(start, end, fragment.text_, ids, endAlignments);
    return true;
}

bool TRichDocument::ReplaceText(int start, int end, std::string_view text, const TCharAttributes& attributes,
                                const TProtectQuery& query)
{
    SnapRange(start, end);
    if (TouchesProtected(start, end) && !Ask(query, start, end))
        return false;
    AnsiString clean = NormalizeText(text);
    std::vector<uint32_t> ids(clean.size(), clean.empty() ? 0 : Intern(attributes));
    auto endCount = static_cast<size_t>(std::count(clean.begin(), clean.end(), '\r'));
    std::vector<TParaAlignment> endAlignments(endCount, alignments_[EndsBefore(start)]);
    ReplaceRange(start, end, clean, ids, endAlignments);
    return true;
}

bool TRichDocument::Delete(int start, int end, const TProtectQuery& query)
{
    return ReplaceText(start, end, std::string_view(), TCharAttributes{}, query);
}

bool TRichDocument::ChangeAttributes(int start, int end, const TAttributeChange& change,
                                     const TProtectQuery& query)
{
    SnapRange(start, end);
    if (change.Empty())
        return true;
    if (start == end) {
        if (IsEmpty()) {
            if (emptyAttributes_.Protected && !Ask(query, start, end))
                return false;
            change.ApplyTo(emptyAttributes_);
            emptyAttributes_ = Clean(emptyAttributes_);
            Changed();
            return true;
        }
        int paragraph = ParagraphAt(start);
        int from = ParagraphStart(paragraph);
        if (from != ParagraphEnd(paragraph))
            return true;
        // An empty paragraph shows its end; the last one, which has none, the end before it.
        if (paragraph == ParagraphCount() - 1)
            from -= 2;
        start = from;
        end = from + 2;
    }
    if (AnyProtected(start, end) && !Ask(query, start, end))
        return false;
    std::vector<int64_t> map(table_.size(), -1);
    for (int i = start; i < end; ++i) {
        uint32_t old = ids_[i];
        if (map[old] < 0) {
            TCharAttributes changed = table_[old];
            change.ApplyTo(changed);
            map[old] = Intern(changed);
        }
        ids_[i] = static_cast<uint32_t>(map[old]);
    }
    Changed();
    return true;
}

bool TRichDocument::SetAlignment(int start, int end, TParaAlignment alignment, const TProtectQuery& query)
{
    SnapRange(start, end);
    int first = ParagraphAt(start);
    int last = end > start ? ParagraphAt(end - 1) : first;
    int from = ParagraphStart(first);
    int to = ParagraphEnd(last);
    int toWithEnd = last == ParagraphCount() - 1 ? to : to + 2;
    if (AnyProtected(from, toWithEnd) && !Ask(query, from, to))
        return false;
    for (int p = first; p <= last; ++p)
        alignments_[p] = alignment;
    Changed();
    return true;
}

void TRichDocument::Clear(const TCharAttributes& emptyAttributes)
{
    text_.clear();
    ids_.clear();
    table_.clear();
    index_.clear();
    alignments_.assign(1, paLeft);
    emptyAttributes_ = Clean(emptyAttributes);
    Changed();
}

TRichDocument TRichDocument::Copy(int start, int end) const
{
    SnapRange(start, end);
    TRichDocument copy(IsEmpty() ? emptyAttributes_ : InsertionAttributes(start));
    copy.text_ = text_.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
    std::vector<int64_t> map(table_.size(), -1);
    copy.ids_.reserve(copy.text_.size());
    for (int i = start; i < end; ++i) {
        uint32_t id = ids_[i];
        if (map[id] < 0)
            map[id] = copy.Intern(table_[id]);
        copy.ids_.push_back(static_cast<uint32_t>(map[id]));
    }
    int first = EndsBefore(start);
    int count = EndsBefore(end) - first;
    copy.alignments_.assign(alignments_.begin() + first, alignments_.begin() + first + count + 1);
    copy.Changed();
    return copy;
}

TRichDocument::TUndoStep TRichDocument::KeepForUndo(int start, int end) const
{
    SnapRange(start, end);
    TUndoStep step;
    step.Start = start;
    step.End = end;
    step.Old = std::make_shared<const TRichDocument>(Copy(start, end));
    step.Alignments.assign(alignments_.begin() + ParagraphAt(start), alignments_.begin() + ParagraphAt(end) + 1);
    return step;
}

bool TRichDocument::Undo(const TUndoStep& step, const TProtectQuery& query)
{
    if (!step.Old || step.Start < 0 || step.Start > step.End || step.End > Length())
        return false;
    const TRichDocument& old = *step.Old;
    if ((TouchesProtected(step.Start, step.End) || old.AnyProtected(0, old.Length())) &&
        !Ask(query, step.Start, step.End))
        return false;
    Replace(step.Start, step.End, old, nullptr);
    if (IsEmpty())
        emptyAttributes_ = old.emptyAttributes_;
    const auto first = static_cast<size_t>(ParagraphAt(step.Start));
    for (size_t k = 0; k < step.Alignments.size() && first + k < alignments_.size(); ++k)
        alignments_[first + k] = step.Alignments[k];
    Changed();
    return true;
}

bool TRichDocument::operator==(const TRichDocument& other) const
{
    if (text_ != other.text_ || alignments_ != other.alignments_)
        return false;
    if (IsEmpty())
        return emptyAttributes_ == other.emptyAttributes_;
    for (size_t i = 0; i < ids_.size(); ++i) {
        if (i > 0 && ids_[i] == ids_[i - 1] && other.ids_[i] == other.ids_[i - 1])
            continue;
        if (table_[ids_[i]] != other.table_[other.ids_[i]])
            return false;
    }
    return true;
}

}  // namespace richedit
