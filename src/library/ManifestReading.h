#pragma once

#include "model/Document.h"
#include "model/LibraryManifest.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>

// The guards at the entry to the library's metadata: reading the manifest with its failures told apart,
// and refusing records that repeat a page or name a file outside the Pages folder before any path is used.
namespace VeltoPageLibrary {

/// ".velto/manifest.json" of the folder; nothing when no file is there. A file that exists but whose bytes
/// cannot be had (permissions, an I/O error, a directory of that name) throws velto::ManifestReadError; bytes
/// that are no manifest throw the decoder's error, or UnsupportedManifestSchemaError for a newer format.
/// Counts one manifest read, before reading, when an I/O observer is bound.
std::optional<velto::VeltoLibraryManifest>
loadManifestIfPresent(const std::filesystem::path &folderURL,
                      velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Throws VeltoDocument::ValidationError for the first page identifier met twice (current page, then
/// pages), then LibraryMetadataError::unsafePagePath for the first file name that leads outside the folder.
void validatePageRecords(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
                         velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Throws LibraryMetadataError::unsafePagePath when a page of the document would be written outside the
/// folder. Repeated identifiers are left to VeltoDocument::validate.
void validatePagePaths(const velto::VeltoDocument &document, const std::filesystem::path &folderURL,
                       velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
