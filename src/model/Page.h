#pragma once

#include "model/PageFileContent.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace velto {

/// What is known of an archived page whose text was not loaded.
struct VeltoArchivedPageSummary {
    std::string preview; // the opening of the page as shown in archive lists
    std::int64_t fileSize = 0;
    bool hasContent = false;
    std::optional<std::string> contentChecksum;
    std::optional<std::string> bodyChecksum;

    friend bool operator==(const VeltoArchivedPageSummary &, const VeltoArchivedPageSummary &);
};

/// What is known of a page whose file was still downloading from cloud storage when it was loaded.
struct VeltoUnavailablePageSummary {
    std::int64_t fileSize = 0;
    bool hasContent = false;
    std::optional<std::string> contentChecksum;
    std::optional<std::string> bodyChecksum;
    std::optional<bool> isArchived;

    friend bool operator==(const VeltoUnavailablePageSummary &, const VeltoUnavailablePageSummary &);
};

/// What is held of a page's text: the whole file, an archived page's summary, or an unavailable page's summary.
struct VeltoPageContent {
    std::variant<VeltoPageFileContent, VeltoArchivedPageSummary, VeltoUnavailablePageSummary> value;

    static VeltoPageContent loaded(VeltoPageFileContent content) { return {std::move(content)}; }
    static VeltoPageContent archivedSummary(VeltoArchivedPageSummary summary) { return {std::move(summary)}; }
    static VeltoPageContent unavailable(VeltoUnavailablePageSummary summary) { return {std::move(summary)}; }

    /// The payload of the matching case; nullptr for the other cases.
    const VeltoPageFileContent *asLoaded() const { return std::get_if<VeltoPageFileContent>(&value); }
    VeltoPageFileContent *asLoaded() { return std::get_if<VeltoPageFileContent>(&value); }
    const VeltoArchivedPageSummary *asArchivedSummary() const { return std::get_if<VeltoArchivedPageSummary>(&value); }
    const VeltoUnavailablePageSummary *asUnavailable() const {
        return std::get_if<VeltoUnavailablePageSummary>(&value);
    }

    friend bool operator==(const VeltoPageContent &, const VeltoPageContent &) = default;
};

/// One page of the library.
struct VeltoPage {
    Uuid id;
    Date createdAt;
    std::optional<std::string> fileSlug;         // "calm-cove", "conflict-copy" or "recovered-page"
    std::optional<std::string> relativeFilePath; // when absent the file name derives from date, slug and id
    std::optional<Date> updatedAt;
    std::optional<Date> archivedAt;
    VeltoPageContent content;

    /// The text to write to the page's file, carrying this page's identifier in its metadata and keeping
    /// the text's own archive flag, conflict origin and line ending. Empty when there is nothing to write.
    std::string persistedFileContents() const;
    /// The same text, and whether it ends with the held body byte for byte.
    WrittenFileText persistedFileText() const;

    /// Makes an archived page active again: clears the archive flag in its text and `archivedAt`, and
    /// takes `activityAt` as the new update date when one is given. Only a page whose text is loaded
    /// can be restored; any other page is left as it is and false is returned.
    bool restore(std::optional<Date> activityAt);

    /// Whether the two values look the same to the user: identity, file name parts, archive date and
    /// visible text agree (update dates and front matter play no part).
    bool matchesTimelineState(const VeltoPage &other) const;

    /// The body of a loaded page, the preview of an archived summary, the empty text otherwise.
    std::string visibleText() const;
    /// The same text without copying it; valid while the page is unchanged.
    std::string_view visibleTextView() const;

    friend bool operator==(const VeltoPage &, const VeltoPage &);
};

} // namespace velto
