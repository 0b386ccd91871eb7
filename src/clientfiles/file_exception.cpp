#include "clientfiles/file_exception.h"

#include <cerrno>
#include <string_view>

namespace kestrel {

namespace {

std::string_view TemplateOf(FileErrorCause cause) {
    switch (cause) {
        case FileErrorCause::Generic:
            return "An unknown error occurred while accessing %1.";
        case FileErrorCause::FileNotFound:
            return "%1 was not found.";
        case FileErrorCause::BadPath:
            return "%1 contains an invalid path.";
        case FileErrorCause::TooManyOpenFiles:
            return "%1 could not be opened because there are too many open files.";
        case FileErrorCause::AccessDenied:
            return "Access to %1 was denied.";
        case FileErrorCause::InvalidFile:
            return "An invalid file handle was associated with %1.";
        case FileErrorCause::RemoveCurrentDir:
            return "%1 could not be removed because it is the current directory.";
        case FileErrorCause::DirectoryFull:
            return "%1 could not be created because the directory is full.";
        case FileErrorCause::BadSeek:
            return "Seek failed on %1";
        case FileErrorCause::HardIo:
            return "A hardware I/O error was reported while accessing %1.";
        case FileErrorCause::SharingViolation:
            return "A sharing violation occurred while accessing %1.";
        case FileErrorCause::LockViolation:
            return "A locking violation occurred while accessing %1.";
        case FileErrorCause::DiskFull:
            return "Disk full while accessing %1.";
        case FileErrorCause::EndOfFile:
            return "An attempt was made to access %1 past its end.";
    }
    return "An unknown error occurred while accessing %1.";
}

}  // namespace

std::string FileErrorText(FileErrorCause cause, const std::string& fileName) {
    const std::string_view pattern = TemplateOf(cause);
    const std::string name = fileName.empty() ? std::string("an unnamed file") : fileName;
    std::string text;
    const std::size_t mark = pattern.find("%1");
    text.append(pattern.substr(0, mark));
    text.append(name);
    text.append(pattern.substr(mark + 2));
    return text;
}

FileException::FileException(FileErrorCause cause, std::string fileName)
    : cause(cause), fileName(std::move(fileName)), text(FileErrorText(cause, this->fileName)) {}

FileErrorCause FileException::CauseFromErrno(int error) noexcept {
    switch (error) {
        case ENOENT:
            return FileErrorCause::FileNotFound;
        case ENAMETOOLONG:
        case ENOTDIR:
        case ELOOP:
            return FileErrorCause::BadPath;
        case EMFILE:
        case ENFILE:
            return FileErrorCause::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return FileErrorCause::AccessDenied;
        case EBADF:
            return FileErrorCause::InvalidFile;
        case ESPIPE:
        case EOVERFLOW:
            return FileErrorCause::BadSeek;
        case EIO:
            return FileErrorCause::HardIo;
        case EWOULDBLOCK:
        case ETXTBSY:
        case EBUSY:
            return FileErrorCause::SharingViolation;
        case EDEADLK:
        case ENOLCK:
            return FileErrorCause::LockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileErrorCause::DiskFull;
        default:
            return FileErrorCause::Generic;
    }
}

}  // namespace kestrel
