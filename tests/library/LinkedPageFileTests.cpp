// A page's file, or the folder holding it, that becomes a symbolic link out of the Pages folder or round in a loop
// leaves out only its own page: the page is named as unreadable with the link's reason and keeps its record, the
// other pages load and save, typed text is kept in a file of the folder, nothing is written through the link, and
// the page comes back once the link goes.

#include "WriteTestSupport.h"
#include "library/FullLoad.h"
#include "library/LibraryRecovery.h"
#include "library/PageFileNaming.h"
#include "library/WriteTransaction.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace velto {
namespace {

namespace fs = std::filesystem;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

std::string fileBytes(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

/// Whether some regular file of the folder or below holds the text; links are not followed.
bool someFileBelowHolds(const fs::path &folder, const std::string &text) {
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (entry.symlink_status().type() == fs::file_type::regular &&
            fileBytes(entry.path()).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

/// A library of "keep.md" and the linked page's file, with "Sync" beside the Pages folder where a user moves it.
struct LinkedLibrary {
    TemporaryFolder scratch;
    fs::path pages = scratch.createFolder("Pages");
    fs::path sync = scratch.createFolder("Sync");
};

/// How the page's file comes to lie behind a link: `entry` (the file or its folder, relative to the Pages folder)
/// moves into Sync, and a link takes its place.
struct LinkCase {
    const char *name;
    const char *pagePath;
    const char *entry;
    bool loop;
    const char *reason;
};

const LinkCase linkCases[] = {
    {"file linked out", "linked.md", "linked.md", false, "It is a symbolic link to a place outside the Pages folder."},
    {"file in a loop", "linked.md", "linked.md", true, "It is a symbolic link that leads round in a loop."},
    {"folder linked out", "notes/linked.md", "notes", false,
     "It lies in a folder that is a symbolic link to a place outside the Pages folder."},
    {"folder in a loop", "notes/linked.md", "notes", true,
     "It lies in a folder that is a symbolic link leading round in a loop."},
};

void makeLink(const LinkCase &c, const LinkedLibrary &library) {
    fs::rename(library.pages / c.entry, library.sync / c.entry);
    fs::path target = c.loop ? fs::path(c.entry).filename() : library.sync / c.entry;
    fs::create_symlink(target, library.pages / c.entry);
}

void removeLink(const LinkCase &c, const LinkedLibrary &library) {
    fs::remove(library.pages / c.entry);
    fs::rename(library.sync / c.entry, library.pages / c.entry);
}

const VeltoPage *pageAt(const VeltoDocument &document, const std::string &relativePath) {
    for (const auto &page : allPagesOf(document)) {
        if (page.relativeFilePath == relativePath) {
            return findPage(const_cast<VeltoDocument &>(document), page.id);
        }
    }
    return nullptr;
}

/// The load of the library, failing the test unless it loaded.
VeltoLibraryLoadResult::Loaded loaded(const fs::path &pages) {
    auto result = VeltoPageLibrary::load(pages);
    if (result.asLoaded() == nullptr) {
        ADD_FAILURE() << (result.failureIssue() != nullptr ? result.failureIssue()->message : "missing");
        return {};
    }
    return *result.asLoaded();
}

/// The library as first loaded: both files adopted as pages.
VeltoDocument adoptedLibrary(const LinkCase &c, const LinkedLibrary &library) {
    library.scratch.writeFile(fs::path("Pages") / "keep.md", "Keep\n");
    library.scratch.writeFile(fs::path("Pages") / c.pagePath, "Linked\n");
    return loaded(library.pages).document;
}

/// The save of new text in the pages named, with the baselines of the document as loaded.
VeltoSaveRequest editing(const VeltoDocument &document, const std::vector<std::pair<std::string, std::string>> &edits) {
    VeltoDocument edited = document;
    std::vector<Uuid> changed;
    for (const auto &[path, body] : edits) {
        auto *page = const_cast<VeltoPage *>(pageAt(edited, path));
        page->content.asLoaded()->body = body;
        changed.push_back(page->id);
    }
    auto request = requestFor(edited, changed);
    for (const auto &id : changed) {
        request.expectedPageBaselines[id] = VeltoPageBaseline::fromPage(*pageCopy(document, id));
    }
    return request;
}

// Made before a launch: the load names the page with the link's reason and holds it aside, the other page saves,
// recovery goes through, and once the link goes the page loads with its text.
TEST(LinkedPageFile, MadeBeforeALaunchLeavesOutOnlyItsOwnPage) {
    for (const LinkCase &c : linkCases) {
        SCOPED_TRACE(c.name);
        LinkedLibrary library;
        const Uuid linkedID = pageAt(adoptedLibrary(c, library), c.pagePath)->id;
        makeLink(c, library);

        auto found = loaded(library.pages);
        ASSERT_EQ(found.unreadableFiles.size(), 1u);
        EXPECT_EQ(found.unreadableFiles[0].relativePath, c.pagePath);
        EXPECT_EQ(found.unreadableFiles[0].reason, c.reason);
        const VeltoPage *held = pageAt(found.document, c.pagePath);
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(held->id, linkedID);
        EXPECT_NE(held->content.asUnavailable(), nullptr);

        auto result = VeltoPageLibrary::write(editing(found.document, {{"keep.md", "Keep\nsaved\n"}}), library.pages);
        EXPECT_TRUE(result.pagesNotSaved.empty());
        EXPECT_EQ(pageAt(loaded(library.pages).document, "keep.md")->visibleText(), "Keep\nsaved\n");
        EXPECT_NO_THROW(VeltoPageLibrary::recover(requestFor(found.document, {}), library.pages));
        EXPECT_EQ(fileBytes(library.sync / c.pagePath), "Linked\n") << "written through the link";

        removeLink(c, library);
        auto mended = loaded(library.pages);
        EXPECT_TRUE(mended.unreadableFiles.empty());
        ASSERT_NE(pageAt(mended.document, c.pagePath), nullptr);
        EXPECT_EQ(pageAt(mended.document, c.pagePath)->id, linkedID);
        EXPECT_EQ(pageAt(mended.document, c.pagePath)->visibleText(), "Linked\n");
        EXPECT_EQ(pageAt(mended.document, "keep.md")->visibleText(), "Keep\nsaved\n");
    }
}

// Made while a save waits for the library: the page typed into keeps its words in a recovered page of the folder,
// never written through the link, and the other page's words are saved.
TEST(LinkedPageFile, MadeWhileASaveWaitsKeepsEveryTypedLineInAFileOfTheFolder) {
    for (const LinkCase &c : linkCases) {
        SCOPED_TRACE(c.name);
        LinkedLibrary library;
        const VeltoDocument document = adoptedLibrary(c, library);
        auto request = editing(document, {{"keep.md", "Keep\nkept line\n"}, {c.pagePath, "Linked\ntyped line\n"}});

        VeltoSaveResult result;
        EXPECT_NO_THROW(result = VeltoPageLibrary::write(request, library.pages, defaultFileSystem(), {},
                                                         [&] { makeLink(c, library); }));

        EXPECT_TRUE(someFileBelowHolds(library.pages, "typed line"));
        EXPECT_FALSE(someFileBelowHolds(library.sync, "typed line")) << "written through the link";
        EXPECT_NE(fileBytes(library.pages / "keep.md").find("kept line"), std::string::npos);
        auto found = loaded(library.pages);
        ASSERT_EQ(found.unreadableFiles.size(), 1u);
        EXPECT_EQ(found.unreadableFiles[0].reason, c.reason);

        removeLink(c, library);
        auto mended = loaded(library.pages);
        EXPECT_EQ(pageAt(mended.document, c.pagePath)->visibleText(), "Linked\n");
        EXPECT_TRUE(someFileBelowHolds(library.pages, "typed line"));
    }
}

// A link out of the folder under the name a page's file is looked for when its own name holds none is no concern
// of a page whose file is there: the library loads and saves, and the link is named as any other.
TEST(LinkedPageFile, ALinkAtTheNameWithoutTheSlugLeavesAPageWithItsFileAlone) {
    TemporaryFolder folder;
    TemporaryFolder outside;
    const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
    const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
    writeTwoPageLibrary(folder.path(), pageA, pageB);
    auto written = loaded(folder.path()).document;
    auto record = VeltoPageLibrary::namingRecord(*pageCopy(written, pageA));
    const std::string fallbackName = VeltoPageLibrary::pageFileStem(record) + "-a1000000.md";
    auto outsideFile = outside.writeFile("elsewhere.md", "Elsewhere\n");
    fs::create_symlink(outsideFile, folder / fallbackName);

    auto found = loaded(folder.path());
    EXPECT_EQ(pageCopy(found.document, pageA)->visibleText(), "alpha\n");
    ASSERT_EQ(found.unreadableFiles.size(), 1u);
    EXPECT_EQ(found.unreadableFiles[0].relativePath, fallbackName);

    VeltoDocument edited = found.document;
    findPage(edited, pageA)->content.asLoaded()->body = "alpha saved\n";
    auto request = requestFor(edited, {pageA});
    request.expectedPageBaselines[pageA] = VeltoPageBaseline::fromPage(*pageCopy(found.document, pageA));
    EXPECT_TRUE(VeltoPageLibrary::write(request, folder.path()).pagesNotSaved.empty());
    EXPECT_EQ(pageCopy(loaded(folder.path()).document, pageA)->visibleText(), "alpha saved\n");
    EXPECT_EQ(fileBytes(outsideFile), "Elsewhere\n");
}

} // namespace
} // namespace velto
