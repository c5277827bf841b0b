#include "library/folder/IOObservation.h"
#include "library/folder/LibraryFolder.h"
#include "library/metadata/ManifestPersistence.h"
#include "library/metadata/ManifestReading.h"
#include "library/metadata/WriterStates.h"

#include "LibraryTestValues.h"
#include "platform/Text.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

TEST(LibraryFolder, MarkdownIsFoundInSubfoldersInAnyLetterCase) {
    TemporaryFolder temporary;
    temporary.writeFile("Deep/Down/NOTE.MD", "x");
    EXPECT_TRUE(containsMarkdownFiles(temporary.path()));
}

TEST(LibraryFolder, HiddenMarkdownAndMetadataDoNotCount) {
    TemporaryFolder temporary;
    temporary.writeFile(".hidden.md", "x");
    temporary.writeFile(".velto/page.md", "x");
    temporary.writeFile(".Hidden/page.md", "x");
    temporary.writeFile("notes.txt", "x");
    EXPECT_FALSE(containsMarkdownFiles(temporary.path()));
}

TEST(LibraryFolder, MissingFolderHasNoMarkdownAndEnumerationIsCounted) {
    TemporaryFolder temporary;
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    {
        VeltoLibraryIOObservation::Binding binding(observer);
        EXPECT_FALSE(containsMarkdownFiles(temporary / "Missing"));
    }
    EXPECT_FALSE(containsMarkdownFiles(temporary / "Missing"));
    EXPECT_EQ(observer->snapshot().recursiveEnumerations, 1);
}

TEST(LibraryFolder, JsonFilesListsExactExtensionHiddenIncluded) {
    TemporaryFolder temporary;
    EXPECT_TRUE(jsonFiles(temporary / "Missing").empty());
    temporary.writeFile("d/a.json", "{}");
    temporary.writeFile("d/A.JSON", "{}");
    temporary.writeFile("d/.x.json", "{}");
    temporary.writeFile("d/b.txt", "{}");
    EXPECT_EQ(jsonFiles(temporary / "d"), (std::vector<fs::path>{temporary / "d/.x.json", temporary / "d/a.json"}));
}

TEST(LibraryFolder, CreatingLibraryDirectoriesMakesFolderAndMetadata) {
    TemporaryFolder temporary;
    createLibraryDirectories(temporary / "New/Pages");
    EXPECT_TRUE(fs::is_directory(temporary / "New/Pages/.velto"));
    EXPECT_NO_THROW(createLibraryDirectories(temporary / "New/Pages"));
}

TEST(LibraryFolder, FailureToCreateLibraryDirectoriesIsThrown) {
    TemporaryFolder temporary;
    FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::createDirectory});
    fileSystem.failFromOperation(1, EACCES);
    EXPECT_THROW(createLibraryDirectories(temporary / "Pages", fileSystem), velto::FileSystemError);
    EXPECT_FALSE(temporary.exists("Pages/.velto"));
}

TEST(LibraryFolder, PreservingManifestTwiceKeepsTwoDistinctRecoveryFiles) {
    TemporaryFolder temporary;
    EXPECT_NO_THROW(preserveCorruptManifest(temporary.path()));
    EXPECT_FALSE(temporary.exists(".velto"));

    temporary.writeFile(".velto/manifest.json", "damaged");
    preserveCorruptManifest(temporary.path());
    temporary.writeFile(".velto/manifest.json", "damaged again");
    preserveCorruptManifest(temporary.path());

    EXPECT_FALSE(temporary.exists(".velto/manifest.json"));
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(temporary / ".velto")) {
        names.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(names.size(), 2u);
    for (const auto &name : names) {
        EXPECT_TRUE(name.starts_with("manifest.recovery-")) << name;
        EXPECT_EQ(name.size(), std::string("manifest.recovery-").size() + 36 + 5) << name;
        EXPECT_EQ(name, velto::text::lowercased(name));
    }
}

TEST(LibraryFolder, FailedPreservationLeavesManifestInPlace) {
    TemporaryFolder temporary;
    temporary.writeFile(".velto/manifest.json", "damaged");
    FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::rename});
    fileSystem.failOperation(1);
    EXPECT_THROW(preserveCorruptManifest(temporary.path(), fileSystem), velto::FileSystemError);
    EXPECT_EQ(temporary.readFile(".velto/manifest.json"), "damaged");
}

velto::VeltoLibraryManifest sampleManifest() {
    velto::VeltoLibraryManifest manifest;
    manifest.schemaVersion = 3;
    manifest.currentPage = record(uuid("a1"));
    manifest.pages = {record(uuid("b2"), "Notes/plan.md")};
    return manifest;
}

// The manifest and the rebuild's journal grow with the library; a library of a hundred thousand pages must stay
// within the bound on what is read, or it could never be loaded again.
TEST(LibraryFolder, MetadataOfAHundredThousandPagesStaysWithinTheReadBound) {
    constexpr int sampledPages = 1'000;
    constexpr std::size_t libraryPages = 100'000;
    velto::VeltoLibraryManifest manifest;
    for (int index = 0; index < sampledPages; ++index) {
        velto::VeltoLibraryPageRecord record;
        record.id = velto::Uuid::random();
        record.createdAt = at(1'767'605'400 + index);
        record.updatedAt = at(1'767'605'400 + 2 * index);
        record.relativeFilePath = "Projects/Notes from the meeting about the garden " + std::to_string(index) + ".md";
        record.hasContent = true;
        record.contentChecksum = "e71fa2190541574b";
        record.bodyChecksum = "ac21707b7181e01a";
        record.fileSize = 123'456;
        record.isArchived = false;
        if (index == 0) {
            manifest.currentPage = record;
        } else {
            manifest.pages.push_back(record);
        }
    }
    TemporaryFolder temporary;
    createLibraryDirectories(temporary.path());
    persist(manifest, temporary.path());
    persistRebuildWriterState(manifest, {}, temporary.path());
    std::vector<fs::path> files{manifestURL(temporary.path())};
    for (const auto &journal : jsonFiles(writersDirectory(temporary.path()))) {
        files.push_back(journal);
    }
    ASSERT_EQ(files.size(), 2U);
    for (const auto &file : files) {
        EXPECT_LE(fs::file_size(file) / sampledPages * libraryPages, largestMetadataFileBytes) << file;
    }
}

TEST(ManifestPersistence, ManifestIsRewrittenOnlyWhenItsBytesChange) {
    TemporaryFolder temporary;
    createLibraryDirectories(temporary.path());
    auto manifest = sampleManifest();
    persist(manifest, temporary.path());
    EXPECT_EQ(velto::VeltoLibraryManifest::decode(temporary.readFile(".velto/manifest.json")), manifest);

    auto before = fileIdentity(temporary / ".velto/manifest.json");
    persist(manifest, temporary.path());
    EXPECT_EQ(fileIdentity(temporary / ".velto/manifest.json"), before);

    manifest.pendingDeletionFileNames = {"old.md"};
    persist(manifest, temporary.path());
    EXPECT_NE(fileIdentity(temporary / ".velto/manifest.json"), before);
    EXPECT_EQ(velto::VeltoLibraryManifest::decode(temporary.readFile(".velto/manifest.json")), manifest);
}

TEST(ManifestPersistence, FailedWriteKeepsThePreviousManifest) {
    TemporaryFolder temporary;
    createLibraryDirectories(temporary.path());
    auto manifest = sampleManifest();
    persist(manifest, temporary.path());
    auto previous = temporary.readFile(".velto/manifest.json");
    manifest.pages.clear();
    for (std::size_t step = 1;; ++step) {
        FailingFileSystem fileSystem;
        fileSystem.countOnly({velto::FileOperation::write, velto::FileOperation::fsync, velto::FileOperation::rename});
        fileSystem.failOperation(step);
        try {
            persist(manifest, temporary.path(), fileSystem);
        } catch (const velto::FileSystemError &) {
        }
        if (!fileSystem.injectedFailure()) {
            break;
        }
        // Before the rename the old bytes stay; from the rename on the new ones are in place.
        auto now = temporary.readFile(".velto/manifest.json");
        EXPECT_TRUE(now == previous || now == manifest.encode()) << "step " << step;
        persist(sampleManifest(), temporary.path());
    }
}

// A save keeps the manifest it wrote for the next read; that read must still give what the file holds: the
// value as decoded (a fraction of a second dropped), and another writer's bytes, even of the same length, or
// the old bytes after a failed write.
TEST(ManifestPersistence, AManifestReadAfterAWriteIsWhatTheFileHolds) {
    TemporaryFolder temporary;
    createLibraryDirectories(temporary.path());
    auto written = sampleManifest();
    written.currentPage.updatedAt = at(1'767'605'400) + std::chrono::milliseconds(250);
    auto other = written;
    other.pages[0].relativeFilePath = "Notes/plot.md";
    ASSERT_EQ(other.encode().size(), written.encode().size());
    FailingFileSystem failing;
    failing.failFromOperation(1);

    enum class Step { persist, writeByHand, persistFailing };
    const std::pair<Step, const velto::VeltoLibraryManifest *> steps[] = {
        {Step::persist, &written},      {Step::writeByHand, &other}, {Step::persist, &written},
        {Step::persistFailing, &other}, {Step::persist, &other},     {Step::writeByHand, &written},
    };
    for (const auto &[step, manifest] : steps) {
        if (step == Step::persist) {
            persist(*manifest, temporary.path());
        } else if (step == Step::writeByHand) {
            temporary.writeFile(".velto/manifest.json", manifest->encode());
        } else {
            EXPECT_ANY_THROW(persist(*manifest, temporary.path(), failing));
        }
        auto bytes = temporary.readFile(".velto/manifest.json");
        auto read = loadManifestIfPresent(temporary.path());
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->encode(), bytes);
        EXPECT_EQ(read->currentPage.updatedAt, at(1'767'605'400));
        EXPECT_EQ(read->pages, velto::VeltoLibraryManifest::decode(bytes).pages);
    }
}

TEST(ManifestPersistence, LinuxHasNoReconciliationCheckpoint) {
    TemporaryFolder temporary;
    EXPECT_EQ(currentReconciliationCheckpoint(temporary.path()), std::nullopt);
}

} // namespace
