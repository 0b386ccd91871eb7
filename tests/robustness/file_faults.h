#pragma once

#include <string>

#include "clientfiles/binary_file.h"

namespace kestrel::test {

// Counts one kind of BinaryFile system call on one file (or on every file)
// through the test seam, and can make the nth of them fail with an errno
// value. Installs itself on construction and removes itself when destroyed;
// only one may exist at a time.
class FileFaults {
public:
    explicit FileFaults(seam::FileCall call, std::string fullPath = std::string());
    ~FileFaults();
    FileFaults(const FileFaults&) = delete;
    FileFaults& operator=(const FileFaults&) = delete;

    // Makes the nth matching call from now on (1 for the next) fail with error.
    void FailAt(long nth, int error);

    // Matching calls seen since construction or the last FailAt.
    long Calls() const { return calls; }
    bool Failed() const { return failed; }

private:
    static int Hook(void* context, seam::FileCall call, const std::string& fullPath);

    seam::FileCall call;
    std::string fullPath;
    long calls = 0;
    long failAt = 0;
    int error = 0;
    bool failed = false;
};

}  // namespace kestrel::test
