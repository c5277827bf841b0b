// One page's file that cannot take its text never holds up the save of another page: the save writes every page it
// can and names each page it left out, and a file that refuses the text for good has the text kept beside it.

#include "LoadTestSupport.h"
#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "library/save/WriteTransaction.h"
#include "model/LibraryErrors.h"
#include "platform/JsonCoding.h"
#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace velto {
namespace {

using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
constexpr std::size_t limit = VeltoPageLibrary::largestPageFileBytes;

std::string fileNameOf(const VeltoDocument &document, const Uuid &id) {
    return VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(*pageCopy(document, id)));
}

std::string fileBytes(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

/// A file of `bytes` bytes, all "z": text, but with too little room for a page's metadata near the limit.
void writeFilledFile(const std::filesystem::path &path, std::size_t bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(bytes, 'z');
}

/// The two-page library as loaded, with A's and B's texts set and both marked changed, as the store asks.
VeltoSaveRequest editBoth(const VeltoDocument &loaded, const std::string &textOfA, const std::string &textOfB) {
    VeltoDocument edited = loaded;
    findPage(edited, pageA)->content.asLoaded()->body = textOfA;
    findPage(edited, pageB)->content.asLoaded()->body = textOfB;
    auto request = requestFor(edited, {pageA, pageB});
    for (const Uuid &id : {pageA, pageB}) {
        request.expectedPageBaselines[id] = VeltoPageBaseline::fromPage(*pageCopy(loaded, id));
    }
    return request;
}

/// The real file system, except that replacing one file fails with `error` and the folder refuses or not.
class RefusingFileSystem : public PosixFileSystem {
public:
    RefusingFileSystem(std::filesystem::path file, FileSystemError error, bool folderRefuses)
        : file_(std::move(file))
        , error_(std::move(error))
        , folderRefuses_(folderRefuses) {}

    ReplacementOutcome replaceIfUnchangedBeneath(const std::filesystem::path &folder,
                                                 const std::filesystem::path &relativePath, std::string_view bytes,
                                                 std::optional<std::string_view> expected,
                                                 std::optional<std::filesystem::path> &theirFile) override {
        if (folder / relativePath == file_) {
            throw error_;
        }
        return PosixFileSystem::replaceIfUnchangedBeneath(folder, relativePath, bytes, expected, theirFile);
    }
    bool refusesWriting(const std::filesystem::path &path) override {
        return folderRefuses_ && path == file_.parent_path();
    }

private:
    std::filesystem::path file_;
    FileSystemError error_;
    bool folderRefuses_;
};

// Each page file that cannot take the page's text is left as it is and named with the reason, while the other page
// is written and committed; the page left out keeps its old record, so a load finds its old text.
TEST(PagesNotSaved, APageWhoseFileCannotTakeItsTextIsLeftOutAndTheOtherPageIsSaved) {
    using Kind = VeltoPageNotSavedKind;
    struct Case {
        const char *name;
        Kind kind;
        int replacementError; // 0: nothing fails, the text is too large
        bool folderRefuses;
        const char *reason;
    };
    const Case cases[] = {
        {"too large", Kind::tooLarge, 0, false, "This page is too large to save"},
        {"the file may not be changed", Kind::fileRefuses, EACCES, false, "Permission denied"},
        {"the folder takes no file", Kind::folderRefuses, EACCES, true, "Permission denied"},
        {"the file taken out cannot be read", Kind::fileUnreadable, EIO, false, "Input/output error"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        const VeltoDocument loaded = loadedDocument(folder.path());
        const std::string nameOfA = fileNameOf(loaded, pageA);
        const std::string before = fileBytes(folder / nameOfA);
        const std::string textOfA = c.replacementError == 0 ? std::string(limit - 126, 'x') : "alpha edited\n";
        const std::string operation = c.replacementError == EIO ? "Reading" : "Saving";
        RefusingFileSystem fileSystem(c.replacementError == 0 ? folder / "none" : folder / nameOfA,
                                      FileSystemError(c.replacementError, folder / nameOfA, operation),
                                      c.folderRefuses);

        auto result = VeltoPageLibrary::write(editBoth(loaded, textOfA, "beta saved\n"), folder.path(), fileSystem);

        ASSERT_EQ(result.pagesNotSaved.size(), 1u);
        const VeltoPageNotSaved &notSaved = result.pagesNotSaved[0];
        EXPECT_EQ(notSaved.pageID, pageA);
        EXPECT_EQ(notSaved.relativeFilePath, nameOfA);
        EXPECT_EQ(notSaved.kind, c.kind);
        EXPECT_NE(notSaved.description.find("\u201c" + nameOfA + "\u201d"), std::string::npos) << notSaved.description;
        EXPECT_NE(notSaved.description.find(c.reason), std::string::npos) << notSaved.description;
        EXPECT_FALSE(result.persistedPageBaselines.contains(pageA));
        EXPECT_TRUE(result.persistedPageBaselines.contains(pageB));
        EXPECT_EQ(fileBytes(folder / nameOfA), before);
        const VeltoDocument reloaded = loadedDocument(folder.path());
        EXPECT_EQ(pageCopy(reloaded, pageA)->visibleText(), "alpha\n");
        EXPECT_EQ(pageCopy(reloaded, pageB)->visibleText(), "beta saved\n");
    }
}

/// Makes the page's file refuse to be written by this process, whatever its privileges: the process is told so.
class FileRefusingWrites : public PosixFileSystem {
public:
    explicit FileRefusingWrites(std::filesystem::path file)
        : file_(std::move(file)) {}
    bool refusesWriting(const std::filesystem::path &path) override { return path == file_; }

private:
    std::filesystem::path file_;
};

// Another program replaces the file of a page with unsaved text by one filled to within 127 bytes of the limit (no
// room for the page's metadata, nor for a conflict copy of it), or by one this user may not change: the text is kept
// at once as a recovered page beside the file, which stays as it is, and the other page is saved with it.
TEST(PagesNotSaved, AFileThatCannotTakeThePagesTextHasTheTextRecoveredBesideIt) {
    for (bool filled : {true, false}) {
        SCOPED_TRACE(filled ? "filled to the brim" : "may not be changed");
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        const VeltoDocument loaded = loadedDocument(folder.path());
        const std::filesystem::path fileOfA = folder / fileNameOf(loaded, pageA);
        if (filled) {
            writeFilledFile(fileOfA, limit - 100);
        }
        const std::string before = fileBytes(fileOfA);
        FileRefusingWrites fileSystem(filled ? folder / "none" : fileOfA);

        auto result =
            VeltoPageLibrary::write(editBoth(loaded, "alpha typed\n", "beta saved\n"), folder.path(), fileSystem);

        EXPECT_TRUE(result.pagesNotSaved.empty());
        ASSERT_EQ(result.conflicts.size(), 1u);
        EXPECT_EQ(result.conflicts[0].preservedPage.fileSlug, "recovered-page");
        ASSERT_EQ(result.pagesLeftUnread.size(), 1u);
        EXPECT_EQ(result.pagesLeftUnread[0].file.relativePath, fileOfA.filename().string());
        EXPECT_NE(result.pagesLeftUnread[0].file.reason.find(filled ? "the page’s identifier" : "permission"),
                  std::string::npos)
            << result.pagesLeftUnread[0].file.reason;
        EXPECT_EQ(fileBytes(fileOfA), before) << "the file was written over";
        const VeltoDocument reloaded = loadedDocument(folder.path());
        EXPECT_EQ(pageCopy(reloaded, result.conflicts[0].preservedPage.id)->visibleText(), "alpha typed\n");
        EXPECT_EQ(pageCopy(reloaded, pageB)->visibleText(), "beta saved\n");
    }
}

// A page whose file cannot be read is deleted, or archived, together with an edit of another page: the edit is saved.
// The deleted page's record goes and its file stays as it is, its bytes perhaps another program's; the archived page
// is named as not saved, its change left for later.
TEST(PagesNotSaved, DeletingOrArchivingAPageWhoseFileCannotBeReadDoesNotHoldUpAnotherPage) {
    for (bool deleting : {true, false}) {
        SCOPED_TRACE(deleting ? "deleted" : "archived");
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        const VeltoDocument loaded = loadedDocument(folder.path());
        const std::filesystem::path fileOfA = folder / fileNameOf(loaded, pageA);
        const std::string latin1 = "caf\xe9\n";
        std::ofstream(fileOfA, std::ios::binary | std::ios::trunc) << latin1;

        VeltoDocument edited = loaded;
        findPage(edited, pageB)->content.asLoaded()->body = "beta saved\n";
        auto request = requestFor(edited, {pageB});
        request.expectedPageBaselines[pageB] = VeltoPageBaseline::fromPage(*pageCopy(loaded, pageB));
        if (deleting) {
            edited.currentPage = *pageCopy(loaded, pageB);
            edited.currentPage.content.asLoaded()->body = "beta saved\n";
            edited.pages.clear();
            request.document = edited;
            request.removedPageRevisions[pageA] = 1;
            request.structureRevision = 1;
            request.expectedPageBaselines[pageA] = VeltoPageBaseline::fromPage(*pageCopy(loaded, pageA));
        } else {
            VeltoPage &archived = *findPage(request.document, pageA);
            archived.content.asLoaded()->writeVeltoMetadata(pageA, true, std::nullopt);
            archived.archivedAt = day(7);
            request.changedPageRevisions[pageA] = 1;
            request.archiveMetadataPageRevisions[pageA] = 1;
        }

        auto result = VeltoPageLibrary::write(request, folder.path());

        EXPECT_EQ(fileBytes(fileOfA), latin1);
        EXPECT_TRUE(result.conflicts.empty());
        auto reloaded = VeltoPageLibrary::load(folder.path());
        ASSERT_NE(reloaded.asLoaded(), nullptr);
        EXPECT_EQ(pageCopy(reloaded.asLoaded()->document, pageB)->visibleText(), "beta saved\n");
        if (deleting) {
            EXPECT_TRUE(result.pagesNotSaved.empty());
            EXPECT_FALSE(pageCopy(reloaded.asLoaded()->document, pageA).has_value()) << "the record stayed";
        } else {
            ASSERT_EQ(result.pagesNotSaved.size(), 1u);
            EXPECT_EQ(result.pagesNotSaved[0].pageID, pageA);
            EXPECT_EQ(result.pagesNotSaved[0].kind, VeltoPageNotSavedKind::fileUnreadable);
            EXPECT_NE(result.pagesNotSaved[0].description.find("could not be read"), std::string::npos);
        }
    }
}

// From outside, as the project's other tools see it: a save of a page typed past the limit beside a small edit of
// another writes the small edit, names the page it left out and exits with status 1.
TEST(PagesNotSaved, TheDriverWritesWhatItCanNamesThePageLeftOutAndExitsWithOne) {
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Pages";
    writeTwoPageLibrary(folder, pageA, pageB);
    const std::string operations = "{\"setText\": {\"" + pageA.uppercaseText() + "\": \"" +
                                   std::string(67'108'764, 'x') + "\", \"" + pageB.uppercaseText() +
                                   "\": \"beta saved\\n\"}}";

    reliabilitytesting::DriverProcess save({"write", folder.string()}, operations, (scratch / "run").string());
    ASSERT_TRUE(save.started());
    EXPECT_EQ(save.wait(), 1) << save.errorOutput();

    Json output = decodeJSON(save.output());
    ASSERT_EQ(output.at("pagesNotSaved").size(), 1u) << save.errorOutput();
    EXPECT_EQ(output["pagesNotSaved"][0]["pageID"], pageA.uppercaseText());
    EXPECT_EQ(output["pagesNotSaved"][0]["kind"], "tooLarge");
    EXPECT_EQ(output["persistedPageIDs"], Json::array({pageB.uppercaseText()}));
    const VeltoDocument reloaded = loadedDocument(folder);
    EXPECT_EQ(pageCopy(reloaded, pageA)->visibleText(), "alpha\n");
    EXPECT_EQ(pageCopy(reloaded, pageB)->visibleText(), "beta saved\n");
}

// With the system's own permissions: a page file made read-only (mode 444) after a save, then typed into. An
// ordinary user may not write it, so the typed words are kept at once as a recovered page and the file stays as it
// is. Privileges that may write anywhere would never see it refused, so as root the driver runs as "nobody".
TEST(PagesNotSaved, APageFileMadeReadOnlyHasTheWordsTypedAfterwardsRecoveredForAnOrdinaryUser) {
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Pages";
    writeTwoPageLibrary(folder, pageA, pageB);
    const bool asRoot = ::geteuid() == 0;
    std::vector<std::string> command;
    if (asRoot) {
        if (!testing::hasProgram("setpriv")) {
            GTEST_SKIP() << "running as root without setpriv to save as an ordinary user";
        }
        command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
        ASSERT_EQ(::chmod(scratch.path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
        }
        std::vector<std::string> probe = command;
        probe.insert(probe.end(), {"test", "-w", (folder / ".velto").string()});
        if (testing::runTool(probe, testing::currentEnvironment()).exitStatus != 0) {
            GTEST_SKIP() << "the user nobody cannot reach the temporary folder " << scratch.path();
        }
    }
    const std::filesystem::path fileOfA = folder / fileNameOf(loadedDocument(folder), pageA);
    ASSERT_EQ(::chmod(fileOfA.c_str(), 0444), 0);
    const std::string before = fileBytes(fileOfA);

    command.insert(command.end(), {reliabilitytesting::driverPath(), "write", folder.string()});
    auto ran = testing::runTool(command, testing::currentEnvironment(), std::chrono::milliseconds(20'000),
                                "{\"setText\": {\"" + pageA.uppercaseText() + "\": \"typed afterwards\\n\"}}");

    ASSERT_EQ(ran.exitStatus, 0) << ran.output;
    Json output = decodeJSON(ran.output);
    EXPECT_TRUE(output.at("pagesNotSaved").empty()) << ran.output;
    ASSERT_EQ(output.at("conflicts").size(), 1u) << ran.output;
    EXPECT_EQ(output["pageIDReplacements"][pageA.uppercaseText()], output["conflicts"][0]["preservedPageID"]);
    EXPECT_EQ(fileBytes(fileOfA), before);
    const std::filesystem::path recovered = folder / output["conflicts"][0]["relativeFilePath"].get<std::string>();
    EXPECT_NE(fileBytes(recovered).find("typed afterwards\n"), std::string::npos);
}

} // namespace
} // namespace velto
