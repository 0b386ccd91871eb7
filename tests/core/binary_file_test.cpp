#include "clientfiles/binary_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "clientfiles/file_exception.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Mode = BinaryFile::Mode;

class BinaryFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.File("data.mul");
};

TEST_F(BinaryFileTest, DataModeOpensAnExistingFileAndKeepsItsContents) {
    WriteBytes(file, {1, 2, 3});
    BinaryFile binary;
    ASSERT_TRUE(binary.Open(file, Mode::ReadWriteExisting));
    std::uint8_t buffer[3] = {};
    EXPECT_EQ(binary.Read(buffer, 3), 3u);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
}

TEST_F(BinaryFileTest, DataModeNeverCreatesAMissingFile) {
    BinaryFile binary;
    EXPECT_FALSE(binary.Open(file, Mode::ReadWriteExisting));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(BinaryFileTest, TextModeCreatesAMissingFileAndEmptiesAnExistingOne) {
    BinaryFile created;
    ASSERT_TRUE(created.Open(file, Mode::CreateTruncate));
    created.Close();
    EXPECT_TRUE(std::filesystem::exists(file));

    WriteBytes(file, {9, 9, 9});
    BinaryFile emptied;
    ASSERT_TRUE(emptied.Open(file, Mode::CreateTruncate));
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(BinaryFileTest, NeitherModeOpensADirectoryOrAnEmptyPath) {
    for (const Mode mode : {Mode::ReadWriteExisting, Mode::CreateTruncate, Mode::ReadOnlyShared}) {
        BinaryFile directory;
        EXPECT_FALSE(directory.Open(dir.Path().string(), mode));
        BinaryFile empty;
        EXPECT_FALSE(empty.Open("", mode));
    }
}

// The same file reached by its own path, by a symbolic link and by a hard link:
// each second open must fail while the first holds it, and succeed after.
TEST_F(BinaryFileTest, AFileIsOpenOnlyOnceWhicheverPathReachesIt) {
    WriteBytes(file, {7});
    const std::string symbolic = dir.File("symbolic.mul");
    const std::string hard = dir.File("hard.mul");
    std::filesystem::create_symlink(file, symbolic);
    std::filesystem::create_hard_link(file, hard);

    for (const std::string& second : {file, symbolic, hard}) {
        for (const Mode mode : {Mode::ReadWriteExisting, Mode::CreateTruncate}) {
            BinaryFile first;
            ASSERT_TRUE(first.Open(file, Mode::ReadWriteExisting));
            BinaryFile again;
            EXPECT_FALSE(again.Open(second, mode)) << second;
            first.Close();
            EXPECT_TRUE(again.Open(second, Mode::ReadWriteExisting)) << second;
        }
    }
    EXPECT_EQ(ReadBytes(file), (Bytes{7})) << "a refused text-mode open emptied the file";
}

// Readers share a file; a writer and a reader keep each other out, whichever
// came first. A reader cannot write, and never creates a file.
TEST_F(BinaryFileTest, ReadOnlyOpensShareTheFileAndKeepWritersOut) {
    WriteBytes(file, {1, 2, 3});
    BinaryFile missing;
    EXPECT_FALSE(missing.Open(dir.File("missing.mul"), Mode::ReadOnlyShared));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.mul")));
    {
        BinaryFile reader;
        BinaryFile other;
        ASSERT_TRUE(reader.Open(file, Mode::ReadOnlyShared));
        EXPECT_TRUE(other.Open(file, Mode::ReadOnlyShared));
        for (const Mode mode : {Mode::ReadWriteExisting, Mode::CreateTruncate}) {
            BinaryFile writer;
            EXPECT_FALSE(writer.Open(file, mode));
            EXPECT_EQ(writer.OpenError(), EWOULDBLOCK);
        }
        std::uint8_t bytes[3] = {};
        EXPECT_EQ(reader.Read(bytes, 3), 3u);
        EXPECT_EQ(bytes[2], 3);
        EXPECT_THROW(reader.Write(bytes, 1), FileException);
    }
    BinaryFile writer;
    ASSERT_TRUE(writer.Open(file, Mode::ReadWriteExisting));
    BinaryFile reader;
    EXPECT_FALSE(reader.Open(file, Mode::ReadOnlyShared));
    EXPECT_EQ(reader.OpenError(), EWOULDBLOCK);
    EXPECT_EQ(ReadBytes(file), (Bytes{1, 2, 3}));
}

TEST_F(BinaryFileTest, AShortReadReturnsWhatItGotAndLeavesTheRestOfTheBuffer) {
    WriteBytes(file, {1, 2, 3, 4, 5});
    BinaryFile binary;
    ASSERT_TRUE(binary.Open(file, Mode::ReadWriteExisting));
    std::uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    binary.Seek(3);
    EXPECT_EQ(binary.Read(buffer, 4), 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{4, 5, 0xAA, 0xAA}));
    binary.Seek(100);
    EXPECT_EQ(binary.Read(buffer, 4), 0u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{4, 5, 0xAA, 0xAA}));
}

TEST_F(BinaryFileTest, AWritePastTheEndLengthensTheFile) {
    WriteBytes(file, {1, 2});
    BinaryFile binary;
    ASSERT_TRUE(binary.Open(file, Mode::ReadWriteExisting));
    const std::uint8_t bytes[2] = {8, 9};
    binary.Seek(5);
    binary.Write(bytes, 2);
    EXPECT_EQ(binary.Length(), 7u);
    binary.Close();
    EXPECT_EQ(ReadBytes(file), (Bytes{1, 2, 0, 0, 0, 8, 9}));
}

TEST_F(BinaryFileTest, ASeekToANegativePositionFailsOnAnUnnamedFile) {
    WriteBytes(file, {1});
    BinaryFile binary;
    ASSERT_TRUE(binary.Open(file, Mode::ReadWriteExisting));
    try {
        binary.Seek(-7);
        FAIL() << "no exception";
    } catch (const FileException& failure) {
        EXPECT_EQ(failure.Cause(), FileErrorCause::BadSeek);
        EXPECT_STREQ(failure.what(), "Seek failed on an unnamed file");
    }
}

TEST_F(BinaryFileTest, AWriteToAFullDiskNamesTheFileWithTheDiskFullText) {
    BinaryFile full;
    ASSERT_TRUE(full.Open("/dev/full", Mode::CreateTruncate));
    const char text[] = "SECTION";
    try {
        full.Write(text, sizeof text - 1);
        FAIL() << "no exception";
    } catch (const FileException& failure) {
        EXPECT_EQ(failure.Cause(), FileErrorCause::DiskFull);
        EXPECT_STREQ(failure.what(), "Disk full while accessing /dev/full.");
    }
}

TEST_F(BinaryFileTest, ARelativePathIsResolvedAgainstTheCurrentDirectory) {
    std::filesystem::create_directory(dir.Path() / "sub");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    BinaryFile binary;
    const bool opened = binary.Open("sub/../items.wsc", Mode::CreateTruncate);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "items.wsc"));
    // The full path that a failed write names.
    EXPECT_EQ(binary.FullPath(), (dir.Path() / "items.wsc").string());
}

TEST_F(BinaryFileTest, CloseReleasesTheFileAndTheObjectCanBeClosedTwice) {
    WriteBytes(file, {1});
    BinaryFile binary;
    ASSERT_TRUE(binary.Open(file, Mode::ReadWriteExisting));
    binary.Close();
    EXPECT_FALSE(binary.IsOpen());
    binary.Close();
    BinaryFile again;
    EXPECT_TRUE(again.Open(file, Mode::ReadWriteExisting));
}

TEST(FileExceptionTest, TheTextFollowsTheCauseAndNamesTheFileOrAnUnnamedFile) {
    const struct {
        FileErrorCause cause;
        const char* name;
        const char* text;
    } cases[] = {
        {FileErrorCause::Generic, "/a/b", "An unknown error occurred while accessing /a/b."},
        {FileErrorCause::FileNotFound, "/a/b", "/a/b was not found."},
        {FileErrorCause::AccessDenied, "", "Access to an unnamed file was denied."},
        {FileErrorCause::BadSeek, "", "Seek failed on an unnamed file"},
        {FileErrorCause::HardIo, "",
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileErrorCause::DiskFull, "/x/items.wsc", "Disk full while accessing /x/items.wsc."},
        {FileErrorCause::EndOfFile, "",
         "An attempt was made to access an unnamed file past its end."},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(FileException(row.cause, row.name).what(), std::string(row.text));
    }
}

TEST(FileExceptionTest, AFullDiskOrAFileSizeLimitGivesTheDiskFullCause) {
    for (const int error : {ENOSPC, EDQUOT, EFBIG}) {
        EXPECT_EQ(FileException::CauseFromErrno(error), FileErrorCause::DiskFull) << error;
    }
    EXPECT_EQ(FileException::CauseFromErrno(EIO), FileErrorCause::HardIo);
    EXPECT_EQ(FileException::CauseFromErrno(EACCES), FileErrorCause::AccessDenied);
    EXPECT_EQ(FileException::CauseFromErrno(EXDEV), FileErrorCause::Generic);
}

}  // namespace
}  // namespace kestrel
