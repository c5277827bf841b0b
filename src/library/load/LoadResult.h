#pragma once

#include "model/Document.h"
#include "model/StoreLoadState.h"
#include "platform/Uuid.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

/// What a load changed in the library's structure, for the store to write at its next save.
struct VeltoLibraryStructureRepair {
    /// The recorded current page was archived or not loaded, and another existing page was made current.
    bool promotedExistingPage = false;
    /// No page could be made current, and this new empty page was created.
    std::optional<velto::Uuid> createdPageID;
    /// Pages whose records Markdown discovery created or changed.
    std::set<velto::Uuid> externallyChangedPageIDs;
    /// Pages that Markdown discovery removed.
    std::set<velto::Uuid> externallyRemovedPageIDs;

    /// The repair that only promoted an existing page.
    static VeltoLibraryStructureRepair promotedExistingPageRepair();

    /// Both repairs in one: either's promotion, the first's created page before the second's, the union of
    /// the page sets; nothing when both are nothing.
    static std::optional<VeltoLibraryStructureRepair> merging(const std::optional<VeltoLibraryStructureRepair> &first,
                                                              const std::optional<VeltoLibraryStructureRepair> &second);

    friend bool operator==(const VeltoLibraryStructureRepair &, const VeltoLibraryStructureRepair &) = default;
};

/// A Markdown file of the folder that the load could not read as a page: no permission to read it, an I/O error,
/// text that is not UTF-8, a file beyond the largest one read; or an entry named like one that is no page file: a
/// named pipe, a symbolic link out of the folder or in a loop, a name that is not UTF-8. The file is left exactly
/// as it is; the other pages load.
struct VeltoUnreadablePageFile {
    std::string relativePath; // "/"-separated, relative to the Pages folder
    std::string reason;       // the read error's sentence: "Permission denied"

    friend bool operator==(const VeltoUnreadablePageFile &, const VeltoUnreadablePageFile &) = default;
};

/// A load's outcome: the library was read, it exists but cannot be loaded, or the folder holds no library
/// and no Markdown file that can be a page. A load never throws; every failure is a recovery issue.
struct VeltoLibraryLoadResult {
    struct Loaded {
        velto::VeltoDocument document;
        std::optional<VeltoLibraryStructureRepair> structureRepair;
        /// The folder's Markdown files that could not be read, by path; their pages (when the library records
        /// any) are held as unavailable and never written.
        std::vector<VeltoUnreadablePageFile> unreadableFiles;
        /// The document once more, copied on the thread that loaded it, for a reader that keeps a copy and would
        /// otherwise make it on its own thread; the second one only with a repair to save. Not part of what the
        /// load found, so equality ignores them.
        std::shared_ptr<const velto::VeltoDocument> sharedCopy;
        std::optional<velto::VeltoDocument> copyToSave;
        /// The checksums of the file texts that the load hashed, by page: a page that still holds that text as
        /// read has its baseline without hashing it again (a page of 60 MB on the main thread). Not part of what
        /// the load found either.
        std::map<velto::Uuid, std::optional<std::string>> fileTextChecksums;
        friend bool operator==(const Loaded &a, const Loaded &b) {
            return a.document == b.document && a.structureRepair == b.structureRepair &&
                   a.unreadableFiles == b.unreadableFiles;
        }
    };
    struct Failed {
        velto::VeltoStoreRecoveryIssue issue;
        friend bool operator==(const Failed &, const Failed &) = default;
    };
    struct Missing {
        /// The folder's Markdown files that could not be read: no page came of them, and they are left as they are.
        std::vector<VeltoUnreadablePageFile> unreadableFiles;
        friend bool operator==(const Missing &, const Missing &) = default;
    };

    std::variant<Loaded, Failed, Missing> value = Missing{};

    static VeltoLibraryLoadResult loaded(velto::VeltoDocument document,
                                         std::optional<VeltoLibraryStructureRepair> structureRepair = std::nullopt,
                                         std::vector<VeltoUnreadablePageFile> unreadableFiles = {}) {
        return {Loaded{std::move(document), std::move(structureRepair), std::move(unreadableFiles), nullptr, {}, {}}};
    }
    static VeltoLibraryLoadResult failed(velto::VeltoStoreRecoveryIssue issue) { return {Failed{std::move(issue)}}; }
    static VeltoLibraryLoadResult missing(std::vector<VeltoUnreadablePageFile> unreadableFiles = {}) {
        return {Missing{std::move(unreadableFiles)}};
    }

    /// The payload of the matching case; nullptr for the other cases.
    const Loaded *asLoaded() const { return std::get_if<Loaded>(&value); }
    Loaded *asLoaded() { return std::get_if<Loaded>(&value); }
    const velto::VeltoStoreRecoveryIssue *failureIssue() const {
        const Failed *failed = std::get_if<Failed>(&value);
        return failed == nullptr ? nullptr : &failed->issue;
    }
    bool isMissing() const { return std::holds_alternative<Missing>(value); }
    const Missing *asMissing() const { return std::get_if<Missing>(&value); }

    friend bool operator==(const VeltoLibraryLoadResult &, const VeltoLibraryLoadResult &) = default;
};
