// Pages folders that cannot hold a library: a load says what is wrong and where, and offers the user to change
// the folder instead of a repair that could not be written there.

#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "WriteTestSupport.h"
#include "library/FullLoad.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace velto {
namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace velto::writetesting;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;
using Issue = VeltoStoreRecoveryIssue;

/// A folder on a read-only mount: it refuses writing, and every step that would change it fails with EROFS.
class ReadOnlyFileSystem : public FailingFileSystem {
public:
    ReadOnlyFileSystem() {
        countOnly({FileOperation::write, FileOperation::rename, FileOperation::remove, FileOperation::createDirectory});
        failFromOperation(1, EROFS);
    }
    bool refusesWriting(const std::filesystem::path &) override { return true; }
};

TEST(UnusableFolder, MetadataEntryThatIsAFileIsNamedWithOrWithoutMarkdownAndNothingChanges) {
    for (bool withMarkdown : {true, false}) {
        SCOPED_TRACE(withMarkdown ? "with Markdown" : "without Markdown");
        TemporaryFolder folder;
        folder.writeFile(".velto", "not a folder\n");
        if (withMarkdown) {
            folder.writeFile("notes.md", "Notes\n");
        }
        auto before = folderSnapshot(folder.path());

        auto result = VeltoPageLibrary::load(folder.path(), defaultFileSystem(), day(9));
        ASSERT_NE(result.failureIssue(), nullptr);
        EXPECT_EQ(*result.failureIssue(),
                  (Issue{Issue::Kind::unreadable, "“" + (folder / ".velto").string() + "” is a file, not a folder.",
                         Issue::Remedy::changeFolder}));
        EXPECT_EQ(folderSnapshot(folder.path()), before);
    }
}

// A load that must write (a Markdown file added by another program) fails in a read-only folder for that
// reason, and a newer library is still named as such.
TEST(UnusableFolder, ReadOnlyFolderIsNamedWhenTheLoadFailsAndANewerLibraryKeepsItsOwnIssue) {
    TemporaryFolder folder;
    writeTwoPageLibrary(folder.path(), pageA, pageB);
    ReadOnlyFileSystem readOnly;

    folder.writeFile("added.md", "Added by another program\n");
    auto result = VeltoPageLibrary::load(folder.path(), readOnly, day(9));
    ASSERT_NE(result.failureIssue(), nullptr);
    EXPECT_EQ(*result.failureIssue(),
              (Issue{Issue::Kind::unreadable, "The Pages folder “" + folder.path().string() + "” is read-only.",
                     Issue::Remedy::changeFolder}));

    auto manifest = folder.readFile(".velto/manifest.json");
    manifest.replace(manifest.find("\"schemaVersion\":3"), 17, "\"schemaVersion\":4");
    folder.writeFile(".velto/manifest.json", manifest);
    result = VeltoPageLibrary::load(folder.path(), readOnly, day(9));
    ASSERT_NE(result.failureIssue(), nullptr);
    EXPECT_EQ(result.failureIssue()->remedy, Issue::Remedy::updateVelto);
}

} // namespace
} // namespace velto
