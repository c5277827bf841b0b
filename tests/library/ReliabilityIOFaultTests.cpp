#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "library/save/WriteTransaction.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
const Uuid pageC = *Uuid::parse("C3000000-0000-4000-8000-000000000003");
const Uuid pageD = *Uuid::parse("D4000000-0000-4000-8000-000000000004");

/// Every file below the folder that is neither library metadata nor one of the given page files.
std::map<std::string, std::string> filesBeside(const std::filesystem::path &folder,
                                               const std::set<std::string> &pageFiles) {
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        auto relative = entry.path().lexically_relative(folder).generic_string();
        if (relative.starts_with(".velto") || pageFiles.contains(relative)) {
            continue;
        }
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        files[relative] = entry.is_directory() ? "/" : bytes.str();
    }
    return files;
}

VeltoPage edited(const VeltoDocument &document, const Uuid &id, const std::string &body) {
    auto page = *pageCopy(document, id);
    page.content.asLoaded()->body = body;
    return page;
}

// The store's view after loading: A current, B and D beside it. Its first save edits A, adds C and deletes D;
// the second, after the first failed, also edits B and carries every mark of the first again.
struct Saves {
    VeltoSaveRequest first;
    VeltoSaveRequest second;
};

Saves savesFrom(const VeltoDocument &loaded) {
    auto a1 = edited(loaded, pageA, "A1\n");
    auto b2 = edited(loaded, pageB, "B2\n");
    auto c1 = pageWithBody(pageC, "C1\n");
    auto first = requestFor(documentOf(a1, {*pageCopy(loaded, pageB), c1}), {pageA, pageC});
    first.removedPageRevisions[pageD] = 1;
    first.structureRevision = 1;
    first.expectedPageBaselines[pageA] = VeltoPageBaseline::fromPage(*pageCopy(loaded, pageA));
    auto second = requestFor(documentOf(a1, {b2, c1}), {pageA, pageB, pageC});
    second.removedPageRevisions[pageD] = 1;
    second.structureRevision = 2;
    second.expectedPageBaselines = first.expectedPageBaselines;
    second.expectedPageBaselines[pageB] = VeltoPageBaseline::fromPage(*pageCopy(loaded, pageB));
    return {first, second};
}

// A save that meets a failing file operation at any one of its steps throws, or names the pages it left out (a page
// file that failed to be read back as it was replaced), or, where the step is one whose failure the save tolerates
// by design (a page removal retried later, a metadata read before an unchanged write), has still put everything on
// disk. It never touches a file outside ".velto" and the page files, and
// the next save leaves every text of both saves on disk.
TEST(ReliabilityIOFaults, SaveFailingAtAnyStepLosesNothingAndTouchesNothingElse) {
    TemporaryFolder folder;
    auto templateFolder = folder / "template";
    auto document = documentOf(pageWithBody(pageA, "A0\n"), {pageWithBody(pageB, "B0\n"), pageWithBody(pageD, "D0\n")});
    VeltoPageLibrary::write(requestFor(document, {pageA, pageB, pageD}), templateFolder);
    std::filesystem::create_directories(templateFolder / "Other");
    std::ofstream(templateFolder / "Other/notes.txt") << "not a page\n";
    std::ofstream(templateFolder / "readme.txt") << "mine\n";
    auto saves = savesFrom(loadedDocument(templateFolder));
    std::set<std::string> pageFiles;
    for (const auto &page : allPagesOf(saves.first.document)) {
        pageFiles.insert(VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page)));
    }
    pageFiles.insert(VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(document.pages[1])));

    int tolerated = 0;
    std::size_t step = 1;
    for (;; ++step) {
        auto run = folder / "run";
        std::filesystem::remove_all(run);
        std::filesystem::copy(templateFolder, run, std::filesystem::copy_options::recursive);
        auto besideBefore = filesBeside(run, pageFiles);

        FailingFileSystem fileSystem;
        fileSystem.failOperation(step);
        bool threw = false;
        try {
            threw = !VeltoPageLibrary::write(saves.first, run, fileSystem).pagesNotSaved.empty();
        } catch (const std::exception &) {
            threw = true;
        }
        if (!fileSystem.injectedFailure()) {
            break; // every step of the save has failed once
        }
        ASSERT_EQ(filesBeside(run, pageFiles), besideBefore) << "step " << step;
        if (!threw) {
            ++tolerated;
            auto after = loadedDocument(run);
            ASSERT_EQ(pageCopy(after, pageA)->visibleText(), "A1\n") << "step " << step << " reported success";
            ASSERT_TRUE(pageCopy(after, pageC)) << "step " << step << " reported success";
        }

        VeltoPageLibrary::write(saves.second, run);
        auto reloaded = loadedDocument(run);
        ASSERT_EQ(pageCopy(reloaded, pageA)->visibleText(), "A1\n") << "step " << step;
        ASSERT_EQ(pageCopy(reloaded, pageB)->visibleText(), "B2\n") << "step " << step;
        ASSERT_EQ(pageCopy(reloaded, pageC)->visibleText(), "C1\n") << "step " << step;
        ASSERT_FALSE(pageCopy(reloaded, pageD)) << "step " << step;
    }
    EXPECT_GT(step, 20u);
    std::cout << step - 1 << " failing steps, " << tolerated << " of them tolerated by the save\n";
}

} // namespace
