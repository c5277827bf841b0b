#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "library/removal/KeptConflictCopy.h"
#include "library/save/WriteTransaction.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
const Uuid otherWriter = *Uuid::parse("0B000000-0000-4000-8000-00000000000B");

std::string fileNameOf(const VeltoPage &page) {
    return VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page));
}

/// A library of pages A (current) and B, and the document as a load gives it.
VeltoDocument libraryOfTwoPages(const TemporaryFolder &folder) {
    auto document = documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "one\ntwo\n")});
    VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path());
    return loadedDocument(folder.path());
}

/// Another writer's save of `loaded` with page B's body replaced.
void otherWriterEditsB(const TemporaryFolder &folder, const VeltoDocument &loaded, const std::string &body) {
    VeltoDocument edited = loaded;
    edited.pages[0].content.asLoaded()->body = body;
    auto request = requestFor(edited, {pageB}, otherWriter);
    request.expectedPageBaselines[pageB] = VeltoPageBaseline::fromPage(loaded.pages[0]);
    VeltoPageLibrary::write(request, folder.path());
}

/// The test writer's save of `loaded` without page B, expecting B's file as it was loaded.
VeltoSaveRequest removingB(const VeltoDocument &loaded) {
    VeltoDocument remaining = loaded;
    remaining.pages.clear();
    auto request = requestFor(remaining, {});
    request.mutationRevision = 2;
    request.removedPageRevisions[pageB] = 2;
    request.structureRevision = 2;
    request.expectedPageBaselines[pageB] = VeltoPageBaseline::fromPage(loaded.pages[0]);
    return request;
}

std::vector<VeltoPage> pagesHolding(const VeltoDocument &document, const std::string &text) {
    std::vector<VeltoPage> found;
    for (const auto &page : allPagesOf(document)) {
        if (page.visibleText().find(text) != std::string::npos) {
            found.push_back(page);
        }
    }
    return found;
}

TEST(WriteRemovalConflict, RemovalFromAStaleLoadKeepsTheOtherWritersEditAsAConflictCopy) {
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);
    otherWriterEditsB(folder, loaded, "one\ntheirs\n");

    auto result = VeltoPageLibrary::write(removingB(loaded), folder.path());

    ASSERT_EQ(result.conflicts.size(), 1u);
    EXPECT_EQ(result.conflicts[0].originalPageID, pageB);
    EXPECT_EQ(result.conflicts[0].preservedPage.fileSlug, "conflict-copy");
    auto reloaded = loadedDocument(folder.path());
    EXPECT_FALSE(pageCopy(reloaded, pageB));
    auto copy = pageCopy(reloaded, result.conflicts[0].preservedPage.id);
    ASSERT_TRUE(copy) << "the copy the save reported is not the page a load takes in";
    EXPECT_EQ(copy->visibleText(), "one\ntheirs\n");
    EXPECT_EQ(copy->content.asLoaded()->conflictOriginalPageID(), pageB);
    EXPECT_NE(fileNameOf(*copy).find("conflict-copy"), std::string::npos) << fileNameOf(*copy);
    EXPECT_FALSE(folder.exists(fileNameOf(loaded.pages[0])));
    // The copy is the library's own page from now on: a second load still has it, once.
    EXPECT_EQ(pagesHolding(loadedDocument(folder.path()), "theirs").size(), 1u);
}

TEST(WriteRemovalConflict, RemovalOfAFileRewrittenWithoutItsIdentifierKeepsItsTextOnceAndSaysSo) {
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);
    auto name = fileNameOf(loaded.pages[0]);
    folder.writeFile(name, "one\ntheirs\n"); // another editor saved the page without its front matter

    auto result = VeltoPageLibrary::write(removingB(loaded), folder.path());

    ASSERT_EQ(result.conflicts.size(), 1u);
    EXPECT_EQ(result.conflicts[0].originalPageID, pageB);
    EXPECT_FALSE(folder.exists(name));
    auto holding = pagesHolding(loadedDocument(folder.path()), "theirs");
    ASSERT_EQ(holding.size(), 1u) << "their text is lost, or comes back twice";
    EXPECT_EQ(holding[0].id, result.conflicts[0].preservedPage.id);
    EXPECT_EQ(holding[0].content.asLoaded()->conflictOriginalPageID(), pageB);
}

TEST(WriteRemovalConflict, RemovalOfAnUnchangedFileDeletesItWithoutACopy) {
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);

    auto result = VeltoPageLibrary::write(removingB(loaded), folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_FALSE(folder.exists(fileNameOf(loaded.pages[0])));
    auto reloaded = loadedDocument(folder.path());
    EXPECT_FALSE(pageCopy(reloaded, pageB));
    EXPECT_TRUE(pagesHolding(reloaded, "two").empty());
}

TEST(WriteRemovalConflict, RemovalAfterAnEditThatLeftTheSameFileTextMakesNoCopy) {
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);
    auto before = folder.readFile(fileNameOf(loaded.pages[0]));
    otherWriterEditsB(folder, loaded, "one\ntwo\n");
    ASSERT_EQ(folder.readFile(fileNameOf(loaded.pages[0])), before);

    auto result = VeltoPageLibrary::write(removingB(loaded), folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_FALSE(folder.exists(fileNameOf(loaded.pages[0])));
    EXPECT_TRUE(pagesHolding(loadedDocument(folder.path()), "two").empty());
}

TEST(WriteRemovalConflict, RemovalWithoutABaselineDeletesAsBefore) {
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);
    otherWriterEditsB(folder, loaded, "one\ntheirs\n");
    auto request = removingB(loaded);
    request.expectedPageBaselines.clear();

    auto result = VeltoPageLibrary::write(request, folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_FALSE(pageCopy(loadedDocument(folder.path()), pageB));
}

TEST(WriteRemovalConflict, RemovalBaselinesSurviveTheRequestsBookkeeping) {
    auto request = removingB(documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "one\n")}));

    auto kept = request.discardingMutations({}, std::nullopt);
    auto replaced = request.replacingPageIDs({{pageA, Uuid::random()}});

    EXPECT_TRUE(kept.expectedPageBaselines.contains(pageB));
    EXPECT_TRUE(replaced.expectedPageBaselines.contains(pageB));
    EXPECT_FALSE(request.discardingMutations({{pageB, 2}}, 2).expectedPageBaselines.contains(pageB));
}

TEST(WriteRemovalConflict, RemovalQueuedBehindASaveOfThePageExpectsWhatThatSaveWrote) {
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);
    VeltoDocument edited = loaded;
    edited.pages[0].content.asLoaded()->body = "one\nours\n";
    auto edit = requestFor(edited, {pageB});
    edit.expectedPageBaselines[pageB] = VeltoPageBaseline::fromPage(loaded.pages[0]);
    auto written = VeltoPageLibrary::write(edit, folder.path());

    auto removal = removingB(loaded).rebasingExpectedPageBaselines(written.persistedPageBaselines);
    auto result = VeltoPageLibrary::write(removal, folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_TRUE(pagesHolding(loadedDocument(folder.path()), "ours").empty());
}

// A deleted page's file goes only while it holds the bytes the deletion read. Another program's line written
// after that read, whenever the removal comes, is in some file afterwards, and the library's other pages still save.

/// Appends another program's line to the file, in place.
void appendTheirLine(const TemporaryFolder &folder, const std::string &name) {
    folder.writeFile(name, folder.readFile(name) + "their line\n");
}

/// A later save of the library as it loads now, with page A's body edited.
void saveWithAEdited(const TemporaryFolder &folder, const std::string &body) {
    auto document = loadedDocument(folder.path());
    document.currentPage.content.asLoaded()->body = body;
    auto request = requestFor(document, {pageA});
    request.mutationRevision = 3;
    VeltoPageLibrary::write(request, folder.path());
}

/// A deleting save that meets a fault or another program's line, then the library's next save: either the line is
/// kept with B's deleted text in a copy of B's, or, where no line came, B's file is gone.
struct DeletionFaultCase {
    const char *name;
    std::optional<FileOperation> failingStep; // the first of its steps on B's file fails (EACCES)
    bool lineAppendedAsTheSaveCommits;
    bool lineAppendedAfterTheSave;
    bool fileStaysAfterTheSave;
    bool lineKept; // otherwise B's file and text are gone
};

const DeletionFaultCase deletionFaultCases[] = {
    {"LineAppendedAsTheDeletingSaveCommitsIsKeptAsAConflictCopy", std::nullopt, true, false, false, true},
    {"DeletedFileUnreadableAtTheDeletionThenGivenALineIsKeptAsAConflictCopy", FileOperation::read, false, true, true,
     true},
    {"DeletedFileWhoseRemovalFailedGoesWhileItHoldsWhatTheDeletionRead", FileOperation::remove, false, false, true,
     false},
};

void PrintTo(const DeletionFaultCase &c, std::ostream *out) {
    *out << c.name;
}

class WriteRemovalConflictFault : public ::testing::TestWithParam<DeletionFaultCase> {};

TEST_P(WriteRemovalConflictFault, AnotherProgramsLineOutlastsTheDeletion) {
    const DeletionFaultCase &c = GetParam();
    TemporaryFolder folder;
    auto loaded = libraryOfTwoPages(folder);
    auto name = fileNameOf(loaded.pages[0]);
    velto::testing::FailingFileSystem failing;
    if (c.failingStep) {
        failing.countOnly({*c.failingStep});
        failing.countOnlyPathsContaining(name);
        failing.failFromOperation(1, EACCES);
    }

    VeltoPageLibrary::write(removingB(loaded), folder.path(), failing, {}, {}, [&] {
        if (c.lineAppendedAsTheSaveCommits) {
            appendTheirLine(folder, name);
        }
    });
    ASSERT_EQ(folder.exists(name), c.fileStaysAfterTheSave);
    if (c.lineAppendedAfterTheSave) {
        appendTheirLine(folder, name);
    }
    saveWithAEdited(folder, "alpha edited\n");

    auto reloaded = loadedDocument(folder.path());
    EXPECT_FALSE(pageCopy(reloaded, pageB));
    EXPECT_FALSE(folder.exists(name));
    EXPECT_EQ(reloaded.currentPage.visibleText(), "alpha edited\n");
    if (!c.lineKept) {
        EXPECT_TRUE(pagesHolding(reloaded, "two").empty()) << "the deleted page came back";
        return;
    }
    auto holding = pagesHolding(reloaded, "their line");
    ASSERT_EQ(holding.size(), 1u) << "the line another program wrote is lost, or in two pages";
    EXPECT_EQ(holding[0].visibleText(), "one\ntwo\ntheir line\n");
    EXPECT_EQ(holding[0].content.asLoaded()->conflictOriginalPageID(), pageB);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteRemovalConflictFault, ::testing::ValuesIn(deletionFaultCases),
                         [](const ::testing::TestParamInfo<DeletionFaultCase> &info) { return info.param.name; });

// Another program's line that reaches a deleted page's file in the middle of the deleting save, at a moment no
// fault marks, is in some file once the library's next save is over, in a copy one of the two saves reported.

/// The real file system, with another program acting on the Pages folder right before one of this process's steps.
class ActingFileSystem : public PosixFileSystem {
public:
    std::function<void(FileOperation, const std::filesystem::path &)> act;

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override {
        if (act) {
            act(operation, path);
        }
    }
};

enum class DeletionRace {
    /// The file is moved out of the folder as the save commits, and put back with a line after it.
    movedAwayThenPutBackWithALine,
    /// A line lands as the save commits, so it keeps a copy; another lands as that copy is written.
    lineAppendedWhileTheCopyIsWritten,
    /// A line lands as the save commits; while the removal reads the file it took aside, another program puts a
    /// file of its own at the name, so the file goes back beside it under a "(kept …)" name.
    anotherFileComesToTheNameDuringTheRemoval,
};

struct DeletionRaceCase {
    const char *name;
    DeletionRace race;
    std::vector<std::string> linesToKeep;
};

const DeletionRaceCase deletionRaceCases[] = {
    {"MovedAwayAndPutBackWithALine", DeletionRace::movedAwayThenPutBackWithALine, {"their line"}},
    {"LineAppendedWhileTheCopyIsWritten",
     DeletionRace::lineAppendedWhileTheCopyIsWritten,
     {"their line", "their second line"}},
    {"AnotherFileComesToTheNameDuringTheRemoval",
     DeletionRace::anotherFileComesToTheNameDuringTheRemoval,
     {"their line", "their own file"}},
};

void PrintTo(const DeletionRaceCase &c, std::ostream *out) {
    *out << c.name;
}

/// The page files of the folder, by name, with their texts.
std::map<std::string, std::string> pageFilesOf(const TemporaryFolder &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder.path())) {
        auto name = entry.path().filename().string();
        if (entry.is_regular_file() && name.ends_with(".md") && !name.starts_with(".")) {
            files.emplace(name, folder.readFile(name));
        }
    }
    return files;
}

class WriteRemovalRace : public ::testing::TestWithParam<DeletionRaceCase> {};

TEST_P(WriteRemovalRace, EveryLineIsInAFileAndEveryCopyIsReported) {
    const DeletionRaceCase &c = GetParam();
    TemporaryFolder folder;
    TemporaryFolder elsewhere;
    auto loaded = libraryOfTwoPages(folder);
    auto name = fileNameOf(loaded.pages[0]);
    const std::string theirOwnFile = "their own file\n";
    ActingFileSystem acting;
    bool acted = false;
    auto asTheSaveCommits = [&] {
        if (c.race == DeletionRace::movedAwayThenPutBackWithALine) {
            std::filesystem::rename(folder / name, elsewhere / name);
        } else {
            appendTheirLine(folder, name);
        }
    };
    acting.act = [&](FileOperation operation, const std::filesystem::path &path) {
        auto file = path.filename().string();
        if (acted) {
            return;
        }
        if (c.race == DeletionRace::lineAppendedWhileTheCopyIsWritten && operation == FileOperation::write &&
            file.find("conflict-copy") != std::string::npos) {
            acted = true;
            folder.writeFile(name, folder.readFile(name) + "their second line\n");
        }
        if (c.race == DeletionRace::anotherFileComesToTheNameDuringTheRemoval && operation == FileOperation::read &&
            file.find(".aside-") != std::string::npos) {
            acted = true;
            folder.writeFile(name, theirOwnFile);
        }
    };

    auto deleting = VeltoPageLibrary::write(removingB(loaded), folder.path(), acting, {}, {}, asTheSaveCommits);
    if (c.race == DeletionRace::movedAwayThenPutBackWithALine) {
        folder.writeFile(name, elsewhere.readFile(name) + "their line\n");
    } else {
        ASSERT_TRUE(acted) << "the other program never got to act";
    }
    auto document = loadedDocument(folder.path());
    document.currentPage.content.asLoaded()->body = "alpha edited\n";
    auto next = requestFor(document, {pageA});
    next.mutationRevision = 3;
    auto later = VeltoPageLibrary::write(next, folder.path());

    auto files = pageFilesOf(folder);
    std::set<std::string> reportedFiles;
    for (const auto *result : {&deleting, &later}) {
        for (const auto &conflict : result->conflicts) {
            reportedFiles.insert(fileNameOf(conflict.preservedPage));
        }
    }
    for (const auto &line : c.linesToKeep) {
        bool kept = false;
        for (const auto &[file, text] : files) {
            if (text.find(line) == std::string::npos) {
                continue;
            }
            kept = true;
            EXPECT_TRUE(reportedFiles.contains(file) || text == theirOwnFile)
                << file << " holds \"" << line << "\" but no save reported it";
        }
        EXPECT_TRUE(kept) << "\"" << line << "\" is in no file";
    }
    for (const auto &[file, text] : files) {
        EXPECT_FALSE(VeltoPageLibrary::isKeptFileName(file)) << file << " was left beside, unreported";
    }
    EXPECT_EQ(loadedDocument(folder.path()).currentPage.visibleText(), "alpha edited\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteRemovalRace, ::testing::ValuesIn(deletionRaceCases),
                         [](const ::testing::TestParamInfo<DeletionRaceCase> &info) { return info.param.name; });

} // namespace
