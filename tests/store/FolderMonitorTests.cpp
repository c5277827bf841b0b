#include "StoreTestSupport.h"
#include "platform/desktop/InotifyWatcher.h"
#include "store/FolderChangeCoalescer.h"
#include "store/FolderMonitor.h"
#include "store/OwnFileChanges.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::ManualScheduler;
using testing::processEventsFor;
using testing::processEventsUntil;

using Paths = std::set<std::string>;

struct CoalescerHarness {
    ManualScheduler scheduler;
    std::vector<VeltoFolderChangeNotification> delivered;
    VeltoFolderChangeCoalescer coalescer{scheduler, 250ms,
                                         [this](const VeltoFolderChangeNotification &notification, std::uint64_t) {
                                             delivered.push_back(notification);
                                         }};
    CoalescerHarness() { coalescer.start(); }
};

TEST(FolderChangeCoalescer, BurstOfReportsBecomesOneNotificationAfterTheLastQuietTime) {
    CoalescerHarness harness;
    for (int index = 0; index < 5; ++index) {
        harness.coalescer.schedule(VeltoFolderChangeNotification::paths({"page-" + std::to_string(index) + ".md"}));
        harness.scheduler.advance(100ms);
    }
    EXPECT_TRUE(harness.delivered.empty());
    harness.scheduler.advance(149ms);
    EXPECT_TRUE(harness.delivered.empty());
    harness.scheduler.advance(1ms);
    ASSERT_EQ(harness.delivered.size(), 1u);
    EXPECT_EQ(harness.delivered[0],
              VeltoFolderChangeNotification::paths({"page-0.md", "page-1.md", "page-2.md", "page-3.md", "page-4.md"}));
}

TEST(FolderChangeCoalescer, PathsAfterAPendingRescanAreAbsorbedWithoutDelayingIt) {
    CoalescerHarness harness;
    harness.coalescer.schedule(VeltoFolderChangeNotification::fullRescan());
    harness.scheduler.advance(200ms);
    harness.coalescer.schedule(VeltoFolderChangeNotification::paths({"a.md"}));
    harness.scheduler.advance(50ms);
    ASSERT_EQ(harness.delivered.size(), 1u);
    EXPECT_EQ(harness.delivered[0], VeltoFolderChangeNotification::fullRescan());
}

TEST(FolderChangeCoalescer, StopDropsPendingWorkAndRaisesTheGeneration) {
    CoalescerHarness harness;
    harness.coalescer.schedule(VeltoFolderChangeNotification::paths({"a.md"}));
    harness.coalescer.stop();
    harness.scheduler.advance(1s);
    EXPECT_TRUE(harness.delivered.empty());
    EXPECT_EQ(harness.coalescer.generation(), 1u);
    harness.coalescer.schedule(VeltoFolderChangeNotification::paths({"b.md"}));
    EXPECT_EQ(harness.scheduler.pendingCount(), 0u);
}

TEST(FolderMonitorPaths, OnlyMarkdownFilesInsideTheFolderHaveARelativePath) {
    const std::filesystem::path folder = "/data/Pages";
    struct Case {
        std::filesystem::path reported;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"/data/Pages/Notes/Plan.MD", "Notes/Plan.MD"},
        {"/data/Pages/today.md", "today.md"},
        {"/data/Pages/today.txt", std::nullopt},
        {"/data/Pages/.today.md.tmp-1a2b3c", std::nullopt},
        {"/data/Other/today.md", std::nullopt},
        {"/data/Pages.md", std::nullopt},
        {"/data/Pages/.velto/stray.md", ".velto/stray.md"},
    };
    for (const Case &testCase : cases) {
        EXPECT_EQ(VeltoFolderMonitor::relativeMarkdownPath(testCase.reported, folder), testCase.expected)
            << testCase.reported;
    }
}

TEST(FolderMonitorReplay, ReplayAlwaysAsksForAFullRescan) {
    testing::TemporaryFolder folder;
    EXPECT_EQ(VeltoFolderMonitor::replayChanges(folder.path(), VeltoLibraryReconciliationCheckpoint{1, 2}),
              VeltoFolderChangeNotification::fullRescan());
}

TEST(InotifyWatcherQueue, OverflowingTheKernelsQueueAsksForAFullRescan) {
    testing::TemporaryFolder folder;
    InotifyWatcher watcher(folder.path());
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    int limit = 16384;
    limitFile >> limit;
    // Alternating files keep the kernel from folding repeated events into one.
    const std::string paths[] = {(folder / "a.md").string(), (folder / "b.md").string()};
    for (int index = 0; index <= limit; ++index) {
        int descriptor = ::open(paths[index % 2].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(descriptor, 0);
        ASSERT_EQ(::write(descriptor, "x", 1), 1);
        ::close(descriptor);
    }
    InotifyWatcher::Batch batch = watcher.readAvailableEvents();
    EXPECT_TRUE(batch.requiresFullRescan);
}

/// A monitor on a real folder, started, with its first full rescan already delivered.
struct LiveMonitor {
    testing::TemporaryFolder folder;
    VeltoOwnFileChanges ownChanges;
    std::unique_ptr<VeltoFolderMonitor> monitor;
    std::vector<VeltoFolderChangeNotification> delivered;

    LiveMonitor() {
        folder.createFolder("Notes");
        monitor = VeltoFolderMonitor::make(folder.path(), std::nullopt, ownChanges);
        monitor->start(
            [this](const VeltoFolderChangeNotification &notification) { delivered.push_back(notification); });
        EXPECT_TRUE(processEventsUntil([&] { return !delivered.empty(); }, 30s));
        EXPECT_EQ(delivered.front(), VeltoFolderChangeNotification::fullRescan());
        delivered.clear();
    }

    Paths deliveredPaths() const {
        Paths all;
        for (const auto &notification : delivered) {
            if (const Paths *paths = notification.changedPaths()) {
                all.insert(paths->begin(), paths->end());
            }
        }
        return all;
    }
};

TEST(FolderMonitor, NothingAtThePathGivesNoMonitor) {
    testing::TemporaryFolder folder;
    EXPECT_EQ(VeltoFolderMonitor::make(folder / "absent", std::nullopt), nullptr);
}

TEST(FolderMonitor, AnotherProcessesWriteArrivesWithinASecondAsARelativePath) {
    LiveMonitor live;
    auto started = std::chrono::steady_clock::now();
    std::string command = "printf 'hello' > '" + (live.folder / "Notes/Plan.md").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(live.delivered[0], VeltoFolderChangeNotification::paths({"Notes/Plan.md"}));
}

// A monitor started before the folder is read has nothing to rescan: the reading sees what came before.
TEST(FolderMonitor, WatchingStartedNowReportsTheNextWriteWithoutAFullRescan) {
    testing::TemporaryFolder folder;
    VeltoOwnFileChanges ownChanges;
    std::unique_ptr<VeltoFolderMonitor> monitor = VeltoFolderMonitor::make(folder.path(), std::nullopt, ownChanges);
    std::vector<VeltoFolderChangeNotification> delivered;
    monitor->startWatchingNow(
        [&](const VeltoFolderChangeNotification &notification) { delivered.push_back(notification); });
    folder.writeFile("right-after.md", "x"); // no event loop ran in between: the watch is in place already
    ASSERT_TRUE(processEventsUntil([&] { return !delivered.empty(); }, 30s));
    EXPECT_EQ(delivered, std::vector{VeltoFolderChangeNotification::paths({"right-after.md"})});
}

TEST(OwnChangeRecordingFileSystem, AllowsCallsFromSeveralThreadsExactlyWhenItsBaseDoes) {
    // The library loads side by side only on a file system that allows it; the store always hands it this wrapper.
    VeltoOwnFileChanges changes;
    PosixFileSystem inOrder;
    EXPECT_TRUE(OwnChangeRecordingFileSystem(defaultFileSystem(), changes).allowsConcurrentCalls());
    EXPECT_TRUE(ownChangeRecordingFileSystem().allowsConcurrentCalls());
    EXPECT_FALSE(OwnChangeRecordingFileSystem(inOrder, changes).allowsConcurrentCalls());
}

TEST(FolderMonitor, OwnWritesAndRemovalsAreNotReportedButALaterForeignWriteIs) {
    LiveMonitor live;
    OwnChangeRecordingFileSystem fileSystem(defaultFileSystem(), live.ownChanges);
    fileSystem.writeAtomically(live.folder / "mine.md", "written by this process");
    fileSystem.writeAtomically(live.folder / "gone.md", "soon removed");
    fileSystem.removeItem(live.folder / "gone.md");
    processEventsFor(900ms);
    EXPECT_TRUE(live.delivered.empty());

    std::string command = "printf 'other' > '" + (live.folder / "mine.md").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
    EXPECT_EQ(live.deliveredPaths(), Paths{"mine.md"});
}

// A change of who may read or change a file is another program's change even where this process wrote the file
// last: it can make a file that could not be read readable again (or the other way round), and nothing else about
// the file changes. A folder's permissions stand for every file in it.
TEST(FolderMonitor, APermissionChangeIsReportedAlsoOnAFileThisProcessWrote) {
    struct Case {
        const char *name;
        const char *changedPath; // relative to the folder
        VeltoFolderChangeNotification reported;
    };
    const Case cases[] = {
        {"a file this process wrote", "mine.md", VeltoFolderChangeNotification::paths({"mine.md"})},
        {"the folder that holds it", "Notes", VeltoFolderChangeNotification::fullRescan()},
    };
    for (const Case &change : cases) {
        SCOPED_TRACE(change.name);
        LiveMonitor live;
        OwnChangeRecordingFileSystem fileSystem(defaultFileSystem(), live.ownChanges);
        fileSystem.writeAtomically(live.folder / "mine.md", "written by this process");
        fileSystem.writeAtomically(live.folder / "Notes/inner.md", "written by this process too");
        processEventsFor(900ms);
        ASSERT_TRUE(live.delivered.empty());

        const std::filesystem::path changed = live.folder / change.changedPath;
        std::filesystem::permissions(changed, std::filesystem::perms::owner_read,
                                     std::filesystem::perm_options::remove);
        ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
        EXPECT_EQ(live.delivered.back(), change.reported);

        live.delivered.clear();
        std::filesystem::permissions(changed, std::filesystem::perms::owner_read, std::filesystem::perm_options::add);
        ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
        EXPECT_EQ(live.delivered.back(), change.reported);
    }
}

// A replacement swaps its new file in before it has compared the file it took out: what the monitor sees then is
// told only by the outcome, this process's file when the replacement recorded it, another's when it did not.
TEST(FolderMonitor, AChangeSeenDuringOwnReplacementWaitsForItsOutcome) {
    for (bool recordedAsOurs : {true, false}) {
        LiveMonitor live;
        const std::filesystem::path page = live.folder / "page.md";
        live.ownChanges.beginReplacing(page);
        std::string command = "printf 'swapped in' > '" + page.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        processEventsFor(900ms);
        EXPECT_TRUE(live.delivered.empty()) << "recorded as ours: " << recordedAsOurs;

        if (recordedAsOurs) {
            live.ownChanges.recordWrite(page, *defaultFileSystem().status(page, false));
        }
        live.ownChanges.endReplacing(page);
        if (recordedAsOurs) {
            processEventsFor(900ms);
            EXPECT_TRUE(live.delivered.empty());
        } else {
            ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
            EXPECT_EQ(live.deliveredPaths(), Paths{"page.md"});
        }
    }
}

// A file that a conditional replacement left alone holds another program's change: it must still be reported.
TEST(OwnChangeRecording, OnlyAReplacementThatHappenedIsOurs) {
    for (bool unchangedSinceRead : {true, false}) {
        testing::TemporaryFolder folder;
        VeltoOwnFileChanges ownChanges;
        OwnChangeRecordingFileSystem fileSystem(defaultFileSystem(), ownChanges);
        auto page = folder.writeFile("page.md", unchangedSinceRead ? "read" : "theirs");
        fileSystem.replaceIfUnchanged(page, "ours", std::string_view("read"));
        EXPECT_EQ(ownChanges.isAsLeftByThisProcess(page, defaultFileSystem().status(page)), unchangedSinceRead);
    }
}

TEST(FolderMonitor, FilesOfANewSubfolderAreReportedAndWatched) {
    LiveMonitor live;
    std::string command = "mkdir -p '" + (live.folder / "Deep/Er").string() + "' && printf x > '" +
                          (live.folder / "Deep/Er/one.md").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(processEventsUntil([&] { return live.deliveredPaths().count("Deep/Er/one.md") == 1; }, 30s));
    live.delivered.clear();
    live.folder.writeFile("Deep/Er/two.md", "y");
    ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
    EXPECT_EQ(live.deliveredPaths(), Paths{"Deep/Er/two.md"});
}

TEST(FolderMonitor, SubfolderMovedAwayAsksForAFullRescan) {
    LiveMonitor live;
    live.folder.writeFile("Notes/kept.md", "x");
    ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
    live.delivered.clear();
    testing::TemporaryFolder elsewhere;
    std::filesystem::rename(live.folder / "Notes", elsewhere / "Notes");
    ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
    EXPECT_EQ(live.delivered.back(), VeltoFolderChangeNotification::fullRescan());
}

TEST(FolderMonitor, OtherFilesDeliverNothing) {
    LiveMonitor live;
    live.folder.writeFile("notes.txt", "x");
    live.folder.writeFile("Notes/image.png", "x");
    processEventsFor(800ms);
    EXPECT_TRUE(live.delivered.empty());
}

TEST(FolderMonitor, RemovingTheWatchedFolderAsksForAFullRescan) {
    LiveMonitor live;
    std::filesystem::remove_all(live.folder.path());
    ASSERT_TRUE(processEventsUntil([&] { return !live.delivered.empty(); }, 30s));
    EXPECT_EQ(live.delivered.back(), VeltoFolderChangeNotification::fullRescan());
    EXPECT_TRUE(live.monitor->hasLostFolder());
}

TEST(FolderMonitor, NoDeliveryReachesTheHandlerAfterStop) {
    LiveMonitor live;
    live.folder.writeFile("late.md", "x");
    live.monitor->stop();
    processEventsFor(800ms);
    EXPECT_TRUE(live.delivered.empty());
}

} // namespace
} // namespace velto
