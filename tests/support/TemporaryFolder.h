#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velto::testing {

/// A fresh folder under the system's temporary directory, removed with everything in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }

    /// The path of `relativePath` inside the folder.
    std::filesystem::path operator/(const std::filesystem::path &relativePath) const { return path_ / relativePath; }

    /// Writes the bytes to `relativePath`, creating missing folders; returns the full path.
    std::filesystem::path writeFile(const std::filesystem::path &relativePath, std::string_view bytes) const;

    /// The bytes of `relativePath`; fails the test (and returns "") when it cannot be read.
    std::string readFile(const std::filesystem::path &relativePath) const;

    bool exists(const std::filesystem::path &relativePath) const;

    /// Creates `relativePath` and any missing parents; returns the full path.
    std::filesystem::path createFolder(const std::filesystem::path &relativePath) const;

private:
    std::filesystem::path path_;
};

} // namespace velto::testing
