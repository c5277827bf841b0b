#include "library/copy/FolderConnectionAssessment.h"

#include "library/folder/FolderNesting.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "model/PageFileContent.h"
#include "platform/ApplicationBundle.h"
#include "platform/ApplicationStorage.h"
#include "platform/Text.h"

#include <algorithm>
#include <optional>
#include <vector>

VeltoLibraryConnectionError::VeltoLibraryConnectionError(Kind kind, std::string value, const std::string &text)
    : std::runtime_error(text)
    , kind_(kind)
    , value_(std::move(value)) {}

namespace {

std::string folderName(const std::filesystem::path &folderURL) {
    return (folderURL.filename().empty() ? folderURL.parent_path().filename() : folderURL.filename()).string();
}

/// "“a.md”", "“a.md” and “b.md”", "“a.md”, “b.md” and “c.md”", "“a.md”, “b.md”, “c.md” and 2 other files".
std::string quotedFileList(const std::vector<std::string> &fileNames) {
    constexpr std::size_t namedFiles = 3;
    std::vector<std::string> items;
    for (std::size_t index = 0; index < fileNames.size() && index < namedFiles; ++index) {
        items.push_back("“" + fileNames[index] + "”");
    }
    if (fileNames.size() > namedFiles) {
        std::size_t others = fileNames.size() - namedFiles;
        items.push_back(std::to_string(others) + (others == 1 ? " other file" : " other files"));
    }
    std::string list;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (index > 0) {
            list += index + 1 == items.size() ? " and " : ", ";
        }
        list += items[index];
    }
    return list;
}

} // namespace

VeltoLibraryConnectionError
VeltoLibraryConnectionError::destinationContainsLibrary(const std::filesystem::path &destinationURL) {
    return {Kind::destinationContainsLibrary, destinationURL.string(),
            "The folder “" + folderName(destinationURL) +
                "” already contains a Velto library. Choose an empty folder."};
}

VeltoLibraryConnectionError VeltoLibraryConnectionError::libraryUnavailable(const std::filesystem::path &folderURL,
                                                                            const std::string &detail) {
    return {Kind::libraryUnavailable, folderURL.string(),
            "The Velto library in “" + folderName(folderURL) + "” could not be opened. " + detail};
}

VeltoLibraryConnectionError VeltoLibraryConnectionError::pageFileExists(const std::filesystem::path &destinationURL,
                                                                        const std::string &fileName) {
    return {Kind::pageFileExists, destinationURL.string(),
            "The folder “" + folderName(destinationURL) + "” already has a file named “" + fileName +
                "”. Choose another folder."};
}

VeltoLibraryConnectionError
VeltoLibraryConnectionError::unfinishedCopyChanged(const std::filesystem::path &destinationURL,
                                                   const std::vector<std::string> &fileNames) {
    bool one = fileNames.size() == 1;
    return {Kind::unfinishedCopyChanged, destinationURL.string(),
            "An earlier copy into the folder “" + folderName(destinationURL) + "” stopped before it finished, and " +
                quotedFileList(fileNames) + (one ? " is" : " are") + " no longer as that copy left " +
                (one ? "it" : "them") + ". Velto leaves " + (one ? "it" : "them") + " alone: move " +
                (one ? "it" : "them") + " out of the folder, or choose another folder."};
}

VeltoLibraryConnectionError VeltoLibraryConnectionError::sourceLibraryUnavailable(const std::string &detail) {
    return {Kind::sourceLibraryUnavailable, detail, "The current Velto library could not be copied. " + detail};
}

namespace VeltoPageLibrary {

namespace {

constexpr std::size_t assessedPrefixBytes = 65'536;

/// A Markdown file that could stay active: its date and its size as counted against the byte limit.
struct ActiveCandidate {
    velto::Date date;
    std::int64_t byteCount = 0;
};

class Assessment {
public:
    Assessment(std::int64_t maximumActivePages, std::int64_t maximumPageBytes)
        : maximumActivePages(maximumActivePages)
        , maximumPageBytes(maximumPageBytes) {}

    VeltoFolderConnectionAssessment counts;

    void assessFile(const std::filesystem::path &url, velto::FileSystem &fileManager,
                    const PrefixReadOperation &readOperation);

    std::int64_t projectedArchiveCount();

private:
    std::int64_t maximumActivePages;
    std::int64_t maximumPageBytes;
    std::vector<ActiveCandidate> candidates;
};

void Assessment::assessFile(const std::filesystem::path &url, velto::FileSystem &fileManager,
                            const PrefixReadOperation &readOperation) {
    std::optional<velto::FileStatus> status;
    try {
        status = fileManager.status(url, false);
    } catch (const std::exception &) {
        ++counts.markdownFileCount;
        ++counts.unreadableFileCount;
        return;
    }
    if (!status || status->type != velto::FileType::regular) {
        return;
    }
    ++counts.markdownFileCount;
    // Linux folders have no cloud download state: every regular file can be read now.
    std::string bytes;
    try {
        bytes =
            readOperation ? readOperation(url, assessedPrefixBytes) : fileManager.readPrefix(url, assessedPrefixBytes);
    } catch (const std::exception &) {
        ++counts.unreadableFileCount;
        return;
    }
    if (bytes.empty()) {
        return;
    }
    bool truncated = status->size > bytes.size();
    std::string text;
    if (truncated) {
        // A character cut at the limit must not make a long file unreadable.
        text = velto::text::decodingUTF8Lossy(bytes);
    } else if (velto::text::isValidUTF8(bytes)) {
        text = std::move(bytes);
    } else {
        ++counts.unreadableFileCount;
        return;
    }
    auto content = velto::VeltoPageFileContent::parse(text);
    // By the load's rule: a file that could not take its page's metadata is named there as too large.
    if (!fileLeavesRoomForMetadata(status->size, content)) {
        ++counts.unreadableFileCount;
        return;
    }
    if (content.veltoPageID()) {
        ++counts.identifiedPageCount;
    }
    if (content.isArchived()) {
        return;
    }
    auto byteCount =
        truncated ? static_cast<std::int64_t>(status->size) : static_cast<std::int64_t>(content.body.size());
    candidates.push_back({status->modificationDate, std::min(byteCount, maximumPageBytes + 1)});
}

std::int64_t Assessment::projectedArchiveCount() {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const ActiveCandidate &a, const ActiveCandidate &b) { return a.date > b.date; });
    std::int64_t considered = std::min<std::int64_t>(std::max<std::int64_t>(maximumActivePages, 0),
                                                     static_cast<std::int64_t>(candidates.size()));
    std::int64_t active = 0;
    std::int64_t total = 0;
    for (std::int64_t index = 0; index < considered; ++index) {
        std::int64_t bytes = candidates[static_cast<std::size_t>(index)].byteCount;
        // The newest page always stays, however large; so does any page after pages that hold nothing.
        if (total != 0 && total + bytes > maximumPageBytes) {
            break;
        }
        total += bytes;
        ++active;
    }
    return std::max<std::int64_t>(static_cast<std::int64_t>(candidates.size()) - active, 0);
}

} // namespace

VeltoFolderConnectionAssessment assessFolderConnection(const std::filesystem::path &folderURL,
                                                       velto::FileSystem &fileManager, std::int64_t maximumActivePages,
                                                       std::int64_t maximumPageBytes,
                                                       const PrefixReadOperation &readOperation) {
    Assessment assessment(maximumActivePages, maximumPageBytes);
    assessment.counts.selectedFolderURL = folderURL;
    bool library = holdsLibrary(folderURL, fileManager);

    std::vector<velto::DirectoryEntry> entries;
    try {
        entries = withoutNestedLibraries(folderURL, fileManager.enumerateRecursively(folderURL), fileManager);
    } catch (const std::exception &) {
        assessment.counts.kind =
            library ? VeltoFolderConnectionKind::existingLibrary : VeltoFolderConnectionKind::empty;
        return assessment.counts;
    }
    for (const auto &entry : entries) {
        if (hasMarkdownExtension(entry.relativePath)) {
            assessment.assessFile(folderURL / entry.relativePath, fileManager, readOperation);
        }
    }

    auto &counts = assessment.counts;
    counts.projectedArchiveCount = assessment.projectedArchiveCount();
    counts.pagesRequiringIdentityCount =
        std::max<std::int64_t>(counts.markdownFileCount - counts.identifiedPageCount - counts.unavailableFileCount -
                                   counts.unreadableFileCount,
                               0);
    if (library) {
        counts.kind = VeltoFolderConnectionKind::existingLibrary;
    } else if (counts.markdownFileCount == 0) {
        counts.kind = VeltoFolderConnectionKind::empty;
    } else {
        counts.kind = VeltoFolderConnectionKind::unrelatedMarkdown;
    }
    return counts;
}

std::string applicationSupportDirectoryName(std::string_view bundleInfoText) {
    auto keys = velto::applicationBundle::parseInfo(bundleInfoText);
    auto found = keys.find("VeltoApplicationSupportDirectory");
    return velto::applicationStorage::applicationFolderName(found == keys.end() ? "" : found->second);
}

const std::string &applicationSupportDirectoryName() {
    return velto::applicationStorage::applicationSupportDirectoryName();
}

std::filesystem::path defaultFolderURL(velto::FileSystem &) {
    return velto::applicationStorage::defaultPagesFolder(applicationSupportDirectoryName());
}

} // namespace VeltoPageLibrary
