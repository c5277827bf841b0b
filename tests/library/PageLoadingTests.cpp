#include "library/folder/IOObservation.h"
#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/ArchivedSummary.h"
#include "library/load/PageLoading.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::PageFileError;
using velto::VeltoLibraryPageRecord;
using velto::VeltoPage;
using velto::VeltoPageFileContent;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

/// A page as the library writes it: its file under its composed name, its record made from the page.
struct StoredPage {
    VeltoPage page;
    VeltoLibraryPageRecord record;
    std::string fileName;
};

StoredPage storePage(const TemporaryFolder &temporary, const std::string &text,
                     std::optional<std::string> slug = std::nullopt) {
    StoredPage stored;
    stored.page.id = pageA;
    stored.page.createdAt = at(1'767'605'400);
    stored.page.fileSlug = slug;
    stored.page.content = velto::VeltoPageContent::loaded(VeltoPageFileContent::parse(text));
    // As it comes back from its file: with the page's identifier in its front matter.
    stored.page.content =
        velto::VeltoPageContent::loaded(VeltoPageFileContent::parse(stored.page.persistedFileContents()));
    stored.record = VeltoLibraryPageRecord::fromPage(stored.page);
    stored.fileName = pageFileName(stored.record);
    temporary.writeFile(stored.fileName, stored.page.persistedFileContents());
    return stored;
}

VeltoPage load(const VeltoLibraryPageRecord &record, const fs::path &folder, bool summarizeArchived = true,
               const VeltoPage *reusing = nullptr, bool trust = false,
               const AvailabilityOperation &availability = productionAvailability()) {
    return loadPage(record, folder, velto::defaultFileSystem(), summarizeArchived, reusing, trust, availability);
}

class PageLoading : public testing::Test {
protected:
    PageLoading() {
        VeltoLibraryIOObservation::count([](auto &) {});
    }

    VeltoLibraryIOCounters counted(const std::function<void()> &operation) {
        auto observer = std::make_shared<VeltoLibraryIOObserver>();
        VeltoLibraryIOObservation::Binding binding(observer);
        operation();
        return observer->snapshot();
    }

    TemporaryFolder temporary;
};

TEST_F(PageLoading, PageIsLoadedWholeFromItsFile) {
    auto stored = storePage(temporary, "Hello\n");
    VeltoPage page;
    auto counters = counted([&] { page = load(stored.record, temporary.path()); });
    EXPECT_EQ(page, stored.page);
    EXPECT_EQ(counters.markdownContentReads, 1);
}

TEST_F(PageLoading, RecordWithoutContentGivesEmptyPageWithoutReading) {
    auto stored = storePage(temporary, "Hello\n");
    stored.record.hasContent = false;
    VeltoPage page;
    auto counters = counted([&] { page = load(stored.record, temporary.path()); });
    ASSERT_TRUE(page.content.asLoaded());
    EXPECT_EQ(*page.content.asLoaded(), VeltoPageFileContent::parse(""));
    EXPECT_EQ(counters.markdownContentReads, 0);
}

TEST_F(PageLoading, PageInMemoryWithTheRecordsChecksumIsReused) {
    auto stored = storePage(temporary, "Hello\n");
    auto inMemory = stored.page;
    inMemory.fileSlug = "kept";
    inMemory.createdAt = at(5);
    auto record = stored.record;
    record.updatedAt = at(9'000);
    record.archivedAt = at(9'001);
    fs::remove(temporary / stored.fileName); // proves nothing is read
    auto page = load(record, temporary.path(), true, &inMemory);
    EXPECT_EQ(page.fileSlug, "kept");
    EXPECT_EQ(page.createdAt, at(5));
    EXPECT_EQ(page.updatedAt, at(9'000));
    EXPECT_EQ(page.archivedAt, at(9'001));
    EXPECT_EQ(page.content, stored.page.content);
}

TEST_F(PageLoading, PageInMemoryIsNotReusedWhenPathChecksumOrAvailabilityDiffer) {
    auto stored = storePage(temporary, "On disk\n");
    auto differentText = stored.page;
    differentText.content = velto::VeltoPageContent::loaded(VeltoPageFileContent::parse("In memory\n"));
    EXPECT_EQ(load(stored.record, temporary.path(), true, &differentText).content, stored.page.content);

    auto movedElsewhere = stored.page;
    movedElsewhere.relativeFilePath = "Notes/other.md";
    movedElsewhere.content = velto::VeltoPageContent::loaded(VeltoPageFileContent::parse("Stale\n"));
    EXPECT_EQ(load(stored.record, temporary.path(), true, &movedElsewhere).content, stored.page.content);

    auto unavailable = stored.page;
    velto::VeltoUnavailablePageSummary summary;
    summary.contentChecksum = stored.record.contentChecksum;
    unavailable.content = velto::VeltoPageContent::unavailable(summary);
    EXPECT_EQ(load(stored.record, temporary.path(), true, &unavailable).content, stored.page.content);
}

TEST_F(PageLoading, FileRenamedWithoutSlugIsFoundAndMissingFileNamesThePrimary) {
    auto stored = storePage(temporary, "Hello\n", "calm-cove");
    auto plainName = "2026-01-05-" + pageA.lowercaseText().substr(0, 8) + ".md";
    fs::rename(temporary / stored.fileName, temporary / plainName);
    EXPECT_EQ(load(stored.record, temporary.path()).content, stored.page.content);

    fs::remove(temporary / plainName);
    try {
        load(stored.record, temporary.path());
        FAIL() << "expected a missing page file";
    } catch (const PageFileError &error) {
        EXPECT_EQ(error.kind(), PageFileError::Kind::missing);
        EXPECT_EQ(error.url().filename(), "2026-01-05-calm-cove-" + pageA.lowercaseText().substr(0, 8) + ".md");
    }
}

TEST_F(PageLoading, TrustedArchivedRecordIsSummarisedWithoutReadingAndPreviewFilledLater) {
    auto stored = storePage(temporary, archivedPageFileText(pageA, "Old notes\n"));
    VeltoPage page;
    auto counters = counted([&] { page = load(stored.record, temporary.path(), true, nullptr, true); });
    EXPECT_EQ(counters, VeltoLibraryIOCounters{});
    const auto *summary = page.content.asArchivedSummary();
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->preview, "");
    EXPECT_EQ(summary->fileSize, *stored.record.fileSize);
    EXPECT_EQ(summary->contentChecksum, stored.record.contentChecksum);

    auto withPreview =
        loadArchivedPreview(page, temporary.path(), velto::defaultFileSystem(), productionAvailability());
    ASSERT_NE(withPreview.content.asArchivedSummary(), nullptr);
    EXPECT_EQ(withPreview.content.asArchivedSummary()->preview, "Old notes\n");
}

TEST_F(PageLoading, ArchivedPageIsSummarisedFromAPrefixRead) {
    auto stored = storePage(temporary, archivedPageFileText(pageA, "Old notes\n"));
    VeltoPage page;
    auto counters = counted([&] { page = load(stored.record, temporary.path()); });
    EXPECT_EQ(counters.archivedPrefixReads, 1);
    EXPECT_EQ(counters.archivedPrefixReadPaths, std::vector{stored.fileName});
    EXPECT_EQ(counters.markdownContentReads, 0);
    ASSERT_NE(page.content.asArchivedSummary(), nullptr);
    EXPECT_EQ(page.content.asArchivedSummary()->preview, "Old notes\n");
    EXPECT_EQ(page.content.asArchivedSummary()->fileSize,
              static_cast<std::int64_t>(fs::file_size(temporary / stored.fileName)));
}

TEST_F(PageLoading, ArchivedRecordWhoseFileWasRestoredIsLoadedWhole) {
    auto stored = storePage(temporary, archivedPageFileText(pageA, "Back again\n"));
    temporary.writeFile(stored.fileName, pageFileText(pageA, "Back again\n"));
    auto page = load(stored.record, temporary.path());
    ASSERT_NE(page.content.asLoaded(), nullptr);
    EXPECT_EQ(page.content.asLoaded()->body, "Back again\n");
}

TEST_F(PageLoading, FileStillDownloadingGivesUnavailablePage) {
    auto stored = storePage(temporary, archivedPageFileText(pageA, "x"));
    stored.record.fileSize.reset();
    auto downloading = [](const fs::path &, velto::FileSystem &) {
        return VeltoPageFileAvailability::temporarilyUnavailable;
    };
    auto page = load(stored.record, temporary.path(), true, nullptr, false, downloading);
    const auto *summary = page.content.asUnavailable();
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->fileSize, 0);
    EXPECT_TRUE(summary->hasContent);
    EXPECT_EQ(summary->isArchived, true);
    EXPECT_EQ(summary->contentChecksum, stored.record.contentChecksum);
}

TEST_F(PageLoading, FileThatIsNotUTF8IsUnreadable) {
    auto stored = storePage(temporary, "Hello\n");
    temporary.writeFile(stored.fileName, std::string("\xc3\x28", 2));
    try {
        load(stored.record, temporary.path());
        FAIL() << "expected an unreadable page file";
    } catch (const PageFileError &error) {
        EXPECT_EQ(error.kind(), PageFileError::Kind::unreadable);
    }
}

TEST_F(PageLoading, FileThatGoesBetweenFindingAndReadingIsMissingNotUnreadable) {
    struct Case {
        const char *situation;
        std::string relativePath;
        std::string text;
        std::function<void(const TemporaryFolder &)> change;
    };
    const std::vector<Case> cases{
        {"page removed", "a.md", pageFileText(pageA, "Gone\n"),
         [](const TemporaryFolder &folder) { fs::remove(folder / "a.md"); }},
        {"archived page removed before its opening is read", "old.md", archivedPageFileText(pageA, "Gone\n"),
         [](const TemporaryFolder &folder) { fs::remove(folder / "old.md"); }},
        {"its folder replaced by a file", "Notes/a.md", pageFileText(pageA, "Gone\n"),
         [](const TemporaryFolder &folder) {
             fs::remove_all(folder / "Notes");
             folder.writeFile("Notes", "Not a folder\n");
         }},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.situation);
        TemporaryFolder folder;
        folder.writeFile(test.relativePath, test.text);
        auto pageRecord = record(pageA, test.relativePath);
        pageRecord.isArchived = test.text.find("archived: true") != std::string::npos;
        ChangedBeforeReadFileSystem fileSystem(folder / test.relativePath, [&] { test.change(folder); });
        try {
            loadPage(pageRecord, folder.path(), fileSystem, true, nullptr, false, productionAvailability());
            ADD_FAILURE() << "expected a missing page file";
        } catch (const PageFileError &error) {
            EXPECT_EQ(error.kind(), PageFileError::Kind::missing) << error.what();
            EXPECT_EQ(error.url(), folder / test.relativePath);
        }
    }
}

TEST_F(PageLoading, FileThatCannotBeReadForAnotherReasonStaysUnreadable) {
    auto stored = storePage(temporary, "Hello\n");
    velto::testing::FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::read});
    fileSystem.failFromOperation(1, EACCES);
    try {
        loadPage(stored.record, temporary.path(), fileSystem, true, nullptr, false, productionAvailability());
        FAIL() << "expected an unreadable page file";
    } catch (const PageFileError &error) {
        EXPECT_EQ(error.kind(), PageFileError::Kind::unreadable);
    }
}

TEST_F(PageLoading, LatestStateOfAPageWhoseFileGoesWhileReadIsNothing) {
    temporary.createFolder(".velto");
    auto stored = storePage(temporary, "Going\n");
    ChangedBeforeReadFileSystem fileSystem(temporary / stored.fileName,
                                           [&] { fs::remove(temporary / stored.fileName); });
    EXPECT_EQ(loadLatestPageIfPresent(stored.page, temporary.path(), fileSystem), std::nullopt);
}

TEST_F(PageLoading, RecordedNameInTheOtherUnicodeFormFindsTheFileThatIsThere) {
    const std::string composed = "Caf\xc3\xa9.md";    // "é" as one code point, as the metadata holds it
    const std::string decomposed = "Cafe\xcc\x81.md"; // "e" and a combining acute accent, as synced
    temporary.createFolder(".velto");
    temporary.writeFile(decomposed, pageFileText(pageA, "Bonjour\n"));
    auto pageRecord = record(pageA, composed);

    auto page = load(pageRecord, temporary.path());
    ASSERT_NE(page.content.asLoaded(), nullptr);
    EXPECT_EQ(page.content.asLoaded()->body, "Bonjour\n");
    EXPECT_EQ(page.relativeFilePath, composed);

    auto latest = loadLatestPageIfPresent(page, temporary.path());
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->content.asLoaded()->body, "Bonjour\n");
}

TEST_F(PageLoading, PreviewHoldsTwoThousandFortyEightCharactersOfAnyKind) {
    std::string body;
    for (int index = 0; index < 3'000; ++index) {
        body += "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"; // thumbs up with a skin tone: one character
    }
    auto stored = storePage(temporary, archivedPageFileText(pageA, body));
    auto summary = archivedSummary(temporary / stored.fileName, stored.record, velto::defaultFileSystem());
    ASSERT_TRUE(summary);
    EXPECT_EQ(velto::text::graphemeCount(summary->preview), 2'048u);
}

TEST_F(PageLoading, FrontMatterEndingPastThePrefixGivesNoSummary) {
    std::string text = "---\nvelto:\n  id: " + pageA.lowercaseText() + "\n  archived: true\n" +
                       "note: " + std::string(70'000, 'x') + "\n---\nBody\n";
    temporary.writeFile("long.md", text);
    auto record = storePage(temporary, archivedPageFileText(pageA, "x")).record;
    EXPECT_EQ(archivedSummary(temporary / "long.md", record, velto::defaultFileSystem()), std::nullopt);
}

TEST_F(PageLoading, EmptyArchivedFileSummaryHasEmptyPreviewAndTheFilesSize) {
    std::string text = archivedPageFileText(pageA, "");
    temporary.writeFile("empty.md", text);
    auto record = storePage(temporary, archivedPageFileText(pageA, "x")).record;
    auto summary = archivedSummary(temporary / "empty.md", record, velto::defaultFileSystem());
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->preview, "");
    EXPECT_EQ(summary->fileSize, static_cast<std::int64_t>(text.size()));
}

TEST_F(PageLoading, LatestStateOfAnArchivedPageIsReadWholeWithTheFilesDate) {
    temporary.createFolder(".velto");
    auto stored = storePage(temporary, archivedPageFileText(pageA, "Everything\n"));
    velto::VeltoArchivedPageSummary summary;
    summary.hasContent = true;
    summary.contentChecksum = stored.record.contentChecksum;
    auto held = stored.page;
    held.content = velto::VeltoPageContent::archivedSummary(summary);
    auto file = temporary / stored.fileName;
    fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(48));
    auto modified = velto::defaultFileSystem().status(file)->modificationDate;

    auto latest = loadLatestPageIfPresent(held, temporary.path());
    ASSERT_TRUE(latest);
    ASSERT_NE(latest->content.asLoaded(), nullptr);
    EXPECT_EQ(latest->content.asLoaded()->body, "Everything\n");
    EXPECT_EQ(latest->updatedAt, modified);
    EXPECT_LT(*latest->updatedAt, std::chrono::system_clock::now() - std::chrono::hours(24));

    fs::remove(temporary / stored.fileName);
    EXPECT_EQ(loadLatestPageIfPresent(held, temporary.path()), std::nullopt);
}

// The file's date is the page's last activity only where the page's text changed on disk: a file that only gained
// the identifier Velto writes into a file another program made, or that was only touched, keeps the date the page
// was last written in, so that a page untouched since 2020 is still archived.
TEST_F(PageLoading, LatestStateTakesTheFilesDateOnlyWhereThePagesTextChanged) {
    const std::string heldText = "Untouched since 2020\n"; // the file as the load read it, and the page as held
    struct Case {
        const char *name;
        std::string rewritten;
        bool takesFileDate;
    };
    const Case cases[] = {
        {"the identifier written into the file", pageFileText(pageA, heldText), false},
        {"only touched", heldText, false},
        {"the text changed by another program", pageFileText(pageA, "Edited\n"), true},
        {"a line added, the identifier kept", pageFileText(pageA, heldText + "and a line more\n"), true},
    };
    const velto::Date lastWrittenIn = at(1'583'056'800); // 1 March 2020
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        folder.createFolder(".velto");
        auto stored = storePage(folder, heldText);
        VeltoPage held = stored.page;
        held.content = velto::VeltoPageContent::loaded(VeltoPageFileContent::parse(heldText));
        held.updatedAt = lastWrittenIn;
        folder.writeFile(stored.fileName, c.rewritten);
        auto modified = velto::defaultFileSystem().status(folder / stored.fileName)->modificationDate;

        auto latest = loadLatestPageIfPresent(held, folder.path());
        ASSERT_TRUE(latest);
        EXPECT_EQ(latest->updatedAt, c.takesFileDate ? modified : lastWrittenIn);
    }
}

TEST_F(PageLoading, LatestStateOfAPageEmptyInMemoryIsEmptyWithoutReading) {
    temporary.createFolder(".velto");
    auto stored = storePage(temporary, "On disk\n");
    auto held = stored.page;
    held.content = velto::VeltoPageContent::loaded(VeltoPageFileContent::parse(""));
    std::optional<VeltoPage> latest;
    auto counters = counted([&] { latest = loadLatestPageIfPresent(held, temporary.path()); });
    ASSERT_TRUE(latest);
    EXPECT_EQ(*latest->content.asLoaded(), VeltoPageFileContent::parse(""));
    EXPECT_EQ(counters.markdownContentReads, 0);
}

TEST_F(PageLoading, LatestStateWaitsForAnExclusiveHolder) {
    temporary.createFolder(".velto");
    auto stored = storePage(temporary, "Before\n");
    std::optional<VeltoPage> latest;
    std::thread reader;
    withLibraryLocks({temporary.path()}, LibraryLockMode::exclusive, [&] {
        reader = std::thread([&] { latest = loadLatestPageIfPresent(stored.page, temporary.path()); });
        // The reader cannot get in while this writer holds the lock; what it reads is what the writer left.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        temporary.writeFile(stored.fileName, pageFileText(pageA, "After\n"));
    });
    reader.join();
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->content.asLoaded()->body, "After\n");
}

} // namespace
