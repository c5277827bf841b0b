#include "SettingsTestSupport.h"

#include "support/TemporaryFolder.h"
#include "ui/HoverButton.h"

#include <QtGui/QAction>

#include <sys/stat.h>
#include <unistd.h>

namespace velto::testing {
namespace {

using Operation = VeltoFolderConnectionOperation;
using Mode = VeltoFolderOwnershipMode;

class PagesFolderFlow : public SettingsWindowTest {
protected:
    void SetUp() override {
        SettingsWindowTest::SetUp();
        doubles.pagesFolder = files.createFolder("Current");
    }
    void choose(const std::filesystem::path &folder) {
        doubles.chosenFolder = folder;
        finish(controller().storagePage().choosePagesFolder());
    }
    std::optional<VeltoFolderConnectionChoice> handedOn() const {
        if (doubles.folderChanges.empty()) {
            return std::nullopt;
        }
        return doubles.folderChanges.back().selection;
    }
    void expectControlsBack() {
        EXPECT_TRUE(controller().storagePage().pagesFolderButton->isEnabled());
        EXPECT_TRUE(controller().storagePage().resetPagesFolderAction->isEnabled());
        EXPECT_FALSE(controller().storagePage().isChangingPagesFolder());
    }

    TemporaryFolder files;
};

TEST_F(PagesFolderFlow, OutcomesByWhatTheFolderHoldsAndTheAnswers) {
    files.writeFile("Library/.velto/manifest.json", "{}");
    files.createFolder("Empty");
    files.writeFile("Notes/one.md", "# One\n");
    files.writeFile("Notes/two.md", "# Two\n");
    files.writeFile("Nested/one.md", "# One\n");
    files.writeFile("Nested/Velto/.velto/manifest.json", "{}");

    struct Case {
        const char *name;
        const char *folder;
        std::deque<int> answers;
        std::vector<std::string> dialogs;
        std::optional<VeltoFolderConnectionChoice> decision;
    };
    const Case cases[] = {
        {"library",
         "Library",
         {},
         {},
         VeltoFolderConnectionChoice{files / "Library", Mode::wholeFolder, Operation::connectExistingLibrary}},
        {"empty, fresh",
         "Empty",
         {1000},
         {"Start fresh in “Empty”?"},
         VeltoFolderConnectionChoice{files / "Empty", Mode::managedFolder, Operation::useSelectedFolderContents}},
        {"empty, copy",
         "Empty",
         {1001},
         {"Start fresh in “Empty”?"},
         VeltoFolderConnectionChoice{files / "Empty", Mode::managedFolder, Operation::copyCurrentLibrary}},
        {"subfolder, copy",
         "Notes",
         {1000, 1001},
         {"Keep this vault unchanged?", "Start fresh in “Velto”?"},
         VeltoFolderConnectionChoice{files / "Notes" / "Velto", Mode::managedFolder, Operation::copyCurrentLibrary}},
        {"subfolder holding a library",
         "Nested",
         {1000},
         {"Keep this vault unchanged?"},
         VeltoFolderConnectionChoice{files / "Nested" / "Velto", Mode::managedFolder,
                                     Operation::connectExistingLibrary}},
        {"entire folder, its pages",
         "Notes",
         {1001, 1000, 1000},
         {"Keep this vault unchanged?", "Let Velto manage this entire folder?", "Bring your current pages to “Notes”?"},
         VeltoFolderConnectionChoice{files / "Notes", Mode::wholeFolder, Operation::useSelectedFolderContents}},
        {"entire folder, then cancel",
         "Notes",
         {1001, 1001},
         {"Keep this vault unchanged?", "Let Velto manage this entire folder?"},
         std::nullopt},
        {"cancel the first question", "Notes", {1002}, {"Keep this vault unchanged?"}, std::nullopt},
        {"cancel the content question", "Empty", {1002}, {"Start fresh in “Empty”?"}, std::nullopt},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        doubles.alerts.clear();
        doubles.folderChanges.clear();
        doubles.alertAnswers = test.answers;
        choose(files / test.folder);
        EXPECT_EQ(doubles.alertTitles(), test.dialogs);
        EXPECT_EQ(handedOn(), test.decision);
        EXPECT_EQ(doubles.folderChanges.empty(), !test.decision.has_value());
        expectControlsBack();
    }
}

TEST_F(PagesFolderFlow, QuestionTextsCountEveryLineInTheNumberOfItsCount) {
    files.writeFile("Notes/one.md", "# One\n");
    doubles.alertAnswers = {1001, 1001};
    choose(files / "Notes");
    ASSERT_EQ(doubles.alerts.size(), 2u);
    EXPECT_EQ(doubles.alerts[0].message,
              QStringLiteral("This folder contains 1 Markdown file. Velto recommends using a "
                             "Velto subfolder so that file remains untouched."));
    EXPECT_EQ(doubles.alerts[0].buttons.first(), QStringLiteral("Use a Velto Subfolder"));
    EXPECT_FALSE(doubles.alerts[0].showsApplicationIcon);
    EXPECT_EQ(doubles.alerts[1].message,
              QStringLiteral("1 Markdown file found\n1 file will receive a Velto ID\n0 pages will be archived by the "
                             "active limit\n0 files are still downloading\n0 files could not be inspected"));
}

TEST_F(PagesFolderFlow, NestedFoldersAreRefusedBeforeAnyQuestion) {
    files.writeFile("Current/Inner/one.md", "# One\n");
    const std::pair<std::filesystem::path, const char *> cases[] = {
        {files / "Current" / "Inner", "Velto can’t use a folder inside your current Pages folder."},
        {files.path(), "Velto can’t use a folder that contains your current Pages folder."},
    };
    for (const auto &[folder, message] : cases) {
        doubles.alerts.clear();
        choose(folder);
        ASSERT_EQ(doubles.alerts.size(), 1u);
        EXPECT_EQ(doubles.alerts[0].title, QStringLiteral("Couldn’t inspect pages folder"));
        EXPECT_EQ(doubles.alerts[0].message.toStdString(), message);
        EXPECT_TRUE(doubles.folderChanges.empty());
        expectControlsBack();
    }
    // A folder inside another library would be adopted by it.
    files.writeFile("Other/.velto/manifest.json", "{}");
    files.writeFile("Other/Inner/one.md", "# One\n");
    doubles.alerts.clear();
    choose(files / "Other" / "Inner");
    ASSERT_EQ(doubles.alerts.size(), 1u);
    EXPECT_EQ(doubles.alerts[0].message, QStringLiteral("Velto can’t use a folder inside another Velto library (“%1”).")
                                             .arg(QString::fromStdString((files / "Other").string())));
    // A symbolic link into the current folder is the same folder inside it.
    std::filesystem::create_directory_symlink(files / "Current" / "Inner", files / "Link");
    doubles.alerts.clear();
    choose(files / "Link");
    EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Couldn’t inspect pages folder"}));
    // The current folder itself is allowed: it holds no library yet, so the content question comes.
    doubles.alerts.clear();
    choose(files / "Current");
    EXPECT_NE(doubles.alertTitles(), (std::vector<std::string>{"Couldn’t inspect pages folder"}));
}

TEST_F(PagesFolderFlow, FolderThatCannotBeReadOrWrittenIsRefusedBeforeAsking) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    files.writeFile("Locked/one.md", "# One\n");
    files.writeFile("ReadOnly/one.md", "# One\n");
    ::chmod((files / "Locked").c_str(), 0);
    ::chmod((files / "ReadOnly").c_str(), 0555);
    for (const char *name : {"Locked", "ReadOnly"}) {
        doubles.alerts.clear();
        choose(files / name);
        EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Couldn’t inspect pages folder"})) << name;
    }
    ::chmod((files / "Locked").c_str(), 0755);
    ::chmod((files / "ReadOnly").c_str(), 0755);
}

TEST_F(PagesFolderFlow, FailedChangeIsReportedAndTheControlsComeBack) {
    files.writeFile("Library/.velto/manifest.json", "{}");
    doubles.folderChangeError = "The folder “Library” couldn’t be opened.";
    choose(files / "Library");
    EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Couldn’t change pages folder"}));
    EXPECT_EQ(doubles.alerts[0].message, QStringLiteral("The folder “Library” couldn’t be opened."));
    expectControlsBack();
}

TEST_F(PagesFolderFlow, RefreshDuringAChangeKeepsBothEntryPointsDisabled) {
    files.writeFile("Library/.velto/manifest.json", "{}");
    SettingsWindowCallbacks callbacks = doubles.callbacks();
    std::optional<std::pair<bool, bool>> seen;
    callbacks.storage.onPagesFolderChange = [&](VeltoFolderConnectionDecision) -> QCoro::Task<void> {
        controller_->refresh();
        seen = {controller_->storagePage().pagesFolderButton->isEnabled(),
                controller_->storagePage().resetPagesFolderAction->isEnabled()};
        co_return;
    };
    makeController(callbacks);
    choose(files / "Library");
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, std::make_pair(false, false));
    expectControlsBack();
}

TEST_F(PagesFolderFlow, CancelledChooserChangesNothing) {
    doubles.chosenFolder.reset();
    finish(controller().storagePage().choosePagesFolder());
    EXPECT_TRUE(doubles.folderChanges.empty());
}

TEST_F(PagesFolderFlow, DeletingArchivedPages) {
    doubles.archive.pageIDs = {Uuid::random(), Uuid::random()};
    doubles.archive.totalBytes = 2000;

    finish(controller().storagePage().confirmDeleteArchivedPages()); // cancelled
    EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Delete 2 archived pages?"}));
    EXPECT_EQ(doubles.count("delete:2"), 0);

    doubles.alertAnswers = {firstButtonResponse};
    finish(controller().storagePage().confirmDeleteArchivedPages());
    EXPECT_EQ(doubles.count("delete:2"), 1);

    doubles.alerts.clear();
    doubles.alertAnswers = {firstButtonResponse};
    doubles.deletionError = "The archive couldn’t be read.";
    finish(controller().storagePage().confirmDeleteArchivedPages());
    EXPECT_EQ(doubles.beeps, 1);
    EXPECT_EQ(doubles.alertTitles(),
              (std::vector<std::string>{"Delete 2 archived pages?", "The archive couldn’t be read."}));

    doubles.canDelete = false;
    doubles.alerts.clear();
    finish(controller().storagePage().confirmDeleteArchivedPages());
    EXPECT_EQ(doubles.beeps, 2);
    EXPECT_TRUE(doubles.alerts.empty());
}

} // namespace
} // namespace velto::testing
