#include "library/copy/FolderConnectionAssessment.h"
#include "library/save/ProcessWriter.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <string>
#include <vector>

using namespace velto;
using velto::testing::TemporaryFolder;
using VeltoPageLibrary::assessFolderConnection;

namespace {

std::string identified(const std::string &id, bool archived = false) {
    return "---\nvelto:\n  id: " + id + (archived ? "\n  archived: true" : "") + "\n---\nbody\n";
}

/// Sets the file's modification time to the given second, so that tests decide which file is newest.
void setModified(const std::filesystem::path &path, long seconds) {
    timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimes(path.c_str(), times);
}

TEST(FolderConnectionAssessment, EmptyVeltoDirectoryIsNoLibraryButAnyEntryMakesOne) {
    TemporaryFolder folder;
    folder.createFolder(".velto");
    EXPECT_EQ(assessFolderConnection(folder.path()).kind, VeltoFolderConnectionKind::empty);

    folder.writeFile("notes.md", "hello\n");
    // A lock file alone is what a failed copy leaves behind; it makes no library.
    folder.writeFile(".velto/transaction.lock", "");
    EXPECT_EQ(assessFolderConnection(folder.path()).kind, VeltoFolderConnectionKind::unrelatedMarkdown);
    folder.writeFile(".velto/writers.json", "{}");
    auto assessment = assessFolderConnection(folder.path());
    EXPECT_EQ(assessment.kind, VeltoFolderConnectionKind::existingLibrary);
    EXPECT_EQ(assessment.markdownFileCount, 1);
}

TEST(FolderConnectionAssessment, VeltoThatIsAFileCountsAsALibrary) {
    TemporaryFolder folder;
    folder.writeFile(".velto", "not a directory");
    EXPECT_EQ(assessFolderConnection(folder.path()).kind, VeltoFolderConnectionKind::existingLibrary);
}

TEST(FolderConnectionAssessment, CountsMarkdownFilesByExtensionInAnyCaseOutsideHiddenFolders) {
    TemporaryFolder folder;
    folder.writeFile("NOTES.MD", "shout\n");
    folder.writeFile("notes.markdown", "no\n");
    folder.writeFile("notes.txt", "no\n");
    folder.writeFile(".hidden/a.md", "no\n");
    folder.writeFile("sub/b.md", identified("a1000000-0000-4000-8000-000000000001"));
    folder.writeFile("empty.md", "");

    auto assessment = assessFolderConnection(folder.path());

    EXPECT_EQ(assessment.kind, VeltoFolderConnectionKind::unrelatedMarkdown);
    EXPECT_EQ(assessment.markdownFileCount, 3);
    EXPECT_EQ(assessment.identifiedPageCount, 1);
    EXPECT_EQ(assessment.pagesRequiringIdentityCount, 2); // the empty file counts here
    EXPECT_EQ(assessment.projectedArchiveCount, 0);
}

TEST(FolderConnectionAssessment, InvalidUTF8ShortFileIsUnreadableAndFailingReadsAreCounted) {
    TemporaryFolder folder;
    folder.writeFile("bad.md", "\xff\xfe\xfd");
    folder.writeFile("fine.md", "ok\n");
    auto assessment = assessFolderConnection(folder.path());
    EXPECT_EQ(assessment.unreadableFileCount, 1);
    EXPECT_EQ(assessment.pagesRequiringIdentityCount, 1);

    auto failingRead = [](const std::filesystem::path &, std::size_t) -> std::string {
        throw std::runtime_error("no");
    };
    auto failing = assessFolderConnection(folder.path(), defaultFileSystem(), 100, 5'242'880, failingRead);
    EXPECT_EQ(failing.unreadableFileCount, 2);
    EXPECT_EQ(failing.markdownFileCount, 2);
}

// The files the load names as too large (past the limit, or with less room than the page's metadata takes) are
// counted as files that could not be inspected, as the load names them, and are no pages to archive or identify.
TEST(FolderConnectionAssessment, FilesTooLargeForTheLoadAreCountedAsTheLoadCountsThem) {
    TemporaryFolder folder;
    folder.writeFile("one.md", "one\n");
    folder.writeFile("two.md", "two\n");
    const std::size_t limit = largestReadableFileBytes;
    const std::pair<const char *, std::size_t> large[] = {
        {"room-for-no-metadata.md", limit - 100}, {"at-the-limit.md", limit}, {"past-the-limit.md", limit + 1}};
    for (const auto &[name, size] : large) {
        folder.writeFile(name, "x");
        std::filesystem::resize_file(folder / name, size); // sparse: no disk space taken
    }

    auto assessment = assessFolderConnection(folder.path());

    EXPECT_EQ(assessment.markdownFileCount, 5);
    EXPECT_EQ(assessment.unreadableFileCount, 3);
    EXPECT_EQ(assessment.pagesRequiringIdentityCount, 2);
    EXPECT_EQ(assessment.projectedArchiveCount, 0);
}

TEST(FolderConnectionAssessment, LongFileIsReadOnlyToItsPrefixAndCountsWithItsFullSize) {
    TemporaryFolder folder;
    std::string longText(200'000, 'x');
    longText[65'535] = '\xc3'; // a character cut at the limit
    folder.writeFile("long.md", longText);
    std::size_t askedFor = 0;
    auto counting = [&](const std::filesystem::path &url, std::size_t limit) {
        askedFor = limit;
        return defaultFileSystem().readPrefix(url, limit);
    };
    auto assessment = assessFolderConnection(folder.path(), defaultFileSystem(), 100, 150'000, counting);
    EXPECT_EQ(askedFor, 65'536u);
    EXPECT_EQ(assessment.unreadableFileCount, 0);
    EXPECT_EQ(assessment.projectedArchiveCount, 0); // the newest page stays active whatever its size
}

TEST(FolderConnectionAssessment, ByteLimitStopsTheWalkAtTheFirstPageThatDoesNotFit) {
    struct Case {
        std::vector<std::size_t> sizesNewestFirst;
        std::int64_t projected;
    };
    const std::vector<Case> cases = {
        {{3'000'000, 3'000'000, 10}, 2},
        {{6'000'000, 10}, 1},
        {{0, 6'000'000, 10}, 1},
        {{1'000, 1'000}, 0},
    };
    for (const auto &testCase : cases) {
        TemporaryFolder folder;
        long second = 2'000'000'000;
        for (std::size_t index = 0; index < testCase.sizesNewestFirst.size(); ++index) {
            std::size_t size = testCase.sizesNewestFirst[index];
            // A page with front matter and no body counts 0 bytes; an empty file is no candidate at all.
            auto text = size == 0 ? std::string("---\ntitle: t\n---\n") : std::string(size, 'x');
            auto path = folder.writeFile("p" + std::to_string(index) + ".md", text);
            setModified(path, second - static_cast<long>(index));
        }
        auto assessment = assessFolderConnection(folder.path());
        EXPECT_EQ(assessment.projectedArchiveCount, testCase.projected) << testCase.sizesNewestFirst.size();
    }
}

TEST(FolderConnectionAssessment, PagesBeyondTheCountLimitAreProjectedAndArchivedFilesAreNoCandidates) {
    TemporaryFolder folder;
    for (int index = 0; index < 150; ++index) {
        folder.writeFile("p" + std::to_string(index) + ".md", "small\n");
    }
    folder.writeFile("archived.md", identified("b2000000-0000-4000-8000-000000000002", true));
    auto assessment = assessFolderConnection(folder.path());
    EXPECT_EQ(assessment.projectedArchiveCount, 50);
    EXPECT_EQ(assessment.identifiedPageCount, 1);
}

TEST(FolderConnectionAssessment, FolderThatCannotBeListedCountsNothing) {
    TemporaryFolder folder;
    auto assessment = assessFolderConnection(folder / "missing");
    EXPECT_EQ(assessment.kind, VeltoFolderConnectionKind::empty);
    EXPECT_EQ(assessment.markdownFileCount, 0);
    EXPECT_EQ(assessment.selectedFolderURL, folder / "missing");
}

TEST(FolderConnectionAssessment, ApplicationFolderNameIsOnePlainPathComponent) {
    EXPECT_EQ(VeltoPageLibrary::applicationSupportDirectoryName("VeltoApplicationSupportDirectory=Velto Dev\n"),
              "Velto Dev");
    EXPECT_EQ(VeltoPageLibrary::applicationSupportDirectoryName("CFBundleIdentifier=x\n"), "Velto");
    for (const char *hostile : {"../escape", "a/b", "..", "."}) {
        EXPECT_EQ(VeltoPageLibrary::applicationSupportDirectoryName(std::string("VeltoApplicationSupportDirectory=") +
                                                                    hostile),
                  "Velto")
            << hostile;
    }
}

TEST(FolderConnectionAssessment, ProcessWriterIDStaysTheSameWithinTheProcess) {
    EXPECT_EQ(VeltoPageLibrary::processWriterID(), VeltoPageLibrary::processWriterID());
}

TEST(LibraryConnectionError, MessagesNameTheFolderBetweenTypographicQuotes) {
    EXPECT_STREQ(VeltoLibraryConnectionError::destinationContainsLibrary("/home/u/Notes").what(),
                 "The folder “Notes” already contains a Velto library. Choose an empty folder.");
    EXPECT_STREQ(VeltoLibraryConnectionError::sourceLibraryUnavailable("Its manifest is missing.").what(),
                 "The current Velto library could not be copied. Its manifest is missing.");
    EXPECT_STREQ(VeltoLibraryConnectionError::libraryUnavailable("/home/u/Notes/", "Its manifest is missing.").what(),
                 "The Velto library in “Notes” could not be opened. Its manifest is missing.");
    EXPECT_STREQ(VeltoLibraryConnectionError::pageFileExists("/home/u/Notes", "notes.md").what(),
                 "The folder “Notes” already has a file named “notes.md”. Choose another folder.");
}

TEST(LibraryConnectionError, ChangedFilesOfAnUnfinishedCopyAreNamedAndWhatToDoIsSaid) {
    const std::string start = "An earlier copy into the folder “Notes” stopped before it finished, and ";
    struct Case {
        std::vector<std::string> files;
        std::string rest;
    };
    const Case cases[] = {
        {{"a.md"},
         "“a.md” is no longer as that copy left it. Velto leaves it alone: move it out of the folder, or choose "
         "another folder."},
        {{"a.md", ".velto/manifest.json"},
         "“a.md” and “.velto/manifest.json” are no longer as that copy left them. Velto leaves them alone: move them "
         "out of the folder, or choose another folder."},
        {{"a.md", "b.md", "c.md", "d.md", "e.md"},
         "“a.md”, “b.md”, “c.md” and 2 other files are no longer as that copy left them. Velto leaves them alone: "
         "move them out of the folder, or choose another folder."},
    };
    for (const auto &example : cases) {
        EXPECT_EQ(VeltoLibraryConnectionError::unfinishedCopyChanged("/home/u/Notes", example.files).what(),
                  start + example.rest);
    }
}

} // namespace
