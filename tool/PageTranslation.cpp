#include "tool/PageTranslation.h"

#include <cstdint>

#include "platform/vcl/Dialogs.h"

namespace {

const char ContactSupportText[] = "Please contact Halvern support at support@example.com about this problem.";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWith(const AnsiString& line, size_t pos, std::string_view word)
{
    return line.compare(pos, word.size(), word) == 0;
}

// Position just past "\pard" in the line, in any letter case; npos when it has none.
size_t AfterPard(const AnsiString& line)
{
    const size_t found = rtl::UpperCase(line).find("\\PARD");
    return found == AnsiString::npos ? found : found + 5;
}

// The digits from `pos` as a number; false when there are none or they pass 32 bits. `end` is the
// position after the digits.
bool ReadNumber(const AnsiString& line, size_t pos, size_t& end, int& value)
{
    end = pos;
    int64_t number = 0;
    bool valid = true;
    while (end < line.size() && IsDigit(line[end])) {
        if (valid) {
            number = number * 10 + (line[end] - '0');
            valid = number <= INT32_MAX;
        }
        ++end;
    }
    if (end == pos || !valid)
        return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------

TTopicWriter::TTopicWriter(const rtl::TStrings& pages, const rtl::TStrings& fonts, const rtl::TStrings& colors)
    : pages_(pages), fonts_(fonts), colors_(colors), pageIndex_(pages), fontIndex_(fonts), colorIndex_(colors)
{
}

void TTopicWriter::WriteLn(std::string_view text)
{
    text_.append(text);
    text_.append("\r\n");
}

void TTopicWriter::WriteTables()
{
    WriteLn("{\\rtf1\\ansi\\deff0");
    WriteLn();
    WriteLn("{\\fonttbl");
    for (int k = 0; k < fonts_.Count(); ++k)
        WriteLn("{\\f" + rtl::IntToStr(k) + fonts_[k]);
    WriteLn("}");
    WriteLn();
    WriteLn("{\\colortbl;");
    for (int k = 0; k < colors_.Count(); ++k)
        WriteLn(colors_[k]);
    WriteLn("}");
    WriteLn();
}

// ---------------------------------------------------------------------------------------------------------

bool TBodyTranslator::Translate(const rtl::TStrings& lines, const rtl::TStrings* links, const AnsiString& label)
{
    label_ = label;
    links_ = links;
    markerMode_ = false;

    rtl::TStringList pageFonts;
    rtl::TStringList pageColors;
    ExtractFontTable(lines, pageFonts);
    ExtractColorTable(lines, pageColors);
    fontMap_.clear();
    for (int n = 0; n < pageFonts.Count(); ++n)
        fontMap_.push_back(Writer.FontPosition(pageFonts[n]));
    colorMap_.clear();
    for (int n = 0; n < pageColors.Count(); ++n)
        colorMap_.push_back(Writer.ColorPosition(pageColors[n]) + 1);
    linkIndex_.clear();
    if (links) {
        for (int i = 0; i < links->Count(); ++i) {
            if (auto* link = dynamic_cast<const TLinkObject*>(links->Objects(i)))
                linkIndex_.emplace(rtl::AnsiUpperCase(links->Strings(i)), link);
        }
    }

    int first = 0;
    size_t start = AnsiString::npos;
    for (; first < lines.Count(); ++first) {
        start = AfterPard(lines[first]);
        if (start != AnsiString::npos)
            break;
    }
    if (start == AnsiString::npos)
        return false;

    for (int i = first; i < lines.Count(); ++i) {
        AnsiString line = i == first ? lines[i].substr(start) : lines[i];
        // A control symbol cut off by the line end still needs a character after its backslash.
        if (!line.empty() && line.back() == '\\')
            line += ' ';
        if (!TranslateLine(line))
            return true;
    }
    return false;
}

bool TBodyTranslator::TranslateLine(const AnsiString& line)
{
    const size_t n = line.size();
    size_t pos = 0;
    while (pos < n) {
        const char c = line[pos];
        if (c == '#') {
            if (!markerMode_) {
                Writer.Write("#");
                ++pos;
            } else if (pos + 1 < n && line[pos + 1] == '#') {
                if (!LinkMarker(line, pos))
                    return false;
            } else {
                PictureMarker(line, pos);
            }
            continue;
        }
        if (c != '\\') {
            // Plain text; a closing brace goes (the page's own groups and its document's end).
            const size_t end = std::min(line.find_first_of("\\#", pos), n);
            while (pos < end) {
                const size_t brace = std::min(line.find('}', pos), end);
                Writer.Write(std::string_view(line).substr(pos, brace - pos));
                pos = brace < end ? brace + 1 : end;
            }
            continue;
        }

        // A control word or symbol; the translation always leaves a character after a backslash.
        const size_t word = pos + 1;
        const char w = line[word];
        if (w == 'f' && word + 1 < n && IsDigit(line[word + 1])) {
            size_t end = 0;
            int number = 0;
            const bool valid = ReadNumber(line, word + 1, end, number);
            if (!valid || static_cast<size_t>(number) >= fontMap_.size() || fontMap_[static_cast<size_t>(number)] < 0) {
                ShowError(IllegalFontText(label_));
                return false;
            }
            Writer.Write("\\f" + rtl::IntToStr(fontMap_[static_cast<size_t>(number)]));
            pos = Tail(line, end, true);
        } else if (w == 'f') {
            Writer.Write("\\f");
            pos = Tail(line, word + 1, true);
        } else if (w == 'c' && word + 1 < n && line[word + 1] == 'f') {
            size_t end = 0;
            int number = 0;
            if (!ReadNumber(line, word + 2, end, number)) {
                ShowError(IllegalColorText(label_));
                return false;
            }
            const int color = static_cast<size_t>(number) < colorMap_.size() ? colorMap_[static_cast<size_t>(number)] : 0;
            Writer.Write("\\cf" + rtl::IntToStr(color));
            pos = Tail(line, end, true);
        } else if (w == 'c') {
            Writer.Write("\\c");
            pos = Tail(line, word + 1, true);
        } else if (w == 'u' && StartsWith(line, word, "uldb")) {
            markerMode_ = true;
            pos = Tail(line, word + 4, true);
        } else if (w == 'u' && StartsWith(line, word, "ulnone")) {
            markerMode_ = false;
            pos = Tail(line, word + 6, true);
        } else if (w == 'u' && StartsWith(line, word, "ul")) {
            markerMode_ = true;
            pos = Tail(line, word + 2, true);
        } else if (w == 'p' && StartsWith(line, word, "protect0")) {
            pos = Tail(line, word + 8, true);
        } else if (w == 'p' && StartsWith(line, word, "protect")) {
            pos = Tail(line, word + 7, true);
        } else if (w == '\'') {
            // A character by its code: the blank after it is text.
            Writer.Write("\\");
            pos = Tail(line, word, false);
        } else if (w == '\\') {
            Writer.Write("\\\\");
            pos = word + 1;
        } else {
            // A control symbol ("\{", "\}", "\~") takes no delimiter, so a blank after it is text; the
            // blank after a line-end backslash only stands for the line break.
            Writer.Write("\\");
            pos = Tail(line, word, IsLetter(w) || w == ' ');
        }
    }
    return true;
}

size_t TBodyTranslator::Tail(const AnsiString& line, size_t from, bool eatBlank)
{
    from = std::min(from, line.size());
    const size_t end = std::min(line.find_first_of(" \\", from), line.size());
    Writer.Write(std::string_view(line).substr(from, end - from));
    Writer.WriteLn();
    return eatBlank && end < line.size() && line[end] == ' ' ? end + 1 : end;
}

bool TBodyTranslator::LinkMarker(const AnsiString& line, size_t& pos)
{
    const size_t start = pos + 2;
    const size_t close = line.find('#', start);
    // The rich text holds the name escaped (accented letters, braces, backslashes); the link list doesn't.
    const AnsiString name =
        RtfPlainText(std::string_view(line).substr(start, close == AnsiString::npos ? AnsiString::npos : close - start));
    pos = close == AnsiString::npos ? line.size() : std::min(close + 2, line.size());

    auto found = linkIndex_.find(rtl::AnsiUpperCase(name));
    if (!links_ || found == linkIndex_.end()) {
        ShowError(LinkNotFoundText(label_, name));
        return false;
    }
    return WriteLink(*found->second, name, label_);
}

void TBodyTranslator::PictureMarker(const AnsiString& line, size_t& pos)
{
    const size_t start = pos + 1;
    const size_t close = line.find('#', start);
    WritePicture(line.substr(start, close == AnsiString::npos ? AnsiString::npos : close - start));
    pos = close == AnsiString::npos ? line.size() : close + 1;
}

bool TBodyTranslator::WriteLink(const TLinkObject& link, const AnsiString& name, const AnsiString& label)
{
    Writer.Write(link.Popup ? "{\\ul " : "{\\uldb ");
    Writer.Write(RtfText(link.Text) + "}");
    switch (link.LinkType) {
    case 0: {
        const TPageObject* page = Writer.FindPage(link.Target);
        if (!page) {
            ShowError(LinkTargetMissingText(label, name));
            return false;
        }
        Writer.Write("{\\v " + RtfText(page->TopicID) + "}");
        return true;
    }
    case 1:
        Writer.Write("{\\v !ExecFile(" + RtfText(link.Target) + ")}");
        return true;
    case 2:
        Writer.Write("{\\v !ExecFile(mailto:" + RtfText(link.Target) + ")}");
        return true;
    default:
        ShowError(LinkTypeUnknownText(label, name, link.LinkType));
        return false;
    }
}

void TBodyTranslator::WritePicture(const AnsiString& path)
{
    Writer.Write("\\{bmc " + path + "\\}");
    Writer.WriteLn();
}

void TBodyTranslator::ShowError(const AnsiString& message) { vcl::ShowMessage(message); }

// ---------------------------------------------------------------------------------------------------------

bool WriteTopicBody(TTopicWriter& writer, const rtl::TStrings& lines, const rtl::TStrings* links,
                    const AnsiString& label)
{
    TBodyTranslator translator(writer);
    return translator.Translate(lines, links, label);
}

bool WriteTopic(TTopicWriter& writer, int pageIndex)
{
    const TPageObject& page = PageAt(writer.Pages(), pageIndex);
    if (!page.TopicID.empty())
        writer.WriteLn("#{\\footnote " + RtfText(page.TopicID) + "}");
    if (!page.TopicTitle.empty())
        writer.WriteLn("${\\footnote " + RtfText(page.TopicTitle) + "}");
    if (!page.IndexKeywords.empty())
        writer.WriteLn("K{\\footnote " + RtfText(page.IndexKeywords) + "}");

    bool errors = false;
    if (page.Header.Count() > 0) {
        writer.WriteLn("\\keepn\\b0\\i0\\cf0");
        errors = WriteTopicBody(writer, page.Header, nullptr, page.Name + " - Page Header");
        writer.WriteLn("\\pard");
        writer.WriteLn("\\b0\\i0");
    }
    writer.WriteLn("\\b0\\i0\\cf0");
    writer.WriteLn("\\pard");
    if (WriteTopicBody(writer, page.Text, &page.Links, page.Name))
        errors = true;
    writer.WriteLn("\\b0\\i0");
    writer.WriteLn("\\pard");
    return errors;
}

AnsiString LinkNotFoundText(const AnsiString& label, const AnsiString& name)
{
    return "Illegal link found in page " + label + "\r\n\r\nLink:  " + name + "  not found.";
}

AnsiString LinkTargetMissingText(const AnsiString& label, const AnsiString& name)
{
    return "Illegal link found in page " + label + "\r\n\r\nLink:  " + name + "  is linked to a page that does not exist.";
}

AnsiString LinkTypeUnknownText(const AnsiString& label, const AnsiString& name, int linkType)
{
    return "Illegal link found in page " + label + "\r\n\r\nLink:  " + name + "  has the unknown link type " +
           rtl::IntToStr(linkType) + ".";
}

AnsiString IllegalFontText(const AnsiString& label)
{
    return "Illegal font found in page " + label + "\r\n\r\n" + ContactSupportText;
}

AnsiString IllegalColorText(const AnsiString& label)
{
    return "Illegal color found in page " + label + "\r\n\r\n" + ContactSupportText;
}
