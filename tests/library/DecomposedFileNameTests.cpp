// A Pages folder synced from another platform may spell a page's file name in decomposed Unicode while the
// metadata holds the composed name: loads and saves use the file that is there.

#include "library/save/WriteTransaction.h"

#include "LoadTestSupport.h"
#include "WriteTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace velto;
using namespace velto::writetesting;
using velto::loadtesting::entryNames;
using velto::testing::TemporaryFolder;

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const std::string composed = "Caf\xc3\xa9.md";    // "é" as one code point
const std::string decomposed = "Cafe\xcc\x81.md"; // "e" and a combining acute accent

TEST(DecomposedFileName, SaveOfAPageRecordedUnderTheComposedNameUpdatesTheFileThatIsThere) {
    TemporaryFolder folder;
    auto page = pageWithBody(pageA, "First\n");
    page.relativeFilePath = composed;
    auto document = documentOf(page);
    VeltoPageLibrary::write(requestFor(document, {pageA}), folder.path());
    ASSERT_TRUE(folder.exists(composed));
    std::filesystem::rename(folder / composed, folder / decomposed);

    auto edited = document;
    edited.currentPage.content.asLoaded()->body = "Second\n";
    auto request = requestFor(edited, {pageA});
    request.expectedPageBaselines[pageA] = writtenBaseline(page);
    auto result = VeltoPageLibrary::write(request, folder.path());

    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(entryNames(folder.path()), (std::vector<std::string>{".velto", decomposed}));
    EXPECT_EQ(VeltoPageFileContent::parse(folder.readFile(decomposed)).body, "Second\n");
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText(), "Second\n");
}

} // namespace
