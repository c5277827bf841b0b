#include "store/UnsavedTexts.h"

#include "library/folder/PageFileNaming.h"
#include "library/removal/FileRemoval.h"
#include "library/unsaved/UnsavedTextFiles.h"
#include "model/ContentChecksum.h"
#include "platform/FilePermissions.h"
#include "store/PendingEdits.h"
#include "store/Store.h"

namespace velto {
namespace {

/// A kept file is read back whole to be proven: it may hold a text typed past the largest page file.
constexpr std::size_t largestKeptFileBytes = 4 * largestReadableFileBytes;

/// Writes the text over the kept file while that holds exactly what was kept there; false when it holds anything
/// else (someone wrote into it, or it is gone), which stays as it is.
bool replaceKeptFile(FileSystem &fileSystem, const VeltoKeptText &kept, std::string_view text) {
    std::string bytes;
    try {
        bytes = fileSystem.readFile(kept.file, largestKeptFileBytes);
    } catch (const FileSystemError &) {
        return false; // gone, or no longer a file to read: the text goes into a new one
    }
    if (contentChecksum(bytes) != kept.checksum) {
        return false;
    }
    return fileSystem.replaceIfUnchanged(kept.file, text, bytes) == ReplacementOutcome::replaced;
}

} // namespace

std::vector<VeltoUnsavedText> unsavedTexts(const VeltoStore &store) {
    std::vector<VeltoUnsavedText> texts;
    if (store.loadState().recoveryIssue() != nullptr) {
        return texts;
    }
    auto take = [&](const VeltoPage &page) {
        const VeltoPageFileContent *content = page.content.asLoaded();
        if (content != nullptr && !content->body.text().empty() && hasPendingChange(store.mutations(), page.id)) {
            texts.push_back({page.id, content->body,
                             store.folderURL() / VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page))});
        }
    };
    take(store.document().currentPage);
    for (const VeltoPage &page : store.document().pages) {
        take(page);
    }
    return texts;
}

bool holdsUnsavedText(const VeltoStore &store) {
    return !unsavedTexts(store).empty();
}

void keepUnsavedTexts(const std::vector<VeltoUnsavedText> &texts, FileSystem &fileSystem,
                      const std::filesystem::path &folder, Date now, VeltoKeptTexts &kept) {
    for (const VeltoUnsavedText &unsaved : texts) {
        const std::string_view text = unsaved.text.text();
        auto previous = kept.files.find(unsaved.pageID);
        if (previous != kept.files.end() && previous->second.textVersion == unsaved.text.version()) {
            continue;
        }
        try {
            VeltoKeptText keeping;
            keeping.checksum = contentChecksum(text);
            keeping.textVersion = unsaved.text.version();
            if (previous != kept.files.end() && replaceKeptFile(fileSystem, previous->second, text)) {
                keeping.file = previous->second.file;
            } else {
                std::optional<std::filesystem::perms> pagePermissions;
                if (unsaved.pageFile) {
                    pagePermissions = filePermissions(*unsaved.pageFile);
                }
                keeping.file = VeltoPageLibrary::keepUnsavedText(fileSystem, folder, text, now, pagePermissions);
            }
            kept.files.insert_or_assign(unsaved.pageID, std::move(keeping));
            kept.notKept.erase(unsaved.pageID);
        } catch (const std::exception &error) {
            kept.failures.emplace_back(error.what());
            kept.notKept.insert_or_assign(unsaved.pageID, error.what());
        }
    }
}

void keepUnsavedTexts(const VeltoStore &store, FileSystem &fileSystem, const std::filesystem::path &folder, Date now,
                      VeltoKeptTexts &kept) {
    keepUnsavedTexts(unsavedTexts(store), fileSystem, folder, now, kept);
}

void withdrawKeptTexts(FileSystem &fileSystem, const std::filesystem::path &folder, VeltoKeptTexts &kept) {
    for (const auto &[pageID, keptText] : kept.files) {
        const std::optional<std::string> &checksum = keptText.checksum;
        auto holdsTheKeptText = [&checksum](std::string_view bytes) { return contentChecksum(bytes) == checksum; };
        try {
            if (VeltoPageLibrary::removeIfProven(keptText.file, holdsTheKeptText, fileSystem, {}, nullptr,
                                                 largestKeptFileBytes) != ProvenRemovalOutcome::kept) {
                VeltoPageLibrary::forgetUnsavedTextFile(fileSystem, folder, keptText.file);
            }
        } catch (const std::exception &error) {
            kept.failures.emplace_back(error.what()); // the file stays, and is named as a kept file
        }
    }
    kept.files.clear();
    kept.notKept.clear(); // the texts are in their pages
}

} // namespace velto
