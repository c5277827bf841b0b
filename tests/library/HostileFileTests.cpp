#include "WriteTestSupport.h"

#include "library/load/FullLoad.h"
#include "library/recovery/LibraryRecovery.h"
#include "library/save/WriteTransaction.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

/// The file of page A, found by the identifier's opening that its name ends with.
std::filesystem::path pageFileOfA(const std::filesystem::path &folder) {
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().ends_with("a1000000.md")) {
            return entry.path();
        }
    }
    return {};
}

void replaceWithFIFO(const std::filesystem::path &path) {
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

std::string failureMessage(const VeltoLibraryLoadResult &result) {
    const VeltoStoreRecoveryIssue *issue = result.failureIssue();
    return issue != nullptr ? issue->message : "(the load did not fail)";
}

// Opening a FIFO to read waits for a writer that never comes: every such file must be refused at once, and
// the message must say which file it is, so that the user can take it away.
TEST(HostileFiles, FileThatIsNotARegularFileIsRefusedByNameInsteadOfBlockingTheLoad) {
    struct Case {
        const char *file;
        std::function<std::filesystem::path(const std::filesystem::path &folder)> place; // answers the FIFO
        const char *named;
        const char *refusal = "Not a regular file";
    };
    const std::vector<Case> cases = {
        {"manifest", [](auto &folder) { return folder / ".velto/manifest.json"; }, "manifest"},
        {"journal", [](auto &folder) { return folder / ".velto/writers/zz.json"; }, "“writers/zz.json”"},
        {"deletion shard", [](auto &folder) { return folder / ".velto/deletions/v1-a.json"; }, "“deletions/v1-a.json”"},
        {"page file", [](auto &folder) { return pageFileOfA(folder); }, "a1000000.md"},
        {"lock file", [](auto &folder) { return folder / ".velto/transaction.lock"; }, "“.velto/transaction.lock”",
         "isn’t a regular file"},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.file);
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        std::filesystem::create_directories(folder / ".velto/deletions");
        replaceWithFIFO(testCase.place(folder.path()));

        std::string message = failureMessage(VeltoPageLibrary::load(folder.path()));
        EXPECT_NE(message.find(testCase.named), std::string::npos) << message;
        EXPECT_NE(message.find(testCase.refusal), std::string::npos) << message;
    }
}

TEST(HostileFiles, LockFileThatCannotBeOpenedIsNamed) {
    TemporaryFolder folder;
    writeTwoPageLibrary(folder.path(), pageA, pageB);
    std::filesystem::remove(folder / ".velto/transaction.lock");
    std::filesystem::create_directories(folder / ".velto/transaction.lock");

    std::string message = failureMessage(VeltoPageLibrary::load(folder.path()));
    EXPECT_NE(message.find("“.velto/transaction.lock” can’t be opened"), std::string::npos) << message;
}

TEST(HostileFiles, PageFileBeyondTheReadBoundIsReportedByNameAndLeftAsItIs) {
    TemporaryFolder folder;
    writeTwoPageLibrary(folder.path(), pageA, pageB);
    std::filesystem::path page = pageFileOfA(folder.path());
    const auto hugeSize = static_cast<std::uintmax_t>(largestReadableFileBytes) + 1;
    std::filesystem::resize_file(page, hugeSize); // sparse: no disk space, yet too large to read

    // The rest of the library loads; the file is named with the reason.
    auto result = VeltoPageLibrary::load(folder.path());
    ASSERT_NE(result.asLoaded(), nullptr) << failureMessage(result);
    const auto &unreadable = result.asLoaded()->unreadableFiles;
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].relativePath, page.filename().string());
    EXPECT_EQ(unreadable[0].reason, "File too large");
    EXPECT_EQ(std::filesystem::file_size(page), hugeSize) << "never cut short or rewritten";
}

TEST(HostileFiles, UndecodableJournalIsNamedAndRecoverySetsItAsideSoThatTheRestLoads) {
    TemporaryFolder folder;
    writeTwoPageLibrary(folder.path(), pageA, pageB);
    const std::string copyName = "0a000000-0000-4000-8000-00000000000a (conflicted copy).json";
    folder.writeFile(".velto/writers/" + copyName, "{\"writerID\": \"0a0000");

    std::string message = failureMessage(VeltoPageLibrary::load(folder.path()));
    EXPECT_NE(message.find("“writers/" + copyName + "”"), std::string::npos) << message;

    auto request =
        requestFor(documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "beta\n")}), {pageA, pageB});
    request.structureRevision = 1;
    ASSERT_NO_THROW(VeltoPageLibrary::recover(request, folder.path()));
    std::vector<std::string> setAside;
    for (const auto &entry : std::filesystem::directory_iterator(folder / ".velto/writers")) {
        if (entry.path().filename().string().starts_with(copyName + ".recovery-")) {
            setAside.push_back(entry.path().filename().string());
        }
    }
    ASSERT_EQ(setAside.size(), 1u);
    EXPECT_EQ(folder.readFile(".velto/writers/" + setAside[0]), "{\"writerID\": \"0a0000");
    auto loaded = loadedDocument(folder.path());
    EXPECT_EQ(pageCopy(loaded, pageB)->visibleText(), "beta\n");
}

} // namespace
