#include "WriteCommands.h"

#include "library/copy/FolderConnectionAssessment.h"
#include "library/copy/LibraryCopy.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/FullLoad.h"
#include "library/load/MetadataRebuild.h"
#include "library/load/PageAvailability.h"
#include "library/load/PageLoading.h"
#include "library/recovery/LibraryRecovery.h"
#include "library/save/PageFileWrites.h"
#include "library/save/ProcessWriter.h"
#include "library/save/SaveRequest.h"
#include "library/save/WriteTransaction.h"
#include "model/LibraryErrors.h"
#include "model/PageSlug.h"
#include "platform/Clock.h"
#include "platform/JsonCoding.h"
#include "support/FailingFileSystem.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using velto::Json;
using velto::Uuid;
using velto::VeltoDocument;
using velto::VeltoPage;

Uuid pageIDArgument(const Json &value) {
    auto id = value.is_string() ? Uuid::parse(value.get<std::string>()) : std::nullopt;
    if (!id) {
        throw std::invalid_argument("“" + value.dump() + "” is not a page identifier");
    }
    return *id;
}

std::string textArgument(const Json &value, const std::string &key) {
    if (!value.is_string()) {
        throw std::invalid_argument("“" + key + "” needs texts, not “" + value.dump() + "”");
    }
    return value.get<std::string>();
}

/// The member of the operations under key, checked to be an array (or an object); null when it is absent.
const Json *operationMember(const Json &operations, const std::string &key, bool isObject) {
    if (!operations.contains(key)) {
        return nullptr;
    }
    const Json &member = operations.at(key);
    if (isObject ? !member.is_object() : !member.is_array()) {
        throw std::invalid_argument("“" + key + "” must be a JSON " + (isObject ? "object" : "array"));
    }
    return &member;
}

std::vector<Uuid> pageIDList(const Json &operations, const char *key) {
    std::vector<Uuid> ids;
    if (const auto *values = operationMember(operations, key, false)) {
        for (const auto &value : *values) {
            ids.push_back(pageIDArgument(value));
        }
    }
    return ids;
}

/// A misspelt operation would otherwise be a save that silently does nothing.
void checkOperationNames(const Json &operations) {
    static const std::set<std::string> known{"setText", "newPages", "delete",     "archive",
                                             "restore", "current",  "insertLines"};
    for (const auto &[key, value] : operations.items()) {
        if (!known.contains(key)) {
            throw std::invalid_argument("unknown operation “" + key + "”");
        }
    }
}

/// The store's bookkeeping of one save in the making: the document, the marks and the baselines.
class SaveBuilder {
public:
    SaveBuilder(VeltoDocument document, const std::filesystem::path &folder)
        : folder(folder) {
        request.writerID = VeltoPageLibrary::processWriterID();
        request.operationID = Uuid::random();
        request.recordedAt = velto::systemClock().now();
        request.generation = 1;
        request.document = std::move(document);
    }

    void setText(const Uuid &id, const std::string &text) {
        VeltoPage &page = loadedPage(id);
        page.content.asLoaded()->body = text;
        page.updatedAt = request.recordedAt;
        markChanged(id);
    }

    void insertLine(const Uuid &id, const std::string &after, const std::string &line) {
        VeltoPage &page = loadedPage(id);
        std::string &body = page.content.asLoaded()->body.edit();
        std::size_t start = 0;
        std::size_t insertAt = std::string::npos;
        while (start < body.size()) {
            std::size_t end = body.find('\n', start);
            std::size_t next = end == std::string::npos ? body.size() : end + 1;
            if (body.compare(start, (end == std::string::npos ? body.size() : end) - start, after) == 0) {
                insertAt = next;
                break;
            }
            start = next;
        }
        if (insertAt == std::string::npos) {
            if (!body.empty() && body.back() != '\n') {
                body += '\n';
            }
            insertAt = body.size();
        } else if (insertAt == body.size() && !body.empty() && body.back() != '\n') {
            body += '\n';
            insertAt = body.size();
        }
        body.insert(insertAt, line + "\n");
        page.updatedAt = request.recordedAt;
        markChanged(id);
    }

    Uuid addPage(const std::string &text) {
        VeltoPage page;
        page.id = Uuid::random();
        page.createdAt = request.recordedAt;
        page.updatedAt = request.recordedAt;
        page.fileSlug = velto::VeltoPageSlug::make();
        velto::VeltoPageFileContent content;
        content.body = text;
        page.content = velto::VeltoPageContent::loaded(content);
        request.document.pages.push_back(page);
        request.changedPageRevisions[page.id] = nextRevision();
        request.structureRevision = request.mutationRevision;
        return page.id;
    }

    void remove(const Uuid &id) {
        auto &document = request.document;
        // What the page held when loaded, so that the save keeps another writer's later edit of its file.
        baselineOnce(id, pageWithID(id));
        if (document.currentPage.id == id) {
            if (document.pages.empty()) {
                throw std::invalid_argument("the only page cannot be deleted");
            }
            document.currentPage = document.pages.front();
            document.pages.erase(document.pages.begin());
        } else {
            auto found = std::find_if(document.pages.begin(), document.pages.end(),
                                      [&](const VeltoPage &page) { return page.id == id; });
            if (found == document.pages.end()) {
                throw std::invalid_argument("no page " + id.uppercaseText());
            }
            document.pages.erase(found);
        }
        request.changedPageRevisions.erase(id);
        request.archiveMetadataPageRevisions.erase(id);
        request.removedPageRevisions[id] = nextRevision();
        request.structureRevision = request.mutationRevision;
    }

    void archive(const Uuid &id) {
        VeltoPage &page = loadedPage(id);
        auto &content = *page.content.asLoaded();
        content.writeVeltoMetadata(content.veltoPageID(), true, content.conflictOriginalPageID());
        page.archivedAt = request.recordedAt;
        markArchiveMetadataChanged(id);
    }

    void restore(const Uuid &id) {
        VeltoPage &page = pageWithID(id);
        if (page.content.asArchivedSummary() != nullptr) {
            baselineOnce(id, page);
            page = VeltoPageLibrary::loadFullPage(page, folder);
        }
        page.restore(request.recordedAt);
        markArchiveMetadataChanged(id);
    }

    void makeCurrent(const Uuid &id) {
        auto &document = request.document;
        if (document.currentPage.id == id) {
            return;
        }
        auto found = std::find_if(document.pages.begin(), document.pages.end(),
                                  [&](const VeltoPage &page) { return page.id == id; });
        if (found == document.pages.end()) {
            throw std::invalid_argument("no page " + id.uppercaseText());
        }
        VeltoPage chosen = *found;
        document.pages.erase(found);
        document.pages.insert(document.pages.begin(), document.currentPage);
        document.currentPage = chosen;
        nextRevision();
        request.structureRevision = request.mutationRevision;
    }

    VeltoSaveRequest request;

private:
    std::filesystem::path folder;

    std::uint64_t nextRevision() { return ++request.mutationRevision; }

    VeltoPage &pageWithID(const Uuid &id) {
        auto &document = request.document;
        if (document.currentPage.id == id) {
            return document.currentPage;
        }
        for (auto &page : document.pages) {
            if (page.id == id) {
                return page;
            }
        }
        throw std::invalid_argument("no page " + id.uppercaseText());
    }

    VeltoPage &loadedPage(const Uuid &id) {
        VeltoPage &page = pageWithID(id);
        if (page.content.asLoaded() == nullptr) {
            throw std::invalid_argument("the page " + id.uppercaseText() + " is not loaded");
        }
        baselineOnce(id, page);
        return page;
    }

    /// The baseline is what the page held when it was loaded, before this save's first edit of it.
    void baselineOnce(const Uuid &id, const VeltoPage &page) {
        request.expectedPageBaselines.try_emplace(id, VeltoPageBaseline::fromPage(page));
    }

    void markChanged(const Uuid &id) {
        request.changedPageRevisions[id] = nextRevision();
        request.archiveMetadataPageRevisions.erase(id);
    }

    void markArchiveMetadataChanged(const Uuid &id) {
        bool otherChange =
            request.changedPageRevisions.contains(id) && !request.archiveMetadataPageRevisions.contains(id);
        request.changedPageRevisions[id] = nextRevision();
        if (!otherChange) {
            request.archiveMetadataPageRevisions[id] = request.mutationRevision;
        }
    }
};

/// The document a save starts from: the loaded library, or a new empty page in a folder without one.
VeltoDocument startingDocument(const std::filesystem::path &folder) {
    auto result = VeltoPageLibrary::load(folder);
    if (const auto *loaded = result.asLoaded()) {
        return loaded->document;
    }
    if (const auto *issue = result.failureIssue()) {
        throw std::runtime_error(issue->message);
    }
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = velto::systemClock().now();
    page.fileSlug = velto::VeltoPageSlug::make();
    page.content = velto::VeltoPageContent::loaded({});
    return {page, {}};
}

/// The operations of one write, read and checked in full before the library is touched.
struct Operations {
    struct Insertion {
        Uuid pageID;
        std::string after;
        std::string line;
    };
    std::vector<std::pair<Uuid, std::string>> texts;
    std::vector<Insertion> insertions;
    std::vector<std::string> newPages;
    std::vector<Uuid> archive;
    std::vector<Uuid> restore;
    std::optional<Uuid> current;
    std::vector<Uuid> remove;
};

std::vector<Operations::Insertion> insertionsFrom(const Json &operations) {
    std::vector<Operations::Insertion> insertions;
    if (const auto *pages = operationMember(operations, "insertLines", true)) {
        for (const auto &[id, list] : pages->items()) {
            if (!list.is_array()) {
                throw std::invalid_argument("“insertLines” needs an array of insertions per page");
            }
            for (const auto &insertion : list) {
                if (!insertion.is_object() || !insertion.contains("after") || !insertion.contains("line")) {
                    throw std::invalid_argument("an insertion is {\"after\": \"line\", \"line\": \"new\"}");
                }
                insertions.push_back({pageIDArgument(Json(id)), textArgument(insertion.at("after"), "insertLines"),
                                      textArgument(insertion.at("line"), "insertLines")});
            }
        }
    }
    return insertions;
}

Operations operationsFromStandardInput() {
    std::ostringstream text;
    text << std::cin.rdbuf();
    auto json = velto::decodeJSON(text.str());
    if (!json.is_object()) {
        throw std::invalid_argument("the operations must be one JSON object");
    }
    checkOperationNames(json);
    Operations operations;
    if (const auto *texts = operationMember(json, "setText", true)) {
        for (const auto &[id, value] : texts->items()) {
            operations.texts.emplace_back(pageIDArgument(Json(id)), textArgument(value, "setText"));
        }
    }
    operations.insertions = insertionsFrom(json);
    if (const auto *texts = operationMember(json, "newPages", false)) {
        for (const auto &value : *texts) {
            operations.newPages.push_back(textArgument(value, "newPages"));
        }
    }
    operations.archive = pageIDList(json, "archive");
    operations.restore = pageIDList(json, "restore");
    if (json.contains("current")) {
        operations.current = pageIDArgument(json.at("current"));
    }
    operations.remove = pageIDList(json, "delete");
    return operations;
}

void apply(const Operations &operations, SaveBuilder &builder, std::vector<Uuid> &newPageIDs) {
    for (const auto &[id, text] : operations.texts) {
        builder.setText(id, text);
    }
    for (const auto &insertion : operations.insertions) {
        builder.insertLine(insertion.pageID, insertion.after, insertion.line);
    }
    for (const auto &text : operations.newPages) {
        newPageIDs.push_back(builder.addPage(text));
    }
    for (const auto &id : operations.archive) {
        builder.archive(id);
    }
    for (const auto &id : operations.restore) {
        builder.restore(id);
    }
    if (operations.current) {
        builder.makeCurrent(*operations.current);
    }
    for (const auto &id : operations.remove) {
        builder.remove(id);
    }
}

Json idArray(const std::vector<Uuid> &ids) {
    Json array = Json::array();
    for (const auto &id : ids) {
        array.push_back(id.uppercaseText());
    }
    return array;
}

Json conflictsJson(const std::vector<VeltoSaveConflict> &conflicts) {
    Json json = Json::array();
    for (const auto &conflict : conflicts) {
        auto record = velto::VeltoLibraryPageRecord::fromPage(conflict.preservedPage);
        json.push_back({{"originalPageID", conflict.originalPageID.uppercaseText()},
                        {"preservedPageID", conflict.preservedPage.id.uppercaseText()},
                        {"relativeFilePath", VeltoPageLibrary::pageFileName(record)}});
    }
    return json;
}

const char *notSavedKindName(VeltoPageNotSavedKind kind) {
    switch (kind) {
    case VeltoPageNotSavedKind::tooLarge:
        return "tooLarge";
    case VeltoPageNotSavedKind::fileRefuses:
        return "fileRefuses";
    case VeltoPageNotSavedKind::folderRefuses:
        return "folderRefuses";
    case VeltoPageNotSavedKind::fileUnreadable:
        return "fileUnreadable";
    }
    return "fileRefuses";
}

Json pagesNotSavedJson(const std::vector<VeltoPageNotSaved> &pages) {
    Json json = Json::array();
    for (const auto &page : pages) {
        json.push_back({{"pageID", page.pageID.uppercaseText()},
                        {"relativeFilePath", page.relativeFilePath},
                        {"kind", notSavedKindName(page.kind)},
                        {"description", page.description}});
    }
    return json;
}

Json saveResultJson(const VeltoSaveResult &result, const std::vector<Uuid> &newPageIDs) {
    Json json = Json::object();
    std::vector<Uuid> persisted;
    for (const auto &[id, baseline] : result.persistedPageBaselines) {
        persisted.push_back(id);
    }
    json["persistedPageIDs"] = idArray(persisted);
    json["conflicts"] = conflictsJson(result.conflicts);
    Json replacements = Json::object();
    for (const auto &[from, to] : result.pageIDReplacements) {
        replacements[from.uppercaseText()] = to.uppercaseText();
    }
    json["pageIDReplacements"] = replacements;
    std::vector<Uuid> merged;
    for (const auto &[id, page] : result.mergedPages) {
        merged.push_back(id);
    }
    json["mergedPageIDs"] = idArray(merged);
    json["newPageIDs"] = idArray(newPageIDs);
    json["pagesNotSaved"] = pagesNotSavedJson(result.pagesNotSaved);
    return json;
}

std::vector<Uuid> documentPageIDs(const VeltoDocument &document) {
    std::vector<Uuid> ids{document.currentPage.id};
    for (const auto &page : document.pages) {
        ids.push_back(page.id);
    }
    return ids;
}

/// The document of a library that does not load: every usable Markdown file of the folder, read whole.
VeltoDocument documentFromMarkdown(const std::filesystem::path &folder) {
    auto &fileManager = velto::defaultFileSystem();
    auto manifest = VeltoPageLibrary::rebuildingManifestFromMarkdown(folder, fileManager, {});
    if (!manifest) {
        throw std::runtime_error("The folder holds no Markdown page to recover.");
    }
    auto page = [&](const velto::VeltoLibraryPageRecord &record) {
        return VeltoPageLibrary::loadPage(record, folder, fileManager, false, nullptr, false,
                                          VeltoPageLibrary::productionAvailability());
    };
    VeltoDocument document{page(manifest->currentPage), {}};
    for (const auto &record : manifest->pages) {
        document.pages.push_back(page(record));
    }
    return document;
}

/// The document a recovery writes, as the store would hold it: the library as it loads, every archived page in
/// full. Pages read afresh from files without an identifier would get new identifiers beside the ones the
/// journals still hold, and the library would list those files twice.
VeltoDocument recoveryDocument(const std::filesystem::path &folder) {
    auto result = VeltoPageLibrary::load(folder);
    const auto *loaded = result.asLoaded();
    if (loaded == nullptr) {
        return documentFromMarkdown(folder);
    }
    VeltoDocument document = loaded->document;
    for (auto &page : document.pages) {
        if (page.content.asArchivedSummary() == nullptr) {
            continue;
        }
        try {
            page = VeltoPageLibrary::loadFullPage(page, folder);
        } catch (const velto::PageFileError &error) {
            // A file that cannot be read keeps its summary, which writes nothing over it.
            if (!error.isConfinedToItsFile()) {
                throw;
            }
        }
    }
    return document;
}

VeltoSaveRequest recoveryRequest(const VeltoDocument &document) {
    VeltoSaveRequest request;
    request.writerID = VeltoPageLibrary::processWriterID();
    request.operationID = Uuid::random();
    request.recordedAt = velto::systemClock().now();
    request.generation = 1;
    request.document = document;
    for (const auto &id : documentPageIDs(document)) {
        request.changedPageRevisions[id] = 0;
    }
    request.structureRevision = 0;
    return request;
}

const char *kindName(VeltoFolderConnectionKind kind) {
    switch (kind) {
    case VeltoFolderConnectionKind::existingLibrary:
        return "existingLibrary";
    case VeltoFolderConnectionKind::empty:
        return "empty";
    case VeltoFolderConnectionKind::unrelatedMarkdown:
        return "unrelatedMarkdown";
    }
    return "empty";
}

long millisecondsArgument(const std::string &text) {
    long value = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        throw std::invalid_argument("--pause-ms needs a whole number of milliseconds, not “" + text + "”");
    }
    return value;
}

std::size_t stepArgument(const std::string &text, const std::string &option) {
    std::size_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) {
        throw std::invalid_argument(option + " needs a step number from 1, not “" + text + "”");
    }
    return value;
}

int printed(const Json &json) {
    std::cout << velto::encodeJSON(json) << "\n";
    return 0;
}

} // namespace

/// Where a save is interrupted, as when a user kills Velto or another program writes at that moment.
struct SaveInterruption {
    /// Killed as soon as a removal has taken a file aside, before it reads it.
    bool killedAfterTakingAside = false;
    /// Killed just before the save puts its first page file in place (its temporary file written whole).
    bool killedBeforeExchange = false;
    /// Killed as soon as the exchange took the page's file out, before the save compares it.
    bool killedAfterExchange = false;
    /// Appended to the page file just before that exchange, as another program's write.
    std::optional<std::string> appendedBeforeExchange;

    bool isAsked() const {
        return killedAfterTakingAside || killedBeforeExchange || killedAfterExchange || appendedBeforeExchange;
    }
};

/// The real file system, except that the save is interrupted where it is asked to be: a kill ends the process at
/// once, and nothing after it runs, no clean-up included.
class InterruptedSaveFileSystem : public velto::PosixFileSystem {
public:
    explicit InterruptedSaveFileSystem(SaveInterruption interruption)
        : interruption_(std::move(interruption)) {}

protected:
    void beforeOperation(velto::FileOperation operation, const std::filesystem::path &path) override {
        const std::string name = path.filename().string();
        if (operation == velto::FileOperation::read && name.find(".aside-") != std::string::npos &&
            interruption_.killedAfterTakingAside) {
            ::kill(::getpid(), SIGKILL);
        }
        if (operation == velto::FileOperation::rename && isPageFile(path) && !exchangeReached_) {
            exchangeReached_ = true;
            if (interruption_.appendedBeforeExchange) {
                std::ofstream(path, std::ios::binary | std::ios::app) << *interruption_.appendedBeforeExchange;
            }
            if (interruption_.killedBeforeExchange) {
                ::kill(::getpid(), SIGKILL);
            }
        }
        if (operation == velto::FileOperation::read && exchangeReached_ && name.find(".tmp-") != std::string::npos &&
            interruption_.killedAfterExchange) {
            ::kill(::getpid(), SIGKILL);
        }
    }

private:
    /// A page's Markdown file, not one of the library's own metadata files.
    static bool isPageFile(const std::filesystem::path &path) {
        return path.extension() == ".md" && path.generic_string().find("/.velto/") == std::string::npos;
    }

    SaveInterruption interruption_;
    bool exchangeReached_ = false;
};

int runWrite(const std::vector<std::string> &arguments) {
    const char *usage = "usage: write DIR [--pause-ms N] [--kill-after-taking-aside] [--kill-before-exchange] "
                        "[--kill-after-exchange] [--append-before-exchange TEXT] < ops.json";
    std::string folder;
    long pauseMilliseconds = 0;
    SaveInterruption interruption;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == "--pause-ms" && index + 1 < arguments.size()) {
            pauseMilliseconds = millisecondsArgument(arguments[++index]);
        } else if (arguments[index] == "--kill-after-taking-aside") {
            interruption.killedAfterTakingAside = true;
        } else if (arguments[index] == "--kill-before-exchange") {
            interruption.killedBeforeExchange = true;
        } else if (arguments[index] == "--kill-after-exchange") {
            interruption.killedAfterExchange = true;
        } else if (arguments[index] == "--append-before-exchange" && index + 1 < arguments.size()) {
            interruption.appendedBeforeExchange = arguments[++index];
        } else if (folder.empty() && !arguments[index].starts_with("--")) {
            folder = arguments[index];
        } else {
            throw std::invalid_argument(usage);
        }
    }
    if (folder.empty() || pauseMilliseconds < 0) {
        throw std::invalid_argument(usage);
    }
    auto operations = operationsFromStandardInput();
    SaveBuilder builder(startingDocument(folder), folder);
    // The edits are made on what the load found, as a user makes them on what the window shows (a restored
    // page is read in full now); other writers may act in the pause before the save reaches the disk.
    std::vector<Uuid> newPageIDs;
    apply(operations, builder, newPageIDs);
    if (pauseMilliseconds > 0) {
        // Said on the error stream, which carries no JSON: a test waits for it before it changes the folder.
        std::fputs("paused before the save\n", stderr);
        std::fflush(stderr);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMilliseconds));
    try {
        InterruptedSaveFileSystem interrupted(interruption);
        velto::FileSystem &fileSystem = interruption.isAsked() ? interrupted : velto::defaultFileSystem();
        auto result = VeltoPageLibrary::write(builder.request, folder, fileSystem);
        printed(saveResultJson(result, newPageIDs));
        return result.pagesNotSaved.empty() ? 0 : 1;
    } catch (const VeltoPageLibrary::PageFileChangedDuringSaveError &error) {
        // The conflict pages that the failed save leaves in the folder are reported as a save's are.
        printed({{"keptConflicts", conflictsJson(error.keptConflicts())}});
        throw;
    }
}

/// The real file system, except that the process is killed just before its n-th rename, the step that puts a
/// written file in place: nothing after it runs, no clean-up included, as when a user kills the copy.
class KilledAtRenameFileSystem : public velto::PosixFileSystem {
public:
    explicit KilledAtRenameFileSystem(std::size_t killingRename)
        : killingRename(killingRename) {}

protected:
    void beforeOperation(velto::FileOperation operation, const std::filesystem::path &) override {
        if (operation == velto::FileOperation::rename && ++renames == killingRename) {
            ::kill(::getpid(), SIGKILL);
        }
    }

private:
    std::size_t killingRename;
    std::size_t renames = 0;
};

int runCopy(const std::vector<std::string> &arguments) {
    const char *usage = "usage: copy SRC DST [--kill-at-rename N]";
    std::vector<std::string> folders;
    std::size_t killingRename = 0;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == "--kill-at-rename" && index + 1 < arguments.size()) {
            killingRename = stepArgument(arguments[++index], "--kill-at-rename");
        } else if (!arguments[index].starts_with("--")) {
            folders.push_back(arguments[index]);
        } else {
            throw std::invalid_argument(usage);
        }
    }
    if (folders.size() != 2) {
        throw std::invalid_argument(usage);
    }
    KilledAtRenameFileSystem fileSystem(killingRename);
    auto document = VeltoPageLibrary::copyLibrary(folders[0], folders[1], fileSystem);
    return printed(
        {{"currentPageID", document.currentPage.id.uppercaseText()}, {"pageIDs", idArray(documentPageIDs(document))}});
}

int runRecover(const std::vector<std::string> &arguments) {
    const char *usage = "usage: recover DIR [--fail-at-step N]";
    std::string folder;
    std::size_t failingStep = 0;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == "--fail-at-step" && index + 1 < arguments.size()) {
            failingStep = stepArgument(arguments[++index], "--fail-at-step");
        } else if (folder.empty() && !arguments[index].starts_with("--")) {
            folder = arguments[index];
        } else {
            throw std::invalid_argument(usage);
        }
    }
    if (folder.empty()) {
        throw std::invalid_argument(usage);
    }
    auto document = recoveryDocument(folder);
    // Only the recovery's own steps that change the folder are counted, so that a test can fail each in turn.
    velto::testing::FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::write, velto::FileOperation::fsync, velto::FileOperation::rename,
                          velto::FileOperation::remove, velto::FileOperation::createDirectory});
    fileSystem.failOperation(failingStep);
    auto recoveryFile = VeltoPageLibrary::recover(recoveryRequest(document), folder, fileSystem);
    return printed({{"recoveryFile", recoveryFile ? Json(recoveryFile->string()) : Json(nullptr)},
                    {"pageIDs", idArray(documentPageIDs(document))}});
}

int runAssess(const std::vector<std::string> &arguments) {
    if (arguments.size() != 1) {
        throw std::invalid_argument("usage: assess DIR");
    }
    auto assessment = VeltoPageLibrary::assessFolderConnection(arguments[0]);
    return printed({{"kind", kindName(assessment.kind)},
                    {"markdownFileCount", assessment.markdownFileCount},
                    {"identifiedPageCount", assessment.identifiedPageCount},
                    {"pagesRequiringIdentityCount", assessment.pagesRequiringIdentityCount},
                    {"projectedArchiveCount", assessment.projectedArchiveCount},
                    {"unavailableFileCount", assessment.unavailableFileCount},
                    {"unreadableFileCount", assessment.unreadableFileCount}});
}
