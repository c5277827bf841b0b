#pragma once

#include "library/UnfinishedCopy.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <mutex>

namespace VeltoPageLibrary {

/// The file system a copy writes the destination's library with. Before each write of a file in the destination's
/// ".velto" (journals, deletion index, manifest) it adds the checksum of the bytes to the unfinished copy's note,
/// so that a process killed right after the write leaves the file proven the copy's; the page files are noted
/// before the copy begins. Everything else is exactly what `base` does.
class CopyNotingFileSystem : public velto::FileSystem {
public:
    /// `note` is the note already left in the destination's ".velto".
    CopyNotingFileSystem(velto::FileSystem &base, std::filesystem::path destinationURL, UnfinishedCopyNote note);

    std::optional<velto::FileStatus> status(const std::filesystem::path &path, bool followLinks = true) override;
    using FileSystem::readFile;
    std::string readFile(const std::filesystem::path &path, std::size_t maximumBytes) override;
    std::string readPrefix(const std::filesystem::path &path, std::size_t maxBytes) override;
    bool holdsExactly(const std::filesystem::path &path, std::string_view bytes) override;
    void writeAtomically(const std::filesystem::path &path, std::string_view bytes) override;
    velto::ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                                 std::optional<std::string_view> expected) override;
    void createDirectories(const std::filesystem::path &path) override;
    void removeItem(const std::filesystem::path &path) override;
    void moveItem(const std::filesystem::path &from, const std::filesystem::path &to) override;
    void copyItem(const std::filesystem::path &from, const std::filesystem::path &to) override;
    std::vector<std::string> contentsOfDirectory(const std::filesystem::path &path) override;
    std::vector<velto::DirectoryEntry> entriesOfDirectory(const std::filesystem::path &path) override;
    std::vector<velto::DirectoryEntry> enumerateRecursively(const std::filesystem::path &path) override;
    std::filesystem::path resolvingSymlinks(const std::filesystem::path &path) override;
    bool refusesWriting(const std::filesystem::path &folder) override { return base_.refusesWriting(folder); }
    /// The note is added to under a lock of its own, so this adds nothing to what `base` allows.
    bool allowsConcurrentCalls() const override { return base_.allowsConcurrentCalls(); }
    void adviseWillRead(const std::filesystem::path &path) override { base_.adviseWillRead(path); }

private:
    /// Notes the bytes about to be written at `path` when it lies in the destination's ".velto".
    void noteBeforeWriting(const std::filesystem::path &path, std::string_view bytes);

    velto::FileSystem &base_;
    std::filesystem::path destinationURL_;
    std::mutex mutex_;
    UnfinishedCopyNote note_;
};

} // namespace VeltoPageLibrary
