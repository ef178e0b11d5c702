// Every test binary runs in a prefix of its own, made fresh in the temporary folder, and headless.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win/Platform.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "scrivane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 2;
    setenv("SCRIVANE_PREFIX", pattern.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    win::InitializePlatform();
    int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return result;
}
