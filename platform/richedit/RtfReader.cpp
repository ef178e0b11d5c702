#include "platform/richedit/RtfReader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>

#include "platform/richedit/Charsets.h"
#include "platform/rtl/SysUtils.h"

namespace richedit {

namespace {

// Groups nested deeper than this share the state of the deepest one kept; real documents stay far below.
constexpr size_t MaxDepth = 1000;
// Control words longer than this are no words we know; the rest of their letters are still consumed.
constexpr size_t MaxWordLength = 32;

enum TDestination : uint8_t { dBody, dFontTable, dColorTable, dSkip };

struct TState {
    int Font = -1;  // -1: the default font (\deff)
    int HalfPoints = 24;
    int Color = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    bool Protected = false;
    TParaAlignment Alignment = paLeft;
    int UnicodeSkip = 1;  // \uc
    TDestination Destination = dBody;
};

enum TWord : uint8_t {
    wUnknown,
    wPar,
    wPard,
    wLeft,
    wCenter,
    wRight,
    wPlain,
    wFont,
    wSize,
    wColor,
    wBold,
    wItalic,
    wUnderline,
    wUnderlineNone,
    wStrike,
    wProtect,
    wTab,
    wCell,
    wUnicode,
    wUnicodeSkip,
    wDefaultFont,
    wFontCharset,
    wCodePage,
    wAnsiCodePage,
    wMac,
    wRed,
    wGreen,
    wBlue,
    wBin,
    wFontTable,
    wColorTable,
    wSkipDestination,
    wCharacter,
};

struct TWordInfo {
    TWord Word;
    unsigned char Character = 0;  // for wCharacter
};

const std::unordered_map<std::string_view, TWordInfo>& Words()
{
    static const std::unordered_map<std::string_view, TWordInfo> words = {
        {"par", {wPar}},
        {"line", {wPar}},
        {"sect", {wPar}},
        {"page", {wPar}},
        {"row", {wPar}},
        {"pard", {wPard}},
        {"ql", {wLeft}},
        {"qj", {wLeft}},
        {"qc", {wCenter}},
        {"qr", {wRight}},
        {"plain", {wPlain}},
        {"f", {wFont}},
        {"fs", {wSize}},
        {"cf", {wColor}},
        {"b", {wBold}},
        {"i", {wItalic}},
        {"ul", {wUnderline}},
        {"uld", {wUnderline}},
        {"uldb", {wUnderline}},
        {"uldash", {wUnderline}},
        {"uldashd", {wUnderline}},
        {"uldashdd", {wUnderline}},
        {"ulhwave", {wUnderline}},
        {"ulth", {wUnderline}},
        {"ulw", {wUnderline}},
        {"ulwave", {wUnderline}},
        {"ulnone", {wUnderlineNone}},
        {"strike", {wStrike}},
        {"striked", {wStrike}},
        {"protect", {wProtect}},
        {"tab", {wTab}},
        {"cell", {wCell}},
        {"u", {wUnicode}},
        {"uc", {wUnicodeSkip}},
        {"deff", {wDefaultFont}},
        {"fcharset", {wFontCharset}},
        {"cpg", {wCodePage}},
        {"ansicpg", {wAnsiCodePage}},
        {"mac", {wMac}},
        {"red", {wRed}},
        {"green", {wGreen}},
        {"blue", {wBlue}},
        {"bin", {wBin}},
        {"fonttbl", {wFontTable}},
        {"colortbl", {wColorTable}},
        {"stylesheet", {wSkipDestination}},
        {"info", {wSkipDestination}},
        {"pict", {wSkipDestination}},
        {"object", {wSkipDestination}},
        {"header", {wSkipDestination}},
        {"headerl", {wSkipDestination}},
        {"headerr", {wSkipDestination}},
        {"headerf", {wSkipDestination}},
        {"footer", {wSkipDestination}},
        {"footerl", {wSkipDestination}},
        {"footerr", {wSkipDestination}},
        {"footerf", {wSkipDestination}},
        {"footnote", {wSkipDestination}},
        {"annotation", {wSkipDestination}},
        {"fldinst", {wSkipDestination}},
        {"listtable", {wSkipDestination}},
        {"listoverridetable", {wSkipDestination}},
        {"revtbl", {wSkipDestination}},
        {"rsidtbl", {wSkipDestination}},
        {"filetbl", {wSkipDestination}},
        {"xmlnstbl", {wSkipDestination}},
        {"themedata", {wSkipDestination}},
        {"colorschememapping", {wSkipDestination}},
        {"latentstyles", {wSkipDestination}},
        {"datastore", {wSkipDestination}},
        {"nonshppict", {wSkipDestination}},
        {"emdash", {wCharacter, 0x97}},
        {"endash", {wCharacter, 0x96}},
        {"bullet", {wCharacter, 0x95}},
        {"lquote", {wCharacter, 0x91}},
        {"rquote", {wCharacter, 0x92}},
        {"ldblquote", {wCharacter, 0x93}},
        {"rdblquote", {wCharacter, 0x94}},
        {"emspace", {wCharacter, ' '}},
        {"enspace", {wCharacter, ' '}},
        {"qmspace", {wCharacter, ' '}},
    };
    return words;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class TRtfReader {
public:
    explicit TRtfReader(std::string_view text) : text_(text) { stack_.emplace_back(); }

    TRichDocument Read()
    {
        while (pos_ < text_.size() && !done_) {
            char c = text_[pos_];
            if (c == '{') {
                ++pos_;
                Push();
            } else if (c == '}') {
                ++pos_;
                Pop();
            } else if (c == '\\') {
                Control();
            } else {
                ++pos_;
                if (c != '\r' && c != '\n')
                    Character(static_cast<unsigned char>(c));
            }
        }
        Finish();
        return std::move(document_);
    }

private:
    TState& State() { return stack_.back(); }

    void Push()
    {
        pendingSkip_ = 0;
        if (stack_.size() >= MaxDepth) {
            ++overflow_;
            return;
        }
        stack_.push_back(stack_.back());
    }

    void Pop()
    {
        pendingSkip_ = 0;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.size() <= 1)
            return;  // a stray closing brace
        if (State().Destination == dFontTable)
            CommitFont();
        if (stack_.size() == 2) {
            // The document's own group closes: the rest is not ours.
            endState_ = State();
            done_ = true;
            return;
        }
        bool fontChange = !SameCharacterState(stack_[stack_.size() - 2], State());
        stack_.pop_back();
        if (fontChange)
            attributesStale_ = true;
    }

    static bool SameCharacterState(const TState& a, const TState& b)
    {
        return a.Font == b.Font && a.HalfPoints == b.HalfPoints && a.Color == b.Color && a.Bold == b.Bold &&
               a.Italic == b.Italic && a.Underline == b.Underline && a.StrikeOut == b.StrikeOut &&
               a.Protected == b.Protected;
    }

    void Control()
    {
        size_t start = pos_ + 1;
        if (start >= text_.size()) {
            pos_ = text_.size();  // a backslash at the very end
            return;
        }
        char c = text_[start];
        if (!IsLetter(c)) {
            Symbol(c, start);
            return;
        }
        size_t end = start;
        while (end < text_.size() && IsLetter(text_[end]))
            ++end;
        std::string_view name = text_.substr(start, end - start);
        bool hasValue = false;
        int64_t value = 0;
        bool negative = false;
        if (end + 1 < text_.size() && text_[end] == '-' && IsDigit(text_[end + 1])) {
            negative = true;
            ++end;
        }
        constexpr int64_t Limit = std::numeric_limits<int32_t>::max();
        while (end < text_.size() && IsDigit(text_[end])) {
            hasValue = true;
            if (value <= Limit)
                value = value * 10 + (text_[end] - '0');
            ++end;
        }
        value = std::min(value, Limit);
        if (negative)
            value = -value;
        if (end < text_.size() && text_[end] == ' ')
            ++end;
        pos_ = end;
        if (name.size() > MaxWordLength)
            return;
        Word(name, hasValue, static_cast<int>(value));
    }

    void Symbol(char c, size_t at)
    {
        pos_ = at + 1;
        if (c == '\'') {
            int high = pos_ < text_.size() ? rtl::HexDigitValue(text_[pos_]) : -1;
            int low = pos_ + 1 < text_.size() ? rtl::HexDigitValue(text_[pos_ + 1]) : -1;
            if (high < 0) {
                return;  // a truncated escape stands for nothing
            }
            if (low < 0) {
                ++pos_;
                return;
            }
            pos_ += 2;
            Character(static_cast<unsigned char>(high * 16 + low));
            return;
        }
        if (c == '\\' || c == '{' || c == '}') {
            Character(static_cast<unsigned char>(c));
            return;
        }
        pendingSkip_ = 0;
        if (c == '*') {
            State().Destination = dSkip;
        } else if (c == '~') {
            Character(0xA0);
        } else if (c == '_') {
            Character('-');
        } else if (c == '\r' || c == '\n') {
            ParagraphEnd();
        }
    }

    void Word(std::string_view name, bool hasValue, int value)
    {
        auto found = Words().find(name);
        TWordInfo info = found == Words().end() ? TWordInfo{wUnknown} : found->second;
        if (info.Word == wBin) {
            SkipBinary(hasValue ? value : 0);
            return;
        }
        if (info.Word != wUnicode)
            pendingSkip_ = 0;
        TState& state = State();
        switch (state.Destination) {
        case dSkip:
            return;
        case dFontTable:
            FontTableWord(info.Word, value);
            return;
        case dColorTable:
            ColorTableWord(info.Word, value);
            return;
        case dBody:
            break;
        }
        bool on = !hasValue || value != 0;
        switch (info.Word) {
        case wPar:
            ParagraphEnd();
            break;
        case wPard:
            state.Alignment = paLeft;
            break;
        case wLeft:
            state.Alignment = paLeft;
            break;
        case wCenter:
            state.Alignment = paCenter;
            break;
        case wRight:
            state.Alignment = paRight;
            break;
        case wPlain:
            SetCharacter([](TState& s) {
                s.Font = -1;
                s.HalfPoints = 24;
                s.Color = 0;
                s.Bold = s.Italic = s.Underline = s.StrikeOut = s.Protected = false;
            });
            break;
        case wFont:
            SetCharacter([&](TState& s) { s.Font = hasValue ? value : 0; });
            break;
        case wSize:
            SetCharacter([&](TState& s) { s.HalfPoints = hasValue && value > 0 ? value : 24; });
            break;
        case wColor:
            SetCharacter([&](TState& s) { s.Color = hasValue ? value : 0; });
            break;
        case wBold:
            SetCharacter([&](TState& s) { s.Bold = on; });
            break;
        case wItalic:
            SetCharacter([&](TState& s) { s.Italic = on; });
            break;
        case wUnderline:
            SetCharacter([&](TState& s) { s.Underline = on; });
            break;
        case wUnderlineNone:
            SetCharacter([](TState& s) { s.Underline = false; });
            break;
        case wStrike:
            SetCharacter([&](TState& s) { s.StrikeOut = on; });
            break;
        case wProtect:
            SetCharacter([&](TState& s) { s.Protected = on; });
            break;
        case wTab:
        case wCell:
            Character('\t');
            break;
        case wCharacter:
            Character(info.Character);
            break;
        case wUnicode:
            Unicode(value);
            break;
        case wUnicodeSkip:
            state.UnicodeSkip = std::max(0, value);
            break;
        case wDefaultFont:
            defaultFont_ = value;
            attributesStale_ = true;
            break;
        case wAnsiCodePage:
            defaultCharset_ = CodePageCharset(value);
            attributesStale_ = true;
            break;
        case wMac:
            defaultCharset_ = CodePageCharset(10000);
            attributesStale_ = true;
            break;
        case wFontTable:
            state.Destination = dFontTable;
            break;
        case wColorTable:
            state.Destination = dColorTable;
            break;
        case wSkipDestination:
            state.Destination = dSkip;
            break;
        default:
            break;
        }
    }

    template <class F>
    void SetCharacter(F change)
    {
        change(State());
        attributesStale_ = true;
    }

    void FontTableWord(TWord word, int value)
    {
        if (word == wFont) {
            CommitFont();
            fontNumber_ = value;
            collectingFont_ = true;
        } else if (word == wFontCharset && collectingFont_) {
            fontCharset_ = static_cast<uint8_t>(std::clamp(value, 0, 255));
        } else if (word == wCodePage && collectingFont_ && !fontCharset_) {
            fontCharset_ = CodePageCharset(value);
        } else if (word == wSkipDestination) {
            State().Destination = dSkip;
        }
    }

    void CommitFont()
    {
        if (collectingFont_ && !fontName_.empty())
            fonts_[fontNumber_] = CleanFaceName(fontName_);
        if (collectingFont_ && fontCharset_)
            fontCharsets_[fontNumber_] = *fontCharset_;
        fontCharset_.reset();
        fontName_.clear();
        collectingFont_ = false;
        attributesStale_ = true;
    }

    void ColorTableWord(TWord word, int value)
    {
        int component = std::clamp(value, 0, 255);
        if (word == wRed)
            red_ = component, colorGiven_ = true;
        else if (word == wGreen)
            green_ = component, colorGiven_ = true;
        else if (word == wBlue)
            blue_ = component, colorGiven_ = true;
        else if (word == wSkipDestination)
            State().Destination = dSkip;
    }

    void SkipBinary(int count)
    {
        size_t n = count > 0 ? static_cast<size_t>(count) : 0;
        pos_ += std::min(n, text_.size() - pos_);
    }

    // In the font's own character set when it holds the character, else in Windows-1252; when neither
    // does, the fallback that follows is the best we have.
    void Unicode(int value)
    {
        auto code = static_cast<char32_t>(value < 0 ? value + 65536 : value);
        unsigned char c = 0;
        pendingSkip_ = 0;
        if (UnicodeToCharsetChar(FontCharset(State()), code, c)) {
            Character(c);
        } else if (UnicodeToCharsetChar(AnsiCharset, code, c)) {
            forceAnsi_ = true;
            attributesStale_ = true;
            Character(c);
            forceAnsi_ = false;
            attributesStale_ = true;
        } else {
            return;
        }
        pendingSkip_ = State().UnicodeSkip;
    }

    int FontNumber(const TState& state) const
    {
        if (state.Font >= 0)
            return state.Font;
        if (fonts_.count(defaultFont_) == 0 && fontCharsets_.count(defaultFont_) == 0)
            return 0;
        return defaultFont_;
    }

    uint8_t FontCharset(const TState& state) const
    {
        auto found = fontCharsets_.find(FontNumber(state));
        return found == fontCharsets_.end() ? defaultCharset_ : found->second;
    }

    void Character(unsigned char c)
    {
        if (pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        switch (State().Destination) {
        case dSkip:
            return;
        case dFontTable:
            if (!collectingFont_)
                return;
            if (c == ';')
                CommitFont();
            else
                fontName_ += static_cast<char>(c);
            return;
        case dColorTable:
            if (c == ';') {
                colors_.push_back(colorGiven_ ? static_cast<int64_t>(red_ | (green_ << 8) | (blue_ << 16)) : -1);
                red_ = green_ = blue_ = 0;
                colorGiven_ = false;
            }
            return;
        case dBody:
            break;
        }
        if (c < 0x20 && c != '\t')
            return;
        if (attributesStale_) {
            TCharAttributes attributes = Resolve(State());
            if (attributes != pendingAttributes_) {
                Flush();
                pendingAttributes_ = attributes;
            }
            attributesStale_ = false;
        }
        pending_ += static_cast<char>(c);
    }

    void ParagraphEnd()
    {
        if (State().Destination != dBody)
            return;
        Flush();
        document_.AppendParagraphEnd(Resolve(State()), State().Alignment);
    }

    void Flush()
    {
        if (!pending_.empty())
            document_.AppendText(pending_, pendingAttributes_);
        pending_.clear();
    }

    TCharAttributes Resolve(const TState& state) const
    {
        TCharAttributes a;
        auto font = fonts_.find(state.Font < 0 ? defaultFont_ : state.Font);
        if (font == fonts_.end() && state.Font < 0)
            font = fonts_.find(0);
        if (font != fonts_.end() && !font->second.empty())
            a.Face = font->second;
        a.Charset = forceAnsi_ ? AnsiCharset : FontCharset(state);
        a.HalfPoints = ClampHalfPoints(state.HalfPoints);
        if (state.Color > 0 && static_cast<size_t>(state.Color) < colors_.size()) {
            // Entry 0 of the table is the automatic colour; \cfN names entry N.
            int64_t color = colors_[static_cast<size_t>(state.Color)];
            a.Color = color < 0 ? 0 : static_cast<uint32_t>(color);
        }
        a.Bold = state.Bold;
        a.Italic = state.Italic;
        a.Underline = state.Underline;
        a.StrikeOut = state.StrikeOut;
        a.Protected = state.Protected;
        return a;
    }

    void Finish()
    {
        Flush();
        const TState& end = done_ ? endState_ : State();
        document_.SetLastAlignment(end.Alignment);
        if (document_.IsEmpty())
            document_.SetEmptyAttributes(Resolve(end));
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::vector<TState> stack_;
    size_t overflow_ = 0;
    bool done_ = false;
    TState endState_;
    int pendingSkip_ = 0;

    std::map<int, AnsiString> fonts_;
    int defaultFont_ = 0;
    int fontNumber_ = 0;
    bool collectingFont_ = false;
    AnsiString fontName_;
    std::optional<uint8_t> fontCharset_;
    std::map<int, uint8_t> fontCharsets_;
    uint8_t defaultCharset_ = AnsiCharset;  // \ansicpg, \mac: fonts that name no set of their own
    bool forceAnsi_ = false;                // a \u character only Windows-1252 holds

    std::vector<int64_t> colors_;  // -1: the automatic colour
    int red_ = 0;
    int green_ = 0;
    int blue_ = 0;
    bool colorGiven_ = false;

    TRichDocument document_;
    AnsiString pending_;
    TCharAttributes pendingAttributes_;
    bool attributesStale_ = true;
};

}  // namespace

bool IsRtf(std::string_view text)
{
    size_t start = text.find_first_not_of(" \t\r\n");
    return start != std::string_view::npos && text.substr(start, 5) == "{\\rtf";
}

TRichDocument ReadRtf(std::string_view text)
{
    if (!IsRtf(text))
        throw ERichTextError("Not a rich-text document");
    return TRtfReader(text).Read();
}

}  // namespace richedit
