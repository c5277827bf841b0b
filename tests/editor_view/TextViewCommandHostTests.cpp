#include "TextViewTestSupport.h"

#include "editor/CoroutineTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>
#include <string>
#include <vector>

using namespace velto;
using namespace velto::editor;
using velto::editor::testsupport::finish;

namespace {

/// The owner's side: records the commands run and the events reported, in one list.
struct RecordingCommandHost final : TextViewCommandHost {
    std::vector<std::string> seen;
    std::vector<VeltoCommandID> unavailable;

    void performCommand(VeltoCommandID id) override { seen.push_back(rawValue(id).toStdString()); }
    bool isCommandAvailable(VeltoCommandID id) const override {
        return std::find(unavailable.begin(), unavailable.end(), id) == unavailable.end();
    }
    void editorEvent(const EditorEvent &event) override {
        seen.push_back(event.kind == EditorEvent::Kind::endPageCycle ? "end" : "other event");
    }
};

} // namespace

TEST(TextViewCommandHostTests, KeysAndMenuItemsOfTheViewReachTheHostItWasMadeWith) {
    velto::testing::ensureWidgetApplication();
    RecordingCommandHost host;
    host.unavailable = {VeltoCommandID::archivePage};
    VeltoTextView view(host);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    QCoreApplication::sendEvent(&view, &escape);
    view.performVeltoCommand(QStringLiteral("settings.open"));
    EXPECT_EQ(host.seen, (std::vector<std::string>{"end", "panel.close", "settings.open"}));

    struct Row {
        const char *identifier;
        bool enabled;
    };
    const Row rows[] = {{"page.new", true}, {"page.archive", false}, {"copy", true}};
    for (const Row &row : rows) {
        EXPECT_EQ(view.validateMenuItem(QString::fromLatin1(row.identifier)), row.enabled) << row.identifier;
    }
}

TEST(TextViewCommandHostTests, PasteAndMatchStyleIsToldOnlyWhenItChangedTheText) {
    auto view = velto::testing::makeTextView(u"ab");
    view->setSelectedRange(TextRange{2, 0});
    int markdown = 0;
    int plain = 0;
    QObject::connect(view.get(), &VeltoTextView::pastedMarkdown, [&markdown] { ++markdown; });
    QObject::connect(view.get(), &VeltoTextView::pastedAsPlainText, [&plain] { ++plain; });
    auto *text = new QMimeData;
    text->setText(QStringLiteral("**x**"));
    QGuiApplication::clipboard()->setMimeData(text, QClipboard::Clipboard);

    finish(view->pasteAsPlainText());
    EXPECT_EQ(view->storage().string(), u"ab**x**");
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(markdown, 0) << "pasted as plain text, never interpreted";

    view->setEditable(false);
    finish(view->pasteAsPlainText());
    EXPECT_EQ(plain, 1) << "a read-only view changes nothing";
}
