#include "TextViewTestSupport.h"

#include "editor/CoroutineTestSupport.h"
#include "editor/TestEditingTarget.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

using namespace velto::editor;
using velto::editor::testing::marked;
using velto::editor::testing::parseMarked;
using velto::editor::testing::utf8;
using velto::editor::testsupport::finish;

namespace {

/// A shown, styled view holding the marked text with its selection.
std::unique_ptr<VeltoTextView> viewWith(std::u16string_view markedText) {
    const velto::editor::testing::MarkedText parsed = parseMarked(markedText);
    auto view = velto::testing::makeTextView(parsed.text);
    view->setSelectedRange(parsed.selection);
    return view;
}

void press(VeltoTextView &view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = {}) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(&view, &event);
}

std::string shown(const VeltoTextView &view) {
    return utf8(marked(view));
}

void putOnClipboard(QMimeData *data) {
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

} // namespace

TEST(TextViewEditingRulesTests, ReturnAndShiftReturnContinueLists) {
    auto view = viewWith(u"- [x] a‸");
    press(*view, Qt::Key_Return);
    EXPECT_EQ(shown(*view), utf8(u"- [x] a\n- [ ] ‸"));
    press(*view, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(shown(*view), utf8(u"- [x] a\n‸"));
    press(*view, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(shown(*view), utf8(u"- [x] a\n\n‸"));
}

TEST(TextViewEditingRulesTests, TabAndShiftTabIndentTheSelectedLines) {
    auto view = viewWith(u"«a\nb»");
    press(*view, Qt::Key_Tab);
    EXPECT_EQ(shown(*view), utf8(u"«  a\n  b»"));
    press(*view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(shown(*view), utf8(u"«a\nb»"));
}

TEST(TextViewEditingRulesTests, TypedKeysAndBackspaceFollowThePairRules) {
    auto view = viewWith(u"```\n‸\n```\n");
    press(*view, Qt::Key_ParenLeft, Qt::ShiftModifier, QStringLiteral("("));
    EXPECT_EQ(shown(*view), utf8(u"```\n(‸)\n```\n"));
    press(*view, Qt::Key_Backspace);
    EXPECT_EQ(shown(*view), utf8(u"```\n‸\n```\n"));

    auto prose = viewWith(u"a «word» b");
    press(*prose, Qt::Key_QuoteDbl, Qt::ShiftModifier, QStringLiteral("\""));
    EXPECT_EQ(shown(*prose), utf8(u"a \"«word»\" b"));
}

TEST(TextViewEditingRulesTests, CommittedInputMethodTextGoesThroughTheTypingRules) {
    auto view = viewWith(u"one «two» three");
    QInputMethodEvent event(QString(), {});
    event.setCommitString(QStringLiteral("("), -4, 3); // the input method names "one", not the selection
    QCoreApplication::sendEvent(view.get(), &event);
    EXPECT_EQ(shown(*view), utf8(u"(«one») two three"));
}

TEST(TextViewEditingRulesTests, TypingRuleAndTypingAreThreeUndoStepsGivingBackEachText) {
    auto view = viewWith(u"```\n‸\n```\n");
    press(*view, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    press(*view, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
    press(*view, Qt::Key_BracketLeft, Qt::NoModifier, QStringLiteral("["));
    press(*view, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    EXPECT_EQ(shown(*view), utf8(u"```\nab[c‸]\n```\n"));
    UndoManager &undo = *view->editingCore().undoManager();
    undo.undo();
    EXPECT_EQ(utf8(view->storage().string()), utf8(u"```\nab[]\n```\n"));
    undo.undo();
    EXPECT_EQ(utf8(view->storage().string()), utf8(u"```\nab\n```\n"));
    undo.undo();
    EXPECT_EQ(utf8(view->storage().string()), utf8(u"```\n\n```\n"));
}

TEST(TextViewEditingRulesTests, PasteKeyReadsTheClipboardThroughThePasteRules) {
    int reports = 0;
    auto view = viewWith(u"a\r‸b");
    QObject::connect(view.get(), &VeltoTextView::pastedMarkdown, [&reports] { ++reports; });
    auto *plain = new QMimeData;
    plain->setText(QStringLiteral("1\r\n2"));
    putOnClipboard(plain);
    press(*view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown(*view), utf8(u"a\r1\n2‸b"));
    EXPECT_EQ(reports, 1);

    auto *address = new QMimeData;
    address->setText(QStringLiteral("https://example.com/x"));
    putOnClipboard(address);
    view->setSelectedRange(TextRange{0, 1});
    finish(view->paste());
    EXPECT_EQ(shown(*view), utf8(u"[a](https://example.com/x)‸\r1\n2b"));
    EXPECT_EQ(reports, 2);
}

/// Rich text is read off the main thread; what the user does meanwhile decides where, or whether, it lands.
TEST(TextViewEditingRulesTests, RichTextLandsWhereItsPasteStartedOrNowhere) {
    struct Case {
        const char *name;
        std::function<void(VeltoTextView &)> meanwhile;
        std::u16string expected;
    };
    const Case cases[] = {
        {"nothing", [](VeltoTextView &) {}, u"ab\ncd pasted‸"},
        {"the caret moved",
         [](VeltoTextView &view) {
             view.setSelectedRange(TextRange{0, 0});
         },
         u"ab\ncd pasted‸"},
        {"a key typed", [](VeltoTextView &view) { view.editingCore().insertText(u"!"); }, u"ab\ncd !‸"},
        {"another page shown",
         [](VeltoTextView &view) {
             view.editingCore().replaceText(TextRange{0, view.storage().length()}, u"other page", TextRange{0, 0});
         },
         u"‸other page"},
        {"made read-only", [](VeltoTextView &view) { view.setEditable(false); }, u"ab\ncd ‸"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // The reading runs on another thread; a reading that ended before the paste could wait for it proves
        // nothing about the wait, so the case runs again.
        bool waited = false;
        for (int attempt = 0; attempt < 5 && !waited; ++attempt) {
            auto view = viewWith(u"ab\ncd ‸");
            auto *html = new QMimeData;
            QString markup = QStringLiteral("<p>pasted");
            for (int span = 0; span < 20'000; ++span) {
                markup += QStringLiteral("<b></b>");
            }
            html->setHtml(markup + QStringLiteral("</p>"));
            putOnClipboard(html);
            QCoro::Task<void> pasting = view->paste();
            waited = !pasting.isReady();
            if (waited) {
                c.meanwhile(*view);
            }
            finish(std::move(pasting));
            if (waited) {
                EXPECT_EQ(shown(*view), utf8(c.expected));
            }
        }
        EXPECT_TRUE(waited) << "the rich text was always read before the paste could wait for it";
    }
}

TEST(TextViewEditingRulesTests, HtmlOnTheClipboardIsPastedAsItsText) {
    auto view = viewWith(u"x‸");
    auto *html = new QMimeData;
    html->setHtml(QStringLiteral("<p>one</p><p>two</p>"));
    putOnClipboard(html);
    finish(view->paste());
    EXPECT_EQ(shown(*view), utf8(u"xone\ntwo‸"));
    finish(view->pasteAsPlainText());
    EXPECT_EQ(shown(*view), utf8(u"xone\ntwoone\ntwo‸"));
}
