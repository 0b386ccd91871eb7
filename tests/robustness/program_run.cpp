#include "program_run.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace kestrel::test {

namespace {

// Reports a failed setup step to the parent through the pipe and ends the
// child; only async-signal-safe calls.
[[noreturn]] void SetupFailed(int pipe, const char* step) {
    const int error = errno;
    const char* reason = std::strerror(error);
    [[maybe_unused]] ssize_t ignored = ::write(pipe, step, std::strlen(step));
    ignored = ::write(pipe, ": ", 2);
    ignored = ::write(pipe, reason, std::strlen(reason));
    ::_exit(127);
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments,
            const ProgramSetup& setup, int outFd, int errFd, int reportFd) {
    std::vector<std::string> argumentStrings = {program};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStrings) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environmentStrings;
    // An extra entry replaces an inherited one of the same name.
    const auto overridden = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(setup.environment.begin(), setup.environment.end(),
                           [&](const std::string& extra) { return extra.starts_with(name); });
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!overridden(*entry)) {
            environmentStrings.emplace_back(*entry);
        }
    }
    environmentStrings.insert(environmentStrings.end(), setup.environment.begin(),
                              setup.environment.end());
    std::vector<char*> envp;
    for (std::string& entry : environmentStrings) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    const pid_t child = ::fork();
    if (child != 0) {
        return child;
    }
    const int nullFd = ::open("/dev/null", O_RDONLY);
    const int givenOut =
        setup.standardOutput.empty() ? outFd : ::open(setup.standardOutput.c_str(), O_WRONLY);
    if (nullFd < 0 || givenOut < 0 || ::dup2(nullFd, 0) < 0 || ::dup2(givenOut, 1) < 0 ||
        ::dup2(errFd, 2) < 0) {
        SetupFailed(reportFd, "redirect");
    }
    ::signal(SIGXFSZ, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!setup.readOnlyMounts.empty()) {
        if (::unshare(CLONE_NEWNS) != 0) {
            SetupFailed(reportFd, "unshare");
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            SetupFailed(reportFd, "private mounts");
        }
        for (const std::string& directory : setup.readOnlyMounts) {
            if (::mount(directory.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                ::mount(nullptr, directory.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                        nullptr) != 0) {
                SetupFailed(reportFd, "read-only bind mount");
            }
        }
    }
    if (!setup.workingDirectory.empty() && ::chdir(setup.workingDirectory.c_str()) != 0) {
        SetupFailed(reportFd, "chdir");
    }
    if (setup.fileSizeLimit) {
        const rlimit limit = {*setup.fileSizeLimit, *setup.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            SetupFailed(reportFd, "RLIMIT_FSIZE");
        }
    }
    if (setup.user) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(*setup.user) != 0 ||
            ::setuid(*setup.user) != 0) {
            SetupFailed(reportFd, "change user");
        }
    }
    // Only the three standard descriptors (and the report pipe, closed by
    // exec) go into the program.
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != reportFd) {
            ::close(fd);
        }
    }
    if (setup.openFilesLimit) {
        const rlimit limit = {*setup.openFilesLimit, *setup.openFilesLimit};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            SetupFailed(reportFd, "RLIMIT_NOFILE");
        }
    }
    ::execve(program.c_str(), argv.data(), envp.data());
    SetupFailed(reportFd, "exec");
}

int OpenOutput(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

}  // namespace

ProgramResult WaitProgram(pid_t child, int timeoutSeconds) {
    ProgramResult result;
    result.started = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int raw = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &raw, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &raw, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.timedOut && WIFEXITED(raw)) {
        result.exited = true;
        result.status = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
        result.signal = WTERMSIG(raw);
    }
    return result;
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const ProgramSetup& setup) {
    TempDir outputs;
    const std::string outPath = outputs.File("stdout");
    const std::string errPath = outputs.File("stderr");
    const int outFd = OpenOutput(outPath);
    const int errFd = OpenOutput(errPath);
    int report[2];
    if (outFd < 0 || errFd < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
        ProgramResult failed;
        failed.setupError = "cannot make the output files";
        return failed;
    }
    const pid_t child = Spawn(program, arguments, setup, outFd, errFd, report[1]);
    ::close(report[1]);
    ::close(outFd);
    ::close(errFd);
    std::string setupError;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(report[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0) {
            setupError.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(report[0]);
    ProgramResult result = WaitProgram(child, setup.timeoutSeconds);
    if (!setupError.empty()) {
        result.started = false;
        result.setupError = setupError;
    }
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outPath, const std::string& errPath) {
    const int outFd = OpenOutput(outPath);
    const int errFd = OpenOutput(errPath);
    int report[2];
    if (outFd < 0 || errFd < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t child = Spawn(program, arguments, ProgramSetup{}, outFd, errFd, report[1]);
    ::close(report[1]);
    ::close(outFd);
    ::close(errFd);
    char buffer[256];
    ssize_t got = 0;
    bool failed = false;
    while ((got = ::read(report[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        failed = failed || got > 0;
    }
    ::close(report[0]);
    if (failed) {
        ::waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

}  // namespace kestrel::test
