#pragma once
// Each test gets a prefix of its own and a platform that has forgotten every earlier test.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/win/Files.h"
#include "platform/win/Platform.h"

class WinPrefixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* saved = std::getenv("SCRIVANE_PREFIX");
        savedPrefix_ = saved ? saved : "";
        std::string pattern = (std::filesystem::temp_directory_path() / "scrivane-win-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        prefix_ = pattern;
        setenv("SCRIVANE_PREFIX", prefix_.c_str(), 1);
        win::ResetPlatform();
        win::InitializePlatform();
    }

    void TearDown() override
    {
        win::ResetPlatform();
        std::error_code ignored;
        std::filesystem::remove_all(prefix_, ignored);
        setenv("SCRIVANE_PREFIX", savedPrefix_.c_str(), 1);
        win::ResetPlatform();
    }

    const std::string& Prefix() const { return prefix_; }
    std::string DriveC(const std::string& relative = "") const { return prefix_ + "/drive_c/" + relative; }
    std::string DriveA(const std::string& relative = "") const { return prefix_ + "/drive_a/" + relative; }

    static void WriteHost(const std::string& path, const std::string& content)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    static std::string ReadHost(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }

    static bool HostExists(const std::string& path) { return std::filesystem::exists(path); }

    // Opens with the given access and share mode, for the common case of an existing or new file.
    static win::HANDLE Open(const std::string& path, win::DWORD access, win::DWORD share,
                            win::DWORD disposition = win::OPEN_EXISTING)
    {
        return win::CreateFile(path.c_str(), access, share, nullptr, disposition, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // Writes `content` into a new (or truncated) Windows file; false when the write fails.
    static bool WriteWindows(const std::string& path, const std::string& content)
    {
        win::HANDLE file = Open(path, win::GENERIC_WRITE, 0, win::CREATE_ALWAYS);
        if (file == win::INVALID_HANDLE_VALUE)
            return false;
        win::DWORD written = 0;
        const bool ok = win::WriteFile(file, content.data(), static_cast<win::DWORD>(content.size()), &written, nullptr);
        win::CloseHandle(file);
        return ok && written == content.size();
    }

    // The content of a Windows file, or nothing when it cannot be opened.
    static std::optional<std::string> ReadWindows(const std::string& path)
    {
        win::HANDLE file = Open(path, win::GENERIC_READ, win::FILE_SHARE_READ);
        if (file == win::INVALID_HANDLE_VALUE)
            return std::nullopt;
        std::string content;
        char buffer[4096];
        win::DWORD read = 0;
        while (win::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
            content.append(buffer, read);
        win::CloseHandle(file);
        return content;
    }

private:
    std::string prefix_;
    std::string savedPrefix_;
};
