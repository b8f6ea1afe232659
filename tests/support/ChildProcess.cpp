#include "TestKit.h"

#include <spawn.h>

extern char** environ;

namespace xobtest {

std::uint64_t monotonicNs() {  // the steady clock is CLOCK_MONOTONIC
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

pid_t startChild(std::vector<std::string> arguments, const std::string& errorPath,
                 const std::vector<std::string>& environment, int outFd) {
    std::vector<char*> argv, envp;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    std::vector<std::string> variables(environment);
    for (std::string& variable : variables) envp.push_back(&variable[0]);
    // An inherited variable that `environment` overrides is left out: where both are there, which
    // one a program sees differs (glibc takes the first, qemu-user's loader keeps the last).
    for (char** inherited = environ; *inherited != nullptr; ++inherited) {
        if (std::none_of(environment.begin(), environment.end(), [inherited](const std::string& variable) {
                return std::strncmp(*inherited, variable.c_str(), variable.find('=') + 1) == 0;
            })) {
            envp.push_back(*inherited);
        }
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errorPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

ChildRun finishChild(pid_t pid, std::chrono::milliseconds limit, const std::string& errorPath) {
    ChildRun run;
    if (pid <= 0) {
        run.errors = "cannot start the child program";
        return run;
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    if (!eventually([&] { return waitpid(pid, &status, WNOHANG) != 0; }, limit)) {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        run.errors = "killed after the time limit\n";
        return run;
    }
    run.endedNs = monotonicNs();
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -1;
    run.errors += errorPath.empty() ? "" : readFile(errorPath);
    return run;
}

ChildRun runChild(std::vector<std::string> arguments, std::chrono::milliseconds limit, const std::string& errorPath,
                  const std::vector<std::string>& environment) {
    return finishChild(startChild(std::move(arguments), errorPath, environment), limit, errorPath);
}

}  // namespace xobtest
