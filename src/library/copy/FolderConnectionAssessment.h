#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

/// What a folder offered as the Pages folder holds.
enum class VeltoFolderConnectionKind {
    existingLibrary,   // a ".velto" directory that is not empty, or cannot be listed
    empty,             // no Markdown file
    unrelatedMarkdown, // Markdown files, but no library
};

/// What connecting a folder would mean: its kind and what its Markdown files hold. Counts are never negative.
struct VeltoFolderConnectionAssessment {
    std::filesystem::path selectedFolderURL;
    VeltoFolderConnectionKind kind = VeltoFolderConnectionKind::empty;
    std::int64_t markdownFileCount = 0;
    std::int64_t identifiedPageCount = 0;         // front matter names a page identifier
    std::int64_t pagesRequiringIdentityCount = 0; // neither identified, unavailable nor unreadable
    std::int64_t projectedArchiveCount = 0;       // would be archived at once to respect the active limits
    std::int64_t unavailableFileCount = 0;        // still on their way from cloud storage
    std::int64_t unreadableFileCount = 0;

    friend bool operator==(const VeltoFolderConnectionAssessment &, const VeltoFolderConnectionAssessment &) = default;
};

/// Why a folder cannot be connected the way the user asked.
class VeltoLibraryConnectionError : public std::runtime_error {
public:
    enum class Kind {
        destinationContainsLibrary,
        sourceLibraryUnavailable,
        libraryUnavailable,
        pageFileExists,
        unfinishedCopyChanged,
    };

    /// "The folder “Notes” already contains a Velto library. Choose an empty folder."
    static VeltoLibraryConnectionError destinationContainsLibrary(const std::filesystem::path &destinationURL);
    /// "The current Velto library could not be copied. " followed by the detail.
    static VeltoLibraryConnectionError sourceLibraryUnavailable(const std::string &detail);
    /// "The Velto library in “Notes” could not be opened. " followed by the detail.
    static VeltoLibraryConnectionError libraryUnavailable(const std::filesystem::path &folderURL,
                                                          const std::string &detail);
    /// "The folder “Notes” already has a file named “notes.md”. Choose another folder."
    static VeltoLibraryConnectionError pageFileExists(const std::filesystem::path &destinationURL,
                                                      const std::string &fileName);
    /// "An earlier copy into the folder “Notes” stopped before it finished, and “a.md” is no longer as that copy
    /// left it. Velto leaves it alone: move it out of the folder, or choose another folder." The files, relative to
    /// the folder, are named up to three; more are counted.
    static VeltoLibraryConnectionError unfinishedCopyChanged(const std::filesystem::path &destinationURL,
                                                             const std::vector<std::string> &fileNames);

    Kind kind() const { return kind_; }
    /// The destination folder, or the detail, that the error was made with.
    const std::string &value() const { return value_; }
    std::string errorDescription() const { return what(); }

    friend bool operator==(const VeltoLibraryConnectionError &a, const VeltoLibraryConnectionError &b) {
        return a.kind_ == b.kind_ && a.value_ == b.value_;
    }

private:
    VeltoLibraryConnectionError(Kind kind, std::string value, const std::string &text);

    Kind kind_;
    std::string value_;
};

namespace VeltoPageLibrary {

/// Reads at most `maximumBytes` from the start of a file, or throws.
using PrefixReadOperation = std::function<std::string(const std::filesystem::path &fileURL, std::size_t maximumBytes)>;

/// The limits of active pages that the application connects folders with.
inline constexpr std::int64_t maximumActivePageCount = 100;
inline constexpr std::int64_t maximumActivePageBytes = 5'242'880;

/// Looks at a folder before it becomes the Pages folder, without writing, creating or locking anything:
/// whether it holds a library, and how many of its Markdown files (hidden entries aside) carry a page
/// identifier, would need one, cannot be read, and would be archived at once because the newest files
/// already fill `maximumActivePageCount` pages or `maximumPageBytes` bytes. At most 65,536 bytes of each
/// file are read, with `readOperation` (empty: the file manager's prefix read). Every failure on a single
/// file counts it as unreadable; a folder that cannot be listed counts nothing. Never throws.
VeltoFolderConnectionAssessment assessFolderConnection(const std::filesystem::path &folderURL,
                                                       velto::FileSystem &fileManager = velto::defaultFileSystem(),
                                                       std::int64_t maximumActivePages = maximumActivePageCount,
                                                       std::int64_t maximumPageBytes = maximumActivePageBytes,
                                                       const PrefixReadOperation &readOperation = {});

/// The name of the application's folder in the user's data folder: the bundle's
/// "VeltoApplicationSupportDirectory" value from `bundleInfoText` ("Key=Value" lines) when it is one plain
/// path component, else "Velto".
std::string applicationSupportDirectoryName(std::string_view bundleInfoText);

/// The same for this process's own bundle (the folder above the executable's "bin", file "Info.ini"),
/// read once.
const std::string &applicationSupportDirectoryName();

/// "~/.local/share/Velto/Pages" (under $XDG_DATA_HOME when set): where the Pages folder is unless the user
/// chose another. Creates nothing. Empty when the user has no data folder (no home folder), so that no
/// caller ever writes relative to the working folder.
std::filesystem::path defaultFolderURL(velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
