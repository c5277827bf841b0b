#include "ModelTestValues.h"

#include "model/Document.h"
#include "model/PageIndex.h"
#include "model/PageSlug.h"
#include "model/ReloadError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

using namespace velto;
using namespace velto::testvalues;

namespace {

VeltoArchivedPageSummary archivedSummary() {
    return {"Preview text", 42, true, "abc", "def"};
}

std::string lower(const Uuid &id) {
    return id.lowercaseText();
}

} // namespace

TEST(DocumentValidation, PageRepeatingTheCurrentPageIDFailsWithThatID) {
    VeltoDocument document{loadedPage(pageA, "A"), {loadedPage(pageB, "B"), loadedPage(pageA, "again")}};
    try {
        document.validate();
        FAIL() << "expected a validation error";
    } catch (const VeltoDocument::ValidationError &error) {
        EXPECT_EQ(error.pageID(), pageA);
        EXPECT_STREQ(error.what(),
                     "The Velto document contains more than one page with ID AAAAAAAA-0000-4000-8000-000000000001.");
    }
}

TEST(DocumentValidation, FirstRepeatedIDAmongOtherPagesIsReported) {
    VeltoDocument document{
        loadedPage(pageA, ""),
        {loadedPage(pageB, ""), loadedPage(pageC, ""), loadedPage(pageC, ""), loadedPage(pageB, "")}};
    try {
        document.validate();
        FAIL() << "expected a validation error";
    } catch (const VeltoDocument::ValidationError &error) {
        EXPECT_EQ(error.pageID(), pageC);
    }
}

TEST(DocumentValidation, SinglePageDocumentIsValid) {
    EXPECT_NO_THROW((VeltoDocument{loadedPage(pageA, ""), {}}.validate()));
}

TEST(PersistedFileContents, EmptyPageWithoutFrontMatterHasNothingToWrite) {
    EXPECT_EQ(loadedPage(pageA, "").persistedFileContents(), "");
}

TEST(PersistedFileContents, EmptyButPresentFrontMatterIsWrittenWithTheIdentifier) {
    EXPECT_EQ(loadedPage(pageA, "---\n---\n").persistedFileContents(),
              "---\nvelto:\n  id: " + lower(pageA) + "\n---\n");
}

TEST(PersistedFileContents, SummariesHaveNothingToWrite) {
    VeltoPage page = loadedPage(pageA, "Hello");
    page.content = VeltoPageContent::archivedSummary(archivedSummary());
    EXPECT_EQ(page.persistedFileContents(), "");
    page.content = VeltoPageContent::unavailable({10, true, "abc", "def", true});
    EXPECT_EQ(page.persistedFileContents(), "");
}

TEST(PersistedFileContents, ForeignIdentifierIsReplacedAndArchiveAndConflictOriginSurvive) {
    std::string text = "---\ntitle: Notes\nvelto:\n  id: " + lower(pageB) +
                       "\n  archived: true\n  conflict-of: " + lower(pageC) + "\n---\nBody";
    EXPECT_EQ(loadedPage(pageA, text).persistedFileContents(),
              "---\ntitle: Notes\nvelto:\n  id: " + lower(pageA) +
                  "\n  archived: true\n  conflict-of: " + lower(pageC) + "\n---\nBody");
}

TEST(PersistedFileContents, CarriageReturnLineEndingsAreKept) {
    EXPECT_EQ(loadedPage(pageA, "one\r\ntwo").persistedFileContents(),
              "---\r\nvelto:\r\n  id: " + lower(pageA) + "\r\n---\r\none\r\ntwo");
}

// A page made here or taken in from another program lacks the identifier's lines in the text it holds; its file
// text gains them without growing to twice the page's size, which a page of megabytes paid at every save.
TEST(PersistedFileContents, IdentifierLinesGoInWithoutDoublingTheText) {
    for (const std::string &frontMatter : {std::string(), std::string("---\ntitle: Plan\n---\n")}) {
        const std::string body(1'000'000, 'x');
        std::string text = loadedPage(pageA, frontMatter + body).persistedFileContents();
        EXPECT_EQ(VeltoPageFileContent::parse(text).veltoPageID(), pageA);
        EXPECT_TRUE(text.ends_with("\n---\n" + body));
        // A sixty-fourth to spare at most: room for the page grown by a few keys at its next save, which then
        // fills the buffer this text leaves instead of a fresh one.
        EXPECT_LE(text.capacity(), text.size() + text.size() / 64 + 64);
    }
}

TEST(PageRestore, RemovesArchiveFlagAndMovesFlatIdentifierIntoTheMapping) {
    VeltoPage page =
        loadedPage(pageA, "---\nvelto-id: " + lower(pageB) +
                              "\nvelto:\n  archived: true\n  conflict-of: " + lower(pageC) + "\n---\nBody");
    page.archivedAt = date("2026-02-01T00:00:00Z");
    page.updatedAt = date("2026-01-10T00:00:00Z");

    EXPECT_TRUE(page.restore(date("2026-03-01T09:30:00Z")));

    EXPECT_EQ(page.content.asLoaded()->fileContents(),
              "---\nvelto:\n  id: " + lower(pageB) + "\n  conflict-of: " + lower(pageC) + "\n---\nBody");
    EXPECT_EQ(page.archivedAt, std::nullopt);
    EXPECT_EQ(page.updatedAt, date("2026-03-01T09:30:00Z"));
}

TEST(PageRestore, FrontMatterHoldingOnlyTheArchiveFlagDisappears) {
    VeltoPage page = loadedPage(pageA, "---\nvelto:\n  archived: true\n---\nBody");
    page.restore(std::nullopt);
    EXPECT_EQ(page.content.asLoaded()->fileContents(), "Body");
}

TEST(PageRestore, WithoutActivityDateUpdatedAtStays) {
    VeltoPage page = loadedPage(pageA, "---\nvelto:\n  archived: true\n---\nBody");
    page.updatedAt = date("2026-01-10T00:00:00Z");
    page.restore(std::nullopt);
    EXPECT_EQ(page.updatedAt, date("2026-01-10T00:00:00Z"));
}

TEST(PageRestore, PageWhoseTextIsNotLoadedIsLeftUnchanged) {
    VeltoPage page = loadedPage(pageA, "");
    page.content = VeltoPageContent::archivedSummary(archivedSummary());
    page.archivedAt = date("2026-02-01T00:00:00Z");
    VeltoPage before = page;
    EXPECT_FALSE(page.restore(date("2026-03-01T09:30:00Z")));
    EXPECT_EQ(page, before);
}

TEST(ReplacingPageIDs, UnknownIdentifierChangesNothing) {
    VeltoDocument document{loadedPage(pageA, "A"), {loadedPage(pageB, "B")}};
    EXPECT_EQ(document.replacingPageIDs({{pageC, writerW}}), document);
}

TEST(ReplacingPageIDs, ReplacedCurrentPageBecomesRecoveredPageWithoutPath) {
    VeltoPage current = loadedPage(pageA, "---\nvelto:\n  id: " + lower(pageA) + "\n---\nA");
    current.relativeFilePath = "notes/a.md";
    current.updatedAt = date("2026-01-10T00:00:00Z");
    VeltoDocument document{current, {loadedPage(pageB, "B")}};

    VeltoDocument replaced = document.replacingPageIDs({{pageA, pageC}});

    EXPECT_EQ(replaced.currentPage.id, pageC);
    EXPECT_EQ(replaced.currentPage.fileSlug, "recovered-page");
    EXPECT_EQ(replaced.currentPage.relativeFilePath, std::nullopt);
    EXPECT_EQ(replaced.currentPage.createdAt, current.createdAt);
    EXPECT_EQ(replaced.currentPage.updatedAt, current.updatedAt);
    // The text keeps the old identifier until the page is next written.
    EXPECT_EQ(replaced.currentPage.content, current.content);
    EXPECT_EQ(replaced.pages, document.pages);
}

TEST(ReplacingPageIDs, SummariesKeepTheirValues) {
    VeltoPage archived = loadedPage(pageB, "");
    archived.content = VeltoPageContent::archivedSummary(archivedSummary());
    VeltoDocument document{loadedPage(pageA, "A"), {archived}};
    EXPECT_EQ(document.replacingPageIDs({{pageB, pageC}}).pages[0].content, archived.content);
}

TEST(ArchivedPageIDs, CountsWhatTheContentSays) {
    VeltoPage loadedArchived = loadedPage(pageA, "---\nvelto:\n  archived: true\n---\n");
    VeltoPage summary = loadedPage(pageB, "");
    summary.content = VeltoPageContent::archivedSummary(archivedSummary());
    VeltoPage unavailableUnknown = loadedPage(pageC, "");
    unavailableUnknown.content = VeltoPageContent::unavailable({1, true, {}, {}, std::nullopt});
    VeltoPage unavailableArchived = loadedPage(writerW, "");
    unavailableArchived.content = VeltoPageContent::unavailable({1, true, {}, {}, true});
    VeltoPage activeWithArchiveDate = loadedPage(writerV, "text");
    activeWithArchiveDate.archivedAt = date("2026-02-01T00:00:00Z");

    VeltoDocument document{loadedArchived, {summary, unavailableUnknown, unavailableArchived, activeWithArchiveDate}};
    EXPECT_EQ(document.archivedPageIDs(), (std::set<Uuid>{pageA, pageB, writerW}));
}

TEST(TimelineState, PagesDifferingOnlyInUpdateDateOrFrontMatterMatchButAreNotEqual) {
    VeltoPage a = loadedPage(pageA, "---\ntitle: x\n---\nSame body");
    VeltoPage b = loadedPage(pageA, "Same body");
    b.updatedAt = date("2026-03-01T09:30:00Z");
    EXPECT_TRUE(a.matchesTimelineState(b));
    EXPECT_NE(a, b);
}

TEST(TimelineState, ArchiveDateOrBodyDifferenceDoesNotMatch) {
    VeltoPage a = loadedPage(pageA, "Body");
    VeltoPage archived = a;
    archived.archivedAt = date("2026-03-01T09:30:00Z");
    EXPECT_FALSE(a.matchesTimelineState(archived));
    EXPECT_FALSE(a.matchesTimelineState(loadedPage(pageA, "Other body")));
}

TEST(TimelineState, ArchivedPreviewComparesWithLoadedBody) {
    VeltoPage loaded = loadedPage(pageA, "Preview text");
    VeltoPage summary = loaded;
    summary.content = VeltoPageContent::archivedSummary(archivedSummary());
    EXPECT_TRUE(loaded.matchesTimelineState(summary));
}

TEST(TimelineState, AnArchivedPreviewLoadedLaterStillMatches) {
    VeltoPage unread = loadedPage(pageA, "");
    VeltoArchivedPageSummary summary = archivedSummary();
    summary.preview.clear();
    unread.content = VeltoPageContent::archivedSummary(summary);
    VeltoPage read = unread;
    summary.preview = "The opening of the page";
    read.content = VeltoPageContent::archivedSummary(summary);
    EXPECT_TRUE(unread.matchesTimelineState(read));
    EXPECT_TRUE(read.matchesTimelineState(unread));
    VeltoPage otherRead = read;
    summary.preview = "Another opening";
    otherRead.content = VeltoPageContent::archivedSummary(summary);
    EXPECT_FALSE(read.matchesTimelineState(otherRead));
}

TEST(PageEquality, CanonicallyEquivalentTextsAreEqual) {
    VeltoPage composed = loadedPage(pageA, "");
    composed.relativeFilePath = "caf\u00e9.md";
    VeltoPage decomposed = composed;
    decomposed.relativeFilePath = "cafe\u0301.md";
    EXPECT_EQ(composed, decomposed);
}

TEST(PreservingUpdatedAt, TakesUpdateDatesFromPagesOfTheSameIdentifier) {
    VeltoPage a = loadedPage(pageA, "A");
    a.updatedAt = date("2026-01-01T00:00:00Z");
    VeltoPage b = loadedPage(pageB, "B");
    b.updatedAt = date("2026-01-02T00:00:00Z");
    VeltoPage c = loadedPage(pageC, "C");
    c.updatedAt = date("2026-01-03T00:00:00Z");
    VeltoDocument document{a, {b, c}};

    VeltoPage otherA = a;
    otherA.updatedAt = std::nullopt;
    VeltoPage otherB = loadedPage(pageB, "different text");
    otherB.updatedAt = date("2026-05-05T00:00:00Z");
    VeltoDocument other{otherB, {otherA}};

    VeltoDocument result = document.preservingUpdatedAt(other);

    EXPECT_EQ(result.currentPage.updatedAt, std::nullopt);
    EXPECT_EQ(result.pages[0].updatedAt, date("2026-05-05T00:00:00Z"));
    EXPECT_EQ(result.pages[0].content, b.content);
    EXPECT_EQ(result.pages[1].updatedAt, date("2026-01-03T00:00:00Z"));
}

TEST(PageSlug, EverySlugIsAnAdjectiveAndANounFromTheirLists) {
    const std::set<std::string> adjectives = {
        "amber", "blue",   "bright", "calm",   "clear",  "cozy", "crisp", "gentle", "golden", "hidden", "hushed",
        "kind",  "little", "lucid",  "mellow", "misty",  "neat", "open",  "pale",   "quiet",  "rapid",  "silver",
        "small", "soft",   "still",  "sunny",  "tender", "tidy", "tiny",  "warm",   "wise",   "young"};
    const std::set<std::string> nouns = {
        "alcove", "beacon", "brook",  "cloud",   "cove",  "dawn",   "echo",   "fern", "field", "glade", "grove",
        "harbor", "island", "kite",   "lantern", "leaf",  "margin", "meadow", "moon", "nook",  "orbit", "pebble",
        "pine",   "pond",   "ripple", "shore",   "spark", "star",   "trail",  "vale", "wave",  "willow"};
    std::set<std::string> seen;
    for (int draw = 0; draw < 500; ++draw) {
        std::string slug = VeltoPageSlug::make();
        ASSERT_EQ(std::count(slug.begin(), slug.end(), '-'), 1) << slug;
        std::size_t hyphen = slug.find('-');
        EXPECT_TRUE(adjectives.count(slug.substr(0, hyphen))) << slug;
        EXPECT_TRUE(nouns.count(slug.substr(hyphen + 1))) << slug;
        seen.insert(slug);
    }
    EXPECT_GT(seen.size(), 100u); // drawn at random, not a fixed sequence
}

TEST(ReloadError, DescriptionsUseTypographicApostrophes) {
    EXPECT_STREQ(VeltoReloadError::temporarilyUnavailable("Wait.").what(),
                 "Velto is waiting for a page file to become available. Wait.");
    EXPECT_STREQ(VeltoReloadError::unreadable("Broken.").what(),
                 "Velto couldn\u2019t reload the page library. Broken.");
    EXPECT_STREQ(VeltoReloadError::libraryMissing().what(),
                 "Velto couldn\u2019t find its page library in the selected folder.");
}

// The index stands in for findPage in passes over a whole library, so it answers the same page, also in a
// document that repeats an identifier (a load may hold one before validation refuses it).
TEST(PageIndex, FindsWhatFindPageFinds) {
    VeltoDocument document{
        loadedPage(pageA, "current"),
        {loadedPage(pageB, "first B"), loadedPage(pageA, "another A"), loadedPage(pageB, "second B")}};
    const VeltoPageIndex index(document);
    for (const Uuid &pageID : {pageA, pageB, pageC}) {
        SCOPED_TRACE(lower(pageID));
        EXPECT_EQ(index.find(pageID), findPage(std::as_const(document), pageID));
    }
}
