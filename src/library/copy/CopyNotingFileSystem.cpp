#include "library/copy/CopyNotingFileSystem.h"

#include "library/folder/LibraryFolder.h"

namespace VeltoPageLibrary {

CopyNotingFileSystem::CopyNotingFileSystem(velto::FileSystem &base, std::filesystem::path destinationURL,
                                           UnfinishedCopyNote note)
    : ForwardingFileSystem(base)
    , destinationURL_(std::move(destinationURL))
    , note_(std::move(note)) {}

void CopyNotingFileSystem::noteBeforeWriting(const std::filesystem::path &path, std::string_view bytes) {
    const std::filesystem::path metadata = metadataDirectory(destinationURL_);
    std::filesystem::path inMetadata = path.lexically_relative(metadata);
    if (inMetadata.empty() || *inMetadata.begin() == "..") {
        return; // a page file, noted before the copy began
    }
    std::lock_guard guard(mutex_);
    const std::string relativePath = metadata.filename().string() + "/" + inMetadata.generic_string();
    if (note_.add(relativePath, bytes)) {
        noteUnfinishedCopy(note_, destinationURL_, base());
    }
}

void CopyNotingFileSystem::writeAtomically(const std::filesystem::path &path, std::string_view bytes) {
    noteBeforeWriting(path, bytes);
    base().writeAtomically(path, bytes);
}

velto::ReplacementOutcome CopyNotingFileSystem::replaceIfUnchanged(const std::filesystem::path &path,
                                                                   std::string_view bytes,
                                                                   std::optional<std::string_view> expected) {
    noteBeforeWriting(path, bytes);
    return base().replaceIfUnchanged(path, bytes, expected);
}

velto::ReplacementOutcome
CopyNotingFileSystem::replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                     std::optional<std::string_view> expected,
                                                     std::optional<std::filesystem::path> &theirFile) {
    noteBeforeWriting(path, bytes);
    return base().replaceIfUnchangedNotingTheirs(path, bytes, expected, theirFile);
}

} // namespace VeltoPageLibrary
