#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel {

// The program's handle on one open file: absolute seeks, reads that may come
// up short at the end of the file, writes that store everything or throw.
// Nothing is buffered, so what was written before a failure stays written.
//
// Every file opened for writing is held under an exclusive lock, so such a
// file can be open only once at a time: a second open of the same file,
// through any path, by this or another process of the program, fails. A file
// opened read-only is held under a shared lock: any number of read-only opens
// may hold it together, and they keep out every open for writing (and are
// kept out by one).
class BinaryFile {
public:
    enum class Mode {
        // Read and write access; the file must exist and keeps its contents.
        ReadWriteExisting,
        // Write access only; the file is created, or emptied if it exists. The
        // lock is taken before the file is emptied, so a file that is open
        // elsewhere is never emptied.
        CreateTruncate,
        // Read and write access; the file is created, or emptied if it
        // exists, as for CreateTruncate. The file is held under the lock
        // from its creation on, with no moment at which another program could
        // take it for one nobody holds.
        CreateReadWrite,
        // Read access only, under the shared lock; the file must exist. It
        // may lie in a directory or on a file system the user cannot write.
        // Writes, Truncate and RenameTo fail.
        ReadOnlyShared,
    };

    BinaryFile() = default;
    ~BinaryFile();  // closes a file still held, ignoring any failure
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Opens path, exactly as given (relative to the current directory), in
    // mode. Returns false when the file cannot be opened, and keeps the reason
    // for OpenError; never throws.
    bool Open(const std::string& path, Mode mode) noexcept;

    // Why the last Open failed, as an errno value (EISDIR for a directory,
    // EWOULDBLOCK for a file held elsewhere); 0 after a successful one.
    int OpenError() const noexcept { return openError; }

    bool IsOpen() const noexcept { return descriptor >= 0; }

    // The absolute path of the open file, as formed when it was opened.
    const std::string& FullPath() const noexcept { return fullPath; }

    // The file's current length in bytes. Throws FileException on failure.
    std::uint64_t Length() const;

    // Moves to position bytes from the start. A position past the end is
    // allowed; a negative one throws FileException (seek failed).
    void Seek(std::int64_t position);

    // Reads up to count bytes at the current position; returns how many were
    // read, fewer only at the end of the file. Bytes of buffer beyond those
    // read are left untouched. Throws FileException when the system refuses.
    std::size_t Read(void* buffer, std::size_t count);

    // Writes all count bytes at the current position, lengthening the file as
    // needed. Throws FileException naming the file's full path when the
    // system refuses or stores fewer bytes (then with the disk-full cause).
    void Write(const void* buffer, std::size_t count);

    // Makes everything written to the file so far durable (its data and the
    // length needed to read it back) before returning. Throws FileException
    // naming the file's full path when the system reports a failure.
    void Sync();

    // Sets the file's length in bytes, cutting it or extending it with zero
    // bytes. Throws FileException naming the file's full path on failure.
    void Truncate(std::uint64_t length);

    // The device and inode number of the open file: the same for every path
    // (hard link, symbolic link, relative form) that names it. Throws
    // FileException on failure.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool operator==(const Identity&) const = default;
    };
    Identity FileIdentity() const;

    // Gives the open file the name newPath (replacing a file of that name in
    // the same file system); FullPath() follows. Throws FileException naming
    // the file's old full path on failure.
    void RenameTo(const std::string& newPath);

    // Releases the file. The object is closed afterwards even when the system
    // reports a failure, which throws FileException.
    void Close();

private:
    int descriptor = -1;
    int openError = 0;
    std::string fullPath;
};

// Makes the creation, renaming and removal of entries of the directory at path
// durable. Throws FileException naming path on failure.
void SyncDirectory(const std::string& path);

// Removes the file at path. Throws FileException naming path on failure.
void RemoveFile(const std::string& path);

// Test seam: lets tests make a BinaryFile system call fail as if the system had
// refused it, to reach the failure paths that real files rarely take (a read
// error in the middle of a copy, a close that reports a lost write). Unused, it
// costs one load and one branch per system call.
namespace seam {

// The system calls that BinaryFile makes for a file.
// Sync covers SyncDirectory too, Remove is RemoveFile; FileIdentity counts as
// Length (the same status call).
enum class FileCall { Open, Length, Seek, Read, Write, Close, Sync, Truncate, Rename, Remove };

// Called before each such call with the file's full path (every method that
// makes one of these calls consults it). Returning 0 lets the call go ahead;
// any other value is taken as the errno the call failed with (Close still
// releases the file). The hook is process-wide and is not synchronised: set it
// only while no other thread uses a BinaryFile.
using FileFaultHook = int (*)(void* context, FileCall call, const std::string& fullPath);

// Installs hook with its context, or removes it when hook is null.
void SetFileFaultHook(FileFaultHook hook, void* context) noexcept;

}  // namespace seam

}  // namespace kestrel
