#include "ReliabilitySupport.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>

using namespace velto;
using namespace velto::reliabilitytesting;
using velto::testing::TemporaryFolder;

namespace {

// A page deleted in Velto whose file another program writes into afterwards keeps that program's line: whichever
// later save meets the file proves its removal by the bytes the deletion saw, so a file holding more stays as a copy
// of the deleted page that the save reports. Run from outside, through the driver, as a user's folder meets it.

enum class AfterTheDeletion {
    /// An editor that had the file open saves it back: the same front matter, a line added.
    editorSavesItBack,
    /// The file held bytes that are no UTF-8 when the page was deleted; it is made readable with a line added.
    madeReadableWithALine,
    /// The deleting save is killed right after it takes the file aside; an editor that had it open writes a line
    /// through its descriptor, and the next load puts the file back.
    writtenThroughAnOpenDescriptorAfterAKill,
};

struct DeletionProofCase {
    const char *name;
    AfterTheDeletion after;
};

const DeletionProofCase deletionProofCases[] = {
    {"EditorSavesTheDeletedPageBackWithALine", AfterTheDeletion::editorSavesItBack},
    {"UnreadableAtTheDeletionThenMadeReadableWithALine", AfterTheDeletion::madeReadableWithALine},
    {"KilledAfterTakingAsideThenWrittenThroughAnOpenDescriptor",
     AfterTheDeletion::writtenThroughAnOpenDescriptorAfterAKill},
};

void PrintTo(const DeletionProofCase &c, std::ostream *out) {
    *out << c.name;
}

/// The texts of the library's visible page files, by name.
std::map<std::string, std::string> visiblePageFiles(const TemporaryFolder &folder, const std::string &library) {
    std::map<std::string, std::string> texts;
    for (const auto &entry : std::filesystem::directory_iterator(folder / library)) {
        auto name = entry.path().filename().string();
        if (entry.is_regular_file() && name.ends_with(".md") && !name.starts_with(".")) {
            texts.emplace(name, folder.readFile(library + "/" + name));
        }
    }
    return texts;
}

/// The file's front matter, up to and with its closing line.
std::string frontMatterOf(const std::string &text) {
    auto end = text.find("\n---\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 5);
}

/// The hidden file a killed removal left the named file under.
std::filesystem::path fileTakenAside(const std::filesystem::path &library, const std::string &name) {
    for (const auto &entry : std::filesystem::directory_iterator(library)) {
        if (entry.path().filename().string().starts_with("." + name + ".aside-")) {
            return entry.path();
        }
    }
    return {};
}

void makeOld(const std::filesystem::path &file) {
    std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

class DeletionProofDriver : public ::testing::TestWithParam<DeletionProofCase> {};

TEST_P(DeletionProofDriver, TheLineWrittenAfterTheDeletionIsInAReportedCopy) {
    const DeletionProofCase &c = GetParam();
    TemporaryFolder folder;
    auto library = (folder / "library").string();
    auto scratch = (folder / "run").string();
    auto created = runDriver({"write", library}, R"({"newPages": ["kept page\n", "deleted page\n"]})", scratch);
    ASSERT_TRUE(created);
    auto kept = created->at("newPageIDs").at(0).get<std::string>();
    auto deleted = created->at("newPageIDs").at(1).get<std::string>();
    std::string deletedFile;
    for (const auto &[name, text] : visiblePageFiles(folder, "library")) {
        if (text.find("deleted page") != std::string::npos) {
            deletedFile = name;
        }
    }
    ASSERT_FALSE(deletedFile.empty());
    const auto deletedPath = "library/" + deletedFile;
    const std::string opened = folder.readFile(deletedPath); // what the editor holds
    const std::string withTheirLine = opened + "their line\n";
    const std::string deletion = R"({"delete": [")" + deleted + R"("]})";

    if (c.after == AfterTheDeletion::madeReadableWithALine) {
        folder.writeFile(deletedPath, frontMatterOf(opened) + "deleted page \xff\xfe\n");
        ASSERT_TRUE(runDriver({"write", library}, deletion, scratch));
        ASSERT_TRUE(folder.exists(deletedPath)) << "a file the deletion could not read went";
        folder.writeFile(deletedPath, withTheirLine);
    } else if (c.after == AfterTheDeletion::writtenThroughAnOpenDescriptorAfterAKill) {
        int editor = ::open((folder / deletedPath).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        ASSERT_GE(editor, 0);
        DriverProcess killed({"write", library, "--kill-after-taking-aside"}, deletion, scratch);
        ASSERT_TRUE(killed.started());
        ASSERT_EQ(killed.wait(), std::nullopt) << "the save ended before it took the file aside";
        const std::string line = "their line\n";
        ASSERT_EQ(::write(editor, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        ::close(editor);
        auto aside = fileTakenAside(folder / "library", deletedFile);
        ASSERT_FALSE(aside.empty()) << "the killed save left no file aside";
        makeOld(aside); // a killed save's, which the next load puts back
    } else {
        ASSERT_TRUE(runDriver({"write", library}, deletion, scratch));
        folder.writeFile(deletedPath, withTheirLine);
    }

    auto saved = runDriver({"write", library}, R"({"setText": {")" + kept + R"(": "kept page edited\n"}})", scratch);
    ASSERT_TRUE(saved) << "the other page no longer saves";

    std::set<std::string> reported;
    for (const auto &conflict : saved->at("conflicts")) {
        reported.insert(conflict.at("relativeFilePath").get<std::string>());
    }
    auto files = visiblePageFiles(folder, "library");
    int holding = 0;
    bool keptPageSaved = false;
    for (const auto &[name, text] : files) {
        keptPageSaved = keptPageSaved || text.find("kept page edited") != std::string::npos;
        if (text.find("their line") != std::string::npos) {
            ++holding;
            EXPECT_TRUE(reported.contains(name)) << name << " holds the line, but the save did not report it";
            EXPECT_NE(text.find("deleted page"), std::string::npos) << text;
        }
    }
    EXPECT_EQ(holding, 1) << "the line written after the deletion is in no file, or in two";
    EXPECT_TRUE(keptPageSaved);
    auto loaded = runDriver({"load", library}, "", scratch);
    ASSERT_TRUE(loaded);
    EXPECT_NE(loaded->dump().find("their line"), std::string::npos) << "the copy is not shown as a page";
}

INSTANTIATE_TEST_SUITE_P(Cases, DeletionProofDriver, ::testing::ValuesIn(deletionProofCases),
                         [](const ::testing::TestParamInfo<DeletionProofCase> &info) { return info.param.name; });

} // namespace
