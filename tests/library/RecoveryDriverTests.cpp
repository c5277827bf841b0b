// Recovery, copy and load as the driver runs them, for libraries that must come out of a failure no worse than
// they went in: a recovery that fails at any step leaves the manifest it found, a copy killed at any step never
// costs a hand edit made after it, and a library that a newer Velto wrote is refused, byte for byte untouched.

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "WriteTestSupport.h"
#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

const std::string damagedJournal = ".velto/writers/" + uuid("c3").lowercaseText() + ".json";

velto::Json loadJson(const fs::path &folder) {
    auto run = runDriver({"load", folder.string()});
    EXPECT_EQ(run.exitStatus, 0);
    return run.output.empty() ? velto::Json() : velto::decodeJSON(run.output);
}

bool holdsRecoveryFile(const fs::path &folder) {
    for (const auto &name : entryNames(folder / ".velto")) {
        if (name.starts_with("manifest.recovery-")) {
            return true;
        }
    }
    return false;
}

/// Recovers copies of the library in "pristine" failing at each step in turn, checking the folder each failure left,
/// until a run goes through; the name of the folder that run recovered.
template <typename CheckFailure>
std::string recoverFailingAtEachStep(const TemporaryFolder &scratch, CheckFailure checkFailure) {
    for (std::size_t step = 1; step <= 500; ++step) {
        SCOPED_TRACE("failing step " + std::to_string(step));
        const std::string name = "run-" + std::to_string(step);
        fs::copy(scratch / "pristine", scratch / name, fs::copy_options::recursive);
        auto run = runDriver({"recover", (scratch / name).string(), "--fail-at-step", std::to_string(step)});
        if (run.exitStatus == 0) {
            EXPECT_GT(step, 3u) << "too few steps were failed to prove anything";
            return name;
        }
        EXPECT_EQ(run.exitStatus, 2);
        checkFailure(name);
    }
    ADD_FAILURE() << "the recovery never succeeded";
    return "";
}

// Every step of a recovery that changes the folder, failed in turn: after each failure the folder holds its
// manifest, either the one it had (with the journal that was set aside back in place and no recovery file
// left) or one the recovery committed before it failed, which loads. The first run that no failure reaches
// recovers the library.
TEST(RecoveryDriver, RecoveryFailingAtEachStepKeepsOrRestoresTheManifest) {
    TemporaryFolder scratch;
    writeTwoPageLibrary(scratch / "pristine", pageA, pageB);
    scratch.writeFile("pristine/" + damagedJournal, "{\"writerID\": cut short");
    auto manifestBefore = scratch.readFile("pristine/.velto/manifest.json");

    const std::string recoveredFolder = recoverFailingAtEachStep(scratch, [&](const std::string &name) {
        auto folder = scratch / name;
        ASSERT_TRUE(fs::is_regular_file(folder / ".velto/manifest.json")) << "the library lost its manifest";
        if (scratch.readFile(name + "/.velto/manifest.json") == manifestBefore) {
            EXPECT_FALSE(holdsRecoveryFile(folder));
            EXPECT_TRUE(fs::is_regular_file(folder / damagedJournal)) << "the journal set aside is not back";
        } else {
            EXPECT_EQ(loadJson(folder)["outcome"], "loaded") << "a manifest committed before the failure";
        }
    });
    auto recovered = loadJson(scratch / recoveredFolder);
    EXPECT_EQ(recovered["outcome"], "loaded");
    EXPECT_EQ(recovered["pages"].size(), 2u);
}

/// The recovery files of the folder's metadata, sorted.
std::vector<std::string> recoveryFiles(const fs::path &folder) {
    std::vector<std::string> names;
    for (const auto &name : entryNames(folder / ".velto")) {
        if (name.starts_with("manifest.recovery-")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

/// A license file as it ships, read-only for everyone, beside a page.
const std::string licenseText = "MIT License\n\nPermission is hereby granted, free of charge.\n";
constexpr fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

void writeLibraryBesideALicense(const TemporaryFolder &scratch, const std::string &folder) {
    scratch.writeFile(folder + "/keep.md", "Keep\n");
    scratch.writeFile(folder + "/other.md", "Other\n");
    scratch.writeFile(folder + "/LICENSE.md", licenseText);
    fs::permissions(scratch / folder / "LICENSE.md", readOnly);
    ASSERT_EQ(loadJson(scratch / folder)["outcome"], "loaded");
}

// A recovery beside a read-only Markdown file, of a library that loads and of one whose manifest was damaged (which a
// load rebuilt, keeping the damaged one in a recovery file of its own): it goes through, leaves the file byte for byte
// and read-only, adds only the recovery file it names, and the library loads with every page.
TEST(RecoveryDriver, RecoveryBesideAReadOnlyFileLeavesItAsItIs) {
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged manifest" : "sound manifest");
        TemporaryFolder scratch;
        writeLibraryBesideALicense(scratch, "Pages");
        const fs::path pages = scratch / "Pages";
        if (damaged) {
            scratch.writeFile("Pages/.velto/manifest.json", "{\"schemaVersion\": cut short");
            loadJson(pages);
        }
        std::vector<std::string> expectedRecoveryFiles = recoveryFiles(pages);

        auto recovered = runDriver({"recover", pages.string()});
        ASSERT_EQ(recovered.exitStatus, 0);
        EXPECT_EQ(scratch.readFile("Pages/LICENSE.md"), licenseText);
        EXPECT_EQ(fs::status(pages / "LICENSE.md").permissions() & fs::perms::all, readOnly);
        auto recoveryFile = velto::decodeJSON(recovered.output).value("recoveryFile", velto::Json());
        if (recoveryFile.is_string()) {
            expectedRecoveryFiles.push_back(fs::path(recoveryFile.get<std::string>()).filename().string());
        }
        std::sort(expectedRecoveryFiles.begin(), expectedRecoveryFiles.end());
        EXPECT_EQ(recoveryFiles(pages), expectedRecoveryFiles);
        auto loaded = loadJson(pages);
        EXPECT_EQ(loaded["outcome"], "loaded");
        EXPECT_EQ(loaded["pages"].size(), 3u) << loaded.dump();
    }
}

// Every step of a recovery beside a read-only file, failed in turn, also one after the recovery committed its
// manifest: each failure leaves the manifest as it was, no recovery file, and the read-only file as it is.
TEST(RecoveryDriver, FailedRecoveryLeavesNoRecoveryFileBehind) {
    TemporaryFolder scratch;
    writeLibraryBesideALicense(scratch, "pristine");
    const std::string manifestBefore = scratch.readFile("pristine/.velto/manifest.json");

    recoverFailingAtEachStep(scratch, [&](const std::string &name) {
        EXPECT_EQ(scratch.readFile(name + "/.velto/manifest.json"), manifestBefore);
        EXPECT_FALSE(holdsRecoveryFile(scratch / name));
        EXPECT_EQ(scratch.readFile(name + "/LICENSE.md"), licenseText);
    });
}

// A newer library in any of its formats: the load refuses it and says which version and what to do, offering
// no rewrite; recovery refuses it too, and nothing in the folder changes, not a byte.
TEST(RecoveryDriver, NewerLibraryIsRefusedByLoadAndRecoveryAndStaysByteForByte) {
    struct Case {
        const char *name;
        void (*makeNewer)(const TemporaryFolder &library);
        const char *message;
    };
    const Case cases[] = {
        {"manifest",
         [](const TemporaryFolder &library) {
             auto manifest = library.readFile(".velto/manifest.json");
             manifest.replace(manifest.find("\"schemaVersion\":3"), 17, "\"schemaVersion\":4");
             library.writeFile(".velto/manifest.json", manifest);
         },
         "This Velto library uses newer metadata version 4. Update Velto before opening it."},
        {"deletion shard",
         [](const TemporaryFolder &library) {
             library.writeFile(".velto/deletions/v1-a.json", R"({"schemaVersion":2,"shard":"a","deletions":[]})");
         },
         "This Velto library uses newer deletion metadata version 2. Update Velto before opening it."},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        TemporaryFolder library;
        writeTwoPageLibrary(library.path(), pageA, pageB);
        test.makeNewer(library);
        auto before = folderSnapshot(library.path());

        auto loaded = loadJson(library.path());
        EXPECT_EQ(loaded["outcome"], "failed");
        EXPECT_EQ(loaded["recoveryIssue"]["message"], test.message);
        EXPECT_EQ(loaded["recoveryIssue"]["remedy"], "updateVelto");
        EXPECT_EQ(runDriver({"recover", library.path()}).exitStatus, 2);
        EXPECT_EQ(folderSnapshot(library.path()), before);
    }
}

/// The first page file lying in the folder itself, hidden ones aside.
std::optional<std::string> firstPageFile(const fs::path &folder) {
    for (const auto &name : entryNames(folder)) {
        if (name.ends_with(".md") && !name.starts_with(".") && fs::is_regular_file(folder / name)) {
            return name;
        }
    }
    return std::nullopt;
}

// A copy killed before each of its renames in turn, as a user kills it, and a page file it left edited by hand:
// the next copy refuses with the error status and the edit stays, as does the user's own file beside it. Where
// no page file was left yet, or once the edited one is moved out, the next copy goes ahead.
TEST(CopyDriver, CopyKilledAtAnyRenameNeverCostsAHandEditMadeAfterIt) {
    TemporaryFolder scratch;
    auto source = scratch / "source";
    writeTwoPageLibrary(source, pageA, pageB);
    std::size_t rename = 1;
    std::size_t edits = 0;
    for (;; ++rename) {
        SCOPED_TRACE("killed before rename " + std::to_string(rename));
        const std::string name = "copy-" + std::to_string(rename);
        auto destination = scratch / name;
        auto killed =
            runDriver({"copy", source.string(), destination.string(), "--kill-at-rename", std::to_string(rename)});
        if (killed.exitStatus == 0) {
            break;
        }
        ASSERT_EQ(killed.exitStatus, -1) << "the copy ended before it was killed";
        auto edited = firstPageFile(destination);
        std::string editedText;
        if (edited) {
            ++edits;
            editedText = scratch.readFile(name + "/" + *edited) + "my edit\n";
            scratch.writeFile(name + "/" + *edited, editedText);
        }
        scratch.writeFile(name + "/notes.md", "my own notes\n");

        auto again = runDriver({"copy", source.string(), destination.string()});

        EXPECT_EQ(again.exitStatus, edited ? 2 : 0);
        if (edited) {
            EXPECT_EQ(scratch.readFile(name + "/" + *edited), editedText);
            fs::rename(destination / *edited, scratch / (name + "-edited.md"));
            EXPECT_EQ(runDriver({"copy", source.string(), destination.string()}).exitStatus, 0)
                << "the edited file moved out, the copy goes ahead";
        }
        EXPECT_EQ(scratch.readFile(name + "/notes.md"), "my own notes\n");
        ASSERT_LT(rename, 200u) << "the copy never ran to its end";
    }
    EXPECT_GT(edits, 2u) << "too few killed copies left a page file to prove anything";
}

} // namespace
