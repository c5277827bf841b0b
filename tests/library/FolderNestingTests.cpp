// Libraries never nest: the refusals on real folder trees, and discovery and assessment leaving another
// library's folder alone.
#include "library/copy/FolderConnectionAssessment.h"
#include "library/folder/FolderNesting.h"
#include "library/load/FullLoad.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace velto;
using velto::testing::TemporaryFolder;

namespace {

constexpr char insideCurrent[] = "Velto can’t use a folder inside your current Pages folder.";
constexpr char containsCurrent[] = "Velto can’t use a folder that contains your current Pages folder.";

class FolderNesting : public ::testing::Test {
protected:
    void SetUp() override {
        // Home/Notes is a folder of the user's own files around the managed library Home/Notes/Velto;
        // Home/Other is a second library with a folder inside it.
        files.writeFile("Home/Notes/own.md", "# Own\n");
        files.writeFile("Home/Notes/Velto/.velto/manifest.json", "{}");
        files.writeFile("Home/Other/.velto/manifest.json", "{}");
        files.createFolder("Home/Other/Inside");
        files.createFolder("Home/Locked/.velto");
        files.writeFile("Home/Locked/.velto/transaction.lock", "");
        files.createFolder("Home/Locked/Inside");
        files.createFolder("Home/Empty");
        files.writeFile("Home/Shelf/Archive/.velto/manifest.json", "{}");
        std::filesystem::create_directory_symlink(files / "Home/Notes/Velto", files / "Home/LinkToCurrent");
        std::filesystem::create_directory_symlink(files / "Home/Notes", files / "Home/LinkToParent");
        std::filesystem::create_directory_symlink(files / "Home/Other", files / "Home/LinkToOther");
    }

    std::optional<std::string> refusal(const std::string &destination) {
        return VeltoPageLibrary::nestingRefusal(files / destination, files / "Home/Notes/Velto");
    }

    TemporaryFolder files;
};

TEST_F(FolderNesting, DestinationsAreRefusedByWhereTheyLieAfterLinksAreResolved) {
    const std::string other = "Velto can’t use a folder inside another Velto library (“" +
                              std::filesystem::weakly_canonical(files / "Home/Other").string() + "”).";
    struct Case {
        std::string destination;
        std::optional<std::string> refusal;
    };
    const Case cases[] = {
        {"Home/Notes/Velto", std::nullopt},           // the current folder itself
        {"Home/Notes/Velto/", std::nullopt},          // with a trailing separator
        {"Home/LinkToCurrent", std::nullopt},         // a link to the current folder
        {"Home/Notes/Velto/Projects", insideCurrent}, // not yet created
        {"Home/LinkToCurrent/Projects", insideCurrent},
        {"Home/Notes", containsCurrent}, // "Use Entire Folder" on the managed library's parent
        {"Home/LinkToParent", containsCurrent},
        {"Home", containsCurrent},
        {"Home/Other/Inside", other},
        {"Home/Other/Inside/New/Deeper", other},
        {"Home/LinkToOther/Inside", other},
        {"Home/Other", std::nullopt},         // another library itself is connected as it is
        {"Home/Locked/Inside", std::nullopt}, // a lock file alone makes no library
        {"Home/Empty", std::nullopt},
        {"Home/Shelf", std::nullopt}, // another library below: discovery leaves its folder alone
    };
    for (const Case &test : cases) {
        EXPECT_EQ(refusal(test.destination), test.refusal) << test.destination;
    }
}

TEST_F(FolderNesting, DiscoveryAndAssessmentLeaveAnotherLibrarysFolderAlone) {
    TemporaryFolder outer;
    outer.writeFile("top.md", "# Top\n");
    outer.writeFile("Plain/note.md", "# Note\n");
    outer.writeFile("Nested/.velto/manifest.json", "{}");
    outer.writeFile("Nested/theirs.md", "# Theirs\n");
    outer.writeFile("Nested/Deeper/theirs too.md", "# Theirs too\n");
    outer.writeFile("LockOnly/.velto/transaction.lock", "");
    outer.writeFile("LockOnly/mine.md", "# Mine\n");

    VeltoFolderConnectionAssessment assessment = VeltoPageLibrary::assessFolderConnection(outer.path());
    EXPECT_EQ(assessment.markdownFileCount, 3);

    VeltoLibraryLoadResult loaded = VeltoPageLibrary::load(outer.path());
    ASSERT_NE(loaded.asLoaded(), nullptr);
    for (const VeltoPage &page : loaded.asLoaded()->document.pages) {
        EXPECT_FALSE(page.relativeFilePath.value_or("").starts_with("Nested/")) << *page.relativeFilePath;
    }
    EXPECT_EQ(outer.readFile("Nested/theirs.md"), "# Theirs\n"); // never given an identifier
}

} // namespace
