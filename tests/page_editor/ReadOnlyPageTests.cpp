#include "EditorSessionFixture.h"

#include "library/load/LoadResult.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::testing;

// A current page held only as a summary shows its preview, read-only; a loaded page is editable again.
TEST(ReadOnlyPageTests, APageThatIsNotLoadedCannotBeEdited) {
    EditorSession session;
    VeltoPage archived = session.store->document().currentPage;
    archived.content = VeltoPageContent::archivedSummary(
        VeltoArchivedPageSummary{"The opening line", 4096, true, std::string("abc"), std::string("def")});
    VeltoStore store(session.folder / "Other", 100, 5'242'880, {},
                     VeltoLibraryLoadResult::loaded(VeltoDocument{archived, {}}));
    EditingParts parts;
    editor::EditingCore &core = parts.core;
    editor::PageUndoHistories &histories = parts.histories;
    RecordingEditorView view;
    QuietCoordinatorPanel panel;
    editor::VeltoEditorCoordinator coordinator(core, histories, view, store, *session.settingsFeed, panel,
                                               session.scheduler, session.highlighter);

    coordinator.loadCurrentPageText();
    EXPECT_EQ(core.string(), u"The opening line");
    EXPECT_FALSE(core.isEditable());
    core.insertText(u"typed ");
    core.deleteBackward();
    EXPECT_EQ(core.string(), u"The opening line");

    ASSERT_TRUE(store.createNewPage(systemClock().now()));
    coordinator.loadCurrentPageText();
    EXPECT_TRUE(core.isEditable());
    core.insertText(u"new");
    EXPECT_EQ(core.string(), u"new");
}
