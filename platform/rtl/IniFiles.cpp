#include "platform/rtl/IniFiles.h"

#include <set>

namespace rtl {

namespace {

// What a line of the file is; lines of other kinds (comments, blanks, malformed text) are kept but ignored.
struct IniLine {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    AnsiString name;   // section or key name, trimmed
    AnsiString value;  // trimmed, quotes still on
};

IniLine ParseLine(const AnsiString& text)
{
    IniLine line;
    AnsiString trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] == ';')
        return line;
    if (trimmed[0] == '[') {
        size_t close = trimmed.find(']');
        if (close != AnsiString::npos) {
            line.kind = IniLine::Kind::Section;
            line.name = Trim(trimmed.substr(1, close - 1));
        }
        return line;
    }
    size_t equals = trimmed.find('=');
    if (equals == AnsiString::npos || equals == 0)
        return line;
    line.kind = IniLine::Kind::Key;
    line.name = TrimRight(trimmed.substr(0, equals));
    line.value = TrimLeft(trimmed.substr(equals + 1));
    return line;
}

AnsiString Unquote(const AnsiString& value)
{
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

struct CaseInsensitiveLess {
    bool operator()(const AnsiString& a, const AnsiString& b) const { return AnsiCompareText(a, b) < 0; }
};

class IniDocument {
public:
    // A missing file is empty. An unreadable one reads as empty too, but cannot be changed: writing it
    // would lose what could not be read. A reader lets writers replace the file while it reads: it keeps
    // the version it opened, and a writer never fails because a reader came first.
    static IniDocument Load(const AnsiString& fileName, bool forWriting)
    {
        IniDocument document;
        if (!FileExists(fileName))
            return document;
        AnsiString bytes;
        if (forWriting) {
            bytes = ReadWholeFile(fileName, TFileShare::ShareAll);
        } else {
            try {
                bytes = ReadWholeFile(fileName, TFileShare::ShareAll);
            } catch (const EStreamError&) {
                return document;
            }
        }
        document.Split(bytes);
        return document;
    }

    // The index of the section's header line, or -1.
    int FindSection(const AnsiString& section) const
    {
        for (size_t i = 0; i < parsed_.size(); ++i)
            if (parsed_[i].kind == IniLine::Kind::Section && AnsiSameText(parsed_[i].name, section))
                return static_cast<int>(i);
        return -1;
    }

    // The index after the section's last line.
    int SectionEnd(int header) const
    {
        size_t i = static_cast<size_t>(header) + 1;
        while (i < parsed_.size() && parsed_[i].kind != IniLine::Kind::Section)
            ++i;
        return static_cast<int>(i);
    }

    int FindKey(int header, const AnsiString& key) const
    {
        if (header < 0)
            return -1;
        int end = SectionEnd(header);
        for (int i = header + 1; i < end; ++i)
            if (parsed_[static_cast<size_t>(i)].kind == IniLine::Kind::Key &&
                AnsiSameText(parsed_[static_cast<size_t>(i)].name, key))
                return i;
        return -1;
    }

    const IniLine& Line(int index) const { return parsed_[static_cast<size_t>(index)]; }

    // Each key once, in file order, as first written, with its first value unquoted.
    std::vector<std::pair<AnsiString, AnsiString>> Entries(const AnsiString& section) const
    {
        std::vector<std::pair<AnsiString, AnsiString>> entries;
        int header = FindSection(section);
        if (header < 0)
            return entries;
        std::set<AnsiString, CaseInsensitiveLess> seen;
        int end = SectionEnd(header);
        for (int i = header + 1; i < end; ++i) {
            const IniLine& line = Line(i);
            if (line.kind == IniLine::Kind::Key && seen.insert(line.name).second)
                entries.emplace_back(line.name, Unquote(line.value));
        }
        return entries;
    }

    std::vector<AnsiString> Sections() const
    {
        std::vector<AnsiString> sections;
        std::set<AnsiString, CaseInsensitiveLess> seen;
        for (const IniLine& line : parsed_)
            if (line.kind == IniLine::Kind::Section && seen.insert(line.name).second)
                sections.push_back(line.name);
        return sections;
    }

    // Each of these returns whether the text of the file changed.
    bool SetValue(const AnsiString& section, const AnsiString& key, const AnsiString& value)
    {
        const AnsiString text = key + "=" + value;
        int header = FindSection(section);
        if (header < 0) {
            InsertLines(static_cast<int>(lines_.size()), {"[" + section + "]", text});
            return true;
        }
        int existing = FindKey(header, key);
        if (existing >= 0) {
            if (lines_[static_cast<size_t>(existing)] == text)
                return false;
            lines_[static_cast<size_t>(existing)] = text;
            parsed_[static_cast<size_t>(existing)] = ParseLine(text);
            return true;
        }
        // After the section's last key, so that blank lines and comments before the next section stay there.
        int at = header + 1;
        int end = SectionEnd(header);
        for (int i = header + 1; i < end; ++i)
            if (Line(i).kind == IniLine::Kind::Key)
                at = i + 1;
        InsertLines(at, {text});
        return true;
    }

    bool DeleteKey(const AnsiString& section, const AnsiString& key)
    {
        int index = FindKey(FindSection(section), key);
        if (index < 0)
            return false;
        EraseLines(index, index + 1);
        return true;
    }

    bool EraseSection(const AnsiString& section)
    {
        int header = FindSection(section);
        if (header < 0)
            return false;
        EraseLines(header, SectionEnd(header));
        return true;
    }

    AnsiString Text() const
    {
        AnsiString text;
        for (const AnsiString& line : lines_) {
            text += line;
            text += "\r\n";
        }
        return text;
    }

private:
    void Split(const AnsiString& bytes)
    {
        TStringList lines;
        lines.SetText(bytes);
        int count = lines.Count();
        lines_.reserve(static_cast<size_t>(count));
        parsed_.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            lines_.push_back(lines[i]);
            parsed_.push_back(ParseLine(lines_.back()));
        }
    }

    void InsertLines(int at, std::initializer_list<AnsiString> texts)
    {
        std::vector<IniLine> parsed;
        for (const AnsiString& text : texts)
            parsed.push_back(ParseLine(text));
        lines_.insert(lines_.begin() + at, texts.begin(), texts.end());
        parsed_.insert(parsed_.begin() + at, parsed.begin(), parsed.end());
    }

    void EraseLines(int from, int to)
    {
        lines_.erase(lines_.begin() + from, lines_.begin() + to);
        parsed_.erase(parsed_.begin() + from, parsed_.begin() + to);
    }

    std::vector<AnsiString> lines_;
    std::vector<IniLine> parsed_;
};

// The value of a key, unquoted, if the key exists.
std::optional<AnsiString> ReadValue(const AnsiString& section, const AnsiString& key, const AnsiString& fileName)
{
    IniDocument document = IniDocument::Load(fileName, false);
    int index = document.FindKey(document.FindSection(section), key);
    if (index < 0)
        return std::nullopt;
    return Unquote(document.Line(index).value);
}

// The profile functions' integer: digits up to the first character that is not one; false when none.
bool ParseProfileInt(const AnsiString& text, int& result)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    bool hex = i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
    if (hex)
        i += 2;
    uint32_t value = 0;  // wraps on overflow, as the system's does, and never overflows a signed type
    size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        char c = text[i];
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            break;
        value = value * (hex ? 16u : 10u) + d;
    }
    if (digits == 0) {
        // "0x" without hexadecimal digits still read the 0.
        if (!hex)
            return false;
        value = 0;
    }
    if (negative)
        value = 0u - value;
    result = static_cast<int32_t>(value);
    return true;
}

// How long a change waits while other processes change the same file; then it fails as any refused write.
constexpr int ChangeTurnTimeoutMs = 5000;

// Applies one change; raises when the file cannot be read or written. Other processes change the file too
// (every instance of a program saves its settings at its end), so each reads, changes and replaces it in
// its turn, and none loses another's keys.
void ChangeProfile(const AnsiString& section, const std::optional<AnsiString>& key,
                   const std::optional<AnsiString>& value, const AnsiString& fileName)
{
    uint32_t error = 0;
    const std::unique_ptr<IFileLock> turn = FileSystem().LockForChange(fileName, ChangeTurnTimeoutMs, &error);
    if (!turn)
        throw EWriteError("Cannot write file \"" + fileName + "\". " + SysErrorMessage(error));
    IniDocument document = IniDocument::Load(fileName, true);
    bool changed = !key ? document.EraseSection(section)
                        : (!value ? document.DeleteKey(section, *key) : document.SetValue(section, *key, *value));
    if (changed)
        WriteWholeFile(fileName, document.Text());
}

}  // namespace

AnsiString GetPrivateProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& defaultValue,
                                   int bufferSize, const AnsiString& fileName)
{
    if (bufferSize <= 0)
        return AnsiString();
    AnsiString value = ReadValue(section, key, fileName).value_or(defaultValue);
    if (value.size() > static_cast<size_t>(bufferSize) - 1)
        value.resize(static_cast<size_t>(bufferSize) - 1);
    return value;
}

int GetPrivateProfileInt(const AnsiString& section, const AnsiString& key, int defaultValue,
                         const AnsiString& fileName)
{
    std::optional<AnsiString> value = ReadValue(section, key, fileName);
    int result = defaultValue;
    if (value && ParseProfileInt(*value, result))
        return result;
    return defaultValue;
}

bool WritePrivateProfileString(const AnsiString& section, const std::optional<AnsiString>& key,
                               const std::optional<AnsiString>& value, const AnsiString& fileName)
{
    try {
        ChangeProfile(section, key, value, fileName);
        return true;
    } catch (const EStreamError&) {
        return false;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TIniFile

namespace {

// The buffer the classic ini object reads a value into.
constexpr int ValueBufferSize = 2048;

}  // namespace

TIniFile::TIniFile(AnsiString fileName) : fileName_(std::move(fileName)) {}

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& ident,
                                const AnsiString& defaultValue) const
{
    return GetPrivateProfileString(section, ident, defaultValue, ValueBufferSize, fileName_);
}

int TIniFile::ReadInteger(const AnsiString& section, const AnsiString& ident, int defaultValue) const
{
    return GetPrivateProfileInt(section, ident, defaultValue, fileName_);
}

bool TIniFile::ReadBool(const AnsiString& section, const AnsiString& ident, bool defaultValue) const
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::Write(const AnsiString& section, const std::optional<AnsiString>& ident,
                     const std::optional<AnsiString>& value)
{
    if (!WritePrivateProfileString(section, ident, value, fileName_))
        throw EIniFileException("Unable to write to " + fileName_);
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value)
{
    Write(section, ident, value);
}

void TIniFile::WriteInteger(const AnsiString& section, const AnsiString& ident, int value)
{
    Write(section, ident, IntToStr(value));
}

void TIniFile::WriteBool(const AnsiString& section, const AnsiString& ident, bool value)
{
    Write(section, ident, AnsiString(value ? "1" : "0"));
}

namespace {

// Names and values hold no line ends, so the lines go in as one text: a sorted list takes them at once.
void ReplaceContents(TStrings& strings, const std::vector<AnsiString>& lines)
{
    AnsiString text;
    for (const AnsiString& line : lines) {
        text += line;
        text += "\r\n";
    }
    strings.SetText(text);
}

}  // namespace

void TIniFile::ReadSection(const AnsiString& section, TStrings& strings) const
{
    std::vector<AnsiString> keys;
    for (const auto& entry : IniDocument::Load(fileName_, false).Entries(section))
        keys.push_back(entry.first);
    ReplaceContents(strings, keys);
}

void TIniFile::ReadSections(TStrings& strings) const
{
    ReplaceContents(strings, IniDocument::Load(fileName_, false).Sections());
}

void TIniFile::ReadSectionValues(const AnsiString& section, TStrings& strings) const
{
    std::vector<AnsiString> lines;
    for (const auto& entry : IniDocument::Load(fileName_, false).Entries(section))
        lines.push_back(entry.first + "=" + entry.second);
    ReplaceContents(strings, lines);
}

bool TIniFile::SectionExists(const AnsiString& section) const
{
    return !IniDocument::Load(fileName_, false).Entries(section).empty();
}

bool TIniFile::ValueExists(const AnsiString& section, const AnsiString& ident) const
{
    IniDocument document = IniDocument::Load(fileName_, false);
    return document.FindKey(document.FindSection(section), ident) >= 0;
}

void TIniFile::EraseSection(const AnsiString& section) { Write(section, std::nullopt, std::nullopt); }

void TIniFile::DeleteKey(const AnsiString& section, const AnsiString& ident) { Write(section, ident, std::nullopt); }

}  // namespace rtl
