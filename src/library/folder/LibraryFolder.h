#pragma once

#include "platform/FileSystem.h"
#include "platform/JsonCoding.h"

#include <cstddef>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The folder room owns the Pages folder as it lies on disk, below every other room of the library: the ".velto"
// directory and its metadata files' reading and atomic writing, the exclusive library lock, two libraries never
// nesting, the names, locations and sizes of page files, their checksums, the counting of a load's reads and the
// work spread over threads. It calls only the model and the platform's file system, with two exceptions the seam
// check names: whether a folder holds a library asks the copy room whether a killed copy left it, and a metadata
// file's error is told in the load room's sentences.
namespace VeltoPageLibrary {

/// The folder's ".velto" directory, where every metadata file lives.
std::filesystem::path metadataDirectory(const std::filesystem::path &folderURL);

/// ".velto/manifest.json" of the folder.
std::filesystem::path manifestURL(const std::filesystem::path &folderURL);

/// Whether any entry below the folder, hidden ones and ".velto" aside, has the extension "md" in any
/// letter case. Never fails: a folder that cannot be enumerated has none.
bool containsMarkdownFiles(const std::filesystem::path &folderURL,
                           velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Creates the folder and its ".velto" directory when missing.
void createLibraryDirectories(const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The entries of a directory whose extension is exactly "json" (hidden ones included), in listing order;
/// empty when the directory does not exist. "A.JSON" is not listed.
std::vector<std::filesystem::path> jsonFiles(const std::filesystem::path &directoryURL,
                                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The largest metadata file that is read (the manifest, a journal, a deletion shard, an observation). The
/// largest a valid library writes is the journal of a rebuild, about 550 bytes a page, so this holds a library
/// of more than a hundred thousand pages; a file beyond it is refused before its text could exhaust memory.
inline constexpr std::size_t largestMetadataFileBytes = 64 * 1024 * 1024;

/// A metadata file that could not be read (it is missing, unreadable, not a regular file, too large) or
/// decoded: "The library file “writers/….json” couldn’t be read. " followed by the reason. It is damage, and
/// a decoding error as any other; a file of a newer format or with an invalid record keeps its own error.
class MetadataFileError : public velto::JsonDecodingError {
public:
    MetadataFileError(std::filesystem::path url, const std::exception_ptr &reason);
    const std::filesystem::path &url() const { return url_; }

private:
    std::filesystem::path url_;
};

/// Rethrows the error being handled as a MetadataFileError of the file when it is a read or decoding error;
/// any other error unchanged.
[[noreturn]] void rethrowNamingMetadataFile(const std::filesystem::path &url);

/// Reads a metadata file and decodes its text with `decode`; a failure to read or decode it is a
/// MetadataFileError.
template <typename Decode>
auto decodeMetadataFile(const std::filesystem::path &url, velto::FileSystem &fileManager, Decode decode) {
    try {
        return decode(fileManager.readFile(url, largestMetadataFileBytes));
    } catch (...) {
        rethrowNamingMetadataFile(url);
    }
}

/// Moves a metadata file that cannot be used to its name followed by ".recovery-" and a new lower-case UUID,
/// beside it and out of what the library reads, so that recovery never deletes what the user may want back.
/// Answers where it went.
std::filesystem::path setMetadataFileAside(const std::filesystem::path &url, velto::FileSystem &fileManager);

/// Moves ".velto/manifest.json", when there is one, to "manifest.recovery-" + a new lower-case UUID + ".json"
/// beside it, so that a rebuild never overwrites what the user may still want back.
void preserveCorruptManifest(const std::filesystem::path &folderURL,
                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Writes the bytes atomically unless the file already holds exactly these bytes; true when it wrote.
/// Metadata files are rewritten only when they change, so that writers on synced machines do not keep
/// touching each other's files. A file that cannot be read counts as different.
bool writeAtomicallyIfChanged(const std::filesystem::path &url, std::string_view bytes, velto::FileSystem &fileManager);

/// Whether the folder belongs to a library: its ".velto" has anything in it, or cannot be listed.
bool holdsLibrary(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// Every entry below the folder (hidden ones skipped), counted as one recursive enumeration of a full
/// reconciliation; nothing when the folder cannot be enumerated.
std::optional<std::vector<velto::DirectoryEntry>> enumeratedFolderEntries(const std::filesystem::path &folderURL,
                                                                          velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
