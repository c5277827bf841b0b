#include "library/metadata/MissingFileObservations.h"

#include "LibraryTestValues.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::VeltoMissingFileObservation;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;

TEST(MissingFileObservations, NoDirectoryMeansNoObservationsAndEmptyWriteCreatesNothing) {
    TemporaryFolder temporary;
    EXPECT_TRUE(loadMissingFileObservations(temporary.path()).empty());
    persistMissingFileObservations({}, temporary.path());
    EXPECT_FALSE(temporary.exists(".velto"));
}

TEST(MissingFileObservations, WrittenObservationsLoadBackByPage) {
    TemporaryFolder temporary;
    VeltoMissingFileObservation first{uuid("a1"), "a.md", at(100)};
    VeltoMissingFileObservation second{uuid("b2"), "Notes/b.md", at(200)};
    persistMissingFileObservations({first, second}, temporary.path());
    EXPECT_TRUE(temporary.exists(".velto/missing-files/" + uuid("a1").lowercaseText() + ".json"));
    auto loaded = loadMissingFileObservations(temporary.path());
    EXPECT_EQ(loaded,
              (std::map<velto::Uuid, VeltoMissingFileObservation>{{first.pageID, first}, {second.pageID, second}}));

    VeltoMissingFileObservation replaced{uuid("a1"), "moved.md", at(300)};
    persistMissingFileObservations({replaced}, temporary.path());
    EXPECT_EQ(loadMissingFileObservations(temporary.path()).at(uuid("a1")), replaced);
}

TEST(MissingFileObservations, EarlierSightingWinsAndUpperCaseExtensionIsIgnored) {
    TemporaryFolder temporary;
    VeltoMissingFileObservation later{uuid("a1"), "a.md", at(500)};
    VeltoMissingFileObservation earlier{uuid("a1"), "a.md", at(100)};
    temporary.writeFile(".velto/missing-files/one.json", later.encode());
    temporary.writeFile(".velto/missing-files/two.json", earlier.encode());
    temporary.writeFile(".velto/missing-files/three.JSON", "not even JSON");
    EXPECT_EQ(loadMissingFileObservations(temporary.path()).at(uuid("a1")), earlier);
}

TEST(MissingFileObservations, DamagedFileFailsTheLoad) {
    TemporaryFolder temporary;
    temporary.writeFile(".velto/missing-files/x.json", "{\"pageID\": 1}");
    EXPECT_THROW(loadMissingFileObservations(temporary.path()), velto::JsonDecodingError);
}

TEST(MissingFileObservations, RemovalIgnoresMissingFiles) {
    TemporaryFolder temporary;
    EXPECT_NO_THROW(removeMissingFileObservation(uuid("a1"), temporary.path()));
    persistMissingFileObservations({{uuid("a1"), "a.md", at(100)}}, temporary.path());
    removeMissingFileObservation(uuid("a1"), temporary.path());
    EXPECT_TRUE(loadMissingFileObservations(temporary.path()).empty());
}

TEST(MissingFileObservations, FailedRemovalIsIgnored) {
    TemporaryFolder temporary;
    persistMissingFileObservations({{uuid("a1"), "a.md", at(100)}}, temporary.path());
    FailingFileSystem fileSystem;
    fileSystem.failFromOperation(1);
    EXPECT_NO_THROW(removeMissingFileObservation(uuid("a1"), temporary.path(), fileSystem));
    EXPECT_TRUE(fileSystem.injectedFailure());
    EXPECT_EQ(loadMissingFileObservations(temporary.path()).size(), 1u);
}

TEST(MissingFileObservations, WriteStopsAtFirstFailureKeepingEarlierFiles) {
    TemporaryFolder temporary;
    std::vector<VeltoMissingFileObservation> observations{{uuid("a1"), "a.md", at(100)}, {uuid("b2"), "b.md", at(100)}};
    for (std::size_t step = 1;; ++step) {
        TemporaryFolder folder;
        FailingFileSystem fileSystem;
        fileSystem.failOperation(step);
        bool threw = false;
        try {
            persistMissingFileObservations(observations, folder.path(), fileSystem);
        } catch (const velto::FileSystemError &) {
            threw = true;
        }
        if (!fileSystem.injectedFailure()) {
            EXPECT_EQ(loadMissingFileObservations(folder.path()).size(), 2u);
            break;
        }
        auto written = loadMissingFileObservations(folder.path());
        if (!threw) {
            // Only the look at the bytes already there failed; the write went ahead.
            EXPECT_EQ(written.size(), 2u) << "step " << step;
        }
        // The first observation is either complete or absent; the second never appears without the first.
        EXPECT_TRUE(written.empty() || written.contains(uuid("a1"))) << "step " << step;
    }
}

} // namespace
