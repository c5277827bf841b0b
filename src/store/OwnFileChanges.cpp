#include "store/OwnFileChanges.h"

#include <system_error>

namespace velto {

VeltoOwnFileChanges &VeltoOwnFileChanges::shared() {
    // Never destroyed, like the library pool whose saves record into it: a save still running while the process
    // exits must not find it gone.
    static auto *changes = new VeltoOwnFileChanges;
    return *changes;
}

std::filesystem::path VeltoOwnFileChanges::key(const std::filesystem::path &path) {
    // The library and the monitor may name one folder differently (a link, "..", a relative path).
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path.lexically_normal() : canonical;
}

VeltoOwnFileChanges::Identity VeltoOwnFileChanges::identityOf(const FileStatus &status) {
    return {status.device,      status.inode,   status.size,   status.modificationDate,
            status.permissions, status.ownerID, status.groupID};
}

void VeltoOwnFileChanges::recordWrite(const std::filesystem::path &path, const FileStatus &status) {
    Identity identity = identityOf(status);
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    lastLeft_.insert_or_assign(std::move(fileKey), identity);
}

void VeltoOwnFileChanges::recordRemoval(const std::filesystem::path &path) {
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    lastLeft_.insert_or_assign(std::move(fileKey), std::nullopt);
}

bool VeltoOwnFileChanges::isAsLeftByThisProcess(const std::filesystem::path &path,
                                                const std::optional<FileStatus> &current) const {
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    auto entry = lastLeft_.find(fileKey);
    if (entry == lastLeft_.end()) {
        return false;
    }
    if (!current.has_value() || !entry->second.has_value()) {
        return !current.has_value() && !entry->second.has_value();
    }
    return *entry->second == identityOf(*current);
}

void VeltoOwnFileChanges::forgetFile(const std::filesystem::path &path) {
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    lastLeft_.erase(fileKey);
}

void VeltoOwnFileChanges::beginReplacing(const std::filesystem::path &path) {
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    beingReplaced_.insert(std::move(fileKey));
}

void VeltoOwnFileChanges::endReplacing(const std::filesystem::path &path) {
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    if (auto found = beingReplaced_.find(fileKey); found != beingReplaced_.end()) {
        beingReplaced_.erase(found);
    }
}

bool VeltoOwnFileChanges::isBeingReplaced(const std::filesystem::path &path) const {
    std::filesystem::path fileKey = key(path);
    std::lock_guard lock(mutex_);
    return beingReplaced_.contains(fileKey);
}

OwnChangeRecordingFileSystem::OwnChangeRecordingFileSystem(FileSystem &base, VeltoOwnFileChanges &changes)
    : base_(base)
    , changes_(changes) {}

void OwnChangeRecordingFileSystem::recordWritten(const std::filesystem::path &path) {
    std::optional<FileStatus> written = base_.status(path, false);
    if (written.has_value() && written->type == FileType::regular) {
        changes_.recordWrite(path, *written);
    }
}

std::optional<FileStatus> OwnChangeRecordingFileSystem::status(const std::filesystem::path &path, bool followLinks) {
    return base_.status(path, followLinks);
}

std::string OwnChangeRecordingFileSystem::readFile(const std::filesystem::path &path, std::size_t maximumBytes) {
    return base_.readFile(path, maximumBytes);
}

std::string OwnChangeRecordingFileSystem::readPrefix(const std::filesystem::path &path, std::size_t maxBytes) {
    return base_.readPrefix(path, maxBytes);
}

bool OwnChangeRecordingFileSystem::holdsExactly(const std::filesystem::path &path, std::string_view bytes) {
    return base_.holdsExactly(path, bytes);
}

void OwnChangeRecordingFileSystem::writeAtomically(const std::filesystem::path &path, std::string_view bytes) {
    base_.writeAtomically(path, bytes);
    recordWritten(path);
}

// Only a replacement that happened is ours: a file left alone holds another program's change, which the folder
// monitor must report.
ReplacementOutcome OwnChangeRecordingFileSystem::replaceIfUnchanged(const std::filesystem::path &path,
                                                                    std::string_view bytes,
                                                                    std::optional<std::string_view> expected) {
    std::optional<std::filesystem::path> theirFile;
    return replaceIfUnchangedNotingTheirs(path, bytes, expected, theirFile);
}

ReplacementOutcome
OwnChangeRecordingFileSystem::replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                             std::optional<std::string_view> expected,
                                                             std::optional<std::filesystem::path> &theirFile) {
    // The new file is swapped in before the one taken out is compared, which on a page of megabytes takes long
    // enough for the folder monitor to look at the file: it waits for the outcome instead of taking this
    // process's own save for another program's change and reading the page back.
    struct Replacing {
        VeltoOwnFileChanges &changes;
        const std::filesystem::path &path;
        ~Replacing() { changes.endReplacing(path); }
    };
    changes_.beginReplacing(path);
    Replacing replacing{changes_, path};
    ReplacementOutcome outcome = base_.replaceIfUnchangedNotingTheirs(path, bytes, expected, theirFile);
    if (outcome == ReplacementOutcome::replaced) {
        recordWritten(path);
    }
    return outcome;
}

// A link at the page's name leads the write to the file it names, which is the file this process changed.
void OwnChangeRecordingFileSystem::writeAtomicallyBeneath(const std::filesystem::path &folder,
                                                          const std::filesystem::path &relativePath,
                                                          std::string_view bytes) {
    base_.writeAtomicallyBeneath(folder, relativePath, bytes);
    recordWritten(base_.resolvingSymlinks(folder / relativePath));
}

ReplacementOutcome OwnChangeRecordingFileSystem::replaceIfUnchangedBeneath(
    const std::filesystem::path &folder, const std::filesystem::path &relativePath, std::string_view bytes,
    std::optional<std::string_view> expected, std::optional<std::filesystem::path> &theirFile) {
    const std::filesystem::path path = folder / relativePath;
    changes_.beginReplacing(path);
    struct Replacing {
        VeltoOwnFileChanges &changes;
        const std::filesystem::path &path;
        ~Replacing() { changes.endReplacing(path); }
    } replacing{changes_, path};
    ReplacementOutcome outcome = base_.replaceIfUnchangedBeneath(folder, relativePath, bytes, expected, theirFile);
    if (outcome == ReplacementOutcome::replaced) {
        recordWritten(base_.resolvingSymlinks(path));
    }
    return outcome;
}

void OwnChangeRecordingFileSystem::createDirectories(const std::filesystem::path &path) {
    base_.createDirectories(path);
}

void OwnChangeRecordingFileSystem::removeItem(const std::filesystem::path &path) {
    base_.removeItem(path);
    changes_.recordRemoval(path);
}

ProvenRemovalOutcome OwnChangeRecordingFileSystem::removeIfProven(const std::filesystem::path &path,
                                                                  const RemovalProof &proves,
                                                                  std::size_t maximumBytes) {
    // A file kept is back at its path as it was, or beside it under a name the folder's watch reports.
    ProvenRemovalOutcome outcome = base_.removeIfProven(path, proves, maximumBytes);
    if (outcome == ProvenRemovalOutcome::removed) {
        changes_.recordRemoval(path);
    }
    return outcome;
}

ProvenRemovalOutcome
OwnChangeRecordingFileSystem::removeIfProvenNotingKept(const std::filesystem::path &path, const RemovalProof &proves,
                                                       std::optional<std::filesystem::path> &keptBeside,
                                                       std::size_t maximumBytes) {
    ProvenRemovalOutcome outcome = base_.removeIfProvenNotingKept(path, proves, keptBeside, maximumBytes);
    if (outcome == ProvenRemovalOutcome::removed) {
        changes_.recordRemoval(path);
    }
    return outcome;
}

void OwnChangeRecordingFileSystem::moveItem(const std::filesystem::path &from, const std::filesystem::path &to) {
    base_.moveItem(from, to);
    changes_.recordRemoval(from);
    recordWritten(to);
}

void OwnChangeRecordingFileSystem::copyItem(const std::filesystem::path &from, const std::filesystem::path &to) {
    base_.copyItem(from, to);
    recordWritten(to);
}

std::vector<std::string> OwnChangeRecordingFileSystem::contentsOfDirectory(const std::filesystem::path &path) {
    return base_.contentsOfDirectory(path);
}

std::vector<DirectoryEntry> OwnChangeRecordingFileSystem::entriesOfDirectory(const std::filesystem::path &path) {
    return base_.entriesOfDirectory(path);
}

std::vector<DirectoryEntry> OwnChangeRecordingFileSystem::enumerateRecursively(const std::filesystem::path &path) {
    return base_.enumerateRecursively(path);
}

std::filesystem::path OwnChangeRecordingFileSystem::resolvingSymlinks(const std::filesystem::path &path) {
    return base_.resolvingSymlinks(path);
}

FileSystem &ownChangeRecordingFileSystem() {
    // Never destroyed, for the same reason as the record of our own changes it writes into.
    static auto *fileSystem = new OwnChangeRecordingFileSystem(defaultFileSystem(), VeltoOwnFileChanges::shared());
    return *fileSystem;
}

} // namespace velto
