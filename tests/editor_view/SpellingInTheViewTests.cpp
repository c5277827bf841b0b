#include "TextViewTestSupport.h"

#include "editor/text/EditorSettings.h"
#include "editor_view/spelling/ContinuousSpellChecking.h"
#include "editor_view/spelling/SpellChecker.h"
#include "editor_view/spelling/SpellingContextMenu.h"
#include "platform/desktop/SpellingService.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QInputMethodEvent>
#include <QMenu>
#include <QTimer>

#include <fstream>
#include <iterator>

using namespace velto::editor;
using velto::testing::grabViewport;
using velto::testing::makeTextView;

namespace {

const std::u16string page = u"# Notes\n\nWe saw teh harbor today.\n\n```\nteh = 1\n```\n";
constexpr std::size_t proseWord = 16; // "teh" in the prose paragraph
constexpr std::size_t codeWord = 39;  // "teh" inside the fenced block

bool waitUntil(const std::function<bool()> &done) {
    QDeadlineTimer deadline(10'000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

/// A shown view checking its spelling against en_US with a personal word list of the test's own.
struct SpellingView {
    velto::testing::TemporaryFolder words;
    velto::EnchantSpellingService spelling{
        velto::EnchantSpellingService::Configuration{"en_US", words / "personal.dic"}};
    SpellChecker checker{spelling};
    std::unique_ptr<VeltoTextView> view = makeTextView(page, 420, 300);

    SpellingView() {
        view->setSpellChecker(&checker);
        view->setContinuousSpellChecking(true);
        EXPECT_TRUE(waitUntil([this] { return view->continuousSpellChecking()->runSlice(); }));
    }
    std::u16string text() const { return view->storage().substring(TextRange{0, view->storage().length()}); }
    QPoint pointOf(std::size_t position) { return view->caretRectInViewport(position).center().toPoint(); }

    /// Whether a red dot lies under the three letters at `position`, between their baseline and the line's end.
    bool underlined(std::size_t position) {
        const QImage image = grabViewport(*view);
        const QRectF start = view->caretRectInViewport(position);
        const QRectF end = view->caretRectInViewport(position + 3);
        for (int y = static_cast<int>(start.center().y()); y < static_cast<int>(start.bottom()) + 2; ++y) {
            for (int x = static_cast<int>(start.left()); x < static_cast<int>(end.left()); ++x) {
                if (velto::testing::pixelIs(image, QPoint(x, y), misspellingColor(), 40)) {
                    return true;
                }
            }
        }
        return false;
    }

    /// Opens the context menu over the position, notes its titles ("" for a separator) and triggers the
    /// row titled `choose`, if any.
    QStringList openMenuAt(std::size_t position, const QString &choose = QString()) {
        QStringList titles;
        QTimer::singleShot(0, view.get(), [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QAction *chosen = nullptr;
            for (QAction *action : menu->actions()) {
                titles << (action->isSeparator() ? QString() : action->text());
                if (!choose.isEmpty() && action->text() == choose) {
                    chosen = action;
                }
            }
            menu->close();
            if (chosen != nullptr) {
                chosen->trigger();
            }
        });
        const QPoint at = pointOf(position);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        return titles;
    }
};

} // namespace

TEST(SpellingInTheView, AMisspelledWordInProseIsUnderlinedAndTheSameWordInCodeIsNot) {
    SpellingView fixture;
    ASSERT_TRUE(fixture.spelling.isAvailable()) << "the en_US dictionary is installed by the setup script";
    EXPECT_EQ(fixture.view->continuousSpellChecking()->misspelledRanges(), (std::vector<TextRange>{{proseWord, 3}}));
    EXPECT_TRUE(fixture.underlined(proseWord));
    EXPECT_FALSE(fixture.underlined(codeWord));
    EXPECT_FALSE(fixture.underlined(proseWord + 4)) << "a correct word";
    EXPECT_EQ(fixture.text(), page) << "the underline is drawn, never stored";

    fixture.view->setContinuousSpellChecking(false);
    EXPECT_FALSE(fixture.underlined(proseWord));
}

TEST(SpellingInTheView, CodeStaysUnflaggedWhileMarkdownIsNotFormatted) {
    SpellingView fixture;
    fixture.view->editingCore().setEditorSettings({.formatsMarkdown = false}, {});
    fixture.view->editingCore().loadText(page, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    EXPECT_TRUE(waitUntil([&] { return fixture.view->continuousSpellChecking()->runSlice(); }));
    EXPECT_EQ(fixture.view->continuousSpellChecking()->misspelledRanges(), (std::vector<TextRange>{{proseWord, 3}}));
}

TEST(SpellingInTheView, TheContextMenuOverAMisspelledWordOffersSuggestionsThenIgnoreAndLearn) {
    SpellingView fixture;
    const QStringList titles = fixture.openMenuAt(proseWord + 1);
    const qsizetype ignore = titles.indexOf(QStringLiteral("Ignore Spelling"));
    ASSERT_GE(ignore, 2) << titles.join(u'|').toStdString();
    EXPECT_LE(ignore, 6) << "at most five suggestions";
    EXPECT_EQ(titles.front(), QStringLiteral("the"));
    EXPECT_EQ(titles.mid(ignore - 1), (QStringList{"", "Ignore Spelling", "Learn Spelling", "", "Undo", "Redo", "",
                                                   "Cut", "Copy", "Paste", "", "Select All"}));

    const QStringList overCode = fixture.openMenuAt(codeWord + 1);
    EXPECT_FALSE(overCode.contains(QStringLiteral("Ignore Spelling"))) << "code is not prose";
    const QStringList overCorrectWord = fixture.openMenuAt(proseWord + 6);
    EXPECT_EQ(overCorrectWord.front(), QStringLiteral("Undo"));
}

TEST(SpellingInTheView, ChoosingASuggestionReplacesTheWordAndOneUndoBringsItBack) {
    SpellingView fixture;
    fixture.view->setSelectedRange(TextRange{page.size(), 0});
    fixture.openMenuAt(proseWord + 1, QStringLiteral("the"));
    EXPECT_EQ(fixture.text().substr(9, 24), u"We saw the harbor today.");
    EXPECT_EQ(fixture.view->selectedRange(), (TextRange{page.size(), 0})) << "the caret keeps its place in the text";
    EXPECT_TRUE(waitUntil([&] { return fixture.view->continuousSpellChecking()->runSlice(); }));
    EXPECT_FALSE(fixture.underlined(proseWord));

    fixture.view->editingCore().undoManager()->undo();
    EXPECT_EQ(fixture.text(), page);
}

TEST(SpellingInTheView, LearningAWordKeepsItInThePersonalListAndDropsItsUnderline) {
    SpellingView fixture;
    fixture.openMenuAt(proseWord + 1, QStringLiteral("Learn Spelling"));
    EXPECT_TRUE(waitUntil([&] { return fixture.view->continuousSpellChecking()->misspelledRanges().empty(); }));
    EXPECT_FALSE(fixture.underlined(proseWord));
    EXPECT_EQ(fixture.text(), page);
    std::ifstream list(fixture.words / "personal.dic");
    const std::string stored((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
    EXPECT_NE(stored.find("teh"), std::string::npos) << stored;
}

TEST(SpellingInTheView, TheEditingCoreKnowsWhileAnInputMethodComposes) {
    SpellingView fixture;
    fixture.view->setFocus();
    QInputMethodEvent composing(QStringLiteral("wr"), {});
    QApplication::sendEvent(fixture.view.get(), &composing);
    EXPECT_TRUE(fixture.view->editingCore().hasMarkedText());
    grabViewport(*fixture.view); // painting while composing draws no underline at shifted offsets
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("w"));
    QApplication::sendEvent(fixture.view.get(), &commit);
    EXPECT_FALSE(fixture.view->editingCore().hasMarkedText());
}

TEST(SpellingMenuEntries, SuggestionsAreCutToFiveAndIgnoreAndLearnAlwaysFollow) {
    using Action = SpellingMenuEntry::Action;
    auto actions = [](const std::vector<std::u16string> &suggestions) {
        std::vector<Action> kinds;
        for (const SpellingMenuEntry &entry : spellingMenuEntries(suggestions)) {
            kinds.push_back(entry.action);
        }
        return kinds;
    };
    const std::vector<Action> tail{Action::ignore, Action::learn, Action::separator};
    EXPECT_EQ(actions({}), tail);
    std::vector<Action> one{Action::replace, Action::separator};
    one.insert(one.end(), tail.begin(), tail.end());
    EXPECT_EQ(actions({u"the"}), one);
    const std::vector<SpellingMenuEntry> many = spellingMenuEntries({u"a", u"b", u"c", u"d", u"e", u"f", u"g"});
    EXPECT_EQ(many.size(), 5U + 1 + tail.size());
    EXPECT_EQ(many[4].replacement, u"e");
    EXPECT_EQ(many[4].title, QStringLiteral("e"));
}
