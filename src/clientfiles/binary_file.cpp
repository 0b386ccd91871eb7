#include "clientfiles/binary_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "clientfiles/file_exception.h"

namespace kestrel {

namespace {

// The path as the user would read it back: absolute, with "." and ".."
// folded, but links left as they are.
std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return path;
    }
    return absolute.lexically_normal().string();
}

[[noreturn]] void ThrowUnnamed(int error) {
    throw FileException(FileException::CauseFromErrno(error), std::string());
}

seam::FileFaultHook faultHook = nullptr;
void* faultContext = nullptr;

// The errno that the test seam makes call fail with, or 0.
inline int InjectedFault(seam::FileCall call, const std::string& fullPath) {
    return faultHook == nullptr ? 0 : faultHook(faultContext, call, fullPath);
}

}  // namespace

void seam::SetFileFaultHook(FileFaultHook hook, void* context) noexcept {
    faultHook = hook;
    faultContext = context;
}

BinaryFile::~BinaryFile() {
    if (descriptor >= 0) {
        ::close(descriptor);
    }
}

bool BinaryFile::Open(const std::string& path, Mode mode) noexcept {
    if (descriptor >= 0) {
        openError = EBUSY;
        return false;
    }
    try {
        fullPath = AbsolutePath(path);
    } catch (...) {
        openError = ENOMEM;
        return false;
    }
    // O_NONBLOCK keeps a FIFO or device from stalling the open; it is cleared
    // again once the file is held.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    switch (mode) {
    case Mode::ReadWriteExisting:
        flags |= O_RDWR;
        break;
    case Mode::CreateTruncate:
        flags |= O_WRONLY | O_CREAT;
        break;
    case Mode::CreateReadWrite:
        flags |= O_RDWR | O_CREAT;
        break;
    case Mode::ReadOnlyShared:
        flags |= O_RDONLY;
        break;
    }
    if (const int injected = InjectedFault(seam::FileCall::Open, fullPath)) {
        openError = injected;
        return false;
    }
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        openError = errno;
        return false;
    }
    // The first step that fails sets the reason.
    int error = 0;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = errno;
    } else if (S_ISDIR(status.st_mode)) {
        error = EISDIR;
    } else if (::flock(fd, (mode == Mode::ReadOnlyShared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        error = errno;
    }
    if (error == 0) {
        const int current = ::fcntl(fd, F_GETFL);
        if (current < 0 || ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK) != 0) {
            error = errno;
        }
    }
    // An empty file is not truncated: on some file systems (ext4) a truncation
    // makes the close push the whole new contents towards the disk at once.
    if (error == 0 && (mode == Mode::CreateTruncate || mode == Mode::CreateReadWrite) &&
        S_ISREG(status.st_mode) &&
        status.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        openError = error;
        return false;
    }
    descriptor = fd;
    openError = 0;
    return true;
}

std::uint64_t BinaryFile::Length() const {
    if (const int injected = InjectedFault(seam::FileCall::Length, fullPath)) {
        ThrowUnnamed(injected);
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        ThrowUnnamed(errno);
    }
    return status.st_size < 0 ? 0 : static_cast<std::uint64_t>(status.st_size);
}

void BinaryFile::Seek(std::int64_t position) {
    if (position < 0) {
        throw FileException(FileErrorCause::BadSeek, std::string());
    }
    const int injected = InjectedFault(seam::FileCall::Seek, fullPath);
    if (injected != 0 || ::lseek(descriptor, static_cast<off_t>(position), SEEK_SET) < 0) {
        const int error = injected != 0 ? injected : errno;
        throw FileException(
            error == EINVAL ? FileErrorCause::BadSeek : FileException::CauseFromErrno(error),
            std::string());
    }
}

std::size_t BinaryFile::Read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (const int injected = InjectedFault(seam::FileCall::Read, fullPath)) {
            ThrowUnnamed(injected);
        }
        const ssize_t got = ::read(descriptor, bytes + done, count - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowUnnamed(errno);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void BinaryFile::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (const int injected = InjectedFault(seam::FileCall::Write, fullPath)) {
            throw FileException(FileException::CauseFromErrno(injected), fullPath);
        }
        const ssize_t put = ::write(descriptor, bytes + done, count - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileException(FileException::CauseFromErrno(errno), fullPath);
        }
        if (put == 0) {
            throw FileException(FileErrorCause::DiskFull, fullPath);
        }
        done += static_cast<std::size_t>(put);
    }
}

void BinaryFile::Sync() {
    const int injected = InjectedFault(seam::FileCall::Sync, fullPath);
    if (injected != 0) {
        throw FileException(FileException::CauseFromErrno(injected), fullPath);
    }
    while (::fdatasync(descriptor) != 0) {
        if (errno != EINTR) {
            throw FileException(FileException::CauseFromErrno(errno), fullPath);
        }
    }
}

void BinaryFile::Truncate(std::uint64_t length) {
    const int injected = InjectedFault(seam::FileCall::Truncate, fullPath);
    if (injected != 0) {
        throw FileException(FileException::CauseFromErrno(injected), fullPath);
    }
    while (::ftruncate(descriptor, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) {
            throw FileException(FileException::CauseFromErrno(errno), fullPath);
        }
    }
}

BinaryFile::Identity BinaryFile::FileIdentity() const {
    if (const int injected = InjectedFault(seam::FileCall::Length, fullPath)) {
        ThrowUnnamed(injected);
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        ThrowUnnamed(errno);
    }
    return Identity{static_cast<std::uint64_t>(status.st_dev),
                    static_cast<std::uint64_t>(status.st_ino)};
}

void BinaryFile::RenameTo(const std::string& newPath) {
    const int injected = InjectedFault(seam::FileCall::Rename, fullPath);
    if (injected != 0 || ::rename(fullPath.c_str(), newPath.c_str()) != 0) {
        const int error = injected != 0 ? injected : errno;
        throw FileException(FileException::CauseFromErrno(error), fullPath);
    }
    fullPath = AbsolutePath(newPath);
}

void SyncDirectory(const std::string& path) {
    const int injected = InjectedFault(seam::FileCall::Sync, path);
    if (injected != 0) {
        throw FileException(FileException::CauseFromErrno(injected), path);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        throw FileException(FileException::CauseFromErrno(errno), path);
    }
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a directory; their entries are then as
    // durable as they can be made.
    if (result != 0 && error != EINVAL && error != EROFS) {
        throw FileException(FileException::CauseFromErrno(error), path);
    }
}

void RemoveFile(const std::string& path) {
    const int injected = InjectedFault(seam::FileCall::Remove, path);
    if (injected != 0 || ::unlink(path.c_str()) != 0) {
        const int error = injected != 0 ? injected : errno;
        throw FileException(FileException::CauseFromErrno(error), path);
    }
}

void BinaryFile::Close() {
    if (descriptor < 0) {
        return;
    }
    const int fd = descriptor;
    descriptor = -1;
    // Linux releases the descriptor even when close reports an error, so it
    // must not be closed again.
    const int injected = InjectedFault(seam::FileCall::Close, fullPath);
    if (::close(fd) != 0 && errno != EINTR) {
        ThrowUnnamed(errno);
    }
    if (injected != 0) {
        ThrowUnnamed(injected);
    }
}

}  // namespace kestrel
