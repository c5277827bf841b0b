#include "library/CopyNotingFileSystem.h"

#include "library/LibraryFolder.h"

namespace VeltoPageLibrary {

CopyNotingFileSystem::CopyNotingFileSystem(velto::FileSystem &base, std::filesystem::path destinationURL,
                                           UnfinishedCopyNote note)
    : base_(base)
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
        noteUnfinishedCopy(note_, destinationURL_, base_);
    }
}

std::optional<velto::FileStatus> CopyNotingFileSystem::status(const std::filesystem::path &path, bool followLinks) {
    return base_.status(path, followLinks);
}

std::string CopyNotingFileSystem::readFile(const std::filesystem::path &path, std::size_t maximumBytes) {
    return base_.readFile(path, maximumBytes);
}

std::string CopyNotingFileSystem::readPrefix(const std::filesystem::path &path, std::size_t maxBytes) {
    return base_.readPrefix(path, maxBytes);
}

bool CopyNotingFileSystem::holdsExactly(const std::filesystem::path &path, std::string_view bytes) {
    return base_.holdsExactly(path, bytes);
}

void CopyNotingFileSystem::writeAtomically(const std::filesystem::path &path, std::string_view bytes) {
    noteBeforeWriting(path, bytes);
    base_.writeAtomically(path, bytes);
}

velto::ReplacementOutcome CopyNotingFileSystem::replaceIfUnchanged(const std::filesystem::path &path,
                                                                   std::string_view bytes,
                                                                   std::optional<std::string_view> expected) {
    noteBeforeWriting(path, bytes);
    return base_.replaceIfUnchanged(path, bytes, expected);
}

void CopyNotingFileSystem::createDirectories(const std::filesystem::path &path) {
    base_.createDirectories(path);
}

void CopyNotingFileSystem::removeItem(const std::filesystem::path &path) {
    base_.removeItem(path);
}

void CopyNotingFileSystem::moveItem(const std::filesystem::path &from, const std::filesystem::path &to) {
    base_.moveItem(from, to);
}

void CopyNotingFileSystem::copyItem(const std::filesystem::path &from, const std::filesystem::path &to) {
    base_.copyItem(from, to);
}

std::vector<std::string> CopyNotingFileSystem::contentsOfDirectory(const std::filesystem::path &path) {
    return base_.contentsOfDirectory(path);
}

std::vector<velto::DirectoryEntry> CopyNotingFileSystem::entriesOfDirectory(const std::filesystem::path &path) {
    return base_.entriesOfDirectory(path);
}

std::vector<velto::DirectoryEntry> CopyNotingFileSystem::enumerateRecursively(const std::filesystem::path &path) {
    return base_.enumerateRecursively(path);
}

std::filesystem::path CopyNotingFileSystem::resolvingSymlinks(const std::filesystem::path &path) {
    return base_.resolvingSymlinks(path);
}

} // namespace VeltoPageLibrary
