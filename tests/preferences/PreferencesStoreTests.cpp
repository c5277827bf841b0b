#include "PreferencesTestSupport.h"

#include <stdexcept>
#include <thread>

namespace velto {
namespace {

using PreferencesStoreTest = testing::TemporaryPreferences;

TEST_F(PreferencesStoreTest, WriteOutsideBatchPostsOnce) {
    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    EXPECT_EQ(changes, 1);
}

TEST_F(PreferencesStoreTest, BatchOfTenWritesPostsOnceAfterBody) {
    int changesSeenInBody = -1;
    store->performBatch([&] {
        for (int index = 0; index < 10; ++index) {
            VeltoPreferences::setFormatsMarkdown(index % 2 == 0);
        }
        changesSeenInBody = changes;
    });
    EXPECT_EQ(changesSeenInBody, 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(PreferencesStoreTest, BatchWithoutWritesPostsNothing) {
    store->performBatch([] {});
    EXPECT_EQ(changes, 0);
}

TEST_F(PreferencesStoreTest, NestedBatchPostsOnlyWhenOutermostEnds) {
    int changesAfterInner = -1;
    store->performBatch([&] {
        store->performBatch([] { VeltoPreferences::setAppearance(AppearanceChoice::light); });
        changesAfterInner = changes;
        VeltoPreferences::setAppearance(AppearanceChoice::dark);
    });
    EXPECT_EQ(changesAfterInner, 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(PreferencesStoreTest, BatchThatThrowsStillPostsItsChange) {
    EXPECT_THROW(store->performBatch([] {
        VeltoPreferences::setAppearance(AppearanceChoice::dark);
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(changes, 1);
    VeltoPreferences::setAppearance(AppearanceChoice::light);
    EXPECT_EQ(changes, 2) << "the depth must be back at zero";
}

TEST_F(PreferencesStoreTest, ObserverThatWritesCausesOneMoreNotification) {
    bool wroteOnce = false;
    QObject::connect(&center, &VeltoNotificationCenter::veltoPreferencesDidChange, [&] {
        if (!wroteOnce) {
            wroteOnce = true;
            store->performBatch([] { VeltoPreferences::setFontChoice(EditorFontChoice::system); });
        }
    });
    store->performBatch([] { VeltoPreferences::setAppearance(AppearanceChoice::dark); });
    EXPECT_EQ(changes, 2);
}

TEST_F(PreferencesStoreTest, WriteFromAnotherThreadWaitsForBatchThenPosts) {
    std::thread writer;
    int changesAtBatchEnd = -1;
    store->performBatch([&] {
        writer = std::thread([] { VeltoPreferences::notifyChange(); });
        // The writer cannot take the lock while the batch holds it, so it cannot post in the meantime.
        std::this_thread::yield();
        changesAtBatchEnd = changes;
    });
    writer.join();
    EXPECT_EQ(changesAtBatchEnd, 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(PreferencesStoreTest, WritesReachTheFileWhenAnnounced) {
    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    DefaultsDomain reopened{filePath()};
    EXPECT_EQ(reopened.string(PreferenceKeys::appearanceChoice), QStringLiteral("dark"));
}

} // namespace
} // namespace velto
