#include "BrowsePagesTestLibrary.h"
#include "PanelTestSupport.h"

#include "panel/browse/BrowsePagesList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velto {
namespace {

using namespace std::chrono_literals;

const Date now = dateFromSecondsSince1970(1'780'000'000);

using testing::copyOf;
using testing::numbered;
using testing::page;

struct Library : testing::BrowsePagesLibrary {
    explicit Library(VeltoPage current, std::vector<VeltoPage> others = {})
        : BrowsePagesLibrary(std::move(current), std::move(others))
        , list(std::make_unique<BrowsePagesList>(store->document())) {}
    /// "preview | detail" per row, or the empty state's title.
    std::string shown() const {
        if (const auto &empty = list->emptyState()) {
            return "empty: " + empty->title.toStdString() + " / " + empty->symbolName.toStdString();
        }
        std::string out;
        for (const BrowsePageRow &row : list->rows()) {
            out += row.preview.toStdString() + " | " + row.detail.toStdString() + "\n";
        }
        return out;
    }
    std::unique_ptr<BrowsePagesList> list;
};

TEST(BrowsePagesList, RowsSearchAndEmptyStates) {
    Library library(page(1, "", now - 3min),
                    {page(2, "# École d'été\nla rentrée", now - 2h), page(3, "Groceries\nmilk", now - 1h)});
    library.list->reload("", now);
    EXPECT_EQ(library.shown(), "Untitled page | Current page · Updated 3 minutes ago\n"
                               "Groceries | Updated 1 hour ago\n"
                               "École d'été | Updated 2 hours ago\n");
    struct Case {
        const char *query;
        std::string shown;
    };
    const Case cases[] = {
        {"   ", "Untitled page | Current page · Updated 3 minutes ago\nGroceries | Updated 1 hour ago\n"
                "École d'été | Updated 2 hours ago\n"},
        {"MILK", "Groceries | Updated 1 hour ago\n"},
        {"ÉCOLE", "École d'été | Updated 2 hours ago\n"},
        {"e\u0301te\u0301", "École d'été | Updated 2 hours ago\n"}, // decomposed accents meet composed ones
        {"Groceries\nmilk", "Groceries | Updated 1 hour ago\n"},
        {"nowhere", "empty: No matching pages / magnifyingglass"},
    };
    for (const Case &c : cases) {
        library.list->reload(QString::fromUtf8(c.query), now);
        EXPECT_EQ(library.shown(), c.shown) << c.query;
    }
}

TEST(BrowsePagesList, AnEmptyLibraryAndAVanishedReview) {
    Library library(page(1, "", now));
    library.list->setFilter(std::set<Uuid>{numbered(9)});
    library.list->reload("", now);
    EXPECT_EQ(library.shown(), "empty: No saved conflict copies / doc.text.magnifyingglass");
    library.list->reload("anything", now);
    EXPECT_EQ(library.shown(), "empty: No saved conflict copies / doc.text.magnifyingglass");
}

TEST(BrowsePagesList, AReviewThatOnlyTheSearchEmptiedSaysSo) {
    Library library(page(1, "Notes", now), {page(2, copyOf(1, "Notes theirs"), now - 1h)});
    library.list->setFilter(std::set<Uuid>{numbered(2)});
    library.list->reload("nowhere", now);
    EXPECT_EQ(library.shown(), "empty: No matching pages / magnifyingglass");
    EXPECT_EQ(library.list->emptyState()->message, "Try a different word or phrase.");
}

TEST(BrowsePagesList, ConflictReviewRowsAndWhatEachAllows) {
    VeltoPage orphan = page(4, copyOf(99, "Orphan copy\n"), now - 3h);
    Library library(page(1, "Notes\nmine", now - 1min),
                    {page(2, copyOf(1, "Notes\ntheirs\n"), now - 1h), orphan, page(5, "Unrelated", now)});
    library.list->setFilter(std::set<Uuid>{numbered(2), numbered(4)});
    library.list->reload("", now);
    EXPECT_EQ(library.shown(), "Notes | Saved version of “Notes” · Updated 1 hour ago\n"
                               "Orphan copy | Saved conflict copy · Updated 3 hours ago\n");
    using Availability = BrowsePagesList::Availability;
    EXPECT_EQ(library.list->availability(0), (Availability{true, true, true}));
    EXPECT_EQ(library.list->availability(1), (Availability{true, true, false}));
    EXPECT_EQ(library.list->availability(2), Availability{});
    EXPECT_EQ(library.list->availability(std::nullopt), Availability{});

    library.list->removeFromFilter(numbered(2));
    library.list->reload("", now);
    EXPECT_EQ(library.list->rowOf(numbered(4)), std::optional<std::size_t>(0));
}

/// A page kept of one whose file was removed, emptied or could not be read.
VeltoPage recoveredPage(int number, const std::string &text) {
    VeltoPage recovered = page(number, text, now - 1h);
    recovered.fileSlug = "recovered-page";
    return recovered;
}

// A recovered page is no version of another: its review says why it exists, never that both versions were kept, also
// while a search hides its rows.
TEST(BrowsePagesList, AReviewExplainsWhatItsPagesAre) {
    Library library(page(1, "Notes", now),
                    {recoveredPage(2, "Kept text"), recoveredPage(3, "More kept text"),
                     page(4, copyOf(1, "Notes theirs"), now - 2h), page(5, copyOf(5, "Names itself"), now - 3h)});
    using enum BrowseReviewGuidance;
    struct Case {
        const char *review;
        std::set<Uuid> pages;
        std::optional<std::size_t> selected;
        BrowseReviewGuidance guidance;
        const char *search = "";
    };
    const Case cases[] = {
        {"one recovered page", {numbered(2)}, std::nullopt, recoveredPage},
        {"recovered pages", {numbered(2), numbered(3)}, std::nullopt, recoveredPage},
        {"a recovered page selected", {numbered(2), numbered(3)}, 1, recoveredPage},
        {"a recovered page the search hides", {numbered(2)}, std::nullopt, recoveredPage, "nowhere"},
        {"recovered pages narrowed to one", {numbered(2), numbered(3)}, std::nullopt, recoveredPage, "more"},
        {"a conflict copy", {numbered(4)}, std::nullopt, chooseVersion},
        {"a conflict copy selected", {numbered(4)}, 0, chooseVersion},
        {"a conflict copy the search hides", {numbered(4)}, std::nullopt, chooseVersion, "nowhere"},
        {"a mixed review the search hides", {numbered(2), numbered(4)}, std::nullopt, chooseVersion, "nowhere"},
        {"a copy naming itself selected", {numbered(4), numbered(5)}, 1, copyNamesItself},
        {"a vanished review", {numbered(9)}, std::nullopt, chooseVersion},
        {"a vanished review searched", {numbered(9)}, std::nullopt, chooseVersion, "kept"},
    };
    for (const Case &c : cases) {
        library.list->setFilter(c.pages);
        library.list->reload(c.search, now);
        EXPECT_EQ(library.list->guidance(c.selected), c.guidance) << c.review;
    }
}

TEST(BrowsePagesList, LongFirstLinesAreCappedAndDownloadingPagesCannotBeOpened) {
    VeltoPage downloading = page(2, "", now);
    downloading.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{});
    Library library(page(1, std::string(2 * 1024 * 1024, 'x'), now), {downloading});
    library.list->reload("", now);
    ASSERT_EQ(library.list->rows().size(), 2U);
    const BrowsePageRow &current = library.list->rows()[*library.list->rowOf(numbered(1))];
    EXPECT_EQ(current.preview.size(), static_cast<qsizetype>(BrowsePagesList::previewLength + 1));
    const std::size_t downloadingRow = *library.list->rowOf(numbered(2));
    EXPECT_EQ(library.list->rows()[downloadingRow].preview, "Can’t be read");
    EXPECT_EQ(library.list->rows()[downloadingRow].detail, "Velto can’t read this page’s file and leaves it as it is");
    EXPECT_FALSE(library.list->availability(downloadingRow).open);
}

TEST(BrowseSearch, RunsInSlicesAndFoldsEachTextOnce) {
    VeltoDocument document;
    std::vector<Uuid> ids;
    for (int number = 0; number < 20; ++number) {
        document.pages.push_back(page(10 + number, number % 2 ? "Odd ÄPFEL page" : "even page", now));
        ids.push_back(numbered(10 + number));
    }
    FoldedPageTexts texts;
    BrowseSearch search;
    search.start(7, "äpfel", ids);
    int slices = 1;
    while (!search.step(document, texts, 0ms)) { // a zero budget: one page per slice
        slices += 1;
    }
    EXPECT_EQ(slices, 20);
    EXPECT_EQ(search.generation(), 7U);
    EXPECT_EQ(search.matches().size(), 10U);

    // A changed text is folded again; an unchanged one comes from the cache.
    const std::string *cached = &texts.folded(document.pages[0]);
    EXPECT_EQ(&texts.folded(document.pages[0]), cached);
    document.pages[0].content = VeltoPageContent::loaded(VeltoPageFileContent::parse("Now with ÄPFEL"));
    search.start(8, "ÄPFEL", ids);
    while (!search.step(document, texts, 1s)) {
    }
    EXPECT_EQ(search.matches().size(), 11U);
    texts.retain({});
    EXPECT_EQ(FoldedPageTexts::fold("Straße"), "strasse");
}

/// A page of several pieces is folded and searched over several slices; a match across two pieces is found,
/// and a page that changes or goes between slices is searched as it is now.
TEST(BrowseSearch, ALongPageTakesManySlicesAndFollowsItsChanges) {
    const std::size_t boundary = FoldedPageTexts::pieceLength;
    const std::string longText = std::string(boundary - 5, 'a') + " Zwölf ÄPFEL " + std::string(3 * boundary, 'b');
    VeltoDocument document;
    document.currentPage = page(1, longText, now);
    document.pages = {page(2, "zwölf äpfel", now)};

    FoldedPageTexts texts;
    BrowseSearch search;
    search.start(1, "ZWÖLF äpfel", {numbered(1), numbered(2), numbered(3)});
    int slices = 1;
    while (!search.step(document, texts, 0ms)) {
        slices += 1;
    }
    EXPECT_GT(slices, 4);
    EXPECT_EQ(search.matches(), (std::vector<Uuid>{numbered(1), numbered(2)})) << "a page not in the library is passed";

    search.start(2, "c", {numbered(1), numbered(2)});
    EXPECT_FALSE(search.step(document, texts, 0ms)) << "the first piece holds no match";
    document.currentPage.content =
        VeltoPageContent::loaded(VeltoPageFileContent::parse(std::string(2 * boundary, 'c')));
    document.pages.clear();
    while (!search.step(document, texts, 0ms)) {
    }
    EXPECT_EQ(search.matches(), std::vector<Uuid>{numbered(1)});
}

/// Folding a text piece by piece gives what folding it whole gives, wherever the pieces would be cut.
TEST(FoldedPageTexts, PiecesFoldAsTheWholeText) {
    const std::string texts[] = {
        "E\u0301TE\u0301 Straße ÉTÉ",                    // decomposed accents next to their letters
        "a\u0328\u0301\u0323 \u1E00\u0300 \u01C4\u01C5", // marks in non-canonical order, digraphs
        "\u1112\u1161\u11AB\u1100\u1173\u11AF",          // conjoining Hangul jamo compose into syllables
        "漢字かな\u304B\u3099ΣΑΣ ﬃ İ",                   // a voiced kana mark, final sigma, ligature, dotted I
        "\u0B47\u0B3E\u0DD9\u0DCF",                      // vowel signs that compose with their neighbour
    };
    for (const std::string &text : texts) {
        const std::string whole = FoldedPageTexts::fold(text);
        for (std::size_t length = 1; length < text.size(); ++length) {
            std::string pieces;
            for (std::size_t start = 0; start < text.size();) {
                const std::size_t end = FoldedPageTexts::pieceEnd(text, start, length);
                ASSERT_GT(end, start);
                pieces += FoldedPageTexts::fold(std::string_view(text).substr(start, end - start));
                start = end;
            }
            EXPECT_EQ(pieces, whole) << text << " in pieces of " << length;
        }
    }
}

} // namespace
} // namespace velto
