// A save through the driver never writes outside the Pages folder, and never replaces a user's link: a folder of pages
// moved out and linked back at the moment the save creates its file fails the save (or leaves the text inside), and
// typing into a page whose file is a link to another page's file writes into that file, the link staying a link.

#include "DriverTestSupport.h"

#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;
using velto::Json;
using velto::drivertesting::driver;
using velto::drivertesting::fileBytes;
using velto::drivertesting::filesBelowHolding;
using velto::drivertesting::idAt;
using velto::reliabilitytesting::DriverProcess;
using velto::testing::TemporaryFolder;

std::string textOf(const Json &loaded, const std::string &id) {
    for (const auto &page : loaded.value("pages", Json::array())) {
        if (page.at("id") == id) {
            return page.at("text").get<std::string>();
        }
    }
    return "";
}

bool contains(const Json &ids, const std::string &id) {
    for (const auto &entry : ids) {
        if (entry.is_string() ? entry == id : entry.value("id", "") == id) {
            return true;
        }
    }
    return false;
}

/// Sets an environment variable for the processes started while it lives, and puts the old value back.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char *name, const std::string &value)
        : name_(name) {
        if (const char *old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    EnvironmentVariable(const EnvironmentVariable &) = delete;
    EnvironmentVariable &operator=(const EnvironmentVariable &) = delete;
    ~EnvironmentVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

std::string withAsanOption(const std::string &option) {
    const char *options = std::getenv("ASAN_OPTIONS");
    return options != nullptr && *options != '\0' ? std::string(options) + ":" + option : option;
}

// The folder "notes" is moved into "Sync" beside the Pages folder and linked back at the moment the save creates
// the temporary file of "notes/a.md", after its check of the page's path: the save fails, or writes inside, but
// never writes the typed line outside the Pages folder while it reports the page saved.
TEST(BeneathPagesFolderDriver, AFolderLinkedOutAtTheTemporaryFilesCreationGetsNothingWritten) {
    TemporaryFolder scratch;
    const fs::path pages = scratch / "Pages";
    const fs::path sync = scratch.createFolder("Sync");
    scratch.writeFile("Pages/keep.md", "Keep\n");
    scratch.writeFile("Pages/notes/a.md", "Plan\n");
    const std::string id = idAt(driver({"load", pages.string()}, scratch), "notes/a.md");
    ASSERT_FALSE(id.empty());

    std::optional<int> status;
    std::string output;
    {
        EnvironmentVariable preload("LD_PRELOAD", std::string(VELTO_TEST_TOOLS_DIR) + "/libvelto-folder-swap-shim.so");
        // The shim is preloaded ahead of the sanitizers' runtime, which would otherwise refuse to start.
        EnvironmentVariable sanitizer("ASAN_OPTIONS", withAsanOption("verify_asan_link_order=0"));
        EnvironmentVariable atName("VELTO_SWAP_AT_NAME", ".a.md.tmp-");
        EnvironmentVariable folder("VELTO_SWAP_FOLDER", (pages / "notes").string());
        EnvironmentVariable outside("VELTO_SWAP_OUTSIDE", (sync / "notes").string());
        DriverProcess process({"write", pages.string()}, R"({"setText": {")" + id + R"(": "Plan\ntyped line\n"}})",
                              (scratch / "write").string());
        ASSERT_TRUE(process.started());
        status = process.wait();
        output = process.output();
    }
    ASSERT_TRUE(fs::is_symlink(pages / "notes")) << "the folder was not linked out while the save ran";

    EXPECT_EQ(filesBelowHolding(sync, "typed line"), 0) << "written outside the Pages folder";
    Json result = status == 0 ? velto::decodeJSON(output) : Json();
    bool reportedSaved = result.is_object() && contains(result.value("persistedPageIDs", Json::array()), id) &&
                         !contains(result.value("pagesNotSaved", Json::array()), id);
    if (reportedSaved) {
        EXPECT_EQ(filesBelowHolding(pages, "typed line"), 1) << output;
    }
    EXPECT_EQ(fileBytes(sync / "notes/a.md"), "Plan\n");
}

// "a.md" was a page of its own; the user replaced its file by a link to "keep.md" ("ln -s keep.md a.md"), which the
// load shows as page a with keep's text. Typing into page a writes into keep.md; a.md stays a link, no conflict copy
// is made, and every line is in keep.md.
TEST(BeneathPagesFolderDriver, TypingIntoAPageWhoseFileLinksToAnotherPageWritesThatFile) {
    TemporaryFolder scratch;
    const fs::path pages = scratch / "Pages";
    scratch.writeFile("Pages/keep.md", "Keep\n");
    scratch.writeFile("Pages/a.md", "A\n");
    driver({"load", pages.string()}, scratch);
    fs::remove(pages / "a.md");
    fs::create_symlink("keep.md", pages / "a.md");
    Json loaded = driver({"load", pages.string()}, scratch);
    const std::string id = idAt(loaded, "a.md");
    ASSERT_FALSE(id.empty()) << loaded.dump();
    ASSERT_EQ(textOf(loaded, id), "Keep\n");

    Json saved = driver({"write", pages.string()}, scratch, R"({"setText": {")" + id + R"(": "Keep\ntyped in a\n"}})");
    for (const char *emptyList : {"pagesNotSaved", "conflicts"}) {
        EXPECT_TRUE(saved.value(emptyList, Json::array()).empty()) << emptyList << ": " << saved.dump();
    }
    EXPECT_TRUE(contains(saved.value("persistedPageIDs", Json::array()), id)) << saved.dump();

    ASSERT_TRUE(fs::is_symlink(pages / "a.md"));
    EXPECT_EQ(fs::read_symlink(pages / "a.md"), "keep.md");
    EXPECT_NE(fileBytes(pages / "keep.md").find("Keep\ntyped in a\n"), std::string::npos);
    int markdownFiles = 0;
    for (const auto &entry : fs::directory_iterator(pages)) {
        markdownFiles += entry.path().extension() == ".md" ? 1 : 0;
    }
    EXPECT_EQ(markdownFiles, 2) << "a conflict copy beside a.md and keep.md";

    Json reloaded = driver({"load", pages.string()}, scratch);
    EXPECT_EQ(textOf(reloaded, idAt(reloaded, "keep.md")), "Keep\ntyped in a\n") << reloaded.dump();
}

} // namespace
