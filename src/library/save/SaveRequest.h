#pragma once

#include "library/save/SharedText.h"
#include "model/ContentChecksum.h"
#include "model/Document.h"
#include "model/Page.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

/// What is known to be on disk for one page: the checksum of its file's whole text and, when the text
/// itself is held, that text; the checksum is then always the held text's, so a file found holding
/// exactly that text is known unchanged without hashing it. The text is shared by every copy of the baseline.
struct VeltoPageBaseline {
    std::optional<std::string> checksum;    // absent for an empty text or when none is held
    std::optional<SharedText> fileContents; // absent when only a summary of the page is held
    /// The hash states over the held text that the save writing it made, from which the next save's
    /// checksums resume; absent when the text was not written by a save of this process. Not part of what
    /// the baseline says, so equality ignores them.
    std::shared_ptr<const velto::ContentChecksumCheckpoints> checksumCheckpoints = nullptr;

    /// The baseline of a page as held: a loaded page's file text exactly as held (its metadata is not
    /// rewritten first; an empty text stays an empty text), a summary's recorded checksum without text.
    static VeltoPageBaseline fromPage(const velto::VeltoPage &page);
    /// The same, taking from `fileTextChecksums` (by page) the checksum of the text the page holds as read, when
    /// the load that read it already computed it: a text of megabytes is not hashed twice.
    static VeltoPageBaseline fromPage(const velto::VeltoPage &page,
                                      const std::map<velto::Uuid, std::optional<std::string>> &fileTextChecksums);

    /// Where the checksums of a new text of this page resume from: the held text and its checkpoints when
    /// they belong to it, or nothing to resume from.
    velto::ContentChecksumResumption checksumResumption() const;

    friend bool operator==(const VeltoPageBaseline &a, const VeltoPageBaseline &b) {
        return a.checksum == b.checksum && a.fileContents == b.fileContents;
    }
};

/// One save of the whole document, with the change marks gathered since the last durable save and the
/// baselines the store believes to be on disk. Revisions are values of the mutation tracker's one counter.
struct VeltoSaveRequest {
    using Revisions = std::map<velto::Uuid, std::uint64_t>;

    velto::Uuid writerID;    // the process's writer identifier, the same in every request
    velto::Uuid operationID; // new for every request
    velto::Date recordedAt;
    std::uint64_t generation = 0;
    std::uint64_t mutationRevision = 0;
    velto::VeltoDocument document;
    Revisions changedPageRevisions;
    Revisions archiveMetadataPageRevisions; // changed pages whose only change is their archive metadata
    Revisions removedPageRevisions;
    std::optional<std::uint64_t> structureRevision; // present when the current page or the order changed
    // Of changed and of removed pages: a removed page's file that no longer holds its baseline is another
    // writer's text, which the save keeps.
    std::map<velto::Uuid, VeltoPageBaseline> expectedPageBaselines;

    /// This request without the change marks that a finished save already made durable: a mark stays only
    /// when it is later than the persisted revision of its page (0 when none), and an expected baseline only
    /// with a surviving change or removal mark.
    VeltoSaveRequest discardingMutations(const Revisions &persistedPageRevisions,
                                         std::optional<std::uint64_t> persistedStructureRevision) const &;
    /// The same, taking this request's document and baselines (megabytes of text) instead of copying them.
    VeltoSaveRequest discardingMutations(const Revisions &persistedPageRevisions,
                                         std::optional<std::uint64_t> persistedStructureRevision) &&;

    /// This request expecting, for each changed page that `baselines` knows, that baseline on disk; so too for
    /// each removed page that already has an expected baseline.
    VeltoSaveRequest rebasingExpectedPageBaselines(const std::map<velto::Uuid, VeltoPageBaseline> &baselines) const;

    /// This request with the pages that a finished save of `base` merged folded into its own edits by a
    /// three-way merge; a page that conflicts, or that either document lacks, stays as it is.
    VeltoSaveRequest rebasingMergedPages(const std::map<velto::Uuid, velto::VeltoPage> &mergedPages,
                                         const velto::VeltoDocument &base) const;

    /// This request with the identifiers that a finished save replaced; removal marks keep their identifiers,
    /// and so do the baselines of removed pages.
    VeltoSaveRequest replacingPageIDs(const std::map<velto::Uuid, velto::Uuid> &replacements) const;

    friend bool operator==(const VeltoSaveRequest &, const VeltoSaveRequest &) = default;
};

/// A save by this process of the whole document: every page and the order changed, nothing expected on disk (a
/// library written anew).
VeltoSaveRequest wholeDocumentSaveRequest(const velto::VeltoDocument &document, velto::Date recordedAt);
