// A page's file or its folder linked out of the Pages folder or round in a loop, as another process meets it: the
// driver's load, save and recovery go through, every typed line is in a file of the folder, nothing is written
// through the link, and the page comes back once the link goes.

#include "DriverTestSupport.h"

#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using velto::Json;
using velto::drivertesting::driver;
using velto::drivertesting::fileBytes;
using velto::drivertesting::someFileBelowHolds;
using velto::reliabilitytesting::DriverProcess;
using velto::testing::TemporaryFolder;

const Json *pageAt(const Json &loaded, const std::string &relativePath) {
    for (const auto &page : loaded.at("pages")) {
        if (page.at("relativeFilePath") == relativePath) {
            return &page;
        }
    }
    return nullptr;
}

std::map<std::string, std::string> unreadableFiles(const Json &loaded) {
    std::map<std::string, std::string> named;
    for (const auto &file : loaded.value("unreadableFiles", Json::array())) {
        named[file.at("relativePath").get<std::string>()] = file.at("reason").get<std::string>();
    }
    return named;
}

/// Where the link that replaces the entry leads.
enum class LinkTarget {
    movedEntry, ///< the entry, moved into Sync
    nothing,    ///< a name in Sync where nothing is
    loop,       ///< the link itself
};

struct LinkCase {
    const char *name;
    const char *pagePath;
    const char *entry; // the file or its folder, which moves into Sync and is replaced by a link
    LinkTarget target;
    const char *reason;
};

const LinkCase linkCases[] = {
    {"file linked out", "linked.md", "linked.md", LinkTarget::movedEntry,
     "It is a symbolic link to a place outside the Pages folder."},
    {"file linked out to nothing", "linked.md", "linked.md", LinkTarget::nothing,
     "It is a symbolic link to a file that isn’t there, outside the Pages folder."},
    {"file in a loop", "linked.md", "linked.md", LinkTarget::loop, "It is a symbolic link that leads round in a loop."},
    {"folder linked out", "notes/linked.md", "notes", LinkTarget::movedEntry,
     "It lies in a folder that is a symbolic link to a place outside the Pages folder."},
    {"folder in a loop", "notes/linked.md", "notes", LinkTarget::loop,
     "It lies in a folder that is a symbolic link leading round in a loop."},
};

/// A Pages folder of "keep.md" and the page's file, adopted by a first load, and "Sync" beside it.
struct LinkedLibrary {
    explicit LinkedLibrary(const LinkCase &c)
        : linkCase(c) {
        scratch.writeFile("Pages/keep.md", "Keep\n");
        scratch.writeFile(fs::path("Pages") / c.pagePath, "Linked\n");
        first = driver({"load", pages.string()}, scratch);
    }

    void makeLink() const {
        fs::rename(pages / linkCase.entry, sync / linkCase.entry);
        fs::create_symlink(target(), pages / linkCase.entry);
    }

    void removeLink() const {
        fs::remove(pages / linkCase.entry);
        fs::rename(sync / linkCase.entry, pages / linkCase.entry);
    }

    fs::path target() const {
        switch (linkCase.target) {
        case LinkTarget::movedEntry:
            return sync / linkCase.entry;
        case LinkTarget::nothing:
            return sync / "gone.md";
        case LinkTarget::loop:
            return fs::path(linkCase.entry).filename();
        }
        return {};
    }

    std::string idAt(const std::string &relativePath) const {
        const Json *page = pageAt(first, relativePath);
        return page != nullptr ? page->at("id").get<std::string>() : "";
    }

    const LinkCase &linkCase;
    TemporaryFolder scratch;
    fs::path pages = scratch / "Pages";
    fs::path sync = scratch.createFolder("Sync");
    Json first;
};
// Made before a launch: the load names the page with the link's reason and keeps it, the other page saves,
// recovery goes through, nothing reaches the file behind the link, and the page is back once the link goes.
TEST(LinkedPageDriver, MadeBeforeALaunchLeavesOutOnlyItsOwnPage) {
    for (const LinkCase &c : linkCases) {
        SCOPED_TRACE(c.name);
        LinkedLibrary library(c);
        const std::string linkedID = library.idAt(c.pagePath);
        const std::string keepID = library.idAt("keep.md");
        library.makeLink();

        auto loaded = driver({"load", library.pages.string()}, library.scratch);
        ASSERT_EQ(loaded.value("outcome", ""), "loaded") << loaded.dump();
        EXPECT_EQ(unreadableFiles(loaded), (std::map<std::string, std::string>{{c.pagePath, c.reason}}));
        ASSERT_NE(pageAt(loaded, c.pagePath), nullptr);
        EXPECT_EQ(pageAt(loaded, c.pagePath)->at("id"), linkedID);

        auto saved = driver({"write", library.pages.string()}, library.scratch,
                            R"({"setText": {")" + keepID + R"(": "Keep\nsaved line\n"}})");
        EXPECT_TRUE(saved.value("pagesNotSaved", Json::array()).empty()) << saved.dump();
        EXPECT_TRUE(someFileBelowHolds(library.pages, "saved line"));
        EXPECT_EQ(driver({"recover", library.pages.string()}, library.scratch).is_object(), true);
        EXPECT_EQ(fileBytes(library.sync / c.pagePath), "Linked\n") << "written through the link";
        EXPECT_FALSE(fs::exists(library.sync / "gone.md")) << "made where the link leads";

        library.removeLink();
        auto mended = driver({"load", library.pages.string()}, library.scratch);
        EXPECT_TRUE(unreadableFiles(mended).empty()) << mended.dump();
        ASSERT_NE(pageAt(mended, c.pagePath), nullptr) << mended.dump();
        EXPECT_EQ(pageAt(mended, c.pagePath)->at("id"), linkedID);
        EXPECT_EQ(pageAt(mended, c.pagePath)->at("text"), "Linked\n");
    }
}

/// Waits until the driver says that its load is done and its save waits; false after a generous time.
bool saysItPaused(const DriverProcess &process) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (process.errorOutput().find("paused before the save") == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Made after the driver's load, while its save waits: every typed line is in a file of the folder,
// none behind the link, and the other page's line is in its own file.
TEST(LinkedPageDriver, MadeWhileASaveIsPausedKeepsEveryTypedLine) {
    for (const LinkCase &c : linkCases) {
        SCOPED_TRACE(c.name);
        LinkedLibrary library(c);
        const std::string operations = R"({"setText": {")" + library.idAt("keep.md") + R"(": "Keep\nkept line\n", ")" +
                                       library.idAt(c.pagePath) + R"(": "Linked\ntyped line\n"}})";

        DriverProcess process({"write", library.pages.string(), "--pause-ms", "1500"}, operations,
                              (library.scratch / "write").string());
        ASSERT_TRUE(process.started());
        ASSERT_TRUE(saysItPaused(process)) << process.errorOutput();
        library.makeLink();
        auto status = process.wait();
        ASSERT_TRUE(status == 0 || status == 1) << process.errorOutput();

        EXPECT_TRUE(someFileBelowHolds(library.pages, "typed line"));
        EXPECT_NE(fileBytes(library.pages / "keep.md").find("kept line"), std::string::npos);
        EXPECT_EQ(fileBytes(library.sync / c.pagePath), "Linked\n") << "written through the link";
        EXPECT_FALSE(fs::exists(library.sync / "gone.md")) << "made where the link leads";
        auto loaded = driver({"load", library.pages.string()}, library.scratch);
        EXPECT_EQ(unreadableFiles(loaded), (std::map<std::string, std::string>{{c.pagePath, c.reason}}));

        library.removeLink();
        auto mended = driver({"load", library.pages.string()}, library.scratch);
        ASSERT_NE(pageAt(mended, c.pagePath), nullptr) << mended.dump();
        EXPECT_EQ(pageAt(mended, c.pagePath)->at("text"), "Linked\n");
        EXPECT_TRUE(someFileBelowHolds(library.pages, "typed line"));
    }
}

} // namespace
