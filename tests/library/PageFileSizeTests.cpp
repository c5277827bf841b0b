// Page files near the size limit: Velto reads a Markdown file as a page only when the metadata it writes into it
// (the identifier, the archive flag) keeps it within the limit, and never writes a page file that reading refuses.

#include "LoadTestSupport.h"
#include "WriteTestSupport.h"
#include "library/folder/PageFileSize.h"
#include "library/load/FullLoad.h"
#include "library/save/WriteTransaction.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace velto {
namespace {

using namespace velto::writetesting;
using velto::loadtesting::folderSnapshot;
using velto::testing::TemporaryFolder;

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
constexpr std::size_t limit = VeltoPageLibrary::largestPageFileBytes;

/// Markdown of exactly `bytes` bytes in lines of 64 bytes, each ending with `lineEnding`.
std::string markdownOfSize(std::size_t bytes, std::string_view lineEnding) {
    std::string text(bytes, 'x');
    for (std::size_t end = 64; end <= bytes; end += 64) {
        text.replace(end - lineEnding.size(), lineEnding.size(), lineEnding);
    }
    return text;
}

/// Saves the pages as the store does: each marked changed, with what the load `read` held as its baseline.
void saveAsTheStoreDoes(const std::filesystem::path &folder, const VeltoDocument &document,
                        const std::vector<Uuid> &changed, const VeltoDocument &read) {
    auto request = requestFor(document, changed);
    for (const auto &id : changed) {
        request.expectedPageBaselines[id] = VeltoPageBaseline::fromPage(*pageCopy(read, id));
    }
    VeltoPageLibrary::write(request, folder);
}

/// Every file below the folder with the checksum of its bytes: a failure shows no page of megabytes.
std::map<std::string, std::string> folderDigest(const std::filesystem::path &folder) {
    std::map<std::string, std::string> digest;
    for (auto &[path, bytes] : folderSnapshot(folder)) {
        digest[path] = contentChecksum(bytes).value_or("");
    }
    return digest;
}

/// The page that the load made of "big.md"; nothing when it made none.
std::optional<VeltoPage> bigPage(const VeltoDocument &document) {
    for (const auto &page : allPagesOf(document)) {
        if (page.relativeFilePath == "big.md") {
            return page;
        }
    }
    return std::nullopt;
}

// The file another program made is accepted when its identifier, archive flag and a copy's origin fit (127 bytes
// with "\n", 133 with "\r\n"); then Velto writes them and the file is still read. A file with less room, up to one
// of exactly the limit, is named as having no room for its identifier (not as "File too large", which it is not by
// the limit the other notices name) and left as it is, however often the library is saved.
TEST(PageFileSize, AMarkdownFileIsAPageOnlyWithRoomForTheMetadataVeltoWritesIntoIt) {
    const std::string noRoom = "It is too large for a page: Velto writes the page’s identifier into its file, and with "
                               "it the file would be larger than the 64 MiB that Velto opens.";
    struct Case {
        const char *name;
        std::string_view lineEnding;
        std::size_t size;
        bool accepted;
        std::string reason = {};
    };
    const Case cases[] = {
        {"room for the metadata", "\n", limit - 127, true},
        {"one byte less room", "\n", limit - 126, false, noRoom},
        {"40 bytes under the limit", "\n", limit - 40, false, noRoom},
        {"exactly the limit", "\n", limit, false, noRoom},
        {"one byte over the limit", "\n", limit + 1, false, "File too large"},
        {"room with \\r\\n", "\r\n", limit - 133, true},
        {"one byte less room with \\r\\n", "\r\n", limit - 132, false, noRoom},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        folder.writeFile("big.md", markdownOfSize(c.size, c.lineEnding));

        auto result = VeltoPageLibrary::load(folder.path());
        ASSERT_NE(result.asLoaded(), nullptr);
        const VeltoDocument &document = result.asLoaded()->document;
        auto big = bigPage(document);
        if (!c.accepted) {
            EXPECT_FALSE(big.has_value());
            ASSERT_EQ(result.asLoaded()->unreadableFiles.size(), 1u);
            EXPECT_EQ(result.asLoaded()->unreadableFiles[0].relativePath, "big.md");
            EXPECT_EQ(result.asLoaded()->unreadableFiles[0].reason, c.reason);
            saveAsTheStoreDoes(folder.path(), document, {pageA, pageB}, document);
            EXPECT_EQ(std::filesystem::file_size(folder / "big.md"), c.size) << "left as it is";
            continue;
        }
        ASSERT_TRUE(big.has_value());
        EXPECT_TRUE(result.asLoaded()->unreadableFiles.empty());

        // The identifier written, then the page archived: the file is read again, with room left for a copy's origin.
        saveAsTheStoreDoes(folder.path(), document, {big->id}, document);
        auto reloaded = loadedDocument(folder.path());
        auto identified = bigPage(reloaded);
        ASSERT_TRUE(identified.has_value());
        identified->content.asLoaded()->writeVeltoMetadata(identified->id, true, std::nullopt);
        identified->archivedAt = day(8);
        auto archived = documentOf(*pageCopy(reloaded, pageA), {*pageCopy(reloaded, pageB), *identified});
        saveAsTheStoreDoes(folder.path(), archived, {identified->id}, reloaded);
        EXPECT_EQ(std::filesystem::file_size(folder / "big.md"), limit - (c.lineEnding.size() + 51));
        auto again = VeltoPageLibrary::load(folder.path());
        ASSERT_NE(again.asLoaded(), nullptr);
        EXPECT_TRUE(again.asLoaded()->unreadableFiles.empty());
        EXPECT_TRUE(bigPage(again.asLoaded()->document).has_value());
    }
}

// Typed text that would take the page's file past what reading accepts, with room for the metadata, is left out of
// the save with a sentence that names the file, and a save of nothing else writes nothing; one character less is
// saved.
TEST(PageFileSize, ASaveThatWouldMakeAPageFileReadingRefusesWritesNothing) {
    // The written file: 58 bytes of front matter and the body; archived, 17 bytes more; a copy's origin, 52 more.
    const std::size_t fittingBody = limit - 127;
    for (std::size_t body : {fittingBody + 1, fittingBody}) {
        SCOPED_TRACE(body - fittingBody);
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        auto before = folderDigest(folder.path());
        auto document = documentOf(pageWithBody(pageA, std::string(body, 'x')), {pageWithBody(pageB, "beta\n")});

        auto request = requestFor(document, {pageA});
        if (body > fittingBody) {
            auto result = VeltoPageLibrary::write(request, folder.path());
            ASSERT_EQ(result.pagesNotSaved.size(), 1u);
            const VeltoPageNotSaved &notSaved = result.pagesNotSaved[0];
            EXPECT_EQ(notSaved.kind, VeltoPageNotSavedKind::tooLarge);
            EXPECT_TRUE(notSaved.description.starts_with("This page is too large to save: its file “"))
                << notSaved.description;
            EXPECT_NE(notSaved.description.find(notSaved.relativeFilePath), std::string::npos);
            EXPECT_NE(notSaved.description.find("with room for the page’s identifier, would be larger than the 64 MiB"),
                      std::string::npos)
                << "a file under 64 MiB is refused for the identifier it needs: " << notSaved.description;
            EXPECT_TRUE(result.persistedPageBaselines.empty());
            EXPECT_EQ(folderDigest(folder.path()), before);
        } else {
            VeltoPageLibrary::write(request, folder.path());
            EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText().size(), body);
        }
    }
}

} // namespace
} // namespace velto
