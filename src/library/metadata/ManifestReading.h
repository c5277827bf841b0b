#pragma once

#include "model/Document.h"
#include "model/LibraryManifest.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <set>
#include <string>

// The metadata room owns what ".velto" records besides the page files: the manifest (read, written, reconciled with
// the writers' journals), each writer's journal and its compaction, the deletion index, the causal order that picks
// among competing entries, the files seen missing, the decoded files cached between loads, and the names the
// metadata keeps of files out of its reach. It calls the folder room, the model and the platform; it never reads a
// page's text, removes a page file, loads or saves. This file holds the guards at its entry: reading the manifest
// with its failures told apart, and refusing records that repeat a page or name a file outside the Pages folder
// before any path is used.
namespace VeltoPageLibrary {

/// A manifest as read from its file: the bytes and what they decode to.
struct ReadManifest {
    std::string bytes;
    velto::VeltoLibraryManifest manifest;
};

/// ".velto/manifest.json" of the folder with its bytes, as loadManifestIfPresent reads it. When the bytes equal
/// those of an `earlier` reading, its manifest is taken instead of decoding them again: a load reads the
/// manifest once before it locks the library and again under the lock, and a thousand records take long
/// to decode.
std::optional<ReadManifest> readManifestIfPresent(const std::filesystem::path &folderURL,
                                                  velto::FileSystem &fileManager = velto::defaultFileSystem(),
                                                  const ReadManifest *earlier = nullptr);

/// ".velto/manifest.json" of the folder; nothing when no file is there. A file that exists but whose bytes
/// cannot be had (permissions, an I/O error, a directory of that name) throws velto::ManifestReadError; bytes
/// that are no manifest throw the decoder's error, or UnsupportedManifestSchemaError for a newer format.
/// Counts one manifest read, before reading, when an I/O observer is bound.
std::optional<velto::VeltoLibraryManifest>
loadManifestIfPresent(const std::filesystem::path &folderURL,
                      velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Throws LibraryMetadataError::unsafePagePath when one of the page file names itself leads outside the folder
/// (not a managed page file name). Returns the names whose file, or a folder on their way, is a symbolic link
/// out of the folder: the metadata is sound, and only the page behind such a link cannot be had, which its
/// loading and saving hold aside (PageFileError::unreadable from pageFileURL). One listing of the folder settles
/// the names of plain files directly in it; every other name costs a look at the disk, and many are looked at
/// side by side.
std::set<std::string> validatePageFileNames(const std::set<std::string> &names, const std::filesystem::path &folderURL,
                                            velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Throws VeltoDocument::ValidationError for the first page identifier met twice (current page, then
/// pages), then LibraryMetadataError::unsafePagePath for the first file name that itself leads outside the
/// folder. A page file behind a link out of the folder is left to the page's loading.
void validatePageRecords(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
                         velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Throws LibraryMetadataError::unsafePagePath when a page's file name itself leads outside the folder. A page
/// whose file lies behind a link out of the folder is left out by the save on its own, never the whole save.
/// Repeated identifiers are left to VeltoDocument::validate.
void validatePagePaths(const velto::VeltoDocument &document, const std::filesystem::path &folderURL,
                       velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
