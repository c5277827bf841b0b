#include "model/LibraryErrors.h"

#include <cerrno>

#include <utility>

namespace velto {
namespace {

// The name a user recognises: the URL's last path component. A path that ends in "/" has an empty
// filename() in C++, while the user still expects the name of what it points at.
std::string lastPathComponent(const std::filesystem::path &url) {
    std::filesystem::path name = url.filename();
    if (name.empty()) {
        name = url.parent_path().filename();
    }
    return name.string();
}

std::string pageFileText(const std::filesystem::path &url, const std::string &rest) {
    return "The page file \u201c" + lastPathComponent(url) + "\u201d " + rest;
}

const char *metadataText(LibraryMetadataError::Kind kind) {
    switch (kind) {
    case LibraryMetadataError::Kind::unsafeDeletionPath:
        return "The Velto manifest contains an invalid pending-deletion filename.";
    case LibraryMetadataError::Kind::unsafePagePath:
        return "Velto metadata contains a page path outside the selected Pages folder.";
    case LibraryMetadataError::Kind::missingPageRecords:
        return "The Velto library contains no recoverable page records.";
    case LibraryMetadataError::Kind::invalidDeletionShard:
        return "Velto deletion metadata contains a record in the wrong shard.";
    case LibraryMetadataError::Kind::incompleteDeletionIndex:
        return "Velto could not verify the complete deletion index after saving it.";
    }
    return "Velto metadata is invalid.";
}

} // namespace

PageFileError::PageFileError(Kind kind, std::filesystem::path url, std::string underlyingDescription,
                             const std::string &text)
    : std::runtime_error(text)
    , kind_(kind)
    , url_(std::move(url))
    , underlyingDescription_(std::move(underlyingDescription)) {}

PageFileError PageFileError::missing(std::filesystem::path url) {
    std::string text = pageFileText(url, "is unavailable. It may not have finished syncing.");
    return PageFileError(Kind::missing, std::move(url), {}, text);
}

PageFileError PageFileError::temporarilyUnavailable(std::filesystem::path url) {
    std::string text =
        pageFileText(url, "is missing. Velto looks for it again in a moment, in case another program is replacing it.");
    return PageFileError(Kind::temporarilyUnavailable, std::move(url), {}, text);
}

PageFileError PageFileError::unreadable(std::filesystem::path url, std::string description, int systemErrorCode) {
    std::string text = pageFileText(url, "could not be read. ") + description;
    PageFileError error(Kind::unreadable, std::move(url), std::move(description), text);
    error.systemErrorCode_ = systemErrorCode;
    return error;
}

bool PageFileError::isConfinedToItsFile() const {
    if (kind_ != Kind::unreadable) {
        return false;
    }
    return systemErrorCode_ == 0 || systemErrorCode_ == EACCES || systemErrorCode_ == EPERM ||
           systemErrorCode_ == EFBIG || systemErrorCode_ == EIO || systemErrorCode_ == ELOOP;
}

LibraryMetadataError::LibraryMetadataError(Kind kind)
    : std::runtime_error(metadataText(kind))
    , kind_(kind) {}

ManifestReadError::ManifestReadError(std::string description)
    : std::runtime_error("The Velto manifest could not be read. " + description)
    , description_(std::move(description)) {}

UnsupportedManifestSchemaError::UnsupportedManifestSchemaError(std::int64_t schemaVersion)
    : std::runtime_error("This Velto library uses newer metadata version " + std::to_string(schemaVersion) +
                         ". Update Velto before opening it.")
    , schemaVersion_(schemaVersion) {}

UnsupportedDeletionIndexSchemaError::UnsupportedDeletionIndexSchemaError(std::int64_t schemaVersion)
    : std::runtime_error("This Velto library uses newer deletion metadata version " + std::to_string(schemaVersion) +
                         ". Update Velto before opening it.")
    , schemaVersion_(schemaVersion) {}

} // namespace velto
