#pragma once
// A benchmark's own Windows world: a fresh prefix folder in the host's temporary folder, windows headless
// unless the caller chose a display, the platform layer started on it. The folder goes when the object
// does.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/win/Platform.h"

class TBenchPrefix {
public:
    TBenchPrefix()
    {
        folder_ = (std::filesystem::temp_directory_path() / "scrivane-bench-XXXXXX").string();
        if (!mkdtemp(folder_.data()))
            throw std::runtime_error("cannot make a prefix folder for the benchmark");
        setenv("SCRIVANE_PREFIX", folder_.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        win::InitializePlatform();
    }
    ~TBenchPrefix()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TBenchPrefix(const TBenchPrefix&) = delete;
    TBenchPrefix& operator=(const TBenchPrefix&) = delete;

private:
    std::string folder_;
};
