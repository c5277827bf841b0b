#pragma once

#include "model/LibraryManifest.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The texts this library recorded its page files as holding, known by checksum and size: what a killed save's
// exchange leaves under its temporary name is the page's file as the library last recorded it, which the save was
// replacing with the user's newer text, and nobody's words that could be lost.
namespace VeltoPageLibrary {

class RecordedPageVersions {
public:
    /// Notes that the file at `relativePath` ("/"-separated, relative to the Pages folder) was recorded holding the
    /// text of the checksum (and the size, where the record has one).
    void note(const std::string &relativePath, const std::string &checksum, std::optional<std::int64_t> size);

    /// Whether `text` is exactly a text recorded for the file at `relativePath`: its checksum and size are.
    bool isRecorded(const std::string &relativePath, std::string_view text) const;

private:
    struct Version {
        std::string checksum;
        std::optional<std::int64_t> size;
    };
    std::map<std::string, std::vector<Version>> versions_;
};

/// The texts that the manifest records for its pages' files. Every save writes its page files before its journal
/// and commits the manifest last, so a save killed at an exchange leaves behind the text the manifest records.
RecordedPageVersions recordedPageVersions(const velto::VeltoLibraryManifest &manifest);

} // namespace VeltoPageLibrary
