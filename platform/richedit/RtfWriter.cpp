#include "platform/richedit/RtfWriter.h"

#include <unordered_map>
#include <utility>

namespace richedit {

namespace {

const char HexDigits[] = "0123456789abcdef";

void AppendHexByte(AnsiString& out, unsigned char c)
{
    out += "\\'";
    out += HexDigits[c >> 4];
    out += HexDigits[c & 0x0F];
}

// Fonts and colours numbered in the order the text first uses them.
class TTables {
public:
    explicit TTables(const TRichDocument& document)
    {
        if (document.IsEmpty())
            Use(document.EmptyAttributes());
        document.ForEachRun([this](const TRichDocument::TRun& run) { Use(*run.Attributes); });
    }

    int FontNumber(const TCharAttributes& a) const { return fontIndex_.at(FontKey(a)); }
    // 0 is the automatic colour.
    int ColorNumber(uint32_t color) const { return color == 0 ? 0 : colorIndex_.at(color); }

    AnsiString FontTableLine() const
    {
        AnsiString line = "{\\rtf1\\ansi\\deff0{\\fonttbl";
        for (size_t k = 0; k < fonts_.size(); ++k) {
            line += "{\\f" + rtl::IntToStr(k) + "\\fnil\\fcharset" + rtl::IntToStr(fonts_[k].second) + " ";
            for (char c : fonts_[k].first) {
                if (static_cast<unsigned char>(c) >= 0x80)
                    AppendHexByte(line, static_cast<unsigned char>(c));
                else
                    line += c;
            }
            line += ";}";
        }
        line += "}";
        return line;
    }

    bool HasColors() const { return !colors_.empty(); }

    AnsiString ColorTableLine() const
    {
        AnsiString line = "{\\colortbl ;";
        for (uint32_t color : colors_)
            line += "\\red" + rtl::IntToStr(color & 0xFF) + "\\green" + rtl::IntToStr((color >> 8) & 0xFF) +
                    "\\blue" + rtl::IntToStr((color >> 16) & 0xFF) + ";";
        line += "}";
        return line;
    }

private:
    void Use(const TCharAttributes& attributes)
    {
        if (fontIndex_.emplace(FontKey(attributes), static_cast<int>(fonts_.size())).second)
            fonts_.emplace_back(attributes.Face, attributes.Charset);
        if (attributes.Color != 0 &&
            colorIndex_.emplace(attributes.Color, static_cast<int>(colors_.size()) + 1).second)
            colors_.push_back(attributes.Color);
    }

    // A face in two character sets is two fonts.
    static AnsiString FontKey(const TCharAttributes& a) { return rtl::IntToStr(a.Charset) + ' ' + a.Face; }

    std::vector<std::pair<AnsiString, int>> fonts_;
    std::unordered_map<AnsiString, int> fontIndex_;
    std::vector<uint32_t> colors_;
    std::unordered_map<uint32_t, int> colorIndex_;
};

// One body line at a time, with the attribute state carried across lines.
class TBodyWriter {
public:
    explicit TBodyWriter(const TTables& tables) : tables_(tables) {}

    void Word(const char* word, int value)
    {
        line_ += word;
        line_ += rtl::IntToStr(value);
        afterWord_ = true;
    }
    void Word(const char* word)
    {
        line_ += word;
        afterWord_ = true;
    }
    void Symbol(const char* symbol)
    {
        line_ += symbol;
        afterWord_ = false;
    }

    void Switch(const TCharAttributes& a)
    {
        int font = tables_.FontNumber(a);
        if (font != font_)
            Word("\\f", font_ = font);
        if (a.HalfPoints != halfPoints_)
            Word("\\fs", halfPoints_ = a.HalfPoints);
        int color = tables_.ColorNumber(a.Color);
        if (color != color_)
            Word("\\cf", color_ = color);
        Flag(bold_, a.Bold, "\\b", "\\b0");
        Flag(italic_, a.Italic, "\\i", "\\i0");
        Flag(strikeOut_, a.StrikeOut, "\\strike", "\\strike0");
        Flag(underline_, a.Underline, "\\ul", "\\ulnone");
        Flag(protected_, a.Protected, "\\protect", "\\protect0");
    }

    void Text(std::string_view text)
    {
        for (char c : text) {
            auto u = static_cast<unsigned char>(c);
            if (c == '\\')
                Symbol("\\\\");
            else if (c == '{')
                Symbol("\\{");
            else if (c == '}')
                Symbol("\\}");
            else if (c == '\t')
                Word("\\tab");
            else if (u >= 0x80) {
                AppendHexByte(line_, u);
                afterWord_ = false;
            } else {
                if (afterWord_)
                    line_ += ' ';
                line_ += c;
                afterWord_ = false;
            }
        }
    }

    void StartParagraph(TParaAlignment alignment)
    {
        Word("\\pard");
        if (alignment == paCenter)
            Word("\\qc");
        else if (alignment == paRight)
            Word("\\qr");
    }

    // The finished line, which starts the next one empty.
    AnsiString TakeLine()
    {
        afterWord_ = false;
        return std::exchange(line_, AnsiString());
    }

private:
    void Flag(bool& state, bool wanted, const char* on, const char* off)
    {
        if (state != wanted)
            Word((state = wanted) ? on : off);
    }

    const TTables& tables_;
    AnsiString line_;
    bool afterWord_ = false;
    // Nothing is assumed about the font and size a reader starts with: the first text sets both.
    int font_ = -1;
    int halfPoints_ = -1;
    int color_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    bool strikeOut_ = false;
    bool underline_ = false;
    bool protected_ = false;
};

}  // namespace

std::vector<AnsiString> WriteRtfLines(const TRichDocument& document)
{
    TTables tables(document);
    std::vector<AnsiString> lines;
    lines.push_back(tables.FontTableLine());
    if (tables.HasColors())
        lines.push_back(tables.ColorTableLine());

    TBodyWriter body(tables);
    int count = document.ParagraphCount();
    for (int p = 0; p < count; ++p) {
        bool last = p == count - 1;
        if (p == 0 || document.Alignment(p) != document.Alignment(p - 1))
            body.StartParagraph(document.Alignment(p));
        int start = document.ParagraphStart(p);
        int end = document.ParagraphEnd(p) + (last ? 0 : 2);
        document.ForEachRun(start, end, [&](const TRichDocument::TRun& run) {
            body.Switch(*run.Attributes);
            if (run.IsParagraphEnd)
                body.Word("\\par");
            else
                body.Text(std::string_view(document.Text()).substr(static_cast<size_t>(run.Start),
                                                                   static_cast<size_t>(run.Length)));
        });
        if (document.IsEmpty())
            body.Switch(document.EmptyAttributes());
        AnsiString line = body.TakeLine();
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    lines.push_back("}");
    return lines;
}

AnsiString WriteRtf(const TRichDocument& document)
{
    AnsiString text;
    for (const AnsiString& line : WriteRtfLines(document)) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace richedit
