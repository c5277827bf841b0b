#pragma once

// A file named beneath a folder it must never leave (the Pages folder). Other programs rename folders and put links in
// their place at any moment, so a path checked once and then used by name may lead elsewhere by the time it is used.
// Here every folder on the way is opened from the one above it, starting at the root's own descriptor, and no link on
// the way is ever followed; the steps of a write then name the file by its folder's descriptor and its bare name.

#include "platform/PosixFiles.h"

#include <filesystem>
#include <string>

namespace velto {

/// The entry of a file beneath a root folder: the folder it lies in, held open, and its name there.
class EntryBeneath {
public:
    /// Opens the folders on the way to `relativePath` beneath `root` without following a link. A symbolic link at the
    /// file's own name that names a file inside the root is that file: the entry is then the file the link names,
    /// reached the same way by its name beneath the root, and the link itself stays as it is.
    /// Throws FileSystemError naming root / relativePath: ELOOP where a folder on the way is a link (or links lead
    /// from link to link more than 40 times), EXDEV where the name or a link's target leads out of the root, and the
    /// error of opening a folder otherwise (ENOENT, ENOTDIR, EACCES).
    static EntryBeneath resolve(const std::filesystem::path &root, const std::filesystem::path &relativePath);

    EntryBeneath(EntryBeneath &&) = default;
    EntryBeneath(const EntryBeneath &) = delete;
    EntryBeneath &operator=(const EntryBeneath &) = delete;

    /// The file's folder's descriptor and its name there, named for messages by its path beneath the root.
    posix::FolderEntry entry() const { return {folder_.get(), name_, root_ / relativeFolder_ / name_}; }
    /// The path beneath the root the entry was reached by: a link's target where the name was a link.
    std::filesystem::path relativePath() const { return relativeFolder_ / name_; }

    /// Throws unless the folder's name beneath the root still leads, without a link, to the very folder this entry
    /// holds open: a folder moved out of the root, or replaced by a link, since it was opened fails with EXDEV, so that
    /// nothing written into it counts as written in the root.
    void requireFolderStillBeneath() const;

private:
    EntryBeneath(std::filesystem::path root, posix::FileDescriptor folder, std::filesystem::path relativeFolder,
                 std::string name);

    std::filesystem::path root_;
    posix::FileDescriptor folder_;
    std::filesystem::path relativeFolder_;
    std::string name_;
};

namespace posix {

/// The folder at `relativeFolder` beneath the folder `root` holds open, opened one folder at a time with O_NOFOLLOW, as
/// a kernel without openat2 resolves it for EntryBeneath: a link on the way fails with ELOOP. The descriptor, or -1
/// with errno.
int openFolderOneAtATime(int root, const std::filesystem::path &relativeFolder);

} // namespace posix

} // namespace velto
