#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrel::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // The path of name inside the directory, as a string for the operations.
    std::string File(const std::string& name) const { return (path / name).string(); }

private:
    std::filesystem::path path;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

}  // namespace kestrel::test
