#pragma once

// Runs a program to its end as a shell would start it, with its output and
// errors thrown away, for timing whole processes. POSIX only, like the
// benchmarks.

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

// True when `arguments` (the program first, by path) ran and exited with
// 0. `environment` adds NAME=VALUE entries to this process's environment.
inline bool runProcess(const std::vector<std::string> &arguments,
                       const std::vector<std::string> &environment = {})
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &entry : environment)
        envp.push_back(const_cast<char *>(entry.c_str()));
    for (char **entry = environ; *entry != nullptr; ++entry)
        envp.push_back(*entry);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return started == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The seconds `runProcess` took, or a negative number when it failed.
inline double timedProcess(const std::vector<std::string> &arguments,
                           const std::vector<std::string> &environment = {})
{
    const auto start = std::chrono::steady_clock::now();
    if (!runProcess(arguments, environment))
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The middle of the samples (the mean of the middle two for an even count).
inline double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const std::size_t half = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[half] : (samples[half - 1] + samples[half]) / 2;
}
