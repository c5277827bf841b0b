#pragma once

#include "platform/FileSystem.h"

namespace velto {

/// A file system that does exactly what `base` does. A wrapper that adds to a few calls derives from it and
/// overrides only those.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem &base)
        : base_(base) {}

    std::optional<FileStatus> status(const std::filesystem::path &path, bool followLinks = true) override {
        return base_.status(path, followLinks);
    }
    using FileSystem::readFile;
    std::string readFile(const std::filesystem::path &path, std::size_t maximumBytes) override {
        return base_.readFile(path, maximumBytes);
    }
    std::string readPrefix(const std::filesystem::path &path, std::size_t maxBytes) override {
        return base_.readPrefix(path, maxBytes);
    }
    bool holdsExactly(const std::filesystem::path &path, std::string_view bytes) override {
        return base_.holdsExactly(path, bytes);
    }
    void writeAtomically(const std::filesystem::path &path, std::string_view bytes) override {
        base_.writeAtomically(path, bytes);
    }
    ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                          std::optional<std::string_view> expected) override {
        return base_.replaceIfUnchanged(path, bytes, expected);
    }
    ReplacementOutcome replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                      std::optional<std::string_view> expected,
                                                      std::optional<std::filesystem::path> &theirFile) override {
        return base_.replaceIfUnchangedNotingTheirs(path, bytes, expected, theirFile);
    }
    void writeAtomicallyBeneath(const std::filesystem::path &folder, const std::filesystem::path &relativePath,
                                std::string_view bytes) override {
        base_.writeAtomicallyBeneath(folder, relativePath, bytes);
    }
    ReplacementOutcome replaceIfUnchangedBeneath(const std::filesystem::path &folder,
                                                 const std::filesystem::path &relativePath, std::string_view bytes,
                                                 std::optional<std::string_view> expected,
                                                 std::optional<std::filesystem::path> &theirFile) override {
        return base_.replaceIfUnchangedBeneath(folder, relativePath, bytes, expected, theirFile);
    }
    void createDirectories(const std::filesystem::path &path) override { base_.createDirectories(path); }
    void removeItem(const std::filesystem::path &path) override { base_.removeItem(path); }
    ProvenRemovalOutcome removeIfProven(const std::filesystem::path &path, const RemovalProof &proves,
                                        std::size_t maximumBytes = largestReadableFileBytes) override {
        return base_.removeIfProven(path, proves, maximumBytes);
    }
    ProvenRemovalOutcome removeIfProvenNotingKept(const std::filesystem::path &path, const RemovalProof &proves,
                                                  std::optional<std::filesystem::path> &keptBeside,
                                                  std::size_t maximumBytes = largestReadableFileBytes) override {
        return base_.removeIfProvenNotingKept(path, proves, keptBeside, maximumBytes);
    }
    void moveItem(const std::filesystem::path &from, const std::filesystem::path &to) override {
        base_.moveItem(from, to);
    }
    void copyItem(const std::filesystem::path &from, const std::filesystem::path &to) override {
        base_.copyItem(from, to);
    }
    std::vector<std::string> contentsOfDirectory(const std::filesystem::path &path) override {
        return base_.contentsOfDirectory(path);
    }
    std::vector<DirectoryEntry> entriesOfDirectory(const std::filesystem::path &path) override {
        return base_.entriesOfDirectory(path);
    }
    std::vector<DirectoryEntry> enumerateRecursively(const std::filesystem::path &path) override {
        return base_.enumerateRecursively(path);
    }
    std::filesystem::path resolvingSymlinks(const std::filesystem::path &path) override {
        return base_.resolvingSymlinks(path);
    }
    bool refusesWriting(const std::filesystem::path &folder) override { return base_.refusesWriting(folder); }
    bool allowsConcurrentCalls() const override { return base_.allowsConcurrentCalls(); }
    void adviseWillRead(const std::filesystem::path &path) override { base_.adviseWillRead(path); }

protected:
    FileSystem &base() { return base_; }

private:
    FileSystem &base_;
};

} // namespace velto
