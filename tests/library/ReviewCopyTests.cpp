// Copying a library into a folder that holds Markdown files of its own: the copy never replaces them.

#include "WriteTestSupport.h"

#include "library/copy/FolderConnectionAssessment.h"
#include "library/copy/LibraryCopy.h"
#include "library/load/FullLoad.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace velto;
using velto::testing::TemporaryFolder;

namespace {

/// A library made the way a user makes one: a folder of plain Markdown, loaded once.
void plainLibrary(const TemporaryFolder &source, const std::string &name, const std::string &text) {
    source.writeFile(name, text);
    ASSERT_NE(VeltoPageLibrary::load(source.path()).asLoaded(), nullptr);
}

void expectCopyRefused(const TemporaryFolder &source, const TemporaryFolder &destination) {
    try {
        VeltoPageLibrary::copyLibrary(source.path(), destination.path());
        FAIL() << "the copy replaced a file of the destination";
    } catch (const VeltoLibraryConnectionError &error) {
        EXPECT_EQ(error.kind(), VeltoLibraryConnectionError::Kind::pageFileExists);
        EXPECT_NE(std::string(error.what()).find("already has a file named"), std::string::npos);
    }
    EXPECT_FALSE(destination.exists(".velto/manifest.json"));
    // The refused copy takes its lock file and metadata folder back, so the folder is no library afterwards.
    EXPECT_FALSE(destination.exists(".velto"));
    EXPECT_EQ(VeltoPageLibrary::assessFolderConnection(destination.path()).kind,
              VeltoFolderConnectionKind::unrelatedMarkdown);
}

TEST(ReviewCopy, DestinationFileWithThePageFileNameIsNeverReplaced) {
    TemporaryFolder source;
    TemporaryFolder destination;
    plainLibrary(source, "notes.md", "Source words\n");
    destination.writeFile("notes.md", "The destination's own words\n");

    expectCopyRefused(source, destination);

    EXPECT_EQ(destination.readFile("notes.md"), "The destination's own words\n");
}

TEST(ReviewCopy, DestinationFileInTheOtherUnicodeFormIsNeverReplaced) {
    TemporaryFolder source;
    TemporaryFolder destination;
    plainLibrary(source, "caf\xC3\xA9.md", "Source words\n"); // precomposed é
    destination.writeFile("cafe\xCC\x81.md", "Decomposed name, own words\n");

    expectCopyRefused(source, destination);

    EXPECT_EQ(destination.readFile("cafe\xCC\x81.md"), "Decomposed name, own words\n");
}

TEST(ReviewCopy, UnrelatedMarkdownOfTheDestinationStaysBesideTheCopy) {
    TemporaryFolder source;
    TemporaryFolder destination;
    plainLibrary(source, "notes.md", "Source words\n");
    destination.writeFile("other.md", "Unrelated\n");

    auto copied = VeltoPageLibrary::copyLibrary(source.path(), destination.path());

    EXPECT_EQ(copied.currentPage.visibleText(), "Source words\n");
    EXPECT_EQ(destination.readFile("other.md"), "Unrelated\n");
    EXPECT_NE(destination.readFile("notes.md").find("Source words\n"), std::string::npos);
}

} // namespace

TEST(ReviewCopy, AMetadataFolderHoldingOnlyTheLockFileIsNoLibrary) {
    TemporaryFolder empty;
    TemporaryFolder markdown;
    empty.writeFile(".velto/transaction.lock", "");
    markdown.writeFile(".velto/transaction.lock", "");
    markdown.writeFile("notes.md", "Own words\n");
    EXPECT_EQ(VeltoPageLibrary::assessFolderConnection(empty.path()).kind, VeltoFolderConnectionKind::empty);
    EXPECT_EQ(VeltoPageLibrary::assessFolderConnection(markdown.path()).kind,
              VeltoFolderConnectionKind::unrelatedMarkdown);
    markdown.writeFile(".velto/manifest.json", "{}");
    EXPECT_EQ(VeltoPageLibrary::assessFolderConnection(markdown.path()).kind,
              VeltoFolderConnectionKind::existingLibrary);
}
