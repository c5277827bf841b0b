#pragma once

#include "library/copy/UnfinishedCopy.h"
#include "platform/ForwardingFileSystem.h"

#include <filesystem>
#include <mutex>

namespace VeltoPageLibrary {

/// The file system a copy writes the destination's library with. Before each write of a file in the destination's
/// ".velto" (journals, deletion index, manifest) it adds the checksum of the bytes to the unfinished copy's note,
/// so that a process killed right after the write leaves the file proven the copy's; the page files are noted
/// before the copy begins. Everything else is exactly what `base` does.
class CopyNotingFileSystem : public velto::ForwardingFileSystem {
public:
    /// `note` is the note already left in the destination's ".velto". The note is added to under a lock of its own,
    /// so this allows concurrent calls where `base` does.
    CopyNotingFileSystem(velto::FileSystem &base, std::filesystem::path destinationURL, UnfinishedCopyNote note);

    void writeAtomically(const std::filesystem::path &path, std::string_view bytes) override;
    velto::ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                                 std::optional<std::string_view> expected) override;
    velto::ReplacementOutcome replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                             std::optional<std::string_view> expected,
                                                             std::optional<std::filesystem::path> &theirFile) override;

private:
    /// Notes the bytes about to be written at `path` when it lies in the destination's ".velto".
    void noteBeforeWriting(const std::filesystem::path &path, std::string_view bytes);

    std::filesystem::path destinationURL_;
    std::mutex mutex_;
    UnfinishedCopyNote note_;
};

} // namespace VeltoPageLibrary
