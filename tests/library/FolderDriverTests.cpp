// What a library does to the folder around it, through the driver as another process runs it: a copy makes the
// folders its pages live in, a load of an unchanged library writes nothing, and entries named like pages that
// cannot be pages are named instead of passed over.

#include "ReliabilitySupport.h"

#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using velto::Json;
using velto::testing::TemporaryFolder;

/// The driver's JSON, failing the test when it exits with an error.
Json driver(const std::vector<std::string> &arguments, const TemporaryFolder &scratch, const std::string &input = "") {
    return velto::reliabilitytesting::runDriver(arguments, input, (scratch / "run").string()).value_or(Json());
}

std::string fileBytes(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::map<std::string, std::string> textsByPath(const Json &loaded) {
    std::map<std::string, std::string> texts;
    for (const auto &page : loaded.at("pages")) {
        texts[page.at("relativeFilePath").get<std::string>()] = page.at("text").get<std::string>();
    }
    return texts;
}

std::string pageIDAt(const Json &loaded, const std::string &relativePath) {
    for (const auto &page : loaded.at("pages")) {
        if (page.at("relativeFilePath") == relativePath) {
            return page.at("id").get<std::string>();
        }
    }
    ADD_FAILURE() << "no page at " << relativePath << " in " << loaded.dump();
    return "";
}

// A page that discovery adopted from a subfolder is copied into the same subfolder of the destination.
TEST(FolderDriver, CopyMakesThePageFoldersInsideTheDestination) {
    TemporaryFolder scratch;
    auto source = scratch / "Source";
    scratch.writeFile("Source/top.md", "Top\n");
    scratch.writeFile("Source/notes/deeper/inner.md", "Inner\n");
    scratch.writeFile("Source/notes/beside.md", "Beside\n");
    ASSERT_EQ(driver({"load", source.string()}, scratch).value("outcome", ""), "loaded");
    auto destination = scratch.createFolder("Destination");

    auto copied = driver({"copy", source.string(), destination.string()}, scratch);
    ASSERT_EQ(copied["pageIDs"].size(), 3u) << copied.dump();
    EXPECT_NE(fileBytes(destination / "notes/deeper/inner.md").find("Inner\n"), std::string::npos);
    auto loaded = driver({"load", destination.string()}, scratch);
    EXPECT_EQ(textsByPath(loaded), (std::map<std::string, std::string>{
                                       {"notes/beside.md", "Beside\n"},
                                       {"notes/deeper/inner.md", "Inner\n"},
                                       {"top.md", "Top\n"},
                                   }));
}

// A destination whose subfolder leads out of it by a link gets nothing written there: the copy is refused.
TEST(FolderDriver, CopyNeverMakesAFolderOutsideTheDestination) {
    TemporaryFolder scratch;
    auto source = scratch / "Source";
    scratch.writeFile("Source/notes/deeper/inner.md", "Inner\n");
    ASSERT_EQ(driver({"load", source.string()}, scratch).value("outcome", ""), "loaded");
    auto destination = scratch.createFolder("Destination");
    auto outside = scratch.createFolder("Outside");
    std::filesystem::create_directory_symlink(outside, destination / "notes");

    velto::reliabilitytesting::DriverProcess copy({"copy", source.string(), destination.string()}, "",
                                                  (scratch / "copy").string());
    ASSERT_TRUE(copy.started());
    EXPECT_EQ(copy.wait(), 2);
    EXPECT_NE(copy.errorOutput().find("outside the selected Pages folder"), std::string::npos) << copy.errorOutput();
    EXPECT_TRUE(std::filesystem::is_empty(outside));
}

/// Every file below the metadata folder with its bytes and modification time, to the nanosecond.
std::map<std::string, std::pair<std::string, long long>> metadataFiles(const std::filesystem::path &folder) {
    std::map<std::string, std::pair<std::string, long long>> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder / ".velto")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        struct stat info {};
        ::stat(entry.path().c_str(), &info);
        long long modified = static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
        files[entry.path().lexically_relative(folder).string()] = {fileBytes(entry.path()), modified};
    }
    return files;
}

// A save records what discovery finds on disk, so the loads after it have nothing to correct and write nothing:
// no metadata file changes its bytes or its time, which sync clients would upload again.
TEST(FolderDriver, LoadsAfterASaveLeaveEveryMetadataFileAsItWas) {
    TemporaryFolder scratch;
    auto folder = scratch / "Pages";
    scratch.writeFile("Pages/top.md", "Top\n");
    scratch.writeFile("Pages/windows.md", "one\r\ntwo\r\n");
    scratch.writeFile("Pages/notes/deeper/inner.md", "---\ntitle: Inner\n---\nInner\n");
    auto adopted = driver({"load", folder.string()}, scratch);
    ASSERT_EQ(adopted.value("outcome", ""), "loaded") << adopted.dump();
    auto afterFirstLoad = metadataFiles(folder);
    ASSERT_EQ(driver({"load", folder.string()}, scratch).value("outcome", ""), "loaded");
    EXPECT_EQ(metadataFiles(folder), afterFirstLoad) << "a second load of an adopted folder";

    struct Save {
        const char *name;
        std::string operations;
    };
    const std::vector<Save> saves = {
        {"texts set", R"({"setText": {")" + pageIDAt(adopted, "top.md") + R"(": "Top, edited\n", ")" +
                          pageIDAt(adopted, "windows.md") + R"(": "one\r\ntwo\r\nthree\r\n", ")" +
                          pageIDAt(adopted, "notes/deeper/inner.md") +
                          R"(": "---\ntitle: Inner\n---\nInner, edited\n"}})"},
        {"a new page", R"({"newPages": ["New\n"]})"},
        {"a page archived", R"({"archive": [")" + pageIDAt(adopted, "notes/deeper/inner.md") + R"("]})"},
    };
    for (const Save &save : saves) {
        SCOPED_TRACE(save.name);
        ASSERT_FALSE(driver({"write", folder.string()}, scratch, save.operations).is_null());
        auto afterSave = metadataFiles(folder);
        for (int load = 0; load < 2; ++load) {
            ASSERT_EQ(driver({"load", folder.string()}, scratch).value("outcome", ""), "loaded");
            EXPECT_EQ(metadataFiles(folder), afterSave) << "load " << load;
        }
    }
}

// A named pipe, links out of the folder or in a loop, and a name that is not UTF-8, all named like pages: each is
// named with its reason, the load never waits on the pipe, and nothing outside the folder is read or changed.
TEST(FolderDriver, EntriesThatCannotBePagesAreNamedAndLeftAlone) {
    TemporaryFolder scratch;
    auto folder = scratch / "Pages";
    scratch.writeFile("Pages/good.md", "Good\n");
    auto outsideFile = scratch.writeFile("Outside/secret.md", "Secret\n");
    ASSERT_EQ(::mkfifo((folder / "pipe.md").c_str(), 0600), 0);
    std::filesystem::create_symlink(outsideFile, folder / "outside.md");
    std::filesystem::create_symlink("../Outside/gone.md", folder / "outside-dangling.md");
    std::filesystem::create_symlink("loop.md", folder / "loop.md");
    std::filesystem::create_symlink("good.md", folder / "inside-link.md");
    scratch.writeFile("Pages/caf\xe9.md", "Latin-1 name\n");
    const std::map<std::string, std::string> expected = {
        {"caf\xef\xbf\xbd.md", "Its name isn’t UTF-8 text, so Velto can’t keep track of it."},
        {"loop.md", "It is a symbolic link that leads round in a loop."},
        {"outside-dangling.md", "It is a symbolic link to a file that isn’t there, outside the Pages folder."},
        {"outside.md", "It is a symbolic link to a place outside the Pages folder."},
        {"pipe.md", "It isn’t a regular file but a named pipe, socket or device."},
    };

    for (int launch = 0; launch < 2; ++launch) {
        SCOPED_TRACE(launch);
        auto loaded = driver({"load", folder.string()}, scratch);
        ASSERT_EQ(loaded.value("outcome", ""), "loaded") << loaded.dump();
        EXPECT_EQ(textsByPath(loaded), (std::map<std::string, std::string>{{"good.md", "Good\n"}}))
            << "a link to a page of the folder is that page, not a second one";
        std::map<std::string, std::string> named;
        for (const auto &file : loaded.value("unreadableFiles", Json::array())) {
            named[file.at("relativePath").get<std::string>()] = file.at("reason").get<std::string>();
        }
        EXPECT_EQ(named, expected);
    }
    EXPECT_EQ(fileBytes(outsideFile), "Secret\n");
    EXPECT_TRUE(std::filesystem::is_fifo(folder / "pipe.md"));
    EXPECT_FALSE(std::filesystem::exists(scratch / "Outside/gone.md"));
}

} // namespace
