#include "library/folder/PageFileLocation.h"

#include "model/LibraryErrors.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using velto::LibraryMetadataError;
using velto::testing::TemporaryFolder;
using VeltoPageLibrary::pageURL;
namespace fs = std::filesystem;

bool isRefused(const std::string &name, const fs::path &folder) {
    try {
        pageURL(name, folder);
        return false;
    } catch (const LibraryMetadataError &error) {
        EXPECT_EQ(error.kind(), LibraryMetadataError::Kind::unsafePagePath);
        EXPECT_STREQ(error.what(), "Velto metadata contains a page path outside the selected Pages folder.");
        return true;
    }
}

class PageFileLocation : public testing::Test {
protected:
    PageFileLocation()
        : folder(temporary.createFolder("Pages"))
        , root(fs::canonical(folder)) {}

    TemporaryFolder temporary;
    fs::path folder;
    fs::path root; // the folder with the temporary directory's own links resolved
};

TEST_F(PageFileLocation, NamesThatAreNotManagedAreRefused) {
    for (const char *name : {"/etc/passwd.md", "a.txt", "a//b.md", "./a.md", "x/../a.md", "../a.md", ".velto/a.md"}) {
        EXPECT_TRUE(isRefused(name, folder)) << name;
    }
}

TEST_F(PageFileLocation, PagesInTheFolderAndItsSubfoldersAreAccepted) {
    EXPECT_EQ(pageURL("a.md", folder), root / "a.md");
    temporary.createFolder("Pages/Notes");
    EXPECT_EQ(pageURL("Notes/plan.MD", folder), root / "Notes/plan.MD");
    // A subfolder that does not exist yet lies inside too.
    EXPECT_EQ(pageURL("Later/plan.md", folder), root / "Later/plan.md");
}

TEST_F(PageFileLocation, SubfolderLinkingOutsideIsRefused) {
    auto outside = temporary.createFolder("Outside");
    fs::create_directory_symlink(outside, folder / "Escape");
    EXPECT_TRUE(isRefused("Escape/a.md", folder));
}

TEST_F(PageFileLocation, SubfolderLinkingInsideIsAccepted) {
    temporary.createFolder("Pages/Real");
    fs::create_directory_symlink(folder / "Real", folder / "Alias");
    EXPECT_EQ(pageURL("Alias/a.md", folder), root / "Real/a.md");
}

TEST_F(PageFileLocation, PageFileLinkingOutsideIsRefusedAndLinkingInsideKeepsItsLinkPath) {
    auto outside = temporary.writeFile("Outside/secret.md", "x");
    fs::create_symlink(outside, folder / "escape.md");
    EXPECT_TRUE(isRefused("escape.md", folder));

    temporary.writeFile("Pages/real.md", "x");
    fs::create_symlink("real.md", folder / "alias.md");
    EXPECT_EQ(pageURL("alias.md", folder), root / "alias.md");
}

TEST_F(PageFileLocation, DanglingLinksLeadingOutsideAreRefused) {
    // Neither target exists yet: a write through either would create a file outside the folder.
    fs::create_symlink(temporary / "Outside/new.md", folder / "later.md");
    EXPECT_TRUE(isRefused("later.md", folder));
    fs::create_directory_symlink(temporary / "Outside/NewFolder", folder / "LaterFolder");
    EXPECT_TRUE(isRefused("LaterFolder/a.md", folder));
    fs::create_symlink("../../Outside/x.md", folder / "relative.md");
    EXPECT_TRUE(isRefused("relative.md", folder));
}

TEST_F(PageFileLocation, DanglingLinkInsideTheFolderIsAccepted) {
    fs::create_symlink("future.md", folder / "link.md");
    EXPECT_EQ(pageURL("link.md", folder), root / "link.md");
}

TEST_F(PageFileLocation, LinkLoopDoesNotHang) {
    fs::create_symlink("loop-b.md", folder / "loop-a.md");
    fs::create_symlink("loop-a.md", folder / "loop-b.md");
    // Like a dangling link inside the folder: the path is the link's own, and reading it fails later.
    EXPECT_EQ(pageURL("loop-a.md", folder), root / "loop-a.md");
}

TEST_F(PageFileLocation, FolderReachedThroughALinkWorks) {
    fs::create_directory_symlink(folder, temporary / "PagesLink");
    EXPECT_EQ(pageURL("a.md", temporary / "PagesLink"), root / "a.md");
}

// "é" as one code point, and as "e" followed by a combining acute accent.
const std::string composedCafe = "caf\xc3\xa9";
const std::string decomposedCafe = "cafe\xcc\x81";

TEST_F(PageFileLocation, NameInTheOtherUnicodeFormFindsTheEntryThatIsThere) {
    temporary.writeFile("Pages/" + decomposedCafe + ".md", "x");
    EXPECT_EQ(pageURL(composedCafe + ".md", folder), root / (decomposedCafe + ".md"));
    EXPECT_EQ(pageURL(decomposedCafe + ".md", folder), root / (decomposedCafe + ".md"));

    temporary.writeFile("Pages/" + decomposedCafe + "/notes.md", "x");
    EXPECT_EQ(pageURL(composedCafe + "/notes.md", folder), root / decomposedCafe / "notes.md");
    // A file not yet there goes into the folder that is.
    EXPECT_EQ(pageURL(composedCafe + "/new.md", folder), root / decomposedCafe / "new.md");
}

TEST_F(PageFileLocation, PlainNameFindsTheEntrySpelledWithACharacterThatDecomposesToIt) {
    const std::string kelvinSign = "\xe2\x84\xaa"; // canonically the letter "K"
    temporary.writeFile("Pages/" + kelvinSign + "elvin.md", "x");
    EXPECT_EQ(pageURL("Kelvin.md", folder), root / (kelvinSign + "elvin.md"));
    EXPECT_EQ(pageURL("kelvin.md", folder), root / "kelvin.md");
}

TEST_F(PageFileLocation, ExactNameWinsAndNothingEqualLeavesTheNameAsWritten) {
    temporary.writeFile("Pages/" + decomposedCafe + ".md", "x");
    temporary.writeFile("Pages/" + composedCafe + ".md", "x");
    EXPECT_EQ(pageURL(composedCafe + ".md", folder), root / (composedCafe + ".md"));
    EXPECT_EQ(pageURL("other-" + composedCafe + ".md", folder), root / ("other-" + composedCafe + ".md"));
}

TEST_F(PageFileLocation, EntriesWhoseNamesAreNotUTF8NeverMatch) {
    temporary.writeFile("Pages/caf\xe9.md", "x"); // Latin-1, as another system may have written it
    EXPECT_EQ(pageURL(composedCafe + ".md", folder), root / (composedCafe + ".md"));
}

TEST_F(PageFileLocation, EntryInTheOtherUnicodeFormLinkingOutsideIsRefused) {
    auto outside = temporary.writeFile("Outside/secret.md", "x");
    fs::create_symlink(outside, folder / (decomposedCafe + ".md"));
    EXPECT_TRUE(isRefused(composedCafe + ".md", folder));

    fs::create_directory_symlink(temporary / "Outside", folder / ("Re\xcc\x81sume\xcc\x81"));
    EXPECT_TRUE(isRefused("R\xc3\xa9sum\xc3\xa9/secret.md", folder));
}

} // namespace
