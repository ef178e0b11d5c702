#pragma once
// Runs a program of ours as a child process and gathers what it wrote:
//
//   TChildRun run = RunChild(program, {"-b"}, {{"SCRIVANE_ANSWERS", script}}, folder);
//   EXPECT_EQ(run.ExitCode, 0) << run.Err;
//
// The variables given are added to (or replace those of) this process's environment. A child still
// running after `timeoutMs` is killed: the test never hangs.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

// Environment variables: name, value.
using TVariables = std::vector<std::pair<std::string, std::string>>;

struct TChildRun {
    int ExitCode = -1;  // -1: not started; -2: killed after the time-out; -3: ended by a signal
    std::string Out;
    std::string Err;
};

inline std::string ReadWholeFile(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    return text;
}

inline TChildRun RunChild(const std::string& program, std::vector<std::string> arguments,
                          const TVariables& variables = {},
                          const std::string& folder = {}, int timeoutMs = 60000)
{
    TChildRun run;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> settings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : variables)
            replaced = replaced || entry.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            settings.push_back(entry);
    }
    for (const auto& [name, value] : variables)
        settings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& setting : settings)
        envp.push_back(setting.data());
    envp.push_back(nullptr);

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!out || !err) {
        if (out)
            std::fclose(out);
        if (err)
            std::fclose(err);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started == 0) {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        bool killed = false;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                killed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        run.ExitCode = killed ? -2 : WIFEXITED(status) ? WEXITSTATUS(status) : -3;
        run.Out = ReadWholeFile(out);
        run.Err = ReadWholeFile(err);
    }
    std::fclose(out);
    std::fclose(err);
    return run;
}
