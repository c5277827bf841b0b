// Names the library's metadata keeps that a link on disk now leads out of the Pages folder, round in a loop or to
// nothing, as another process meets them through the driver: the one entry is named once with its reason, and the
// load, every save and the recovery go on for the rest; nothing is read, written or removed through the link.

#include "DriverTestSupport.h"

#include "library/folder/PageFileLocation.h"
#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using velto::Json;
using velto::drivertesting::fileBytes;
using velto::drivertesting::idAt;
using velto::drivertesting::someFileBelowHolds;
using velto::testing::TemporaryFolder;

struct DriverRun {
    int status = -1;
    Json output;
    std::string errorOutput;
};

DriverRun runDriver(const std::vector<std::string> &arguments, const TemporaryFolder &scratch,
                    const std::string &input = "") {
    velto::reliabilitytesting::DriverProcess process(arguments, input, (scratch / "run").string());
    DriverRun run;
    if (!process.started()) {
        ADD_FAILURE() << "the driver did not start";
        return run;
    }
    run.status = process.wait().value_or(-1);
    run.errorOutput = process.errorOutput();
    try {
        run.output = velto::decodeJSON(process.output());
    } catch (const std::exception &) {
        run.output = Json();
    }
    return run;
}

using NamedFiles = std::vector<std::pair<std::string, std::string>>;
NamedFiles unreadableFiles(const Json &loaded) {
    NamedFiles named;
    for (const auto &file : loaded.value("unreadableFiles", Json::array())) {
        named.emplace_back(file.at("relativePath").get<std::string>(), file.at("reason").get<std::string>());
    }
    return named;
}

enum class Link { outOfTheFolder, roundALoop, toNothing };

struct DeletedNameCase {
    const char *name;
    const char *pagePath;
    const char *entry; // the page's file or its folder, which becomes the link
    Link link;
    bool deletedFirst; // deleted before the link is made, or deleted while the link is there
    const char *reason;
};

const DeletedNameCase deletedNameCases[] = {
    {"folder linked out, then the page deleted", "notes/gone.md", "notes", Link::outOfTheFolder, false,
     VeltoPageLibrary::folderLinkOutsideReason},
    {"page deleted, then its folder linked out", "notes/gone.md", "notes", Link::outOfTheFolder, true,
     VeltoPageLibrary::folderLinkOutsideReason},
    {"file linked out, then the page deleted", "gone.md", "gone.md", Link::outOfTheFolder, false,
     VeltoPageLibrary::linkOutsideReason},
    {"page deleted, then its name linked round a loop", "gone.md", "gone.md", Link::roundALoop, true,
     VeltoPageLibrary::linkLoopReason},
    {"page deleted, then its name linked to nothing", "gone.md", "gone.md", Link::toNothing, true,
     VeltoPageLibrary::linkToNothingReason},
};

/// A library of "keep.md" and the page to delete, adopted by a first load, with "Sync" beside the Pages folder.
struct LibraryWithADeletedName {
    explicit LibraryWithADeletedName(const DeletedNameCase &c)
        : deletedName(c) {
        scratch.writeFile("Pages/keep.md", "Keep\n");
        scratch.writeFile(fs::path("Pages") / c.pagePath, "Gone\n");
        Json first = runDriver({"load", pages.string()}, scratch).output;
        keepID = idAt(first, "keep.md");
        goneID = idAt(first, c.pagePath);
    }

    /// Moves the entry into Sync (or away) and puts the link in its place.
    void makeLink() const {
        const fs::path at = pages / deletedName.entry;
        if (fs::exists(at)) {
            fs::rename(at, sync / deletedName.entry);
        } else if (deletedName.link == Link::outOfTheFolder) {
            // The deletion took the file; what lies behind the link is another program's.
            fs::create_directories((sync / deletedName.pagePath).parent_path());
            std::ofstream(sync / deletedName.pagePath) << "Behind the link\n";
        }
        fs::create_directories(at.parent_path());
        switch (deletedName.link) {
        case Link::outOfTheFolder:
            fs::create_symlink(sync / deletedName.entry, at);
            break;
        case Link::roundALoop:
            fs::create_symlink(at.filename(), at);
            break;
        case Link::toNothing:
            fs::create_symlink("moved-away.md", at);
            break;
        }
    }

    DriverRun deletePage() const {
        return runDriver({"write", pages.string()}, scratch, R"({"delete": [")" + goneID + R"("]})");
    }

    const DeletedNameCase &deletedName;
    TemporaryFolder scratch;
    fs::path pages = scratch / "Pages";
    fs::path sync = scratch.createFolder("Sync");
    std::string keepID;
    std::string goneID;
};

// A deleted page's name that a link now leads out of the folder, round a loop or to nothing: every load names its file
// once and opens the library without the page, the other page saves, recovery goes through, and the file behind the
// link is as it was.
TEST(MetadataNameDriver, ADeletedPagesNameBehindALinkLeavesOutOnlyThatEntry) {
    for (const DeletedNameCase &c : deletedNameCases) {
        SCOPED_TRACE(c.name);
        LibraryWithADeletedName library(c);
        if (!c.deletedFirst) {
            library.makeLink();
        }
        auto deleted = library.deletePage();
        ASSERT_EQ(deleted.status, 0) << deleted.errorOutput;
        if (c.deletedFirst) {
            library.makeLink();
        }
        const std::string behindTheLink =
            c.link == Link::outOfTheFolder ? fileBytes(library.sync / c.pagePath) : std::string();
        const NamedFiles namedOnce{{c.pagePath, c.reason}};

        for (int load = 1; load <= 2; ++load) {
            SCOPED_TRACE("load " + std::to_string(load));
            auto loaded = runDriver({"load", library.pages.string()}, library.scratch);
            ASSERT_EQ(loaded.output.value("outcome", ""), "loaded") << loaded.output.dump() << loaded.errorOutput;
            EXPECT_EQ(unreadableFiles(loaded.output), namedOnce);
            EXPECT_EQ(idAt(loaded.output, c.pagePath), "") << "the deleted page came back";
        }

        auto saved = runDriver({"write", library.pages.string()}, library.scratch,
                               R"({"setText": {")" + library.keepID + R"(": "Keep\nsaved line\n"}})");
        EXPECT_EQ(saved.status, 0) << saved.errorOutput;
        EXPECT_TRUE(saved.output.value("pagesNotSaved", Json::array()).empty()) << saved.output.dump();
        EXPECT_NE(fileBytes(library.pages / "keep.md").find("saved line"), std::string::npos);

        auto recovered = runDriver({"recover", library.pages.string()}, library.scratch);
        EXPECT_EQ(recovered.status, 0) << recovered.errorOutput;
        auto afterRecovery = runDriver({"load", library.pages.string()}, library.scratch);
        EXPECT_EQ(afterRecovery.output.value("outcome", ""), "loaded") << afterRecovery.output.dump();
        EXPECT_EQ(unreadableFiles(afterRecovery.output), namedOnce);
        if (c.link == Link::outOfTheFolder) {
            EXPECT_EQ(fileBytes(library.sync / c.pagePath), behindTheLink) << "changed through the link";
        }
        EXPECT_TRUE(fs::is_symlink(library.pages / c.entry)) << "the link was replaced";
    }
}

// A recorded page's file moved away and linked back, its target then gone: the first load opens the library at once
// and names the link, instead of waiting for a missing file; the other page saves, and the page is back once its file
// is.
TEST(MetadataNameDriver, ADanglingLinkWhereARecordedPageWasIsNamedAtOnce) {
    TemporaryFolder scratch;
    const fs::path pages = scratch / "Pages";
    scratch.writeFile("Pages/keep.md", "Keep\n");
    scratch.writeFile("Pages/moved.md", "Moved\n");
    Json first = runDriver({"load", pages.string()}, scratch).output;
    const std::string movedID = idAt(first, "moved.md");
    const std::string movedBytes = fileBytes(pages / "moved.md");
    scratch.writeFile("Pages/old/moved.md", movedBytes);
    fs::remove(pages / "moved.md");
    fs::create_symlink("old/moved.md", pages / "moved.md");
    fs::remove(pages / "old/moved.md");

    auto loaded = runDriver({"load", pages.string()}, scratch);
    ASSERT_EQ(loaded.output.value("outcome", ""), "loaded") << loaded.output.dump();
    EXPECT_EQ(unreadableFiles(loaded.output), (NamedFiles{{"moved.md", VeltoPageLibrary::linkToNothingReason}}));
    EXPECT_EQ(idAt(loaded.output, "moved.md"), movedID) << "the page's record was dropped";

    auto saved = runDriver({"write", pages.string()}, scratch,
                           R"({"setText": {")" + idAt(first, "keep.md") + R"(": "Keep\nsaved line\n"}})");
    EXPECT_EQ(saved.status, 0) << saved.errorOutput;
    EXPECT_TRUE(someFileBelowHolds(pages, "saved line"));
    EXPECT_TRUE(fs::is_symlink(pages / "moved.md"));

    scratch.writeFile("Pages/old/moved.md", movedBytes);
    auto mended = runDriver({"load", pages.string()}, scratch);
    EXPECT_TRUE(unreadableFiles(mended.output).empty()) << mended.output.dump();
    EXPECT_EQ(idAt(mended.output, "moved.md"), movedID);
}

} // namespace
