#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

// The page library's own failures. Each one carries nothing but the sentence shown to the user
// (what()); there are no numeric codes. Platform failures (file system, JSON) are not wrapped here.
namespace velto {

/// A page file that could not be read: missing, missing for the moment, or failing to read.
class PageFileError : public std::runtime_error {
public:
    enum class Kind { missing, temporarilyUnavailable, unreadable };

    /// "The page file “2026-01-05-calm-cove-1a2b3c4d.md” is unavailable. It may not have finished syncing."
    static PageFileError missing(std::filesystem::path url);
    /// "The page file “…” is missing. Velto looks for it again in a moment, …": a file gone for the moment that
    /// another program (a sync client, an editor that saves by replacing) takes to put it back.
    static PageFileError temporarilyUnavailable(std::filesystem::path url);
    /// "The page file “…” could not be read. " followed directly by the read error's description. The code is
    /// the errno of the failed read; 0 when the file was read but is not UTF-8 text, or is a link out of the folder.
    static PageFileError unreadable(std::filesystem::path url, std::string description, int systemErrorCode = 0);

    Kind kind() const { return kind_; }
    const std::filesystem::path &url() const { return url_; }
    /// The underlying read error's description; empty unless the kind is unreadable.
    const std::string &underlyingDescription() const { return underlyingDescription_; }
    std::string errorDescription() const { return what(); }
    /// The errno of an unreadable file's failed read; 0 otherwise.
    int systemErrorCode() const { return systemErrorCode_; }
    /// An unreadable file whose trouble lies in the file itself, not in the device or the folder: it may not be
    /// read (no permission), it is too large, it is not UTF-8 text, it is a symbolic link out of the folder or round in
    /// a loop, or reading it failed with an I/O error (a bad sector, a file a network or sync file system cannot
    /// deliver). Such a file is left aside, and the rest of
    /// the library loads without it: the metadata and the other pages were read, so the device still answers.
    bool isConfinedToItsFile() const;

    friend bool operator==(const PageFileError &a, const PageFileError &b) {
        return a.kind_ == b.kind_ && a.url_ == b.url_ && a.underlyingDescription_ == b.underlyingDescription_;
    }

private:
    PageFileError(Kind kind, std::filesystem::path url, std::string underlyingDescription, const std::string &text);

    Kind kind_;
    std::filesystem::path url_;
    std::string underlyingDescription_;
    int systemErrorCode_ = 0;
};

/// Library metadata that is unsafe or incomplete.
class LibraryMetadataError : public std::runtime_error {
public:
    enum class Kind {
        unsafeDeletionPath,
        unsafePagePath,
        missingPageRecords,
        invalidDeletionShard,
        incompleteDeletionIndex,
    };

    explicit LibraryMetadataError(Kind kind);

    Kind kind() const { return kind_; }
    std::string errorDescription() const { return what(); }

    friend bool operator==(const LibraryMetadataError &a, const LibraryMetadataError &b) { return a.kind_ == b.kind_; }

private:
    Kind kind_;
};

/// A manifest file that exists but could not be read.
class ManifestReadError : public std::runtime_error {
public:
    /// `description` is the read error's own description, appended after "could not be read. ".
    explicit ManifestReadError(std::string description);

    const std::string &description() const { return description_; }
    std::string errorDescription() const { return what(); }

    friend bool operator==(const ManifestReadError &a, const ManifestReadError &b) {
        return a.description_ == b.description_;
    }

private:
    std::string description_;
};

/// A manifest written by a newer version of the application (schema 4 or later).
class UnsupportedManifestSchemaError : public std::runtime_error {
public:
    explicit UnsupportedManifestSchemaError(std::int64_t schemaVersion);

    std::int64_t schemaVersion() const { return schemaVersion_; }
    std::string errorDescription() const { return what(); }

    friend bool operator==(const UnsupportedManifestSchemaError &a, const UnsupportedManifestSchemaError &b) {
        return a.schemaVersion_ == b.schemaVersion_;
    }

private:
    std::int64_t schemaVersion_;
};

/// A deletion-index shard written by a newer version of the application (schema 2 or later).
class UnsupportedDeletionIndexSchemaError : public std::runtime_error {
public:
    explicit UnsupportedDeletionIndexSchemaError(std::int64_t schemaVersion);

    std::int64_t schemaVersion() const { return schemaVersion_; }
    std::string errorDescription() const { return what(); }

    friend bool operator==(const UnsupportedDeletionIndexSchemaError &a, const UnsupportedDeletionIndexSchemaError &b) {
        return a.schemaVersion_ == b.schemaVersion_;
    }

private:
    std::int64_t schemaVersion_;
};

} // namespace velto
