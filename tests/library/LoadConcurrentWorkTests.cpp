// The pieces that let a load read and hash many page files side by side.

#include "library/folder/ConcurrentWork.h"
#include "library/folder/IOObservation.h"
#include "library/folder/PageFileChecksums.h"
#include "library/load/FullLoad.h"

#include "LoadTestSupport.h"
#include "model/ContentChecksum.h"
#include "model/PageFileContent.h"
#include "support/FailingFileSystem.h"
#include "support/RecordingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

namespace {

using namespace VeltoPageLibrary;
using namespace velto::loadtesting;

TEST(PageFileChecksums, EqualTheChecksumsComputedOneByOne) {
    for (std::string text : {"", "Body only\n", "---\nvelto:\n  id: x\n---\nBody\n", "---\ntitle: t\n---\n",
                             "---\r\ntitle: t\r\n---\r\nWindows\r\nlines\r\n", "Caf\xc3\xa9\n", "---\nunclosed\n"}) {
        auto content = velto::VeltoPageFileContent::parse(text);
        auto checksums = pageFileChecksums(text, content);
        EXPECT_EQ(checksums.contentChecksum, velto::contentChecksum(text)) << text;
        EXPECT_EQ(checksums.bodyChecksum, velto::contentChecksum(content.body)) << text;
    }
}

/// n bytes that run through every value, so that no byte is skipped unseen.
std::string patternedBytes(std::size_t count) {
    std::string bytes;
    for (std::size_t index = 0; index < count; ++index) {
        bytes.push_back(static_cast<char>((index * 131 + 7) & 0xff));
    }
    return bytes;
}

// Stored checksums are compared with fresh ones as text: these values were computed once and must never change,
// however the hash is computed. Lengths sit around the widths a faster loop would take at a time.
TEST(PageFileChecksums, KeepTheStoredValuesOfEveryLength) {
    struct Case {
        std::string text;
        const char *checksum;
    };
    std::string unicodeLines = "# Caf\xc3\xa9\n\n";
    for (int line = 0; line < 300; ++line) {
        unicodeLines += "\xc3\xbcn\xc3\xaf"
                        "c\xc3\xb6"
                        "d\xc3\xa9 line\n";
    }
    const std::vector<Case> cases{
        {patternedBytes(1), "af63ba4c8601b2c6"},  {patternedBytes(7), "de50935f6b78323b"},
        {patternedBytes(8), "3b1d12239d3e11c5"},  {patternedBytes(9), "b077ac843078556e"},
        {patternedBytes(63), "195e7ebbeca44083"}, {patternedBytes(64), "bfd220531b1a1225"},
        {patternedBytes(65), "c1fcf370d4e1606"},  {patternedBytes(4097), "9e93c4a0e2bd12c6"},
        {unicodeLines, "e98a157328090bb4"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(velto::contentChecksum(c.text), c.checksum) << c.text.size() << " bytes";
    }

    std::string page = "---\ntitle: Gr\xc3\xbc\xc3\x9f"
                       "e\n---\nGr\xc3\xbc\xc3\x9f"
                       "e, \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80\n";
    auto checksums = pageFileChecksums(page, velto::VeltoPageFileContent::parse(page));
    EXPECT_EQ(checksums.contentChecksum, "53a23aa769d54d56");
    EXPECT_EQ(checksums.bodyChecksum, "afcec200638890bf");
}

TEST(PageFileChecksums, TellPlainASCIIFromOtherText) {
    std::string ascii = "---\nvelto:\n  id: x\n---\nPlain\n";
    EXPECT_TRUE(pageFileChecksums(ascii, velto::VeltoPageFileContent::parse(ascii)).isASCII);
    std::string accented = "Caf\xc3\xa9\n";
    EXPECT_FALSE(pageFileChecksums(accented, velto::VeltoPageFileContent::parse(accented)).isASCII);
    std::string accentedFrontMatter = "---\ntitle: Caf\xc3\xa9\n---\nPlain\n";
    EXPECT_FALSE(
        pageFileChecksums(accentedFrontMatter, velto::VeltoPageFileContent::parse(accentedFrontMatter)).isASCII);
}

TEST(ConcurrentWork, RunsEveryIndexOnceAndCountsIntoTheCallersObserver) {
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    VeltoLibraryIOObservation::Binding binding(observer);
    std::vector<std::atomic<int>> runs(500);
    forEachIndexConcurrently(runs.size(), [&](std::size_t index) {
        ++runs[index];
        VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.markdownContentReads; });
    });
    for (const auto &count : runs) {
        EXPECT_EQ(count, 1);
    }
    EXPECT_EQ(observer->snapshot().markdownContentReads, 500);
}

TEST(ConcurrentWork, ThrowsTheErrorOfTheLowestIndexAfterAllRan) {
    std::atomic<int> ran = 0;
    try {
        forEachIndexConcurrently(100, [&](std::size_t index) {
            ++ran;
            if (index == 70 || index == 30) {
                throw std::runtime_error(std::to_string(index));
            }
        });
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error &error) {
        EXPECT_EQ(std::string(error.what()), "30");
    }
    EXPECT_EQ(ran, 100);
}

TEST(ConcurrentWork, NestedCallsRunOnTheCallingThread) {
    std::atomic<int> ran = 0;
    forEachIndexConcurrently(20, [&](std::size_t) { forEachIndexConcurrently(20, [&](std::size_t) { ++ran; }); });
    EXPECT_EQ(ran, 400);
}

TEST(ConcurrentWork, RunsSideBySideOnlyWhereTheFileSystemAllowsIt) {
    velto::testing::FailingFileSystem failing;
    velto::testing::RecordingFileSystem recording;
    struct Case {
        const char *name;
        velto::FileSystem &fileSystem;
        bool concurrent;
    };
    for (const Case &testCase :
         {Case{"the process's own", velto::defaultFileSystem(), true}, Case{"a failing double", failing, false},
          Case{"a recording double", recording, false}}) {
        EXPECT_EQ(mayWorkConcurrently(testCase.fileSystem), testCase.concurrent) << testCase.name;
    }
}

TEST(ConcurrentLoad, ManyPagesLoadAsReadOneByOneAndEveryBadFileIsNamedInPathOrder) {
    velto::testing::TemporaryFolder temporary;
    for (int index = 0; index < 40; ++index) {
        temporary.writeFile("page-" + std::to_string(100 + index) + ".md", "Page " + std::to_string(index) + "\n");
    }
    auto result = load(temporary.path());
    ASSERT_LOADED(result);
    auto pages = allPages(result.asLoaded()->document);
    ASSERT_EQ(pages.size(), 40u);
    for (const auto &page : pages) {
        EXPECT_EQ("Page " + std::to_string(std::stoi(page.relativeFilePath->substr(5, 3)) - 100) + "\n",
                  page.visibleText());
    }

    temporary.writeFile("page-131-bad.md", "Caf\xe9\n");
    temporary.writeFile("page-112-bad.md", "Caf\xe9\n");
    auto withBadFiles = load(temporary.path());
    ASSERT_LOADED(withBadFiles);
    EXPECT_EQ(allPages(withBadFiles.asLoaded()->document).size(), 40u);
    const auto &unreadable = withBadFiles.asLoaded()->unreadableFiles;
    ASSERT_EQ(unreadable.size(), 2u);
    EXPECT_EQ(unreadable[0].relativePath, "page-112-bad.md");
    EXPECT_EQ(unreadable[1].relativePath, "page-131-bad.md");
}

/// The process's file system, noting which files it was advised would be read.
class AdvisedFileSystem : public velto::PosixFileSystem {
public:
    bool allowsConcurrentCalls() const override { return true; }
    void adviseWillRead(const std::filesystem::path &path) override {
        std::lock_guard lock(mutex);
        advised.insert(path.filename().string());
    }
    std::mutex mutex;
    std::multiset<std::string> advised;
};

TEST(ConcurrentLoad, AsksForEveryMarkdownFileOnceBeforeReadingIt) {
    velto::testing::TemporaryFolder temporary;
    temporary.writeFile("a.md", "A\n");
    temporary.writeFile("Notes/b.md", "B\n");
    temporary.writeFile("notes.txt", "not a page\n");
    for (const char *launch : {"first, without metadata", "second, over the library"}) {
        AdvisedFileSystem fileSystem;
        ASSERT_LOADED(load(temporary.path(), fileSystem));
        EXPECT_EQ(fileSystem.advised, (std::multiset<std::string>{"a.md", "b.md"})) << launch;
    }
}

} // namespace
