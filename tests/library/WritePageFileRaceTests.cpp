// Another program changes a page file at the very moment the save replaces it, after the save's check of the
// file: both versions survive, merged or with the other one in a conflict copy, and a save that cannot get its
// file in stops before its journal and the manifest.
#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "library/save/PageFileWrites.h"
#include "model/LibraryErrors.h"
#include "support/ChangedAtRenameFileSystem.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::ChangedAtRenameFileSystem;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;

namespace {

namespace fs = std::filesystem;

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

/// Rewrites the file as a shell would: a new file renamed over it, with one word replaced.
void rewriteReplacing(const fs::path &file, const std::string &word, const std::string &replacement) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.find(word), word.size(), replacement);
    std::ofstream(file.string() + ".new", std::ios::binary) << text;
    fs::rename(file.string() + ".new", file);
}

bool anyPageHolds(const VeltoDocument &document, const std::string &text) {
    auto pages = allPagesOf(document);
    return std::any_of(pages.begin(), pages.end(),
                       [&](const VeltoPage &page) { return page.visibleText().find(text) != std::string::npos; });
}

struct RaceCase {
    const char *name;
    bool archives; // the save archives the page instead of editing its text
    std::function<void(const fs::path &)> change;
    int changes;                          // how many of the save's renames of the page's file meet a change
    bool saved;                           // false: the save fails and leaves the library as it was
    std::optional<std::string> fileHolds; // what the page's file holds afterwards, in part; nothing: no file
    std::vector<std::string> kept;        // texts some page of the library holds afterwards
};

const auto theyRewriteAnotherLine = [](const fs::path &file) { rewriteReplacing(file, "three", "THREE"); };
const auto theyRewriteOurLine = [](const fs::path &file) { rewriteReplacing(file, "one", "uno"); };
const auto theyRemoveIt = [](const fs::path &file) { fs::remove(file); };
const auto theyKeepRewritingIt = [](const fs::path &file) {
    static int writes = 0;
    std::ofstream(file.string() + ".new", std::ios::binary) << "their text " << ++writes << "\n";
    fs::rename(file.string() + ".new", file);
};

const RaceCase raceCases[] = {
    {"AnotherLineMerges", false, theyRewriteAnotherLine, 1, true, "ONE\ntwo\nTHREE\n", {}},
    {"TheSameLineKeepsAConflictCopy", false, theyRewriteOurLine, 1, true, "ONE\ntwo\nthree\n", {"uno\ntwo\nthree\n"}},
    {"ARemovedFileStaysRemovedAndOurTextIsRecovered",
     false,
     theyRemoveIt,
     1,
     true,
     std::nullopt,
     {"ONE\ntwo\nthree\n"}},
    {"AFileChangedOnEveryAttemptStopsTheSave", false, theyKeepRewritingIt, 1000, false, "their text", {}},
    {"ArchivingKeepsTheirEdit", true, theyRewriteAnotherLine, 1, true, "one\ntwo\nTHREE\n", {}},
};

void PrintTo(const RaceCase &c, std::ostream *out) {
    *out << c.name;
}

class PageFileRace : public ::testing::TestWithParam<RaceCase> {};

TEST_P(PageFileRace, KeepsBothVersions) {
    const RaceCase &c = GetParam();
    TemporaryFolder folder;
    auto written = documentOf(pageWithBody(pageA, "one\ntwo\nthree\n"), {pageWithBody(pageB, "beta\n")});
    VeltoPageLibrary::write(requestFor(written, {pageA, pageB}), folder.path());

    auto document = loadedDocument(folder.path());
    auto baseline = writtenBaseline(document.currentPage);
    auto &content = *document.currentPage.content.asLoaded();
    if (c.archives) {
        content.writeVeltoMetadata(pageA, true, std::nullopt);
    } else {
        content.body = "ONE\ntwo\nthree\n";
    }
    auto request = requestFor(document, {pageA});
    request.generation = request.mutationRevision = 2;
    request.changedPageRevisions[pageA] = 2;
    if (c.archives) {
        request.archiveMetadataPageRevisions[pageA] = 2;
    }
    request.expectedPageBaselines[pageA] = baseline;

    fs::path file = folder / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(document.currentPage));
    std::string manifestBefore = folder.readFile(".velto/manifest.json");
    ChangedAtRenameFileSystem fileSystem(file, [&](const fs::path &changed, int rename) {
        if (rename <= c.changes) {
            c.change(changed);
        }
    });
    try {
        VeltoPageLibrary::write(request, folder.path(), fileSystem);
        EXPECT_TRUE(c.saved) << "the save overwrote a file that changed under it";
    } catch (const VeltoPageLibrary::PageFileChangedDuringSaveError &error) {
        EXPECT_FALSE(c.saved) << error.what();
        EXPECT_EQ(error.url(), file);
        EXPECT_EQ(folder.readFile(".velto/manifest.json"), manifestBefore) << "the manifest moved on without the page";
    }

    if (c.fileHolds) {
        EXPECT_NE(folder.readFile(file.filename()).find(*c.fileHolds), std::string::npos)
            << folder.readFile(file.filename());
    } else {
        EXPECT_FALSE(fs::exists(file)) << "a removed file was written back";
    }
    auto loaded = loadedDocument(folder.path());
    for (const std::string &text : c.kept) {
        EXPECT_TRUE(anyPageHolds(loaded, text)) << "no page holds " << text;
    }
}

INSTANTIATE_TEST_SUITE_P(AtTheReplacement, PageFileRace, ::testing::ValuesIn(raceCases),
                         [](const ::testing::TestParamInfo<RaceCase> &info) { return info.param.name; });

// A save that another program's change stops has written its conflict copies already. Each goes with the save,
// unless its text would then be in no file: the save had replaced the file it was copied from, or the copy cannot be
// removed. Those stay and are named by the failure, as a save names its copies; the library gains no other page but
// the copy of their rewrite that the swap back left aside.
struct StoppedSaveCase {
    const char *name;
    bool bothPagesInConflict; // B as well as A; the change that stops the save comes at B's file, after A's
    bool removalFails;
    std::size_t keptCopies;
};

const StoppedSaveCase stoppedSaveCases[] = {
    {"ACopyOfAFileLeftToItsWriterGoes", false, false, 0},
    {"ACopyOfAFileTheSaveReplacedStays", true, false, 1},
    {"ACopyThatCannotBeRemovedStays", false, true, 1},
};

void PrintTo(const StoppedSaveCase &c, std::ostream *out) {
    *out << c.name;
}

class StoppedSave : public ::testing::TestWithParam<StoppedSaveCase> {};

TEST_P(StoppedSave, LeavesOnlyTheConflictCopiesItNames) {
    const StoppedSaveCase &c = GetParam();
    TemporaryFolder folder;
    VeltoPageLibrary::write(
        requestFor(documentOf(pageWithBody(pageA, "one\ntwo\n"), {pageWithBody(pageB, "beta\n")}), {pageA, pageB}),
        folder.path());
    auto document = loadedDocument(folder.path());
    auto fileOf = [&](const VeltoPage &page) {
        return folder / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page));
    };
    // Both sides rewrite the first line of each page: no merge.
    std::vector<std::pair<VeltoPage *, std::string>> edited{{&document.currentPage, "one"}};
    if (c.bothPagesInConflict) {
        edited.emplace_back(&document.pages[0], "beta");
    }
    auto request = requestFor(document, {});
    for (auto &[page, firstLine] : edited) {
        request.expectedPageBaselines[page->id] = writtenBaseline(*page);
        rewriteReplacing(fileOf(*page), firstLine, "their");
        page->content.asLoaded()->body = page->id == pageA ? "ours\ntwo\n" : "ours\n";
        request.changedPageRevisions[page->id] = 1;
    }
    request.document = document;

    ChangedAtRenameFileSystem fileSystem(fileOf(*edited.back().first),
                                         [](const fs::path &file, int) { theyKeepRewritingIt(file); });
    auto failingRemove = [](const fs::path &url) { throw FileSystemError(EACCES, url, "unlink"); };
    std::vector<VeltoSaveConflict> kept;
    try {
        VeltoPageLibrary::write(request, folder.path(), fileSystem,
                                c.removalFails ? VeltoPageLibrary::RemoveOperation(failingRemove)
                                               : VeltoPageLibrary::RemoveOperation());
        ADD_FAILURE() << "the save overwrote a file that changed under it";
    } catch (const VeltoPageLibrary::PageFileChangedDuringSaveError &error) {
        kept = error.keptConflicts();
    }

    // Their rewrite that the swap back left aside, with another one in place, is a copy of its own the save names.
    auto leftAside = std::find_if(kept.begin(), kept.end(), [](const VeltoSaveConflict &conflict) {
        return conflict.preservedPage.visibleText().starts_with("their text");
    });
    ASSERT_NE(leftAside, kept.end()) << "their rewrite the swap back left aside is not named";
    EXPECT_EQ(leftAside->originalPageID, edited.back().first->id);
    kept.erase(leftAside);
    ASSERT_EQ(kept.size(), c.keptCopies);
    auto loaded = loadedDocument(folder.path());
    EXPECT_EQ(allPagesOf(loaded).size(), 2 + c.keptCopies + 1) << "a page that no save reported";
    for (const auto &conflict : kept) {
        EXPECT_EQ(conflict.originalPageID, pageA);
        auto copy = writetesting::pageCopy(loaded, conflict.preservedPage.id);
        ASSERT_TRUE(copy) << "a reported copy is not in the library";
        EXPECT_EQ(copy->visibleText(), "their\ntwo\n");
    }
}

INSTANTIATE_TEST_SUITE_P(AtTheReplacement, StoppedSave, ::testing::ValuesIn(stoppedSaveCases),
                         [](const ::testing::TestParamInfo<StoppedSaveCase> &info) { return info.param.name; });

// A save that stops at another program's append to one page has written a recovered page for another page, whose
// file had gone: the recovered page holds typed text that may be in no other file once the process ends (a final
// save at logout is never tried again), so it stays, and the failure names it.
TEST(StoppedSave, KeepsTheRecoveredPageItWrote) {
    const Uuid pageC = *Uuid::parse("C3000000-0000-4000-8000-000000000003");
    const Uuid pageE = *Uuid::parse("E5000000-0000-4000-8000-000000000005");
    TemporaryFolder folder;
    VeltoPageLibrary::write(
        requestFor(documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageC, "gamma\n")}), {pageA, pageC}),
        folder.path());
    auto document = loadedDocument(folder.path());
    auto fileOf = [&](const VeltoPage &page) {
        return folder / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page));
    };
    auto request = requestFor(document, {});
    request.expectedPageBaselines[pageA] = writtenBaseline(document.currentPage);
    request.expectedPageBaselines[pageC] = writtenBaseline(document.pages[0]);
    fs::remove(fileOf(document.currentPage));
    document.currentPage.content.asLoaded()->body = "alpha typed\n";
    document.pages[0].content.asLoaded()->body = "gamma typed\n";
    document.pages.push_back(pageWithBody(pageE, "epsilon\n"));
    request.document = document;
    for (const Uuid &page : {pageA, pageC, pageE}) {
        request.changedPageRevisions[page] = 1;
    }

    ChangedAtRenameFileSystem appending(fileOf(document.pages[0]), [](const fs::path &file, int rename) {
        if (rename == 1) {
            std::ofstream(file, std::ios::binary | std::ios::app) << "appended\n";
        }
    });
    std::vector<VeltoSaveConflict> kept;
    try {
        VeltoPageLibrary::write(request, folder.path(), appending);
        ADD_FAILURE() << "the save overwrote a file that changed under it";
    } catch (const VeltoPageLibrary::PageFileChangedDuringSaveError &error) {
        kept = error.keptConflicts();
    }

    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].originalPageID, pageA);
    bool inAFile = false;
    for (const auto &entry : fs::directory_iterator(folder.path())) {
        inAFile = inAFile || (entry.is_regular_file() &&
                              folder.readFile(entry.path().filename()).find("alpha typed\n") != std::string::npos);
    }
    EXPECT_TRUE(inAFile) << "the typed text is in no file";
}

// Another program that changes the page's file as the save swaps its file in, and again as the save swaps theirs back,
// leaves their first change in the save's temporary file: the save that did it keeps that as a conflict copy and names
// it, when it holds a line the page's file lacks; otherwise the temporary goes. No hidden file is left either way.
struct SwapBackCase {
    const char *name;
    std::function<void(const fs::path &)> atTheSwapIn;
    std::function<void(const fs::path &)> atTheSwapBack;
    std::optional<std::string> copied; // a line the reported copy holds; nothing: no copy
};

const auto theyAppendTheirLine = [](const fs::path &file) {
    std::ofstream(file, std::ios::binary | std::ios::app) << "their line\n";
};
const auto theyAppendALaterLine = [](const fs::path &file) {
    std::ofstream(file, std::ios::binary | std::ios::app) << "later\n";
};
const auto theyRewriteOurFirstLineAsTheirs = [](const fs::path &file) { rewriteReplacing(file, "ONE", "uno"); };

const SwapBackCase swapBackCases[] = {
    {"TheirAppendedLineIsACopyThatTheSaveNames", theyAppendTheirLine, theyAppendALaterLine, "their line"},
    {"WhatThePageFileHoldsNowMakesNoCopy", theyRewriteOurLine, theyRewriteOurFirstLineAsTheirs, std::nullopt},
};

void PrintTo(const SwapBackCase &c, std::ostream *out) {
    *out << c.name;
}

class SwapBack : public ::testing::TestWithParam<SwapBackCase> {};

TEST_P(SwapBack, TheSaveKeepsWhatItLeftInItsTemporaryFile) {
    const SwapBackCase &c = GetParam();
    TemporaryFolder folder;
    VeltoPageLibrary::write(requestFor(documentOf(pageWithBody(pageA, "one\ntwo\nthree\n"), {}), {pageA}),
                            folder.path());
    auto document = loadedDocument(folder.path());
    auto request = requestFor(document, {pageA});
    request.expectedPageBaselines[pageA] = writtenBaseline(document.currentPage);
    document.currentPage.content.asLoaded()->body = "ONE\ntwo\nthree\n";
    request.document = document;
    fs::path file = folder / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(document.currentPage));
    ChangedAtRenameFileSystem fileSystem(file, [&](const fs::path &changed, int rename) {
        if (rename == 1) {
            c.atTheSwapIn(changed);
        } else if (rename == 2) {
            c.atTheSwapBack(changed);
        }
    });

    std::vector<VeltoSaveConflict> kept;
    std::string failure;
    try {
        VeltoPageLibrary::write(request, folder.path(), fileSystem);
    } catch (const VeltoPageLibrary::PageFileChangedDuringSaveError &error) {
        kept = error.keptConflicts();
        failure = error.what();
    }

    for (const auto &entry : fs::directory_iterator(folder.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path().filename();
    }
    if (!c.copied) {
        EXPECT_TRUE(kept.empty());
        return;
    }
    ASSERT_EQ(kept.size(), 1u) << "the save did not name the copy of what it left aside: " << failure;
    EXPECT_EQ(kept[0].originalPageID, pageA);
    auto name = VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(kept[0].preservedPage));
    EXPECT_NE(failure.find(name), std::string::npos) << failure;
    auto copy = writetesting::pageCopy(loadedDocument(folder.path()), kept[0].preservedPage.id);
    ASSERT_TRUE(copy) << "the reported copy is not in the library";
    EXPECT_NE(copy->visibleText().find(*c.copied), std::string::npos) << copy->visibleText();
}

INSTANTIATE_TEST_SUITE_P(AtTheReplacement, SwapBack, ::testing::ValuesIn(swapBackCases),
                         [](const ::testing::TestParamInfo<SwapBackCase> &info) { return info.param.name; });

// A big page's file that fails to be read back while it is replaced (a failing disk, the page cache still holding
// the page) is no change by another program: the save leaves the page out once, named with the read's error, as a
// read of the page fails anywhere else, without trying again, and leaves the file and the manifest as they were.
TEST(PageFileReadBack, FailingReadBackOfABigPageFailsTheSaveOnceWithItsError) {
    TemporaryFolder folder;
    const std::string big(5 * 1024 * 1024, 'x');
    VeltoPageLibrary::write(requestFor(documentOf(pageWithBody(pageA, big + "\n")), {pageA}), folder.path());
    auto document = loadedDocument(folder.path());
    auto baseline = writtenBaseline(document.currentPage);
    document.currentPage.content.asLoaded()->body = big + "\nedited\n";
    auto request = requestFor(document, {pageA});
    request.generation = request.mutationRevision = 2;
    request.changedPageRevisions[pageA] = 2;
    request.expectedPageBaselines[pageA] = baseline;

    fs::path file = folder / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(document.currentPage));
    const std::string fileBefore = folder.readFile(file.filename());
    const std::string manifestBefore = folder.readFile(".velto/manifest.json");
    FailingFileSystem fileSystem;
    fileSystem.countOnly({FileOperation::read});
    fileSystem.countOnlyPathsContaining("." + file.filename().string() + ".tmp-");
    fileSystem.failFromOperation(1, EIO);
    auto result = VeltoPageLibrary::write(request, folder.path(), fileSystem);
    ASSERT_EQ(result.pagesNotSaved.size(), 1u) << "the save succeeded without reading its file back";
    EXPECT_EQ(result.pagesNotSaved[0].kind, VeltoPageNotSavedKind::fileUnreadable);
    EXPECT_EQ(result.pagesNotSaved[0].description,
              "The page file “" + file.filename().string() + "” could not be read. Input/output error");
    EXPECT_EQ(fileSystem.countedOperations(), 1u) << "the save was tried again";
    EXPECT_EQ(folder.readFile(file.filename()), fileBefore);
    EXPECT_EQ(folder.readFile(".velto/manifest.json"), manifestBefore);
    for (const std::string &name : fileSystem.contentsOfDirectory(folder.path())) {
        EXPECT_NE(name.rfind("." + file.filename().string(), 0), 0u) << "a temporary file was left: " << name;
    }
}

} // namespace
