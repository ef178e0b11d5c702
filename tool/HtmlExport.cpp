#include "tool/HtmlExport.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_set>

#include "platform/richedit/Charsets.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "tool/HelpBuild.h"
#include "tool/MainUnit.h"

namespace {

const char Q = '"';
const char UpperHex[] = "0123456789ABCDEF";
const char DefaultFace[] = "Arial";
const char DefaultColor[] = "#000000";
const int DefaultHalfPoints = 20;
const char ImagesSuffix[] = "_images";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsAsciiLetterOrDigit(char c) { return IsDigit(c) || IsUpperLetter(c) || (c >= 'a' && c <= 'z'); }

AnsiString TwoHexDigits(int value)
{
    return AnsiString{UpperHex[(value >> 4) & 0x0F], UpperHex[value & 0x0F]};
}

// Position just past the first "\pard" of the line, in any letter case; npos when it has none.
size_t AfterPard(const AnsiString& line)
{
    const size_t found = rtl::UpperCase(line).find("\\PARD");
    return found == AnsiString::npos ? found : found + 5;
}

// The digits that directly follow `pos` as a number; 0 when there are none or they do not fit. `pos` moves
// past them.
int NumberAt(const AnsiString& text, size_t& pos)
{
    const size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    int value = 0;
    return rtl::TryStrToInt(text.substr(start, pos - start), value) ? value : 0;
}

// The number that a control word holds after its name; `fallback` when that rest is not a number.
int WordNumber(const AnsiString& word, size_t nameLength, int fallback)
{
    int value = 0;
    return rtl::TryStrToInt(word.substr(std::min(nameLength, word.size())), value) ? value : fallback;
}

// The FONT size attribute of a point size.
const char* SizeAttribute(int points)
{
    if (points < 0 || points > 30)
        return "7";
    if (points <= 8)
        return "1";
    if (points <= 11)
        return "2";
    if (points <= 13)
        return "3";
    if (points <= 16)
        return "4";
    if (points <= 20)
        return "5";
    return "6";
}

// A file name as it may stand in a URL: "%" would start an escape there.
AnsiString UrlFileName(std::string_view name)
{
    AnsiString result;
    for (char c : name) {
        if (c == '%')
            result += "%25";
        else
            result += c;
    }
    return result;
}

// Makes the folder and any missing parent folders; false when that fails.
bool ForceFolder(const AnsiString& folder)
{
    if (folder.empty() || rtl::DirectoryExists(folder))
        return true;
    const AnsiString parent = rtl::ExtractFileDir(folder);
    if (parent != folder && !parent.empty() && !ForceFolder(parent))
        return false;
    return win::CreateDirectory(folder.c_str(), nullptr) || rtl::DirectoryExists(folder);
}

const rtl::TStrings& PageNames(const rtl::TStrings& pages, rtl::TStringList& names)
{
    for (int i = 0; i < pages.Count(); ++i)
        names.Add(PageAt(pages, i).Name);
    return names;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Colours, fonts and text

AnsiString ColorToHtml(vcl::TColor color)
{
    const auto value = static_cast<uint32_t>(color);
    return "#" + TwoHexDigits(static_cast<int>(value & 0xFF)) + TwoHexDigits(static_cast<int>((value >> 8) & 0xFF)) +
           TwoHexDigits(static_cast<int>((value >> 16) & 0xFF));
}

void ExtractHtmlFontNames(const rtl::TStrings& lines, rtl::TStrings& names)
{
    ExtractFontTable(lines, names);
    for (int i = 0; i < names.Count(); ++i) {
        const AnsiString entry = names[i];
        size_t pos = std::min<size_t>(1, entry.size());
        pos = std::min(entry.find_first_of(" {", pos), entry.size());
        if (pos < entry.size() && entry[pos] == '{')
            pos = std::min(entry.find('}', pos), entry.size());
        const size_t start = std::min(pos + 1, entry.size());
        const size_t end = std::min(entry.find(';', start), entry.size());
        names.SetStrings(i, entry.substr(start, end - start));
    }
}

void ExtractHtmlColors(const rtl::TStrings& lines, rtl::TStrings& colors)
{
    ExtractColorTable(lines, colors);
    for (int i = 0; i < colors.Count(); ++i) {
        const AnsiString entry = rtl::UpperCase(colors[i]);
        AnsiString html = "#";
        size_t pos = 0;
        for (char letter : {'D', 'N', 'E'}) {
            pos = std::min(entry.find(letter, pos), entry.size());
            pos = std::min(pos + 1, entry.size());
            // A byte has two digits; a larger number stands for full intensity.
            html += TwoHexDigits(std::clamp(NumberAt(entry, pos), 0, 255));
        }
        colors.SetStrings(i, html);
    }
}

namespace {

AnsiString Escaped(std::string_view text, bool quotes)
{
    AnsiString result;
    result.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': result += "&amp;"; break;
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case Q:
            if (quotes)
                result += "&quot;";
            else
                result += c;
            break;
        default: result += c;
        }
    }
    return result;
}

}  // namespace

AnsiString HtmlText(std::string_view text) { return Escaped(text, false); }
AnsiString HtmlAttribute(std::string_view text) { return Escaped(text, true); }

void BuildHtmlFileNames(const rtl::TStrings& pages, const AnsiString& indexFileName, rtl::TStrings& names)
{
    names.Clear();
    std::unordered_set<AnsiString> taken;
    // A page file of the index's name would overwrite the index.
    if (rtl::SameText(rtl::ExtractFileExt(indexFileName), ".html")) {
        const AnsiString index = rtl::ExtractFileName(indexFileName);
        taken.insert(rtl::UpperCase(index.substr(0, index.size() - 5)));
    }
    // The next number to try per name: numbers below it are taken already, and stay taken.
    std::unordered_map<AnsiString, int> nextNumber;
    for (int i = 0; i < pages.Count(); ++i) {
        AnsiString name = PageAt(pages, i).Name;
        for (char& c : name) {
            if (!IsAsciiLetterOrDigit(c))
                c = '_';
        }
        const AnsiString upper = rtl::UpperCase(name);
        if (taken.count(upper) > 0) {
            int& k = nextNumber[upper];
            k = std::max(k, 1);
            while (taken.count(upper + rtl::IntToStr(k)) > 0)
                ++k;
            name += rtl::IntToStr(k);
        }
        taken.insert(rtl::UpperCase(name));
        names.Add(name);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The translation of one rich text

class THtmlTranslation {
public:
    THtmlTranslation(THtmlPageFile& file, const rtl::TStrings& lines) : file_(file)
    {
        ExtractHtmlFontNames(lines, fonts_);
        ExtractHtmlColors(lines, colors_);
        rtl::TStringList entries;
        ExtractFontTable(lines, entries);
        for (int k = 0; k < entries.Count(); ++k)
            charsets_.push_back(EntryCharset(entries[k]));
    }

    void TranslateLine(const AnsiString& line, size_t pos)
    {
        const size_t n = line.size();
        while (pos < n) {
            const char c = line[pos];
            if (c == '\\') {
                pos = ControlWord(line, pos);
            } else if (c == '#') {
                pos = Marker(line, pos);
            } else if (c == '}') {
                ++pos;
            } else {
                const size_t end = std::min(line.find_first_of("\\#}", pos), n);
                file_.Write(HtmlText(std::string_view(line).substr(pos, end - pos)));
                pos = end;
            }
        }
    }

    // The tags still open, each on a line of its own, in the order they were opened.
    void ClosePending()
    {
        for (const char* tag : pending_)
            file_.WriteLn(tag);
        pending_.clear();
    }

private:
    // The control word at `pos`; gives the position after it. The blank that ends a word is text.
    size_t ControlWord(const AnsiString& line, size_t pos)
    {
        const size_t n = line.size();
        // An escaped backslash is text, and what follows it is not part of a word.
        if (pos + 1 < n && line[pos + 1] == '\\') {
            file_.Write("\\");
            return pos + 2;
        }
        const size_t end = pos + 1 < n && line[pos + 1] == '\''
                               ? std::min(pos + 4, n)
                               : std::min(line.find_first_of(" \\", pos + 1), n);
        const AnsiString word = line.substr(pos, end - pos);
        Apply(word, rtl::UpperCase(word));
        return end;
    }

    void Apply(const AnsiString& word, const AnsiString& w)
    {
        if (w == "\\PAR")
            file_.WriteLn("<BR>");
        if (w == "\\PARD") {
            if (inParagraph_) {
                file_.WriteLn("</P>");
                inParagraph_ = false;
            }
            if (inTable_) {
                file_.WriteLn("</TABLE>");
                inTable_ = false;
            }
        }
        if (w == "\\INTBL" && !inTable_) {
            file_.WriteLn(AnsiString("<TABLE Width=") + Q + "100%" + Q + " Border=" + Q + "1" + Q + "><TR><TD>");
            inTable_ = true;
        }
        if (w == "\\CELL")
            file_.Write("</TD><TD>");
        if (w == "\\ROW")
            file_.Write("</TD></TR><TR><TD>");
        if (w == "\\TAB")
            file_.Write("&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;");
        if (w == "\\QR")
            OpenParagraph("Right");
        if (w == "\\QC")
            OpenParagraph("Center");
        if (w == "\\B")
            Open("<B>", "</B>");
        if (w == "\\B0")
            Close("</B>");
        if (w == "\\I")
            Open("<I>", "</I>");
        if (w == "\\I0")
            Close("</I>");
        if (w.size() >= 2 && w[1] != '\'' && !IsUpperLetter(w[1]))
            file_.Write(HtmlText(std::string_view(word).substr(1)));
        if (w.size() >= 2 && w[1] == '\'')
            CharacterReference(w);
        if (w.starts_with("\\CF")) {
            const int n = WordNumber(w, 3, 0);
            file_.Color = n >= 0 && n < colors_.Count() ? colors_[n] : AnsiString(DefaultColor);
            FontPair();
        }
        if (w.starts_with("\\F") && w.size() >= 3 && IsDigit(w[2])) {
            const int n = WordNumber(w, 2, 0);
            file_.Face = n >= 0 && n < fonts_.Count() ? fonts_[n] : AnsiString(DefaultFace);
            charset_ = n >= 0 && static_cast<size_t>(n) < charsets_.size() ? charsets_[static_cast<size_t>(n)]
                                                                           : richedit::AnsiCharset;
            FontPair();
        }
        if (w.starts_with("\\FS")) {
            file_.Size = SizeAttribute(WordNumber(w, 3, DefaultHalfPoints) / 2);
            FontPair();
        }
    }

    void OpenParagraph(const char* align)
    {
        file_.WriteLn(AnsiString("<P Align=") + Q + align + Q + ">");
        inParagraph_ = true;
    }

    void Open(const char* tag, const char* closing)
    {
        file_.Write(tag);
        pending_.push_back(closing);
    }

    void Close(const char* tag)
    {
        file_.Write(tag);
        for (size_t k = pending_.size(); k-- > 0;) {
            if (pending_[k] == std::string_view(tag)) {
                pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(k));
                break;
            }
        }
    }

    // "\'hh": the character by its code, as a reference with its ";", so a digit after it stays text. A
    // byte of a font in another character set is referred to by the character it is there.
    void CharacterReference(const AnsiString& w)
    {
        if (w.size() != 4)
            return;
        const int high = rtl::HexDigitValue(w[2]);
        const int low = rtl::HexDigitValue(w[3]);
        if (high < 0 || low < 0)
            return;
        const auto byte = static_cast<unsigned char>(high * 16 + low);
        char32_t codePoint = byte;
        if (!richedit::IsAnsiCharset(charset_) && !richedit::CharsetCharToUnicode(charset_, byte, codePoint))
            codePoint = byte;
        file_.Write("&#" + rtl::IntToStr(static_cast<int>(codePoint)) + ";");
    }

    // The \fcharset of a font entry; Windows-1252 when it names none.
    static uint8_t EntryCharset(const AnsiString& entry)
    {
        const size_t found = rtl::UpperCase(entry).find("\\FCHARSET");
        if (found == AnsiString::npos)
            return richedit::AnsiCharset;
        size_t pos = found + 9;
        return static_cast<uint8_t>(std::clamp(NumberAt(entry, pos), 0, 255));
    }

    void FontPair()
    {
        file_.Write(AnsiString("</FONT><FONT face=") + Q + HtmlAttribute(file_.Face) + Q + " size=" + Q + file_.Size +
                    Q + " color=" + Q + HtmlAttribute(file_.Color) + Q + ">");
    }

    // A link marker "##name##" or a picture marker "#path#" at `pos`; gives the position after it. A "#"
    // that no second marker end follows on its line is text.
    size_t Marker(const AnsiString& line, size_t pos)
    {
        if (pos + 1 < line.size() && line[pos + 1] == '#') {
            const size_t close = line.find("##", pos + 2);
            if (close == AnsiString::npos) {
                file_.Write("##");
                return pos + 2;
            }
            // The rich text holds the name escaped (letters above 127, braces, backslashes); the links don't.
            file_.WriteLink(RtfPlainText(std::string_view(line).substr(pos + 2, close - pos - 2)));
            return close + 2;
        }
        const size_t close = line.find('#', pos + 1);
        if (close == AnsiString::npos) {
            file_.Write("#");
            return pos + 1;
        }
        file_.WritePicture(RtfPlainText(std::string_view(line).substr(pos + 1, close - pos - 1)));
        return close + 1;
    }

    THtmlPageFile& file_;
    rtl::TStringList fonts_;
    rtl::TStringList colors_;
    std::vector<uint8_t> charsets_;  // of each font number
    uint8_t charset_ = richedit::AnsiCharset;
    std::vector<const char*> pending_;
    bool inParagraph_ = false;
    bool inTable_ = false;
};

// ---------------------------------------------------------------------------------------------------------
// A page file

THtmlPageFile::THtmlPageFile(const THtmlExport& html, int pageIndex) : html_(html), pageIndex_(pageIndex) {}

void THtmlPageFile::WriteLn(std::string_view text)
{
    text_.append(text);
    text_.append("\r\n");
}

void THtmlPageFile::WritePageHtml(const rtl::TStrings& lines)
{
    THtmlTranslation translation(*this, lines);
    bool started = false;
    for (int i = 0; i < lines.Count(); ++i) {
        const AnsiString line = lines[i];
        size_t pos = 0;
        if (!started) {
            pos = AfterPard(line);
            if (pos == AnsiString::npos)
                continue;
            started = true;
        }
        translation.TranslateLine(line, pos);
    }
    translation.ClosePending();
}

void THtmlPageFile::WriteLink(const AnsiString& name)
{
    const rtl::TStrings& links = PageAt(html_.Pages(), pageIndex_).Links;
    if (!linkIndex_)
        linkIndex_ = std::make_unique<TEntryIndex>(links);
    const int found = linkIndex_->Find(name);
    const auto* link = found >= 0 ? dynamic_cast<const TLinkObject*>(links.Objects(found)) : nullptr;
    // Only links to pages of the project have a file to point to.
    const int target = link != nullptr && link->LinkType == 0 ? html_.FindPage(link->Target) : -1;
    if (target >= 0)
        WriteLn(AnsiString("<A HREF=") + Q + html_.FileName(target) + ".html" + Q + ">" + HtmlText(link->Text) + "</A>");
}

AnsiString THtmlPageFile::PictureCopyName(const AnsiString& source)
{
    const AnsiString sourceKey = rtl::AnsiUpperCase(source);
    auto known = copyBySource_.find(sourceKey);
    if (known != copyBySource_.end())
        return known->second;
    const AnsiString own = rtl::ExtractFileName(source);
    const AnsiString extension = rtl::ExtractFileExt(own);
    const AnsiString stem = own.substr(0, own.size() - extension.size());
    AnsiString name = own;
    for (int k = 1; sourceByCopy_.count(rtl::AnsiUpperCase(name)) > 0; ++k)
        name = stem + rtl::IntToStr(k) + extension;
    copyBySource_.emplace(sourceKey, name);
    sourceByCopy_.emplace(rtl::AnsiUpperCase(name), source);
    return name;
}

void THtmlPageFile::WritePicture(const AnsiString& path)
{
    // Relative pictures lie beside the project file.
    win::SetCurrentDirectory(rtl::ExtractFileDir(html_.State().ProjectFileName).c_str());
    const std::optional<std::string> source = win::FullWindowsPath(path);
    if (!source || !rtl::FileExists(*source))
        return;
    const AnsiString folderName = html_.FileName(pageIndex_) + ImagesSuffix;
    const AnsiString folder = html_.OutputFolder() + "\\" + folderName;
    const AnsiString copyName = PictureCopyName(*source);
    // A copy that fails still leaves its tag: the picture may be put there by hand.
    if (ForceFolder(folder))
        win::CopyFile(source->c_str(), (folder + "\\" + copyName).c_str(), win::FALSE);
    WriteLn(AnsiString("<IMG SRC=") + Q + HtmlAttribute(UrlFileName(folderName + "\\" + copyName)) + Q + ">");
}

// ---------------------------------------------------------------------------------------------------------
// The export

THtmlExport::THtmlExport(const rtl::TStrings& pages, const TProjectState& state, const AnsiString& indexFileName)
    : pages_(pages),
      state_(state),
      indexFileName_(indexFileName),
      folder_(rtl::ExcludeTrailingPathDelimiter(rtl::ExtractFilePath(indexFileName))),
      pageIndex_(PageNames(pages, pageNames_))
{
    BuildHtmlFileNames(pages, indexFileName, fileNames_);
}

AnsiString THtmlExport::BodyLine() const
{
    return AnsiString("<BODY BGCOLOR=") + Q + ColorToHtml(state_.PageColor) + Q + ">";
}

AnsiString THtmlExport::IndexText() const
{
    THtmlPageFile index(*this, -1);
    index.WriteLn("<HTML><HEAD><TITLE>" + HtmlText(state_.HelpFileName) + "</TITLE></HEAD>");
    index.WriteLn(BodyLine());
    for (int i = 0; i < pages_.Count(); ++i)
        index.WriteLn(AnsiString("<A HREF=") + Q + FileName(i) + ".html" + Q + ">" + HtmlText(PageAt(pages_, i).Name) +
                      "</a><br><br>");
    index.WriteLn("</BODY></HTML>");
    return index.Text();
}

void THtmlExport::WriteIndex() const
{
    rtl::WriteWholeFile(indexFileName_, IndexText());
}

AnsiString THtmlExport::PageText(int pageIndex, bool withHeader) const
{
    const TPageObject& page = PageAt(pages_, pageIndex);
    THtmlPageFile file(*this, pageIndex);
    file.WriteLn("<HTML><HEAD><TITLE>" + HtmlText(state_.HelpFileName) + " - " + HtmlText(page.Name) +
                 "</TITLE></HEAD>");
    file.WriteLn(BodyLine());
    file.WriteLn(AnsiString("<FONT face=") + Q + file.Face + Q + " size=" + Q + file.Size + Q + " color=" + Q +
                 file.Color + Q + ">");
    if (withHeader) {
        file.WritePageHtml(page.Header);
        file.WriteLn("<BR><HR><BR>");
    }
    file.WritePageHtml(page.Text);
    file.WriteLn("</FONT>");
    file.WriteLn("</BODY></HTML>");
    return file.Text();
}

void THtmlExport::WritePage(int pageIndex, bool withHeader) const
{
    rtl::WriteWholeFile(folder_ + "\\" + FileName(pageIndex) + ".html", PageText(pageIndex, withHeader));
}

// ---------------------------------------------------------------------------------------------------------
// The command

namespace {

// Gives the editor's protected-text permission back however the export ends.
class TProtectedEditRestore {
public:
    explicit TProtectedEditRestore(bool& allow) : allow_(allow), saved_(allow) {}
    ~TProtectedEditRestore() { allow_ = saved_; }
    TProtectedEditRestore(const TProtectedEditRestore&) = delete;
    TProtectedEditRestore& operator=(const TProtectedEditRestore&) = delete;

private:
    bool& allow_;
    bool saved_;
};

}  // namespace

void TfrmMainMenu::HTML1Click(vcl::TObject*)
{
    const rtl::TStrings& pages = *lstPages->Items();
    if (pages.Count() == 0) {
        vcl::ShowMessage(NoPagesToExportText);
        return;
    }
    std::unique_ptr<vcl::TSaveDialog> dialog(new vcl::TSaveDialog(this));
    dialog->SetFilter("HTML File|*.HTML|All Files|*.*");
    dialog->SetDefaultExt("html");
    dialog->SetFileName("index.html");
    if (!dialog->Execute())
        return;

    // The shown page's edits go into its record; then no page is shown while the editor is borrowed.
    lstPagesClick(this);
    lstPages->SetItemIndex(-1);
    lstPagesClick(this);

    const THtmlExport html(pages, ProjectState(), dialog->FileName());
    TProgressWindow progress(this, 0, pages.Count() - 1);
    progress.SetPosition(0);
    html.WriteIndex();
    const TProtectedEditRestore restore(AllowProtectedEdit);
    for (int i = 0; i < pages.Count(); ++i) {
        progress.SetPosition(i);
        AllowProtectedEdit = true;
        // Only a header that shows text gets its part of the page.
        mmoPage->Lines()->Assign(PageAt(pages, i).Header);
        html.WritePage(i, !mmoPage->Text().empty());
        vcl::Application->ProcessMessages();
        AllowProtectedEdit = false;
    }
    progress.Close();
    vcl::ShowMessage(HtmlExportedText);
}
