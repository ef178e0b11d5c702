#include "platform/win/NetAddress.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/HostIo.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "platform/win/Settings.h"

namespace win {

namespace {

bool IsAddress(const std::string& text)
{
    unsigned char bytes[16];
    return inet_pton(AF_INET, text.c_str(), bytes) == 1 || inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string TrimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A port number 1 to 65535 in plain digits.
std::optional<uint16_t> ParsePort(const std::string& text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

}  // namespace

std::string HostsFilePath()
{
    if (IsNTKind(WindowsKind()))
        return std::string(SystemFolder) + "\\drivers\\etc\\hosts";
    return std::string(WindowsFolder) + "\\hosts";
}

std::optional<std::string> HostsFileAddress(const std::string& hostName)
{
    if (hostName.empty())
        return std::nullopt;
    const std::optional<std::string> hostPath = HostPathFromWindows(HostsFilePath());
    if (!hostPath)
        return std::nullopt;
    for (std::string line : SplitLines(ReadHostFile(*hostPath).value_or(""))) {
        if (const size_t comment = line.find('#'); comment != std::string::npos)
            line.erase(comment);
        const std::vector<std::string> words = Words(line);
        if (words.size() < 2 || !IsAddress(words[0]))
            continue;
        for (size_t i = 1; i < words.size(); ++i)
            if (rtl::SameText(words[i], hostName))
                return words[0];
    }
    return std::nullopt;
}

std::map<uint16_t, uint16_t> ParsePortMap(const std::string& text)
{
    std::map<uint16_t, uint16_t> map;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = TrimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (entry.empty()) {
            if (end == text.size())
                break;
            continue;
        }
        const size_t equals = entry.find('=');
        std::optional<uint16_t> from, to;
        if (equals != std::string::npos) {
            from = ParsePort(TrimBlanks(entry.substr(0, equals)));
            to = ParsePort(TrimBlanks(entry.substr(equals + 1)));
        }
        if (!from || !to)
            throw rtl::Exception("SCRIVANE_PORT_MAP: '" + entry +
                                 "' is not a port redirection (write it as port=port, for example 80=8080)");
        map[*from] = *to;
    }
    return map;
}

uint16_t MappedPort(uint16_t port)
{
    const char* text = std::getenv("SCRIVANE_PORT_MAP");
    if (!text || !*text)
        return port;
    const std::map<uint16_t, uint16_t> map = ParsePortMap(text);
    const auto found = map.find(port);
    return found == map.end() ? port : found->second;
}

}  // namespace win
