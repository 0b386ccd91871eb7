#include "support/crash_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern char** environ;

namespace kestrel::test {

namespace {

ChildEnd Await(pid_t child, std::optional<std::chrono::microseconds> killAfter) {
    if (killAfter) {
        std::this_thread::sleep_for(*killAfter);
        ::kill(child, SIGKILL);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("cannot wait for a child process");
        }
    }
    ChildEnd end;
    end.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    end.exited = WIFEXITED(status);
    end.exitStatus = end.exited ? WEXITSTATUS(status) : -1;
    return end;
}

}  // namespace

ChildEnd RunInChild(const std::function<void()>& body,
                    std::optional<std::chrono::microseconds> killAfter) {
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("cannot fork");
    }
    if (child == 0) {
        int status = 0;
        try {
            body();
        } catch (...) {
            status = 1;
        }
        ::_exit(status);
    }
    return Await(child, killAfter);
}

ChildEnd RunProgram(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment,
                    std::optional<std::chrono::microseconds> killAfter) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        variables.emplace_back(*entry);
    }
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : variables) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + arguments[0]);
    }
    return Await(child, killAfter);
}

FileCallCounter::FileCallCounter(long stopAt) : stopAt(stopAt) {
    seam::SetFileFaultHook(&FileCallCounter::Hook, this);
}

FileCallCounter::~FileCallCounter() {
    seam::SetFileFaultHook(nullptr, nullptr);
}

int FileCallCounter::Hook(void* context, seam::FileCall, const std::string&) {
    auto& self = *static_cast<FileCallCounter*>(context);
    if (++self.calls == self.stopAt) {
        ::raise(SIGKILL);
    }
    return 0;
}

}  // namespace kestrel::test
