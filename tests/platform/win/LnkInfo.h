#pragma once
// Shell links read back by a real reader of the format, lnkinfo (liblnk-utils).

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// What lnkinfo prints for the file, or empty when the tool is missing.
inline std::string LnkInfo(const std::string& hostPath)
{
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("lnkinfo '" + hostPath + "' 2>&1").c_str(), "r"), pclose);
    if (!pipe)
        return output;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        output.append(buffer.data(), n);
    return output;
}

inline bool HaveLnkInfo()
{
    return std::system("command -v lnkinfo > /dev/null 2>&1") == 0;
}
