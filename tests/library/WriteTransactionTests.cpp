#include "WriteTestSupport.h"

#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileNaming.h"
#include "library/metadata/ManifestReading.h"
#include "library/save/WriteTransaction.h"
#include "model/LibraryErrors.h"
#include "model/ReusedTextBuffer.h"
#include "support/RecordingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::RecordingFileSystem;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
const Uuid pageC = *Uuid::parse("C3000000-0000-4000-8000-000000000003");

std::string fileNameOf(const VeltoPage &page) {
    return VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page));
}

/// A library of pages A (current) and B written by a first save, and the document as a load gives it.
VeltoDocument libraryOfTwoPages(const TemporaryFolder &folder, const std::string &bodyA = "alpha\n",
                                const std::string &bodyB = "beta\n") {
    auto document = documentOf(pageWithBody(pageA, bodyA), {pageWithBody(pageB, bodyB)});
    VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path());
    return loadedDocument(folder.path());
}

/// A save of `document` with the page's text replaced, expecting what the load found on disk.
VeltoSaveRequest editing(const VeltoDocument &document, const Uuid &id, const std::string &body) {
    VeltoDocument edited = document;
    for (auto *page : {&edited.currentPage}) {
        if (page->id == id) {
            page->content.asLoaded()->body = body;
        }
    }
    for (auto &page : edited.pages) {
        if (page.id == id) {
            page.content.asLoaded()->body = body;
        }
    }
    auto request = requestFor(edited, {id});
    request.expectedPageBaselines[id] = VeltoPageBaseline::fromPage(*pageCopy(document, id));
    return request;
}

/// Another writer's save of page A's text, made from the same load as the document.
void saveAsAnotherWriter(const TemporaryFolder &folder, const VeltoDocument &document, const std::string &bodyA) {
    auto theirs = editing(document, pageA, bodyA);
    theirs.writerID = Uuid::random();
    VeltoPageLibrary::write(theirs, folder.path());
}

TEST(WriteTransaction, FirstSaveWritesEveryPageButReturnsBaselinesOnlyForChangedOnes) {
    TemporaryFolder folder;
    auto document = documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "beta\n")});
    auto result = VeltoPageLibrary::write(requestFor(document, {pageA}), folder.path());

    EXPECT_TRUE(folder.exists(fileNameOf(document.currentPage)));
    EXPECT_TRUE(folder.exists(fileNameOf(document.pages[0])));
    ASSERT_EQ(result.persistedPageBaselines.size(), 1u);
    EXPECT_EQ(result.persistedPageBaselines.at(pageA), writtenBaseline(document.currentPage));
    auto manifest = VeltoPageLibrary::loadManifestIfPresent(folder.path());
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->currentPage.id, pageA);
    ASSERT_EQ(manifest->pages.size(), 1u);
    EXPECT_EQ(manifest->pages[0].id, pageB);
}

TEST(WriteTransaction, WithAManifestOnlyChangedPagesAreWritten) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    std::filesystem::remove(folder / fileNameOf(document.pages[0]));

    RecordingFileSystem recording;
    VeltoPageLibrary::write(editing(document, pageA, "alpha 2\n"), folder.path(), recording);

    auto renamed = recording.renamedPaths();
    EXPECT_TRUE(std::count(renamed.begin(), renamed.end(), folder / fileNameOf(document.currentPage)) == 1);
    EXPECT_FALSE(folder.exists(fileNameOf(document.pages[0])));
}

// The store saves before every refresh: a save of nothing over a library in place writes no file, and one over
// a library whose metadata went writes it anew, so that the pages held in memory are not lost.
TEST(WriteTransaction, SaveOfNothingWritesNoFileUnlessTheManifestIsGone) {
    for (bool manifestRemoved : {false, true}) {
        SCOPED_TRACE(manifestRemoved ? "manifest removed" : "library in place");
        TemporaryFolder folder;
        auto document = libraryOfTwoPages(folder);
        if (manifestRemoved) {
            std::filesystem::remove_all(folder / ".velto");
        }

        RecordingFileSystem recording;
        VeltoPageLibrary::write(requestFor(document, {}), folder.path(), recording);

        EXPECT_EQ(recording.renamedPaths().empty(), !manifestRemoved);
        EXPECT_TRUE(std::filesystem::is_regular_file(VeltoPageLibrary::manifestURL(folder.path())));
    }
}

TEST(WriteTransaction, EditedTextIsOnDiskAfterReload) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    VeltoPageLibrary::write(editing(document, pageB, "beta edited\n"), folder.path());
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageB)->visibleText(), "beta edited\n");
}

// One checksum for one text, whichever way its line breaks were saved: a body given "\r\n" on a page of "\n" breaks
// reads back with "\n", and the saved records say so, or every load would correct the manifest, and the journal
// bring the saved value back at the next save.
TEST(WriteTransaction, LoadsAfterASaveWriteNothingWhateverTheBodysLineBreaks) {
    for (const std::string body : {"a\nb\n", "a\r\nb\r\n", "a\r\nb\n", "a\rb\n"}) {
        SCOPED_TRACE(::testing::PrintToString(body));
        TemporaryFolder folder;
        auto document = libraryOfTwoPages(folder);
        VeltoPageLibrary::write(editing(document, pageA, body), folder.path());
        RecordingFileSystem recording;
        for (int load = 0; load < 3; ++load) {
            ASSERT_NE(VeltoPageLibrary::load(folder.path(), recording, day(9)).asLoaded(), nullptr);
        }
        EXPECT_TRUE(recording.paths(FileOperation::write).empty());
        EXPECT_TRUE(recording.renamedPaths().empty()) << recording.renamedPaths().front();
        auto reloaded = loadedDocument(folder.path());
        auto again = editing(reloaded, pageB, "beta edited\n");
        VeltoPageLibrary::write(again, folder.path());
        recording.clear();
        ASSERT_NE(VeltoPageLibrary::load(folder.path(), recording, day(9)).asLoaded(), nullptr);
        EXPECT_TRUE(recording.renamedPaths().empty()) << "the journal brought a saved checksum back";
    }
}

// An editor that saves a page with a byte-order mark before its front matter: the page keeps its identifier, and
// its next save writes the mark first and one front matter after it. A marked text without front matter is taken
// in as a page, and the mark stays at the start of its file.
TEST(WriteTransaction, PageSavedWithAByteOrderMarkKeepsItsIdentifierAndTheMarkFirst) {
    const std::string mark = "\xEF\xBB\xBF";
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    const std::string nameA = fileNameOf(document.currentPage);
    folder.writeFile(nameA, mark + folder.readFile(nameA));
    folder.writeFile("notes.md", mark + "Notes\n");

    auto loaded = loadedDocument(folder.path());
    EXPECT_EQ(allPagesOf(loaded).size(), 3u) << "the marked page was taken for a new one";
    ASSERT_TRUE(pageCopy(loaded, pageA).has_value());
    EXPECT_EQ(pageCopy(loaded, pageA)->visibleText(), "alpha\n");

    VeltoPageLibrary::write(editing(loaded, pageA, "alpha edited\n"), folder.path());
    const std::string written = folder.readFile(nameA);
    EXPECT_EQ(written, mark + "---\nvelto:\n  id: " + pageA.lowercaseText() + "\n---\nalpha edited\n");
    EXPECT_EQ(allPagesOf(loadedDocument(folder.path())).size(), 3u);
    EXPECT_EQ(folder.readFile("notes.md").rfind(mark, 0), 0u) << folder.readFile("notes.md");
}

// A page made in this session holds no front matter until it is reloaded, so emptying it leaves nothing
// to write.
TEST(WriteTransaction, EmptiedPageStaysEmptyAfterReload) {
    TemporaryFolder folder;
    auto document = documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "beta\n")});
    VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path());
    auto fileName = fileNameOf(document.pages[0]);
    VeltoDocument emptied = document;
    emptied.pages[0].content = VeltoPageContent::loaded({});
    auto request = requestFor(emptied, {pageB});
    request.expectedPageBaselines[pageB] = writtenBaseline(document.pages[0]);

    VeltoPageLibrary::write(request, folder.path());

    EXPECT_FALSE(folder.exists(fileName));
    auto reloaded = loadedDocument(folder.path());
    auto page = pageCopy(reloaded, pageB);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->visibleText(), "");
    // A later edit of the emptied page is no conflict with the old text.
    auto result = VeltoPageLibrary::write(editing(reloaded, pageB, "new start\n"), folder.path());
    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageB)->visibleText(), "new start\n");
}

TEST(WriteTransaction, EmptiedPageWhoseFileAnotherWriterChangedKeepsTheirText) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder, "alpha\n", "one\ntwo\nthree\n");
    auto fileName = fileNameOf(document.pages[0]);
    auto theirs = folder.readFile(fileName);
    theirs.replace(theirs.find("two"), 3, "TWO");
    folder.writeFile(fileName, theirs);

    auto result = VeltoPageLibrary::write(editing(document, pageB, ""), folder.path());

    auto reloaded = loadedDocument(folder.path());
    bool theirTextSurvives = false;
    for (const auto &page : allPagesOf(reloaded)) {
        theirTextSurvives = theirTextSurvives || page.visibleText().find("TWO") != std::string::npos;
    }
    EXPECT_TRUE(theirTextSurvives);
}

TEST(WriteTransaction, SaveWithoutManifestTakesInAFileAnotherProgramChanged) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    auto fileName = fileNameOf(document.pages[0]);
    std::filesystem::remove_all(folder / ".velto");
    auto theirs = folder.readFile(fileName) + "added elsewhere\n";
    folder.writeFile(fileName, theirs);

    auto result = VeltoPageLibrary::write(editing(document, pageA, "alpha 2\n"), folder.path());

    EXPECT_NE(folder.readFile(fileName).find("added elsewhere"), std::string::npos);
    ASSERT_TRUE(result.mergedPages.contains(pageB));
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText(), "alpha 2\n");
}

TEST(WriteTransaction, DifferentLinesEditedOnBothSidesAreMerged) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder, "one\ntwo\nthree\n");
    saveAsAnotherWriter(folder, document, "ONE\ntwo\nthree\n");

    auto result = VeltoPageLibrary::write(editing(document, pageA, "one\ntwo\nTHREE\n"), folder.path());

    ASSERT_TRUE(result.mergedPages.contains(pageA));
    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText(), "ONE\ntwo\nTHREE\n");
}

// A save that writes one page's file compares it with what the store last saw when it swaps the file out: another
// program's change made since the store read it is found there whether it keeps the file's length or not, and
// the save merges it in instead of writing over it.
TEST(WriteTransaction, AnotherProgramsChangeIsMergedWhateverTheFilesLength) {
    struct Case {
        const char *name;
        std::string theirs;
        std::string merged;
    };
    const Case cases[] = {
        {"the same length", "one\ntwo\nTHREE\n", "ONE\ntwo\nTHREE\n"},
        {"longer", "one\ntwo\nthree\nfour\n", "ONE\ntwo\nthree\nfour\n"},
        {"shorter", "one\ntwo\n", "ONE\ntwo\n"},
    };
    for (const Case &c : cases) {
        TemporaryFolder folder;
        auto document = libraryOfTwoPages(folder, "one\ntwo\nthree\n");
        auto fileName = fileNameOf(document.currentPage);
        std::string file = folder.readFile(fileName);
        folder.writeFile(fileName, file.replace(file.find("one\ntwo\nthree\n"), 14, c.theirs));

        auto result = VeltoPageLibrary::write(editing(document, pageA, "ONE\ntwo\nthree\n"), folder.path());

        EXPECT_TRUE(result.mergedPages.contains(pageA)) << c.name;
        EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText(), c.merged) << c.name;
    }
}

TEST(WriteTransaction, SameLineEditedOnBothSidesKeepsAConflictCopy) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder, "one\ntwo\n");
    saveAsAnotherWriter(folder, document, "one\ntheirs\n");

    auto result = VeltoPageLibrary::write(editing(document, pageA, "one\nours\n"), folder.path());

    ASSERT_EQ(result.conflicts.size(), 1u);
    auto reloaded = loadedDocument(folder.path());
    EXPECT_EQ(pageCopy(reloaded, pageA)->visibleText(), "one\nours\n");
    auto copy = pageCopy(reloaded, result.conflicts[0].preservedPage.id);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->visibleText(), "one\ntheirs\n");
    EXPECT_EQ(copy->content.asLoaded()->conflictOriginalPageID(), pageA);
    EXPECT_EQ(copy->fileSlug, "conflict-copy");
}

TEST(WriteTransaction, SaveRetriedAfterAFailedCommitMakesNoSecondConflictCopy) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder, "one\ntwo\n");
    saveAsAnotherWriter(folder, document, "one\ntheirs\n");
    auto ours = editing(document, pageA, "one\nours\n");
    auto failingCommit = [] { throw std::runtime_error("power cut"); };

    EXPECT_THROW(VeltoPageLibrary::write(ours, folder.path(), defaultFileSystem(), {}, {}, failingCommit),
                 std::runtime_error);
    VeltoPageLibrary::write(ours, folder.path());

    auto reloaded = loadedDocument(folder.path());
    int copies = 0;
    for (const auto &page : allPagesOf(reloaded)) {
        copies += page.visibleText() == "one\ntheirs\n" ? 1 : 0;
    }
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(pageCopy(reloaded, pageA)->visibleText(), "one\nours\n");
}

TEST(WriteTransaction, RemovedPageLosesItsFileAndIsGoneAfterReload) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    auto fileName = fileNameOf(document.pages[0]);
    VeltoDocument remaining = documentOf(document.currentPage);
    auto request = requestFor(remaining, {});
    request.removedPageRevisions[pageB] = 1;
    request.structureRevision = 1;

    VeltoPageLibrary::write(request, folder.path());

    EXPECT_FALSE(folder.exists(fileName));
    EXPECT_TRUE(VeltoPageLibrary::loadManifestIfPresent(folder.path())->pendingDeletionFileNames.empty());
    EXPECT_FALSE(pageCopy(loadedDocument(folder.path()), pageB));
}

TEST(WriteTransaction, FailedRemovalStaysPendingAndTheManifestIsWrittenOnce) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    auto fileName = fileNameOf(document.pages[0]);
    auto request = requestFor(documentOf(document.currentPage), {});
    request.removedPageRevisions[pageB] = 1;

    RecordingFileSystem recording;
    auto failingRemove = [](const std::filesystem::path &url) { throw FileSystemError(EACCES, url, "unlink"); };
    VeltoPageLibrary::write(request, folder.path(), recording, failingRemove);

    EXPECT_TRUE(folder.exists(fileName));
    EXPECT_EQ(VeltoPageLibrary::loadManifestIfPresent(folder.path())->pendingDeletionFileNames,
              std::vector<std::string>{fileName});
    auto renamed = recording.renamedPaths();
    EXPECT_EQ(std::count(renamed.begin(), renamed.end(), VeltoPageLibrary::manifestURL(folder.path())), 1);
}

// The store's saves before refreshes change nothing, and may be the only saves for a long time: they try again the
// removals that failed. The manifest is written only for what that changes; a removal still refused writes nothing.
TEST(WriteTransaction, SaveOfNothingRetriesPendingDeletions) {
    for (bool removalSucceeds : {true, false}) {
        SCOPED_TRACE(removalSucceeds ? "the folder allows the removal now" : "the folder still refuses it");
        TemporaryFolder folder;
        auto document = libraryOfTwoPages(folder);
        auto fileName = fileNameOf(document.pages[0]);
        auto removal = requestFor(documentOf(document.currentPage), {});
        removal.removedPageRevisions[pageB] = 1;
        auto failingRemove = [](const std::filesystem::path &url) { throw FileSystemError(EACCES, url, "unlink"); };
        VeltoPageLibrary::write(removal, folder.path(), defaultFileSystem(), failingRemove);

        RecordingFileSystem recording;
        VeltoPageLibrary::write(requestFor(documentOf(document.currentPage), {}), folder.path(), recording,
                                removalSucceeds ? VeltoPageLibrary::RemoveOperation() : failingRemove);

        EXPECT_EQ(folder.exists(fileName), !removalSucceeds);
        EXPECT_EQ(VeltoPageLibrary::loadManifestIfPresent(folder.path())->pendingDeletionFileNames,
                  removalSucceeds ? std::vector<std::string>{} : std::vector<std::string>{fileName});
        std::vector<std::filesystem::path> manifestOnly{VeltoPageLibrary::manifestURL(folder.path())};
        EXPECT_EQ(recording.renamedPaths(), removalSucceeds ? manifestOnly : std::vector<std::filesystem::path>{});
    }
}

TEST(WriteTransaction, DeletedPagesFileThatNowCarriesAnotherPageIsKept) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    auto fileName = fileNameOf(document.pages[0]);
    auto adopted = "---\nvelto:\n  id: " + pageC.lowercaseText() + "\n---\nsomeone else's\n";
    folder.writeFile(fileName, adopted);
    auto request = requestFor(documentOf(document.currentPage), {});
    request.removedPageRevisions[pageB] = 1;

    VeltoPageLibrary::write(request, folder.path());

    EXPECT_EQ(folder.readFile(fileName), adopted);
    EXPECT_TRUE(VeltoPageLibrary::loadManifestIfPresent(folder.path())->pendingDeletionFileNames.empty());
}

TEST(WriteTransaction, IdenticalEditsOnBothSidesMakeNoConflictCopy) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder, "one\ntwo\n");
    saveAsAnotherWriter(folder, document, "one\nsame\n");

    auto result = VeltoPageLibrary::write(editing(document, pageA, "one\nsame\n"), folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(allPagesOf(loadedDocument(folder.path())).size(), 2u);
}

TEST(WriteTransaction, PagePathOutsideTheFolderFailsBeforeAnyFileIsWritten) {
    TemporaryFolder folder;
    auto outside = pageWithBody(pageB, "escape\n");
    outside.relativeFilePath = "../escape.md";
    auto document = documentOf(pageWithBody(pageA, "alpha\n"), {outside});

    try {
        VeltoPageLibrary::writeWithoutLock(requestFor(document, {pageA, pageB}), folder.path(), defaultFileSystem(),
                                           [](const std::filesystem::path &) {});
        FAIL() << "the save did not throw";
    } catch (const LibraryMetadataError &error) {
        EXPECT_EQ(error.kind(), LibraryMetadataError::Kind::unsafePagePath);
    }
    EXPECT_FALSE(folder.exists(fileNameOf(document.currentPage)));
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "escape.md"));
}

TEST(WriteTransaction, ChangedArchivedSummaryIsNotWrittenAndHasAnEmptyBaseline) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    auto fileName = fileNameOf(document.pages[0]);
    auto before = folder.readFile(fileName);
    VeltoDocument edited = document;
    edited.pages[0].content = VeltoPageContent::archivedSummary({"beta", 10, true, std::nullopt, std::nullopt});

    auto result = VeltoPageLibrary::write(requestFor(edited, {pageB}), folder.path());

    EXPECT_EQ(folder.readFile(fileName), before);
    EXPECT_EQ(result.persistedPageBaselines.at(pageB), (VeltoPageBaseline{std::nullopt, ""}));
}

TEST(WriteTransaction, FailureBeforeTheCommitLeavesTheOldManifestAndTheNextLoadFoldsTheJournal) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    auto manifestBefore = folder.readFile(".velto/manifest.json");
    auto failingCommit = [] { throw std::runtime_error("power cut"); };

    EXPECT_THROW(VeltoPageLibrary::write(editing(document, pageB, "beta 2\n"), folder.path(), defaultFileSystem(), {},
                                         {}, failingCommit),
                 std::runtime_error);

    EXPECT_EQ(folder.readFile(".velto/manifest.json"), manifestBefore);
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageB)->visibleText(), "beta 2\n");
}

TEST(WriteTransaction, NewPageWithoutBaselineIsWrittenUnchecked) {
    TemporaryFolder folder;
    auto document = libraryOfTwoPages(folder);
    VeltoDocument edited = document;
    edited.pages.push_back(pageWithBody(pageC, "gamma\n"));
    auto request = requestFor(edited, {pageC});
    request.structureRevision = 1;

    auto result = VeltoPageLibrary::write(request, folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageC)->visibleText(), "gamma\n");
}

// A save of an edited page makes and hashes its text once: a page of megabytes is saved after every pause
// in typing, and each further pass over it (the file's name, the disk check, the record, the baseline)
// cost the typing as much again.
TEST(WriteTransaction, AnEditedPageIsHashedOnceAndItsBaselineChecksumIsItsText) {
    const std::string lines = [] {
        std::string text;
        for (int line = 0; line < 2000; ++line) {
            text += "- [ ] line " + std::to_string(line) + " with `code` and words\n";
        }
        return text;
    }();
    struct Case {
        const char *name;
        std::string text;
        std::size_t hashesPerByte; // two when the file does not end with its body ("\r\n" breaks)
    };
    std::string windowsLines = lines;
    for (std::size_t at = windowsLines.find('\n'); at != std::string::npos; at = windowsLines.find('\n', at + 2)) {
        windowsLines.replace(at, 1, "\r\n");
    }
    for (const Case &c : {Case{"body only", lines, 1}, Case{"own front matter", "---\ntitle: Plan\n---\n" + lines, 1},
                          Case{"CRLF", windowsLines, 2}}) {
        TemporaryFolder folder;
        auto document = documentOf(pageWithText(pageA, c.text), {pageWithBody(pageB, "beta\n")});
        VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path());
        auto loaded = loadedDocument(folder.path());
        auto request =
            editing(loaded, pageA, std::string(loaded.currentPage.content.asLoaded()->body.text()) + "typed\n");

        const std::size_t before = checksummedBytes();
        auto result = VeltoPageLibrary::write(request, folder.path());
        const std::size_t hashed = checksummedBytes() - before;

        const VeltoPageBaseline &baseline = result.persistedPageBaselines.at(pageA);
        ASSERT_TRUE(baseline.fileContents) << c.name;
        EXPECT_LE(hashed, c.hashesPerByte * baseline.fileContents->size() + 1024) << c.name;
        EXPECT_EQ(baseline.checksum, contentChecksum(*baseline.fileContents)) << c.name;
        EXPECT_EQ(*baseline.fileContents, folder.readFile(fileNameOf(request.document.currentPage))) << c.name;
    }
}

// After a save the next one resumes the record's checksums from the hash states kept over the text it wrote,
// so an edit hashes only from the edit on; the recorded checksums stay those of the written file. Checkpoints
// that do not belong to the baseline's text (another writer's, here another text's) are not used.
TEST(WriteTransaction, ASaveResumesTheChecksumsFromTheLastWrittenTextAndRecordsTheFilesChecksums) {
    std::string body;
    for (int line = 0; body.size() < 6 * ContentChecksumCheckpoints::spacing; ++line) {
        body += "- [ ] line " + std::to_string(line) + " with `code` and words\n";
    }
    struct Edit {
        const char *name;
        std::size_t fromEnd; // where the edit is, counted from the end of the body
        bool keepsCheckpoints;
    };
    const Edit edits[] = {
        {"near the end", 100, true},
        {"in the middle", body.size() / 2, true},
        {"at the start", body.size(), true},
        {"with checkpoints of another text", 100, false},
    };
    TemporaryFolder folder;
    auto document = documentOf(pageWithBody(pageA, body), {pageWithBody(pageB, "beta\n")});
    VeltoPageBaseline baseline =
        VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path()).persistedPageBaselines.at(pageA);
    for (const Edit &edit : edits) {
        SCOPED_TRACE(edit.name);
        body.insert(body.size() - edit.fromEnd, "typed ");
        document.currentPage.content.asLoaded()->body = body;
        auto request = requestFor(document, {pageA});
        request.expectedPageBaselines[pageA] = baseline;
        if (!edit.keepsCheckpoints) {
            auto other = std::make_shared<ContentChecksumCheckpoints>(*baseline.checksumCheckpoints);
            for (auto &state : other->textStates) {
                state ^= 1;
            }
            other->textChecksum = "1";
            request.expectedPageBaselines[pageA].checksumCheckpoints = other;
        }

        const std::size_t before = checksummedBytes();
        baseline = VeltoPageLibrary::write(request, folder.path()).persistedPageBaselines.at(pageA);
        const std::size_t hashed = checksummedBytes() - before;

        const std::string written = folder.readFile(fileNameOf(document.currentPage));
        auto record = VeltoPageLibrary::loadManifestIfPresent(folder.path())->currentPage;
        EXPECT_EQ(record.contentChecksum, contentChecksum(written));
        EXPECT_EQ(record.bodyChecksum, contentChecksum(body));
        EXPECT_EQ(baseline.checksum, record.contentChecksum);
        const std::size_t resumedAtMost = edit.keepsCheckpoints ? edit.fromEnd : written.size();
        EXPECT_LE(hashed, resumedAtMost + ContentChecksumCheckpoints::spacing + 1024);
        EXPECT_GE(hashed, edit.keepsCheckpoints ? edit.fromEnd : written.size());
    }
}

// A save of a big page writes into the buffer that the baseline before last let go (the last one is still what
// the save expects on disk), and none of that buffer's old bytes reach the file: after edits that grow, keep
// and shrink the page, each file and checksum is the one a save into fresh memory (another library) makes, and
// the new baseline holds the file's text.
TEST(WriteTransaction, ASaveIntoAReusedBufferWritesWhatAFreshSaveWrites) {
    std::string body;
    for (int line = 0; body.size() < 2 * reusedTextBufferMinimum; ++line) {
        body += "- [ ] line " + std::to_string(line) + " with `code` and words\n";
    }
    struct Edit {
        const char *name;
        std::size_t at;
        std::size_t erased;
        std::string inserted;
        bool reusesBuffer; // whether the buffer kept suits the edited page
    };
    const Edit edits[] = {
        {"grown by a few keys", body.size() / 2, 0, "typed words", true},
        {"kept its size", body.size() / 3, 5, "TYPED", true},
        {"shrunk by a line", 100, 40, "", true},
        {"grown at the start", 0, 0, "# Title\n\n", true},
        {"shrunk by half", body.size() / 4, body.size() / 2, "", false},
        {"grown past the buffer's room", 10, 0, std::string(body.size() / 8, 'x'), false},
        {"shrunk to a small page", 0, std::string::npos, "small\n", false},
    };
    TemporaryFolder folder;
    auto document = documentOf(pageWithBody(pageA, body), {pageWithBody(pageB, "beta\n")});
    auto previous =
        VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path()).persistedPageBaselines.at(pageA);
    auto baseline = [&] {
        auto request = requestFor(document, {pageA});
        request.expectedPageBaselines[pageA] = previous;
        return VeltoPageLibrary::write(request, folder.path()).persistedPageBaselines.at(pageA);
    }();
    for (const Edit &edit : edits) {
        SCOPED_TRACE(edit.name);
        const void *keptBuffer = previous.fileContents->text().data();
        const std::size_t keptCapacity = previous.fileContents->capacity();
        previous = {}; // let go, as the store lets go of a baseline once the next is durable: its buffer is kept
        body.replace(std::min(edit.at, body.size()), edit.erased, edit.inserted);
        document.currentPage.content.asLoaded()->body = body;
        auto request = requestFor(document, {pageA});
        request.expectedPageBaselines[pageA] = baseline;

        auto written = VeltoPageLibrary::write(request, folder.path()).persistedPageBaselines.at(pageA);
        const std::string file = folder.readFile(fileNameOf(document.currentPage));
        // The same place and room; a buffer freed and made anew may get the same place, not the same room.
        EXPECT_EQ(written.fileContents->text().data() == keptBuffer && written.fileContents->capacity() == keptCapacity,
                  edit.reusesBuffer);
        TemporaryFolder freshFolder;
        VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), freshFolder.path());
        EXPECT_EQ(file, freshFolder.readFile(fileNameOf(document.currentPage)));
        EXPECT_EQ(*written.fileContents, file);
        EXPECT_EQ(written.checksum, contentChecksum(file));
        auto record = VeltoPageLibrary::loadManifestIfPresent(folder.path())->currentPage;
        EXPECT_EQ(record.contentChecksum, contentChecksum(file));
        EXPECT_EQ(record.bodyChecksum, contentChecksum(body));
        previous = std::move(baseline);
        baseline = std::move(written);
    }
}

/// A body of `bytes` bytes of Markdown with letters outside ASCII (two, three and four bytes long), its lines
/// numbered from `seed` so that texts made from other seeds differ everywhere.
std::string bodyOfSize(std::size_t bytes, int seed) {
    std::string body;
    for (int line = seed; body.size() + 64 < bytes; ++line) {
        body += "- [ ] naïve café € 😀 line " + std::to_string(line) + "\n";
    }
    body.append(bytes - body.size() - 1, 'a');
    return body + "\n";
}

// A big page's file text is made where a write past the page cache takes it as it lies, in whole blocks and a
// piece at a time: at every size around those blocks and pieces, with edits at the start, middle and end of the
// page, the file holds exactly the text a reader writing it back would make, and the record and baseline carry
// its checksums.
TEST(WriteTransaction, ABigPagesFileHoldsExactlyItsTextAtEverySizeAroundTheDisksBlocksAndTheWritesPieces) {
    constexpr std::size_t mebibyte = 1024 * 1024;
    const std::size_t header =
        pageWithBody(pageA, "x").content.asLoaded()->fileContentsCarryingIdentifier(pageA).text.size() - 1;
    struct Save {
        const char *name;
        std::function<std::string(const std::string &previous)> body;
    };
    const auto sized = [&](std::size_t fileBytes, int seed) {
        return [=](const std::string &) { return bodyOfSize(fileBytes - header, seed); };
    };
    const Save saves[] = {
        {"a byte under a direct write", sized(mebibyte - 1, 1)},
        {"exactly a piece", sized(mebibyte, 2)},
        {"a byte past a piece", sized(mebibyte + 1, 3)},
        {"a byte short of a block past a piece", sized(mebibyte + 4095, 4)},
        {"pieces and a block and a few bytes", sized(5 * mebibyte + 4096 + 143, 5)},
        {"typed at the start", [](const std::string &body) { return "# Ünïcode title\n\n" + body; }},
        {"typed in the middle",
         [](const std::string &body) { return std::string(body).insert(body.size() / 2 + 1, "– typed —"); }},
        {"typed at the end", [](const std::string &body) { return body + "last line ✓\n"; }},
        {"shrunk under a direct write", sized(mebibyte - 4096, 6)},
    };
    TemporaryFolder folder;
    auto document = documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "beta\n")});
    auto baseline =
        VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path()).persistedPageBaselines.at(pageA);
    std::string body = "alpha\n";
    for (const Save &save : saves) {
        SCOPED_TRACE(save.name);
        body = save.body(body);
        document.currentPage.content.asLoaded()->body = body;
        auto request = requestFor(document, {pageA});
        request.expectedPageBaselines[pageA] = baseline;

        baseline = VeltoPageLibrary::write(request, folder.path()).persistedPageBaselines.at(pageA);

        const VeltoPageFileContent &held = *document.currentPage.content.asLoaded();
        const std::string expected = VeltoPageFileContent::fileTextCarryingIdentifier(held.fileContents(), pageA);
        const std::string file = folder.readFile(fileNameOf(document.currentPage));
        ASSERT_EQ(file.size(), expected.size());
        EXPECT_TRUE(file == expected);
        EXPECT_TRUE(*baseline.fileContents == file);
        EXPECT_EQ(baseline.checksum, contentChecksum(expected));
        auto record = VeltoPageLibrary::loadManifestIfPresent(folder.path())->currentPage;
        EXPECT_EQ(record.contentChecksum, contentChecksum(expected));
        EXPECT_EQ(record.bodyChecksum, contentChecksum(body));
        EXPECT_EQ(record.fileSize, static_cast<std::int64_t>(expected.size()));
    }
}

} // namespace
