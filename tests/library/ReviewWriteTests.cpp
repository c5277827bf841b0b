// A save whose document gives two pages one file name: neither page's text may replace the other's.

#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "library/load/FullLoad.h"
#include "library/save/WriteTransaction.h"
#include "model/LibraryPageRecord.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

VeltoPage pageInFile(const Uuid &id, const std::string &body, const std::string &relativeFilePath) {
    auto page = pageWithBody(id, body);
    page.relativeFilePath = relativeFilePath;
    return page;
}

TEST(ReviewWrite, TwoChangedPagesOfOneFileStopTheSaveBeforeAnyPageIsWritten) {
    TemporaryFolder folder;
    VeltoPageLibrary::write(requestFor(documentOf(pageInFile(pageA, "first\n", "g.md")), {pageA}), folder.path());
    auto before = folder.readFile("g.md");

    auto document = documentOf(pageInFile(pageA, "text of A\n", "g.md"), {pageInFile(pageB, "text of B\n", "g.md")});
    EXPECT_THROW(VeltoPageLibrary::write(requestFor(document, {pageA, pageB}), folder.path()),
                 VeltoPageLibrary::SharedPageFileError);

    EXPECT_EQ(folder.readFile("g.md"), before);
}

/// Every page the store holds for a file gets its own edit, saved the way the store saves it.
TEST(ReviewWrite, EditsOfAPlainFileAfterItsManifestWasDamagedAreNeverLost) {
    TemporaryFolder folder;
    folder.writeFile("g.md", "G\n");
    folder.writeFile("h.md", "H\n");
    ASSERT_NE(VeltoPageLibrary::load(folder.path()).asLoaded(), nullptr);
    folder.writeFile(".velto/manifest.json", "garbage{{{");
    auto document = loadedDocument(folder.path());

    auto request = requestFor(document, {});
    std::map<Uuid, std::string> edits;
    auto edit = [&](VeltoPage &page) {
        if (VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page)) != "g.md") {
            return;
        }
        request.expectedPageBaselines[page.id] = VeltoPageBaseline::fromPage(page);
        std::string text = "edited as " + page.id.uppercaseText() + "\n";
        page.content.asLoaded()->body = text;
        request.changedPageRevisions[page.id] = 1;
        edits[page.id] = text;
    };
    edit(request.document.currentPage);
    for (auto &page : request.document.pages) {
        edit(page);
    }
    ASSERT_FALSE(edits.empty());

    try {
        auto result = VeltoPageLibrary::write(request, folder.path());
        auto reloaded = loadedDocument(folder.path());
        for (const auto &[id, text] : edits) {
            if (!result.persistedPageBaselines.contains(id)) {
                continue;
            }
            bool found = false;
            for (const auto &page : allPagesOf(reloaded)) {
                found = found || page.visibleText().find(text) != std::string::npos;
            }
            EXPECT_TRUE(found) << "lost: " << text;
        }
    } catch (const VeltoPageLibrary::SharedPageFileError &) {
        // Refused before any page was written: the edits are still the store's.
        EXPECT_EQ(folder.readFile("g.md"), "G\n");
    }
}

/// The store's request that removes one page of a loaded document.
VeltoSaveRequest removalOf(const VeltoDocument &loaded, const Uuid &removed) {
    VeltoDocument document = loaded;
    if (document.currentPage.id == removed) {
        document.currentPage = document.pages.front();
        document.pages.erase(document.pages.begin());
    }
    std::erase_if(document.pages, [&](const VeltoPage &page) { return page.id == removed; });
    auto request = requestFor(document, {});
    request.removedPageRevisions[removed] = 1;
    request.structureRevision = 1;
    return request;
}

Uuid pageIDOfFile(const VeltoDocument &document, const std::string &relativeFilePath) {
    for (const auto &page : allPagesOf(document)) {
        if (page.relativeFilePath == relativeFilePath) {
            return page.id;
        }
    }
    ADD_FAILURE() << "no page for " << relativeFilePath;
    return {};
}

TEST(ReviewWrite, DeletedPageOfAPlainMarkdownFileStaysDeleted) {
    TemporaryFolder folder;
    folder.writeFile("keep.md", "Keep\n");
    folder.writeFile("gone.md", "Gone\n");
    auto loaded = loadedDocument(folder.path());

    VeltoPageLibrary::write(removalOf(loaded, pageIDOfFile(loaded, "gone.md")), folder.path());

    EXPECT_FALSE(folder.exists("gone.md"));
    auto reloaded = loadedDocument(folder.path());
    EXPECT_TRUE(reloaded.pages.empty());
    EXPECT_EQ(reloaded.currentPage.visibleText(), "Keep\n");
}

TEST(ReviewWrite, DeletedPlainFileThatAnotherProgramChangedKeepsItsText) {
    TemporaryFolder folder;
    folder.writeFile("keep.md", "Keep\n");
    folder.writeFile("gone.md", "Gone\n");
    auto loaded = loadedDocument(folder.path());
    folder.writeFile("gone.md", "Gone, with words added elsewhere\n");

    VeltoPageLibrary::write(removalOf(loaded, pageIDOfFile(loaded, "gone.md")), folder.path());

    EXPECT_EQ(folder.readFile("gone.md"), "Gone, with words added elsewhere\n");
}

} // namespace
