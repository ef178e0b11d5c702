#include "platform/win/Settings.h"

#include <cstdio>
#include <mutex>
#include <optional>

#include "platform/rtl/SysUtils.h"
#include "platform/win/CodePage.h"
#include "platform/win/HostIo.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

struct TSettings {
    TWindowsKind Kind = TWindowsKind::WinXP;
    LANGID UserLanguage = 0x0409;
    LANGID SystemLanguage = 0x0409;
    int64_t FloppyCapacity = 1457664;
    bool FloppyPresent = true;
};

struct TSettingsState {
    std::mutex Lock;
    std::optional<TSettings> Loaded;
};

TSettingsState& State()
{
    static TSettingsState state;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(state.Lock);
            state.Loaded.reset();
        });
        return true;
    }();
    (void)registered;
    return state;
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

[[noreturn]] void Malformed(const std::string& path, int line, const std::string& message)
{
    throw rtl::Exception(path + ":" + std::to_string(line) + ": " + message);
}

int64_t ParseInteger(const std::string& text, int base, const std::string& path, int line, const std::string& key)
{
    if (text.empty())
        Malformed(path, line, "no value for " + key);
    int64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && AnsiUpperChar(c) >= 'A' && AnsiUpperChar(c) <= 'F')
            digit = AnsiUpperChar(c) - 'A' + 10;
        else
            Malformed(path, line, "'" + text + "' is not a valid value for " + key);
        value = value * base + digit;
        if (value > (int64_t{1} << 48))
            Malformed(path, line, "'" + text + "' is too large for " + key);
    }
    return value;
}

LANGID ParseLanguage(const std::string& text, const std::string& path, int line, const std::string& key)
{
    const int64_t value = ParseInteger(text, 16, path, line, key);
    if (value > 0xFFFF)
        Malformed(path, line, "'" + text + "' is not a language id for " + key);
    return static_cast<LANGID>(value);
}

TSettings Parse(const std::string& content, const std::string& path)
{
    TSettings settings;
    std::string section;
    int lineNumber = 0;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        const std::string line = Trim(content.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                Malformed(path, lineNumber, "unterminated section name");
            section = AnsiUpperCase(Trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            Malformed(path, lineNumber, "expected key=value");
        const std::string key = AnsiUpperCase(Trim(line.substr(0, equals)));
        const std::string value = Trim(line.substr(equals + 1));
        const std::string name = Trim(line.substr(0, equals));
        if (section == "WINDOWS" && key == "KIND") {
            try {
                settings.Kind = WindowsKindFromName(value);
            } catch (const rtl::Exception& e) {
                Malformed(path, lineNumber, e.Message());
            }
        } else if (section == "WINDOWS" && key == "USERLANGUAGEID") {
            settings.UserLanguage = ParseLanguage(value, path, lineNumber, name);
        } else if (section == "WINDOWS" && key == "SYSTEMLANGUAGEID") {
            settings.SystemLanguage = ParseLanguage(value, path, lineNumber, name);
        } else if (section == "FLOPPY" && key == "CAPACITY") {
            settings.FloppyCapacity = ParseInteger(value, 10, path, lineNumber, name);
        } else if (section == "FLOPPY" && key == "DISKPRESENT") {
            if (value != "0" && value != "1")
                Malformed(path, lineNumber, "DiskPresent must be 0 or 1, not '" + value + "'");
            settings.FloppyPresent = value == "1";
        }
        // Keys of later versions are left alone.
    }
    return settings;
}

std::string Hex4(LANGID id)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(id));
    return text;
}

std::string Format(const TSettings& settings)
{
    return "[Windows]\nKind=" + WindowsKindName(settings.Kind) + "\nUserLanguageId=" + Hex4(settings.UserLanguage) +
           "\nSystemLanguageId=" + Hex4(settings.SystemLanguage) + "\n[Floppy]\nCapacity=" +
           std::to_string(settings.FloppyCapacity) + "\nDiskPresent=" + (settings.FloppyPresent ? "1" : "0") + "\n";
}

TSettings& Loaded(TSettingsState& state)
{
    if (!state.Loaded) {
        const std::string path = SettingsFilePath();
        const std::optional<std::string> content = ReadHostFile(path);
        state.Loaded = content ? Parse(*content, path) : TSettings{};
    }
    return *state.Loaded;
}

TSettings Current()
{
    TSettingsState& state = State();
    std::lock_guard lock(state.Lock);
    return Loaded(state);
}

template <typename Change>
void Update(Change change)
{
    TSettingsState& state = State();
    std::lock_guard lock(state.Lock);
    TSettings settings;
    try {
        settings = Loaded(state);
    } catch (const rtl::Exception&) {
        // A setter replaces a malformed file (the caller states what it wants); the old text is kept
        // beside it for whoever wrote it.
        if (std::optional<std::string> bad = ReadHostFile(SettingsFilePath()))
            WriteHostFileAtomically(SettingsFilePath() + ".bad", *bad);
        settings = TSettings{};
    }
    change(settings);
    WriteHostFileAtomically(SettingsFilePath(), Format(settings));
    state.Loaded = settings;
}

}  // namespace

std::string WindowsKindName(TWindowsKind kind)
{
    switch (kind) {
    case TWindowsKind::Win95: return "95";
    case TWindowsKind::Win98: return "98";
    case TWindowsKind::WinME: return "ME";
    case TWindowsKind::WinNT4: return "NT4";
    case TWindowsKind::Win2000: return "2000";
    case TWindowsKind::WinXP: return "XP";
    }
    return "XP";
}

TWindowsKind WindowsKindFromName(const std::string& name)
{
    const std::string upper = AnsiUpperCase(name);
    for (TWindowsKind kind : {TWindowsKind::Win95, TWindowsKind::Win98, TWindowsKind::WinME, TWindowsKind::WinNT4,
                              TWindowsKind::Win2000, TWindowsKind::WinXP})
        if (WindowsKindName(kind) == upper)
            return kind;
    throw rtl::Exception("Unknown kind of Windows '" + name + "' (expected 95, 98, ME, NT4, 2000 or XP)");
}

bool IsNTKind(TWindowsKind kind)
{
    return kind == TWindowsKind::WinNT4 || kind == TWindowsKind::Win2000 || kind == TWindowsKind::WinXP;
}

TWindowsKind WindowsKind() { return Current().Kind; }
void SetWindowsKind(TWindowsKind kind)
{
    Update([&](TSettings& s) { s.Kind = kind; });
}

int64_t FloppyCapacity() { return Current().FloppyCapacity; }
void SetFloppyCapacity(int64_t bytes)
{
    if (bytes < 0)
        throw rtl::Exception("The capacity of drive A: cannot be negative");
    Update([&](TSettings& s) { s.FloppyCapacity = bytes; });
}

bool FloppyPresent() { return Current().FloppyPresent; }
void SetFloppyPresent(bool present)
{
    Update([&](TSettings& s) { s.FloppyPresent = present; });
}

LANGID UserLanguageId() { return Current().UserLanguage; }
void SetUserLanguageId(LANGID id)
{
    Update([&](TSettings& s) { s.UserLanguage = id; });
}

LANGID SystemLanguageId() { return Current().SystemLanguage; }
void SetSystemLanguageId(LANGID id)
{
    Update([&](TSettings& s) { s.SystemLanguage = id; });
}

std::string SettingsFilePath() { return PrefixFolder() + "/settings.ini"; }

}  // namespace win
