#include "platform/win/BatchFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "platform/rtl/SysUtils.h"
#include "platform/win/CodePage.h"
#include "platform/win/FileObjects.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/HostIo.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

// The starter has done its work when it starts its clean-up batch; its end takes well under this even on
// a loaded machine with sanitizer checks. A starter that waits for the batch would otherwise hang both.
constexpr std::chrono::seconds StarterEndWait{10};

bool IsDelimiter(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '='; }

std::string Upper(const std::string& text) { return AnsiUpperCase(text); }

// "%%" is "%", %0 to %9 the batch file and its arguments; every other "%" stays.
std::string ExpandParameters(const std::string& line, const std::string& batchPath,
                             const std::vector<std::string>& arguments)
{
    std::string result;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '%' || i + 1 == line.size()) {
            result += line[i];
            continue;
        }
        const char next = line[i + 1];
        if (next == '%') {
            result += '%';
            ++i;
        } else if (next >= '0' && next <= '9') {
            const size_t n = static_cast<size_t>(next - '0');
            if (n == 0)
                result += batchPath;
            else if (n <= arguments.size())
                result += arguments[n - 1];
            ++i;
        } else {
            result += '%';
        }
    }
    return result;
}

struct TCommand {
    std::vector<std::string> Switches;  // upper case, with their "/"
    std::vector<TBatchToken> Paths;
    std::string Arguments;              // the text the tokens came from
};

TCommand ParseArguments(const std::string& text)
{
    TCommand command;
    command.Arguments = text;
    for (TBatchToken& token : SplitBatchArguments(text)) {
        if (!token.Quoted && !token.Text.empty() && token.Text[0] == '/')
            command.Switches.push_back(Upper(token.Text));
        else
            command.Paths.push_back(std::move(token));
    }
    return command;
}

bool HasSwitch(const TCommand& command, const char* name)
{
    for (const std::string& candidate : command.Switches)
        if (candidate == name)
            return true;
    return false;
}

// The line's text from token `first` to token `last`, without quotes: words of one path with blanks.
std::string Joined(const TCommand& command, size_t first, size_t last)
{
    std::string joined;
    const size_t start = command.Paths[first].Start;
    for (char c : command.Arguments.substr(start, command.Paths[last].End - start))
        if (c != '"')
            joined += c;
    return joined;
}

bool AllQuoted(const TCommand& command)
{
    for (const TBatchToken& token : command.Paths)
        if (!token.Quoted)
            return false;
    return true;
}

// The paths a deleting command works on: one path, or several when each was quoted. Unquoted words are
// the pieces of one path with blanks, so they are joined again as the line has them.
std::vector<std::string> TargetPaths(const TCommand& command)
{
    std::vector<std::string> paths;
    if (command.Paths.size() <= 1 || AllQuoted(command)) {
        for (const TBatchToken& token : command.Paths)
            paths.push_back(token.Text);
        return paths;
    }
    paths.push_back(Joined(command, 0, command.Paths.size() - 1));
    return paths;
}

bool IsAbsolute(const std::string& path)
{
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           path.compare(0, 2, "\\\\") == 0;
}

// Source and destination of a MOVE. Unquoted words with blanks are split where exactly one split gives an
// existing source and an absolute destination ("move C:\A~1\new file.1 C:\A~1\FILE~1.DLL"); any other
// reading is refused rather than guessed.
bool MovePaths(const TCommand& command, std::string& source, std::string& destination)
{
    const size_t count = command.Paths.size();
    if (count == 2 || (count > 2 && AllQuoted(command))) {
        source = command.Paths[0].Text;
        destination = command.Paths[1].Text;
        return count == 2 && !source.empty() && !destination.empty();
    }
    int found = 0;
    for (size_t split = 1; split < count; ++split) {
        const std::string left = Joined(command, 0, split - 1);
        const std::string right = Joined(command, split, count - 1);
        if (IsAbsolute(right) && !HasWildcards(left) && GetFileAttributes(left.c_str()) != INVALID_FILE_ATTRIBUTES) {
            source = left;
            destination = right;
            ++found;
        }
    }
    return found == 1;
}

// Removes the host entry with everything below it. Symbolic links are removed themselves, never followed
// out of the tree; the attributes of what is removed are forgotten with it.
void RemoveTree(const std::filesystem::path& host, std::error_code& error)
{
    namespace fs = std::filesystem;
    if (fs::is_directory(fs::symlink_status(host, error)))
        for (const fs::directory_entry& entry : fs::directory_iterator(host, error)) {
            RemoveTree(entry.path(), error);
            if (error)
                return;
        }
    if (error)
        return;
    fs::remove(host, error);
    if (!error)
        ForgetAttributes(host.string());
}

class TInterpreter {
public:
    explicit TInterpreter(std::ostream& messages) : messages_(messages) {}

    int Run(const std::string& line)
    {
        size_t start = line.find_first_not_of(" \t@");
        if (start == std::string::npos || line[start] == ':')
            return level_;
        size_t end = start;
        while (end < line.size() && !IsDelimiter(line[end]) && line[end] != '/' && line[end] != '"')
            ++end;
        const std::string name = Upper(line.substr(start, end - start));
        const std::string rest = line.substr(end);
        if (name == "REM")
            return level_;
        if (name == "ECHO") {
            Echo(rest);
            return level_;
        }
        const TCommand command = ParseArguments(rest);
        if (name == "ERASE" || name == "DEL")
            level_ = Erase(command);
        else if (name == "MOVE")
            level_ = Move(command);
        else if (name == "DELTREE")
            level_ = DelTree(command);
        else if (name == "RD" || name == "RMDIR")
            level_ = RemoveFolder(command);
        else
            level_ = Fail("'" + line.substr(start, end - start) +
                          "' is not recognized as an internal or external command, operable program or batch file.");
        return level_;
    }

private:
    int Fail(const std::string& message)
    {
        messages_ << message << "\n";
        return 1;
    }

    int FailWithLastError(const std::string& path)
    {
        return Fail(path + ": " + rtl::SysErrorMessage(GetLastError()));
    }

    void Echo(const std::string& rest)
    {
        const std::string text = rest.empty() ? rest : rest.substr(1);
        const std::string word = Upper(rtl::Trim(text));
        if (word != "OFF" && word != "ON" && !text.empty())
            std::cout << text << "\n";
    }

    // Runs `each` on every path the line names, one without wildcards each; the level of the last path
    // that failed, or 0.
    template <class F>
    int EachPlainTarget(const TCommand& command, F each)
    {
        const std::vector<std::string> paths = TargetPaths(command);
        if (paths.empty())
            return Fail("The syntax of the command is incorrect.");
        int level = 0;
        for (const std::string& path : paths) {
            const int result = HasWildcards(path) ? Fail(path + ": wildcards are not taken here") : each(path);
            if (result != 0)
                level = result;
        }
        return level;
    }

    int Erase(const TCommand& command)
    {
        return EachPlainTarget(command, [&](const std::string& path) {
            const DWORD attributes = GetFileAttributes(path.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                return Fail("Could Not Find " + path);
            // Emptying a folder is not what a line naming one path asks for.
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                return Fail(path + ": a folder is not deleted by this command");
            if ((attributes & FILE_ATTRIBUTE_READONLY) && HasSwitch(command, "/F"))
                SetFileAttributes(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            WaitForStarterEnd(path);
            return DeleteFile(path.c_str()) ? 0 : FailWithLastError(path);
        });
    }

    // A clean-up batch erases the program that started it, which on Windows is left to end first. Here the
    // starter may still be ending (exit handlers, a sanitizer's leak check) and holds its image until then:
    // ERASE of exactly that file waits for the starter's end (it is reparented then, its files closed), at
    // most a few seconds. A file any other program holds fails at once, as on Windows.
    static void WaitForStarterEnd(const std::string& path)
    {
        const std::optional<TResolvedPath> resolved = ResolvePath(path.c_str());
        const pid_t starter = ::getppid();
        struct stat file {};
        struct stat image {};
        if (!resolved || starter <= 1 || ::stat(resolved->Host.c_str(), &file) != 0)
            return;
        // A starter that is ending has given up its image already but not yet its files: that one is waited
        // for too.
        if (::stat(("/proc/" + std::to_string(starter) + "/exe").c_str(), &image) == 0 &&
            (file.st_dev != image.st_dev || file.st_ino != image.st_ino))
            return;
        const auto deadline = std::chrono::steady_clock::now() + StarterEndWait;
        while (::getppid() == starter && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    int Move(const TCommand& command)
    {
        std::string source;
        std::string destination;
        if (!MovePaths(command, source, destination))
            return Fail("The syntax of the command is incorrect.");
        const DWORD target = GetFileAttributes(destination.c_str());
        if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY)) {
            std::string name = source;
            const size_t slash = name.find_last_of("\\/:");
            if (slash != std::string::npos)
                name.erase(0, slash + 1);
            destination += (destination.back() == '\\' ? "" : "\\") + name;
        }
        if (!MoveFileEx(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            return FailWithLastError(source);
        return 0;
    }

    int DelTree(const TCommand& command)
    {
        const std::vector<std::string> paths = TargetPaths(command);
        if (paths.empty())
            return Fail("The syntax of the command is incorrect.");
        int level = 0;
        for (const std::string& path : paths)
            level = std::max(level, DeleteTree(path, HasSwitch(command, "/Y")));
        return level;
    }

    // Only an empty folder goes; one that still holds something, or is missing, fails without a word, so
    // a clean-up line can name every parent and stop at the first one in use.
    int RemoveFolder(const TCommand& command)
    {
        if (HasSwitch(command, "/S"))
            return Fail("RD /S is not taken here: only an empty folder is removed");
        return EachPlainTarget(command, [this](const std::string& path) {
            std::optional<TResolvedPath> resolved = ResolvePath(path.c_str());
            if (resolved && (resolved->IsRoot || resolved->Host == "/"))
                return Fail(path + ": a drive's root is never removed");
            return resolved && RemoveDirectory(path.c_str()) ? 0 : 1;
        });
    }

    bool Confirmed(const std::string& path)
    {
        messages_ << "Delete \"" << path << "\" and all its subdirectories? [yn] " << std::flush;
        std::string answer;
        return std::getline(std::cin, answer) && !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }

    int DeleteTree(const std::string& path, bool confirmed)
    {
        if (HasWildcards(path))
            return Fail(path + ": wildcards are not taken here");
        std::optional<TResolvedPath> resolved = ResolvePath(path.c_str());
        if (!resolved)
            return FailWithLastError(path);
        if (!resolved->Exists)
            return 0;  // nothing there is nothing to delete
        if (resolved->IsRoot || resolved->Host == "/")
            return Fail(path + ": a drive's root is never deleted");
        if (!confirmed && !Confirmed(path))
            return 0;
        std::error_code error;
        RemoveTree(resolved->Host, error);
        if (error)
            return Fail(path + ": " + error.message());
        return 0;
    }

    std::ostream& messages_;
    int level_ = 0;
};

}  // namespace

std::vector<TBatchToken> SplitBatchArguments(const std::string& text)
{
    std::vector<TBatchToken> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsDelimiter(text[i]))
            ++i;
        if (i == text.size())
            break;
        TBatchToken token;
        token.Start = i;
        bool quoted = false;
        while (i < text.size() && (quoted || !IsDelimiter(text[i]))) {
            if (text[i] == '"') {
                quoted = !quoted;
                token.Quoted = true;
            } else {
                token.Text += text[i];
            }
            ++i;
        }
        token.End = i;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

int RunBatchCommands(const std::string& content, const std::string& batchPath,
                     const std::vector<std::string>& arguments, std::ostream& messages)
{
    TInterpreter interpreter(messages);
    int level = 0;
    for (const std::string& line : SplitLines(content))
        level = interpreter.Run(ExpandParameters(line, batchPath, arguments));
    return level;
}

int RunBatchFile(const std::string& batchPath, const std::vector<std::string>& arguments, std::ostream& messages)
{
    // Read whole first: the last line of a clean-up batch deletes the batch file itself.
    HANDLE file = CreateFile(batchPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        messages << batchPath << ": " << rtl::SysErrorMessage(GetLastError()) << "\n";
        return 1;
    }
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return RunBatchCommands(content, batchPath, arguments, messages);
}

std::string BatchInterpreterPath() { return SCRIVANE_BATCH_INTERPRETER; }

}  // namespace win
