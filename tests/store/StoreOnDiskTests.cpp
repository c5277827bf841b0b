#include "StoreTestSupport.h"
#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileLocation.h"
#include "store/FolderWatchBeforeLoad.h"
#include "store/Store.h"
#include "support/StoreHarness.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <QtCore/QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <thread>
#include <tuple>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::observe;
using testing::processEventsFor;
using testing::processEventsUntil;

template <typename T> T awaitValue(QCoro::Task<T> task) {
    auto completion = observe(std::move(task));
    EXPECT_TRUE(processEventsUntil([&] { return completion->finished; }, 10s));
    EXPECT_FALSE(completion->error) << completion->errorText();
    return std::move(*completion->value);
}

void awaitDone(QCoro::Task<void> task) {
    auto completion = observe(std::move(task));
    EXPECT_TRUE(processEventsUntil([&] { return completion->finished; }, 10s));
    EXPECT_FALSE(completion->error) << completion->errorText();
}

bool containsPageWithText(const VeltoDocument &document, const std::string &text) {
    if (document.currentPage.visibleText() == text) {
        return true;
    }
    for (const VeltoPage &page : document.pages) {
        if (page.visibleText() == text) {
            return true;
        }
    }
    return false;
}

TEST(StoreOnDisk, EmptyFolderIsMissingAndTheFirstEditCreatesTheLibraryAndStartsMonitoring) {
    testing::TemporaryFolder temporary;
    std::filesystem::path folder = temporary / "Pages";
    std::unique_ptr<VeltoStore> store = awaitValue(VeltoStore::loadForApplication(folder, 100, 5'242'880));
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->loadState().isMissing());
    EXPECT_FALSE(store->isMonitoringFolder());
    EXPECT_FALSE(store->currentPageFileURL().has_value());

    store->setText("Hello from Velto\n", systemClock().now());
    awaitDone(store->flush());

    EXPECT_TRUE(store->loadState().isLoaded());
    EXPECT_TRUE(store->isMonitoringFolder());
    ASSERT_TRUE(store->currentPageFileURL().has_value());
    std::string written = defaultFileSystem().readFile(*store->currentPageFileURL());
    EXPECT_NE(written.find("Hello from Velto\n"), std::string::npos);
    store.reset();
    processEventsFor(50ms);
}

/// A store on a real library whose incremental loads are counted on their way to the library.
struct ObservedStore : testing::StoreHarness {
    std::vector<std::set<std::string>> incrementalLoads;
    int fullLoads = 0;

    ObservedStore() {
        VeltoStore::Environment environment;
        environment.loadOperation = [this](std::filesystem::path folderURL) {
            fullLoads += 1;
            return productionLoadOperation(std::move(folderURL));
        };
        environment.incrementalLoadOperation = [this](std::filesystem::path folderURL,
                                                      std::shared_ptr<const VeltoDocument> reusing,
                                                      std::set<std::string> paths) {
            incrementalLoads.push_back(paths);
            return productionIncrementalLoadOperation(std::move(folderURL), std::move(reusing), std::move(paths));
        };
        VeltoLibraryLoadResult loaded = awaitValue(productionLoadOperation(folder));
        openStore(std::move(environment), loaded);
        store->setText("first page\n", systemClock().now());
        awaitDone(store->flush());
        // Monitoring starts with a full rescan; wait until its reload is over.
        EXPECT_TRUE(processEventsUntil([&] { return fullLoads >= 1 && !store->isRefreshingFromDisk(); }, 30s));
    }

    ~ObservedStore() {
        store.reset();
        processEventsFor(50ms);
    }
};

TEST(StoreOnDisk, OwnSavesAreNotReportedBack) {
    ObservedStore observed;
    for (const char *text : {"one\n", "one two\n", "one two three\n"}) {
        observed.store->setText(text, systemClock().now());
        awaitDone(observed.store->flush());
    }
    processEventsFor(1s);
    EXPECT_TRUE(observed.incrementalLoads.empty());
    EXPECT_EQ(observed.fullLoads, 1);
    EXPECT_FALSE(observed.store->isRefreshingFromDisk());
}

TEST(StoreOnDisk, AnotherProcessesChangeReachesTheStoreWithinASecondAsAPath) {
    ObservedStore observed;
    std::string command = "printf 'Written elsewhere\\n' > '" + (observed.folder / "elsewhere.md").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // The second counts from the finished write: starting a shell from this large process can take
    // a good part of it on a busy machine, and that is no part of the store's delay.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(processEventsUntil([&] { return !observed.incrementalLoads.empty(); }, 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(observed.incrementalLoads[0], std::set<std::string>{"elsewhere.md"});
    ASSERT_TRUE(processEventsUntil([&] { return !observed.store->isRefreshingFromDisk(); }, 30s));
    EXPECT_TRUE(containsPageWithText(observed.store->document(), "Written elsewhere\n"));
    EXPECT_TRUE(containsPageWithText(observed.store->document(), "first page\n"));
}

/// Every file under the folder with the time it was last written.
std::map<std::filesystem::path, std::filesystem::file_time_type> writeTimes(const std::filesystem::path &folder) {
    std::map<std::filesystem::path, std::filesystem::file_time_type> times;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            times.emplace(entry.path(), entry.last_write_time());
        }
    }
    return times;
}

// Opening a library that did not change, and refreshing it while nothing changed, write nothing: no page file,
// no manifest, no journal. Each of them saved what the store holds before it loaded, which rewrote the manifest
// and this writer's journal, megabytes in a big library.
TEST(StoreOnDisk, LaunchAndRefreshOverAnUnchangedLibraryWriteNoFile) {
    testing::StoreHarness harness;
    testing::writeLibrary(harness.folder,
                          testing::documentOf(testing::textPage("current\n"), {testing::textPage("other\n")}));
    const auto written = writeTimes(harness.folder);
    int fullLoads = 0;
    VeltoStore::Environment environment;
    environment.loadOperation = [&fullLoads](std::filesystem::path folderURL) {
        fullLoads += 1;
        return productionLoadOperation(std::move(folderURL));
    };
    harness.openStore(std::move(environment), awaitValue(productionLoadOperation(harness.folder)));
    VeltoStore &store = *harness.store;
    // Monitoring starts with a full rescan, as at every launch.
    ASSERT_TRUE(processEventsUntil([&] { return fullLoads >= 1 && !store.isRefreshingFromDisk(); }, 30s));
    EXPECT_EQ(writeTimes(harness.folder), written) << "written by the launch";

    store.requestExternalRefresh(std::nullopt);
    ASSERT_TRUE(processEventsUntil([&] { return fullLoads >= 2 && !store.isRefreshingFromDisk(); }, 30s));
    EXPECT_EQ(writeTimes(harness.folder), written) << "written by the refresh";
    EXPECT_TRUE(containsPageWithText(store.document(), "other\n"));
    harness.store.reset();
    processEventsFor(50ms);
}

// The launch watches the folder before its load reads it: a file another program writes after the load read
// the folder still reaches the store, read alone, and the library is not read a second time.
TEST(StoreOnDisk, AChangeMadeWhileTheLaunchLoadsIsReadAloneAfterIt) {
    testing::StoreHarness harness;
    testing::writeLibrary(harness.folder,
                          testing::documentOf(testing::textPage("current\n"), {testing::textPage("other\n")}));
    std::shared_ptr<VeltoFolderWatchBeforeLoad> watch = VeltoFolderWatchBeforeLoad::begin(harness.folder);
    ASSERT_NE(watch, nullptr);
    VeltoLibraryLoadResult loaded = awaitValue(productionLoadOperation(harness.folder));
    std::string command = "printf 'Written elsewhere\\n' > '" + (harness.folder / "elsewhere.md").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(processEventsUntil([&] { return watch->holdsChanges(); }, 30s)); // reported before the store is built

    int fullLoads = 0;
    std::vector<std::set<std::string>> incrementalLoads;
    VeltoStore::Environment environment;
    environment.loadOperation = [&fullLoads](std::filesystem::path folderURL) {
        fullLoads += 1;
        return productionLoadOperation(std::move(folderURL));
    };
    environment.incrementalLoadOperation = [&incrementalLoads](std::filesystem::path folderURL,
                                                               std::shared_ptr<const VeltoDocument> reusing,
                                                               std::set<std::string> paths) {
        incrementalLoads.push_back(paths);
        return productionIncrementalLoadOperation(std::move(folderURL), std::move(reusing), std::move(paths));
    };
    environment.folderWatch = watch;
    VeltoStore &store = harness.openStore(std::move(environment), loaded);
    EXPECT_TRUE(store.isMonitoringFolder());
    ASSERT_TRUE(processEventsUntil(
        [&] { return containsPageWithText(store.document(), "Written elsewhere\n") && !store.isRefreshingFromDisk(); },
        30s));
    EXPECT_EQ(fullLoads, 0);
    ASSERT_FALSE(incrementalLoads.empty());
    EXPECT_EQ(incrementalLoads.front(), std::set<std::string>{"elsewhere.md"});
    EXPECT_TRUE(containsPageWithText(store.document(), "other\n"));
    harness.store.reset();
    processEventsFor(50ms);
}

// Plain Markdown files get their identifiers from the launch's save, and the launch's watch spares the library a
// second read. Archiving an untouched page after another program replaced a different page's file writes the
// archive flag over the identifier: the page's file holds only what this program wrote, so it keeps no copy.
TEST(StoreOnDisk, ArchivingAnUntouchedPageAfterAnotherPageChangedElsewhereMakesNoCopy) {
    testing::StoreHarness harness;
    std::filesystem::create_directories(harness.folder);
    for (const auto &[name, text] :
         {std::pair{"old.md", "Old note\n\nold body\n"}, std::pair{"fresh2.md", "Fresh two\n\nsecond\n"},
          std::pair{"fresh.md", "Fresh note\n\nfresh body\n"}}) {
        std::ofstream(harness.folder / name, std::ios::binary) << text;
    }
    std::filesystem::last_write_time(harness.folder / "old.md", std::filesystem::file_time_type::clock::now() - 72h);
    std::filesystem::last_write_time(harness.folder / "fresh2.md", std::filesystem::file_time_type::clock::now() - 1h);
    VeltoStore::Environment environment;
    environment.folderWatch = VeltoFolderWatchBeforeLoad::begin(harness.folder);
    VeltoStore &store = harness.openStore(std::move(environment), awaitValue(productionLoadOperation(harness.folder)));
    awaitDone(store.flush());
    ASSERT_TRUE(defaultFileSystem().readFile(harness.folder / "fresh.md").starts_with("---\nvelto:\n  id: "));
    std::ofstream(harness.folder / ".old.md.tmp", std::ios::binary) << "Old note\n\nold body rewritten\n";
    std::filesystem::rename(harness.folder / ".old.md.tmp", harness.folder / "old.md");
    ASSERT_TRUE(processEventsUntil(
        [&] { return containsPageWithText(store.document(), "Old note\n\nold body rewritten\n"); }, 30s));
    ASSERT_TRUE(processEventsUntil([&] { return !store.isRefreshingFromDisk(); }, 30s));
    awaitDone(store.flush()); // the identifier the reload gave the replaced file
    ASSERT_EQ(store.document().currentPage.visibleText(), "Fresh note\n\nfresh body\n");

    ASSERT_TRUE(store.archiveCurrentPage(systemClock().now()).has_value());
    awaitDone(store.flush());

    EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
    std::size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(harness.folder)) {
        files += entry.path().extension() == ".md" ? 1 : 0;
    }
    EXPECT_EQ(files, 3u) << "a copy was kept";
    const std::string archived = defaultFileSystem().readFile(harness.folder / "fresh.md");
    EXPECT_NE(archived.find("  archived: true\n---\nFresh note\n"), std::string::npos) << archived;
    harness.store.reset();
    processEventsFor(50ms);
}

TEST(StoreOnDisk, FolderRemovedWhileOpenIsWatchedAgainOnceASaveMakesItAnew) {
    ObservedStore observed;
    VeltoStore &store = *observed.store;
    std::filesystem::remove_all(observed.folder);
    // The refresh saves what the store holds before it loads, which makes the folder anew.
    ASSERT_TRUE(processEventsUntil([&] { return observed.fullLoads >= 2 && !store.isRefreshingFromDisk(); }, 30s));
    EXPECT_TRUE(std::filesystem::is_directory(observed.folder / ".velto"));
    EXPECT_TRUE(store.isMonitoringFolder());

    // The new monitor starts with a full rescan; after it, another writer's file is reported again.
    ASSERT_TRUE(processEventsUntil([&] { return observed.fullLoads >= 3 && !store.isRefreshingFromDisk(); }, 30s));
    std::string command = "printf 'Back again\\n' > '" + (observed.folder / "again.md").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // Under load the monitor may also report the refresh's own re-save, which only reads the page again: what
    // matters is that the other writer's file comes through.
    auto reportedAgain = [&] {
        return std::any_of(observed.incrementalLoads.begin(), observed.incrementalLoads.end(),
                           [](const std::set<std::string> &paths) { return paths.count("again.md") == 1; });
    };
    EXPECT_TRUE(processEventsUntil(reportedAgain, 30s));
}

/// How another program makes the current page's file one that Velto refuses to read, replacing it in one step.
struct UnreadableReplacement {
    const char *name;
    std::function<void(const std::filesystem::path &file)> write;
    const char *reason; // as the notice names it
};

const UnreadableReplacement unreadableReplacements[] = {
    {"too large",
     [](const std::filesystem::path &file) {
         std::ofstream(file, std::ios::binary) << "x";
         std::filesystem::resize_file(file, largestReadableFileBytes + 1); // sparse: no disk space taken
     },
     "File too large"},
    {"filled to within 127 bytes of the limit, no room for the page's metadata",
     [](const std::filesystem::path &file) {
         std::ofstream(file, std::ios::binary) << "x";
         std::filesystem::resize_file(file, largestReadableFileBytes - 100);
     },
     "Velto writes the page’s identifier into its file"},
    {"Latin-1", [](const std::filesystem::path &file) { std::ofstream(file, std::ios::binary) << "caf\xe9\n"; },
     "couldn’t be opened using text encoding Unicode (UTF-8)"},
};

/// What tells a file apart from the one that replaces it.
std::tuple<std::uintmax_t, std::filesystem::file_time_type, ino_t> identity(const std::filesystem::path &file) {
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0);
    return {std::filesystem::file_size(file), std::filesystem::last_write_time(file), status.st_ino};
}

/// A store whose current page was saved with a text, counting the alerts of unreadable files and the notices it
/// raises from then on.
struct StoreWithSavedPage {
    ObservedStore observed;
    VeltoStore &store = *observed.store;
    int unreadableAlerts = 0;
    int notices = 0;

    explicit StoreWithSavedPage(const std::string &text) {
        QObject::connect(&store, &VeltoStoreSignals::unreadableFilesFound, [this] { ++unreadableAlerts; });
        QObject::connect(&store, &VeltoStoreSignals::conflictNoticeRaised, [this] { ++notices; });
        store.setText(text, systemClock().now());
        awaitDone(store.flush());
    }
};

// Text held of a page whose file another program makes unreadable is kept as a recovered page, with one notice
// that names the file; the file stays as it is. A save meets the file (typed before the refresh ran); text typed
// afterwards is saved with it.
TEST(StoreOnDisk, TextOfAPageWhoseFileBecomesUnreadableIsKeptAsARecoveredPageBesideTheFile) {
    for (const UnreadableReplacement &replacement : unreadableReplacements) {
        SCOPED_TRACE(replacement.name);
        StoreWithSavedPage saved("BEFORE1\n");
        VeltoStore &store = saved.store;
        int &unreadableAlerts = saved.unreadableAlerts;
        int &notices = saved.notices;
        const std::filesystem::path file = *store.currentPageFileURL();
        const Uuid pageID = store.document().currentPage.id;

        replacement.write(file.string() + ".tmp");
        std::filesystem::rename(file.string() + ".tmp", file);
        const auto replaced = identity(file);
        store.setText("BEFORE1AFTER22\n", systemClock().now());
        awaitDone(store.flush());
        ASSERT_TRUE(processEventsUntil([&] { return notices > 0 && !store.isRefreshingFromDisk(); }, 30s));
        processEventsFor(200ms);

        EXPECT_NE(store.document().currentPage.id, pageID);
        ASSERT_TRUE(store.currentPageFileURL().has_value());
        EXPECT_NE(defaultFileSystem().readFile(*store.currentPageFileURL()).find("BEFORE1AFTER22\n"),
                  std::string::npos);
        EXPECT_EQ(identity(file), replaced) << "the unreadable file was written over";
        EXPECT_EQ(unreadableAlerts, 0);
        EXPECT_EQ(notices, 1);
        // A later notice of files that cannot be read leaves this one out.
        EXPECT_TRUE(store.unreadableFilesNamedByRecovery().contains(file.filename().string()));
        ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
        const std::string &message = store.lastSaveConflictPresentation()->message;
        EXPECT_NE(message.find("“" + file.filename().string() + "”"), std::string::npos) << message;
        EXPECT_NE(message.find(replacement.reason), std::string::npos) << message;
        EXPECT_NE(message.find("left that file as it is"), std::string::npos) << message;

        // Made readable again, the file is a page again: nothing recorded the page as deleted.
        std::ofstream(file, std::ios::binary | std::ios::trunc) << "readable again\n";
        VeltoLibraryLoadResult reloaded = awaitValue(productionLoadOperation(saved.observed.folder));
        ASSERT_NE(reloaded.asLoaded(), nullptr);
        EXPECT_TRUE(containsPageWithText(reloaded.asLoaded()->document, "readable again\n"));
        EXPECT_TRUE(containsPageWithText(reloaded.asLoaded()->document, "BEFORE1AFTER22\n"));
    }
}

std::size_t markdownFileCount(const std::filesystem::path &folder) {
    std::size_t count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        count += entry.path().extension() == ".md" ? 1 : 0;
    }
    return count;
}

bool namesUnreadableFile(const VeltoStore &store, const std::string &name) {
    return std::any_of(store.unreadableFiles().begin(), store.unreadableFiles().end(),
                       [&](const VeltoUnreadablePageFile &file) { return file.relativePath == name; });
}

// A page nobody edited holds nothing its file did not: while another program has the file unreadable, the file is
// only named, and the page comes back as it was once the file is readable again. No flip leaves a copy behind.
TEST(StoreOnDisk, PageWithoutHeldEditWhoseFileBecomesUnreadableIsOnlyNamedAndComesBackWhenReadable) {
    for (const UnreadableReplacement &replacement : unreadableReplacements) {
        SCOPED_TRACE(replacement.name);
        StoreWithSavedPage saved("kept in its file\n");
        VeltoStore &store = saved.store;
        int &unreadableAlerts = saved.unreadableAlerts;
        int &notices = saved.notices;
        const std::filesystem::path file = *store.currentPageFileURL();
        const std::string name = file.filename().string();
        const std::string original = defaultFileSystem().readFile(file);
        const Uuid pageID = store.document().currentPage.id;
        const std::size_t files = markdownFileCount(saved.observed.folder);

        for (int flip = 1; flip <= 3; ++flip) {
            SCOPED_TRACE("flip " + std::to_string(flip));
            replacement.write(file.string() + ".tmp");
            std::filesystem::rename(file.string() + ".tmp", file);
            ASSERT_TRUE(processEventsUntil(
                [&] { return namesUnreadableFile(store, name) && !store.isRefreshingFromDisk(); }, 30s));
            EXPECT_EQ(unreadableAlerts, flip);
            EXPECT_EQ(store.document().currentPage.id, pageID);

            std::ofstream(file.string() + ".tmp", std::ios::binary) << original;
            std::filesystem::rename(file.string() + ".tmp", file);
            ASSERT_TRUE(processEventsUntil(
                [&] {
                    return !namesUnreadableFile(store, name) && !store.isRefreshingFromDisk() &&
                           store.document().currentPage.visibleText() == "kept in its file\n";
                },
                30s));
            awaitDone(store.flush());
            EXPECT_EQ(store.document().currentPage.id, pageID);
            EXPECT_EQ(store.document().pages.size(), 0u);
            EXPECT_EQ(markdownFileCount(saved.observed.folder), files);
            EXPECT_EQ(defaultFileSystem().readFile(file), original);
        }
        EXPECT_EQ(notices, 0);
        EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
    }
}

const VeltoPage *pageWithText(const VeltoDocument &document, const std::string &text) {
    if (document.currentPage.visibleText() == text) {
        return &document.currentPage;
    }
    for (const VeltoPage &page : document.pages) {
        if (page.visibleText() == text) {
            return &page;
        }
    }
    return nullptr;
}

/// Runs events until `condition` holds with no refresh from disk running.
bool settlesWith(
    const VeltoStore &store, const std::function<bool()> &condition = [] { return true; }) {
    return processEventsUntil([&] { return condition() && !store.isRefreshingFromDisk(); }, 30s);
}

// A page recovered from a page made since the launch names the file it was recovered from while that file can't be
// read, as one loaded at launch does: a page made since the launch holds its date with a fraction of a second here,
// which its recovered page takes over, while the page held at the unreadable file comes from its record, in whole
// seconds. Once the file can be read and changed again, the notice of the recovery goes with the file's place in the
// list, and the recovered page stays.
TEST(StoreOnDisk, APageRecoveredBesideAFileThatCantBeReadNamesItUntilTheFileServesAgain) {
    StoreWithSavedPage saved("made at the launch\n");
    VeltoStore &store = saved.store;
    // A page made now, at a fraction of a second, and saved: reloads keep it as it is held here.
    ASSERT_TRUE(store.createNewPage(systemClock().now()).has_value());
    store.setText("BEFORE1\n", systemClock().now());
    awaitDone(store.flush());
    ASSERT_NE(store.document().currentPage.createdAt, wholeSeconds(store.document().currentPage.createdAt));
    const std::filesystem::path file = *store.currentPageFileURL();
    const std::string name = file.filename().string();
    const std::string original = defaultFileSystem().readFile(file);

    std::ofstream(file.string() + ".tmp", std::ios::binary) << "caf\xe9\n";
    std::filesystem::rename(file.string() + ".tmp", file);
    store.setText("BEFORE1 typed\n", systemClock().now());
    awaitDone(store.flush());
    ASSERT_TRUE(settlesWith(store, [&] { return saved.notices > 0 && namesUnreadableFile(store, name); }));
    processEventsFor(900ms); // the monitor's report of the replacement, and the refresh it brings
    ASSERT_TRUE(settlesWith(store));

    const VeltoPage *recovered = pageWithText(store.document(), "BEFORE1 typed\n");
    ASSERT_NE(recovered, nullptr);
    ASSERT_EQ(recovered->fileSlug, "recovered-page");
    const std::optional<VeltoUnreadablePageFile> named = store.unreadableFileRecoveredAs(*recovered);
    ASSERT_TRUE(named.has_value()) << "the recovered page names no file";
    EXPECT_EQ(named->relativePath, name);
    ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());

    std::ofstream(file.string() + ".tmp", std::ios::binary) << original;
    std::filesystem::rename(file.string() + ".tmp", file);
    ASSERT_TRUE(settlesWith(store, [&] { return !namesUnreadableFile(store, name); }));
    EXPECT_FALSE(store.lastSaveConflictPresentation().has_value()) << store.lastSaveConflictPresentation()->title;
    EXPECT_NE(pageWithText(store.document(), "BEFORE1 typed\n"), nullptr);
    EXPECT_NE(pageWithText(store.document(), "BEFORE1\n"), nullptr);
}

// A file that can't be read stays listed while other files change: a refresh of other paths says nothing of it.
TEST(StoreOnDisk, AFileThatCantBeReadStaysListedWhileOtherFilesChange) {
    ObservedStore observed;
    VeltoStore &store = *observed.store;
    std::ofstream(observed.folder / "latin.md", std::ios::binary) << "caf\xe9\n";
    ASSERT_TRUE(settlesWith(store, [&] { return namesUnreadableFile(store, "latin.md"); }));
    const std::size_t loadsBefore = observed.incrementalLoads.size();

    std::ofstream(observed.folder / "other.md", std::ios::binary) << "written elsewhere\n";
    ASSERT_TRUE(settlesWith(store, [&] {
        return observed.incrementalLoads.size() > loadsBefore &&
               containsPageWithText(store.document(), "written elsewhere\n");
    }));
    EXPECT_TRUE(namesUnreadableFile(store, "latin.md"));
}

// A folder of pages that another program replaces by a link out of the Pages folder while the store runs is named
// as a launch names it, whether the folder was moved away or removed before the link was made; its pages stay.
TEST(StoreOnDisk, AFolderOfPagesReplacedByALinkOutOfTheFolderIsNamedWhileRunning) {
    for (const bool movedAway : {true, false}) {
        SCOPED_TRACE(movedAway ? "moved away" : "removed");
        ObservedStore observed;
        VeltoStore &store = *observed.store;
        const std::filesystem::path folder = observed.folder / "Linked";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "linked.md", std::ios::binary) << "linked page\n";
        ASSERT_TRUE(settlesWith(store, [&] { return containsPageWithText(store.document(), "linked page\n"); }));
        awaitDone(store.flush());
        processEventsFor(900ms);
        ASSERT_TRUE(settlesWith(store));
        ASSERT_TRUE(store.unreadableFiles().empty());

        testing::TemporaryFolder outside;
        if (movedAway) {
            std::filesystem::rename(folder, outside / "Linked");
        } else {
            std::filesystem::copy(folder, outside / "Linked", std::filesystem::copy_options::recursive);
            std::filesystem::remove_all(folder);
        }
        std::filesystem::create_directory_symlink(outside / "Linked", folder);

        auto namesTheLink = [&] {
            return std::any_of(store.unreadableFiles().begin(), store.unreadableFiles().end(),
                               [](const VeltoUnreadablePageFile &file) {
                                   return file.relativePath.starts_with("Linked/") &&
                                          file.reason == VeltoPageLibrary::folderLinkOutsideReason;
                               });
        };
        ASSERT_TRUE(settlesWith(store, namesTheLink))
            << (store.unreadableFiles().empty() ? "nothing named" : store.unreadableFiles().front().reason);
        EXPECT_TRUE(containsPageWithText(store.document(), "first page\n"));
        EXPECT_EQ(store.document().pages.size(), 1u) << "the linked folder's page left the library";
    }
}

/// The Markdown files of the folder, with their bytes, by name.
std::map<std::string, std::string> markdownFiles(const std::filesystem::path &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".md") {
            files.emplace(entry.path().filename().string(), defaultFileSystem().readFile(entry.path()));
        }
    }
    return files;
}

// A Markdown file its owner made read-only (as license files ship) is a page shown as it is: no identifier is
// written into it, no copy kept of it and no notice given, at the first launch or any later one, whether the folder
// held no library yet or the file joined a library already there; the page stays the same page from launch to
// launch. Only text typed into it is kept beside it, as one recovered page.
TEST(StoreOnDisk, AReadOnlyMarkdownFileIsAPageLeftAsItIsAtEveryLaunch) {
    for (const bool libraryThereFirst : {false, true}) {
        SCOPED_TRACE(libraryThereFirst ? "file added to a library" : "folder without a library");
        testing::TemporaryFolder temporary;
        const std::filesystem::path folder = temporary / "Pages";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "plain.md", std::ios::binary) << "Plain note\n\nplain body\n";
        std::filesystem::last_write_time(folder / "plain.md", std::filesystem::file_time_type::clock::now() - 1h);
        if (libraryThereFirst) {
            auto store = awaitValue(VeltoStore::loadForApplication(folder, 100, 5'242'880));
            awaitDone(store->flush());
            store.reset();
            processEventsFor(50ms);
        }
        const std::filesystem::path license = folder / "LICENSE.md";
        const std::string licenseText = "The License\n\nPermission is hereby granted.\n";
        std::ofstream(license, std::ios::binary) << licenseText;
        ASSERT_EQ(::chmod(license.c_str(), 0444), 0);

        std::optional<Uuid> licensePageID;
        for (int launch = 1; launch <= 2; ++launch) {
            SCOPED_TRACE("launch " + std::to_string(launch));
            auto store = awaitValue(VeltoStore::loadForApplication(folder, 100, 5'242'880));
            int notices = 0;
            QObject::connect(store.get(), &VeltoStoreSignals::conflictNoticeRaised, [&] { ++notices; });
            awaitDone(store->flush());

            const VeltoPage *licensePage = pageWithText(store->document(), licenseText);
            ASSERT_NE(licensePage, nullptr) << "the read-only file is no page";
            EXPECT_EQ(licensePageID.value_or(licensePage->id), licensePage->id) << "another page at each launch";
            licensePageID = licensePage->id;
            const auto files = markdownFiles(folder);
            EXPECT_EQ(files.size(), 2u) << "a copy was kept";
            EXPECT_EQ(files.at("LICENSE.md"), licenseText);
            EXPECT_TRUE(files.at("plain.md").starts_with("---\nvelto:\n  id: ")) << files.at("plain.md");
            EXPECT_EQ(notices, 0);
            EXPECT_FALSE(store->lastSaveConflictPresentation().has_value());
            store.reset();
            processEventsFor(50ms);
        }

        for (int launch = 3; launch <= 4; ++launch) {
            SCOPED_TRACE("launch " + std::to_string(launch));
            auto store = awaitValue(VeltoStore::loadForApplication(folder, 100, 5'242'880));
            awaitDone(store->flush());
            if (launch == 3) {
                const Uuid licensePage = pageWithText(store->document(), licenseText)->id;
                if (store->document().currentPage.id != licensePage) {
                    ASSERT_TRUE(store->selectPageOperation(licensePage).has_value());
                }
                store->setText(licenseText + "typed words\n", systemClock().now());
                awaitDone(store->flush());
            }
            const auto files = markdownFiles(folder);
            EXPECT_EQ(files.size(), 3u);
            EXPECT_EQ(files.at("LICENSE.md"), licenseText);
            EXPECT_EQ(std::count_if(files.begin(), files.end(),
                                    [](const auto &file) { return file.second.ends_with("typed words\n"); }),
                      1);
            store.reset();
            processEventsFor(50ms);
        }
    }
}

// A symbolic link another program makes to the open page's file while the store runs is that page, as it is when
// the store finds the link at launch: saves go on landing in the page's file.
TEST(StoreOnDisk, LinkMadeToThePageFileWhileRunningIsThatPage) {
    ObservedStore observed;
    VeltoStore &store = *observed.store;
    const std::filesystem::path file = *store.currentPageFileURL();
    std::filesystem::create_symlink(file.filename(), observed.folder / "alias.md");
    auto reportedAlias = [&] {
        return std::any_of(observed.incrementalLoads.begin(), observed.incrementalLoads.end(),
                           [](const std::set<std::string> &paths) { return paths.contains("alias.md"); });
    };
    ASSERT_TRUE(processEventsUntil([&] { return reportedAlias() && !store.isRefreshingFromDisk(); }, 30s));
    EXPECT_EQ(store.document().pages.size(), 0u);

    store.setText("saved through the link's page\n", systemClock().now());
    awaitDone(store.flush());
    EXPECT_FALSE(store.lastSaveErrorDescription().has_value()) << *store.lastSaveErrorDescription();
    EXPECT_NE(defaultFileSystem().readFile(file).find("saved through the link's page\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(observed.folder / "alias.md"));
}

TEST(StoreOnDisk, ReadingAPageWhileAnotherWriterHoldsTheLockLeavesTheMainThreadFree) {
    ObservedStore observed;
    VeltoStore &store = *observed.store;
    Uuid pageID = store.document().currentPage.id;

    std::promise<void> locked;
    std::promise<void> release;
    std::thread otherWriter([&] {
        VeltoPageLibrary::withLibraryLocks({observed.folder}, VeltoPageLibrary::LibraryLockMode::exclusive, [&] {
            locked.set_value();
            release.get_future().wait();
        });
    });
    locked.get_future().wait();

    auto refreshed = observe(store.refreshPagesFromDisk({pageID}));
    bool timerRan = false;
    QTimer::singleShot(50ms, [&] { timerRan = true; });
    EXPECT_TRUE(processEventsUntil([&] { return timerRan; }, 2s)) << "the main thread went on running";
    EXPECT_FALSE(refreshed->finished) << "the read waits for the lock";

    release.set_value();
    otherWriter.join();
    ASSERT_TRUE(processEventsUntil([&] { return refreshed->finished; }, 30s));
    EXPECT_FALSE(refreshed->error) << refreshed->errorText();
    EXPECT_EQ(*refreshed->value, std::set<Uuid>{pageID});
    EXPECT_EQ(store.document().currentPage.visibleText(), "first page\n");
}

// A first launch over a page another program wrote in 2020, beside a recent page and a file that cannot be read:
// the launch writes the page's identifier into its file, which makes the file's date today. The archiving that
// follows (the tray menu's, here) still sees a page untouched since 2020 and archives it, where it took the
// identifier's write for the user's activity and left the page active, dated today, while the menu had already
// left it out as being archived.
TEST(StoreOnDisk, AnOldPageWhoseFileGainsItsIdentifierAtTheFirstLaunchIsStillArchivedByItsAge) {
    testing::TemporaryFolder temporary;
    const std::filesystem::path folder = temporary / "Pages";
    const std::string oldText = "Untouched since 2020\n";
    temporary.writeFile("Pages/recent.md", "Written today\n");
    temporary.writeFile("Pages/old.md", oldText);
    temporary.writeFile("Pages/latin.md", "caf\xe9\n");
    const auto lastWrittenIn = std::filesystem::file_time_type::clock::now() - std::chrono::days(6 * 365);
    std::filesystem::last_write_time(folder / "old.md", lastWrittenIn);

    // No archiving at the launch itself, so that the one below meets the file with its identifier written.
    std::unique_ptr<VeltoStore> store =
        awaitValue(VeltoStore::loadForApplication(folder, 100, 5'242'880, VeltoAutoArchivePeriod::never()));
    ASSERT_TRUE(store->loadState().isLoaded());
    ASSERT_EQ(store->unreadableFiles().size(), 1u);
    ASSERT_TRUE(processEventsUntil(
        [&] { return defaultFileSystem().readFile(folder / "old.md").find("velto:") != std::string::npos; }, 30s))
        << "the identifier is written into the old page's file";
    awaitDone(store->flush());
    ASSERT_TRUE(settlesWith(*store));

    store->setAutoArchivePeriod(VeltoAutoArchivePeriod::oneWeek());
    EXPECT_EQ(awaitValue(store->autoArchiveEligiblePages(systemClock().now())), 1);
    const VeltoPage *old = pageWithText(store->document(), oldText);
    ASSERT_NE(old, nullptr);
    EXPECT_TRUE(store->document().archivedPageIDs().contains(old->id)) << "listed among the archived pages";
    EXPECT_LT(old->updatedAt.value_or(old->createdAt), systemClock().now() - std::chrono::days(365));
    store.reset();
    processEventsFor(50ms);
}

} // namespace
} // namespace velto
