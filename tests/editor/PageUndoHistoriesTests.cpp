#include "editor/editing/PageUndoHistories.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

Uuid pageID(std::uint8_t last) {
    Uuid id{};
    id.bytes[15] = last;
    return id;
}

const Uuid pageA = pageID(1);
const Uuid pageB = pageID(2);
const Uuid pageC = pageID(3);

/// One text view's editing core with per-page histories, and a way to show a page's text.
struct Pages {
    TextStorage storage;
    EditingCore core{storage, nullptr, &histories};
    PageUndoHistories histories{core, [this] { beeps += 1; }};
    int beeps = 0;

    void show(const Uuid &id, std::u16string_view text, const std::set<Uuid> &retaining = {pageA, pageB, pageC},
              std::shared_ptr<UndoManager> fallback = nullptr) {
        histories.activateUndoHistory(id, retaining, std::move(fallback), PageTextFingerprint::of(text));
        UndoManager *manager = histories.undoManager();
        manager->disableUndoRegistration();
        core.loadText(text);
        manager->enableUndoRegistration();
    }
    void type(std::u16string_view text) {
        core.insertText(text);
        core.breakUndoCoalescing();
    }
    std::u16string text() const { return storage.string(); }
};

TEST(PageUndoHistories, EachPageUndoesOnlyItsOwnTyping) {
    Pages pages;
    pages.show(pageA, u"a");
    pages.type(u"1");
    pages.show(pageB, u"b");
    pages.type(u"2");
    pages.show(pageA, u"a1");
    ASSERT_TRUE(pages.histories.canUndo());
    pages.histories.undoManager()->undo();
    EXPECT_EQ(pages.text(), u"a");
    EXPECT_FALSE(pages.histories.canUndo());
    pages.show(pageB, u"b2");
    pages.histories.undoManager()->undo();
    EXPECT_EQ(pages.text(), u"b");
    EXPECT_EQ(pages.beeps, 0);
}

TEST(PageUndoHistories, ActivationDropsPagesNotRetainedAndAdoptsAFallbackOnlyWhenNeeded) {
    Pages pages;
    pages.show(pageA, u"a");
    pages.type(u"1");
    std::shared_ptr<UndoManager> managerOfA = pages.histories.pageUndoManager(pageA);
    pages.show(pageC, u"c", {pageB, pageC});
    EXPECT_EQ(pages.histories.pageUndoManager(pageA), nullptr);
    pages.show(pageA, u"a1");
    EXPECT_FALSE(pages.histories.canUndo()) << "a page that comes back starts afresh";

    auto fallback = std::make_shared<UndoManager>();
    pages.show(pageB, u"b", {pageA, pageB, pageC}, fallback);
    EXPECT_EQ(pages.histories.pageUndoManager(pageB), fallback) << "a page without history adopts the fallback";
    pages.show(pageB, u"b", {pageA, pageB, pageC}, std::make_shared<UndoManager>());
    EXPECT_EQ(pages.histories.pageUndoManager(pageB), fallback) << "an existing history stays";
    EXPECT_NE(managerOfA, pages.histories.pageUndoManager(pageA));
}

TEST(PageUndoHistories, TheUnattachedHistoryServesUntilEverythingIsDiscarded) {
    Pages pages;
    pages.type(u"x");
    EXPECT_EQ(pages.histories.undoManager(), &pages.histories.unattachedUndoManager());
    EXPECT_TRUE(pages.histories.canUndo());
    pages.show(pageA, u"a");
    pages.type(u"1");
    auto elsewhere = std::make_shared<UndoManager>();
    elsewhere->registerUndo([](UndoManager &running) { running.registerUndo([](UndoManager &) {}); });
    elsewhere->undo();
    pages.histories.setPageTransitionRedoManager(elsewhere);
    EXPECT_TRUE(pages.histories.canRedo());

    pages.histories.discardAllPageUndoHistories();
    EXPECT_FALSE(pages.histories.canUndo());
    EXPECT_FALSE(pages.histories.canRedo());
    EXPECT_FALSE(pages.histories.unattachedUndoManager().canUndo());
    EXPECT_EQ(pages.histories.pageTransitionRedoManager(), nullptr);
    EXPECT_EQ(pages.histories.pageHistoryCount(), 1u) << "the active page has a fresh history at once";
}

TEST(PageUndoHistories, AHistoryOfATextChangedElsewhereIsNotKept) {
    Pages pages;
    pages.show(pageA, u"hello");
    pages.type(u" world");
    pages.show(pageB, u"b");
    // While B was shown, another writer changed A: its history no longer fits.
    pages.show(pageA, u"hello there world");
    EXPECT_FALSE(pages.histories.canUndo());

    // The same text as left keeps the history.
    pages.type(u"!");
    pages.show(pageB, u"b");
    pages.show(pageA, u"hello there world!");
    EXPECT_TRUE(pages.histories.canUndo());
}

TEST(PageUndoHistories, AnUndoThatNoLongerFitsChangesNothingDropsTheHistoryAndBeeps) {
    struct Case {
        const char *what;
        std::function<void(TextStorage &)> changeElsewhere;
    };
    const std::vector<Case> cases{
        {"same length, other characters",
         [](TextStorage &s) {
             s.replaceCharacters({11, 1}, u"?");
         }},
        {"range beyond the text",
         [](TextStorage &s) {
             s.replaceCharacters({0, s.length()}, u"hi");
         }},
    };
    for (const Case &c : cases) {
        Pages pages;
        pages.show(pageA, u"hello");
        pages.type(u" world");
        pages.type(u"!");
        c.changeElsewhere(pages.storage); // not through the core: as a reload would, had it not reset the history
        const std::u16string before = pages.text();
        pages.histories.undoManager()->undo();
        EXPECT_EQ(pages.text(), before) << c.what;
        EXPECT_EQ(pages.beeps, 1) << c.what;
        EXPECT_FALSE(pages.histories.canUndo()) << c.what;
        EXPECT_FALSE(pages.histories.canRedo()) << c.what;
        pages.type(u"?");
        EXPECT_TRUE(pages.histories.canUndo()) << "a fresh history goes on: " << c.what;
    }
}

TEST(PageUndoHistories, ResetAndReKeying) {
    Pages pages;
    pages.show(pageA, u"a");
    pages.type(u"1");
    pages.histories.replacePageIDs({{pageA, pageC}});
    EXPECT_EQ(pages.histories.activePageID(), pageC);
    EXPECT_TRUE(pages.histories.canUndo()) << "the history follows its page to the new identifier";
    pages.histories.resetUndoHistory(pageC);
    EXPECT_FALSE(pages.histories.canUndo());
}

TEST(PageTextFingerprint, UTF8AndUTF16GiveTheSameFingerprint) {
    for (const char *text : {"", "plain", "caf\xC3\xA9 \xF0\x9F\x98\x80 line\r\n", "bad \xFF byte"}) {
        EXPECT_EQ(PageTextFingerprint::ofUTF8(text), PageTextFingerprint::of(text::toUTF16(text))) << text;
    }
    EXPECT_NE(PageTextFingerprint::of(u"ab"), PageTextFingerprint::of(u"ba"));
}

} // namespace
} // namespace velto::editor
