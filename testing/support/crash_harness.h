#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clientfiles/binary_file.h"

namespace kestrel::test {

// How a child process ended.
struct ChildEnd {
    bool killed = false;  // by SIGKILL (from the harness or a stop point)
    bool exited = false;
    int exitStatus = 0;
};

// Runs body in a forked child, which leaves with _exit (0 after body, 1 when
// it throws) so that no destructor of the parent's objects runs there. With
// killAfter the child is sent SIGKILL that long after it started, whether it
// is done or not.
ChildEnd RunInChild(const std::function<void()>& body,
                    std::optional<std::chrono::microseconds> killAfter = std::nullopt);

// Runs the program arguments[0] with arguments and extra environment entries
// ("NAME=value"), sending it SIGKILL after killAfter when given; its output
// goes to /dev/null.
ChildEnd RunProgram(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment,
                    std::optional<std::chrono::microseconds> killAfter = std::nullopt);

// Counts every BinaryFile system call of this process while it exists, and,
// with stopAt, kills the process with SIGKILL just before call number stopAt
// (an injected stop point, for use in a child). Only one may exist at a time.
class FileCallCounter {
public:
    explicit FileCallCounter(long stopAt = 0);
    ~FileCallCounter();
    FileCallCounter(const FileCallCounter&) = delete;
    FileCallCounter& operator=(const FileCallCounter&) = delete;

    long Calls() const { return calls; }

private:
    static int Hook(void* context, seam::FileCall call, const std::string& fullPath);

    long stopAt;
    long calls = 0;
};

}  // namespace kestrel::test
