// A link out of the Pages folder at the name a page's file is looked for when its own name holds none leaves the
// page whose file is there alone. Links in place of a page's file or folder are covered, as another process meets
// them, by the library driver's tests.

#include "WriteTestSupport.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/FullLoad.h"
#include "library/save/WriteTransaction.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace velto {
namespace {

namespace fs = std::filesystem;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

std::string fileBytes(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
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
