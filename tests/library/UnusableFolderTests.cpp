// Pages folders that cannot hold a library: a load says what is wrong and where, and offers the user to change
// the folder instead of a repair that could not be written there.

#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"
#include "library/load/FullLoad.h"
#include "support/ChildProcess.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

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

/// A Pages folder whose permissions let this process add no file; its ".velto" and everything else stay writable.
class PagesFolderWithoutWritePermission : public PosixFileSystem {
public:
    explicit PagesFolderWithoutWritePermission(std::filesystem::path folder)
        : folder_(std::move(folder)) {}
    bool refusesWriting(const std::filesystem::path &path) override { return path == folder_; }

private:
    std::filesystem::path folder_;
};

// A load that needs to write nothing succeeds in such a folder, and then every save would fail: the load says so,
// as for a read-only mount, and changes nothing. Nor does one that would write: a Markdown file another program
// added would be recorded in the manifest (".velto" still takes files) before the folder was found read-only.
TEST(UnusableFolder, PagesFolderWithoutWritePermissionIsNamedAtTheLoadThatWritesNothing) {
    for (bool withAddedFile : {false, true}) {
        SCOPED_TRACE(withAddedFile ? "a Markdown file added" : "nothing added");
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        ASSERT_NE(VeltoPageLibrary::load(folder.path(), defaultFileSystem(), day(9)).asLoaded(), nullptr);
        if (withAddedFile) {
            folder.writeFile("added.md", "Added by another program\n");
        }
        auto before = folderSnapshot(folder.path());
        PagesFolderWithoutWritePermission readOnly(folder.path());

        auto result = VeltoPageLibrary::load(folder.path(), readOnly, day(9));
        ASSERT_NE(result.failureIssue(), nullptr);
        EXPECT_EQ(*result.failureIssue(),
                  (Issue{Issue::Kind::unreadable, "The Pages folder “" + folder.path().string() + "” is read-only.",
                         Issue::Remedy::changeFolder}));
        EXPECT_EQ(folderSnapshot(folder.path()), before);
    }
}

// The same with the system's own permissions: a folder of mode 555 owned by an ordinary user, its ".velto" writable,
// holding a Markdown file the manifest does not list yet. Privileges that may write anywhere never see it refused,
// so as root the load runs in the library driver as the user "nobody".
TEST(UnusableFolder, PagesFolderOfMode555IsNamedAtTheLoadForAnOrdinaryUser) {
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Pages";
    writeTwoPageLibrary(folder, pageA, pageB);
    scratch.writeFile("Pages/added.md", "Added by another program\n");
    const bool asRoot = ::geteuid() == 0;
    std::vector<std::string> asNobody{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    if (asRoot) {
        if (!testing::hasProgram("setpriv")) {
            GTEST_SKIP() << "running as root without setpriv to load as an ordinary user";
        }
        ASSERT_EQ(::chmod(scratch.path().c_str(), 0755), 0);
        for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
        }
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        std::vector<std::string> probe = asNobody;
        probe.insert(probe.end(), {"test", "-w", (folder / ".velto").string()});
        if (testing::runTool(probe, testing::currentEnvironment()).exitStatus != 0) {
            GTEST_SKIP() << "the user nobody cannot reach the temporary folder " << scratch.path();
        }
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const std::string readOnly = "The Pages folder “" + folder.string() + "” is read-only.";
    auto before = folderSnapshot(folder);

    if (asRoot) {
        std::vector<std::string> load = asNobody;
        load.insert(load.end(), {reliabilitytesting::driverPath(), "load", folder.string()});
        auto ran = testing::runTool(load, testing::currentEnvironment());
        Json output = decodeJSON(ran.output);
        ASSERT_EQ(output.value("outcome", ""), "failed") << ran.output;
        EXPECT_EQ(output["recoveryIssue"]["message"], readOnly);
        EXPECT_EQ(output["recoveryIssue"]["remedy"], "changeFolder");
    } else {
        auto result = VeltoPageLibrary::load(folder, defaultFileSystem(), day(9));
        ASSERT_NE(result.failureIssue(), nullptr);
        EXPECT_EQ(result.failureIssue()->message, readOnly);
    }
    EXPECT_EQ(folderSnapshot(folder), before) << "a refused load writes nothing";
}

} // namespace
} // namespace velto
