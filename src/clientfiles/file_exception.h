#pragma once

#include <exception>
#include <string>

namespace kestrel {

// Why a file operation failed. Each cause has its own message text.
enum class FileErrorCause {
    Generic,  // any other error
    FileNotFound,
    BadPath,  // invalid path
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,       // invalid file handle
    RemoveCurrentDir,  // the current directory
    DirectoryFull,
    BadSeek,  // seek failed
    HardIo,   // hardware error
    SharingViolation,
    LockViolation,
    DiskFull,
    EndOfFile,  // past the end
};

// The failure of a seek, read, write or close on an open BinaryFile. It carries
// the cause and, for a failed write, the file's full path; what() is the text
// shown to the user, e.g. "Disk full while accessing /tmp/items.wsc.".
class FileException : public std::exception {
public:
    // An empty fileName stands for "an unnamed file" in the text.
    FileException(FileErrorCause cause, std::string fileName);

    FileErrorCause Cause() const noexcept { return cause; }
    const std::string& FileName() const noexcept { return fileName; }
    const char* what() const noexcept override { return text.c_str(); }

    // The cause that an errno value from a file system call stands for.
    static FileErrorCause CauseFromErrno(int error) noexcept;

private:
    FileErrorCause cause;
    std::string fileName;
    std::string text;
};

// The message text of a cause, with %1 replaced by fileName (or "an unnamed
// file" when fileName is empty).
std::string FileErrorText(FileErrorCause cause, const std::string& fileName);

}  // namespace kestrel
