// Reading the manifest with its failures told apart, and the path checks of records and documents.

#include "library/folder/IOObservation.h"
#include "library/folder/PageFileNaming.h"
#include "library/metadata/ManifestReading.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "model/LibraryErrors.h"
#include "platform/JsonCoding.h"
#include "support/RecordingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace VeltoPageLibrary;
using velto::LibraryMetadataError;
using velto::VeltoLibraryManifest;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

class ManifestReading : public testing::Test {
protected:
    int manifestReadsOf(const std::function<void()> &operation) {
        auto observer = std::make_shared<VeltoLibraryIOObserver>();
        VeltoLibraryIOObservation::Binding binding(observer);
        operation();
        return observer->snapshot().manifestReads;
    }

    TemporaryFolder temporary;
};

TEST_F(ManifestReading, AbsentManifestIsNoneAndCountsNoRead) {
    EXPECT_EQ(manifestReadsOf([&] { EXPECT_FALSE(loadManifestIfPresent(temporary.path())); }), 0);
    temporary.createFolder(".velto");
    EXPECT_FALSE(loadManifestIfPresent(temporary.path()));
}

TEST_F(ManifestReading, ManifestReadsBackAndCountsOneRead) {
    auto manifest = manifestOf({record(pageA, "a.md")});
    temporary.writeFile(".velto/manifest.json", manifest.encode());
    EXPECT_EQ(manifestReadsOf([&] { EXPECT_EQ(loadManifestIfPresent(temporary.path()), manifest); }), 1);
}

TEST_F(ManifestReading, EmptyManifestIsADecodingErrorNotAReadError) {
    temporary.writeFile(".velto/manifest.json", "");
    EXPECT_THROW(loadManifestIfPresent(temporary.path()), velto::JsonDecodingError);
}

TEST_F(ManifestReading, ManifestThatCannotBeReadIsAReadErrorCountedAsARead) {
    temporary.createFolder(".velto/manifest.json");
    int reads = manifestReadsOf([&] {
        try {
            loadManifestIfPresent(temporary.path());
            ADD_FAILURE() << "a directory read as a manifest";
        } catch (const velto::ManifestReadError &error) {
            EXPECT_EQ(std::string(error.what()), "The Velto manifest could not be read. Is a directory");
        }
    });
    EXPECT_EQ(reads, 1);
}

TEST_F(ManifestReading, NewerSchemaIsRefused) {
    temporary.writeFile(".velto/manifest.json", "{\"schemaVersion\": 7}");
    EXPECT_THROW(loadManifestIfPresent(temporary.path()), velto::UnsupportedManifestSchemaError);
}

TEST_F(ManifestReading, RepeatedIdentifierIsReportedBeforeAnyPath) {
    auto manifest = manifestOf({record(pageA, "a.md"), record(pageB, "../outside.md"), record(pageA, "again.md")});
    try {
        validatePageRecords(manifest, temporary.path());
        ADD_FAILURE() << "repeated identifier accepted";
    } catch (const velto::VeltoDocument::ValidationError &error) {
        EXPECT_EQ(error.pageID(), pageA);
        EXPECT_EQ(std::string(error.what()),
                  "The Velto document contains more than one page with ID " + pageA.uppercaseText() + ".");
    }
}

TEST_F(ManifestReading, PathsOutsideTheFolderAreRefused) {
    for (const auto &path : {"../outside.md", ".velto/page.md", "/absolute.md", "notes.txt"}) {
        SCOPED_TRACE(path);
        auto manifest = manifestOf({record(pageA, "a.md"), record(pageB, path)});
        expectMetadataError([&] { validatePageRecords(manifest, temporary.path()); },
                            LibraryMetadataError::Kind::unsafePagePath);
    }
}

// A file the user linked out of the folder is no damage to the metadata: the name is told apart, and only the
// page behind it is left aside by its loading.
TEST_F(ManifestReading, DerivedNamesPassAndAFileLinkedOutsideIsToldApart) {
    auto derived = record(pageA);
    auto manifest = manifestOf({derived});
    EXPECT_NO_THROW(validatePageRecords(manifest, temporary.path()));

    TemporaryFolder outside;
    outside.writeFile("elsewhere.md", "Outside\n");
    fs::create_symlink(outside / "elsewhere.md", temporary / pageFileName(derived));
    EXPECT_NO_THROW(validatePageRecords(manifest, temporary.path()));
    EXPECT_EQ(validatePageFileNames({pageFileName(derived)}, temporary.path()),
              std::set<std::string>{pageFileName(derived)});
}

TEST_F(ManifestReading, SubfolderLinkedOutsideIsToldApartAndInsideAccepted) {
    TemporaryFolder outside;
    fs::create_directory_symlink(outside.path(), temporary / "away");
    temporary.createFolder("real");
    fs::create_directory_symlink(temporary / "real", temporary / "alias");

    EXPECT_NO_THROW(validatePageRecords(manifestOf({record(pageA, "away/page.md")}), temporary.path()));
    EXPECT_EQ(validatePageFileNames({"away/page.md", "alias/page.md"}, temporary.path()),
              std::set<std::string>{"away/page.md"});
}

// A save checks every page name of a large library: the names of plain files directly in the folder are
// settled by one listing of it, and every other kind of entry must still be told apart as behind a link or
// accepted exactly as when its name is checked alone.
TEST_F(ManifestReading, ManyNamesAreCheckedAsEachAloneWithoutALookAtEveryPlainFile) {
    TemporaryFolder outside;
    outside.writeFile("elsewhere.md", "Outside\n");
    struct Case {
        const char *name;
        std::function<void(const TemporaryFolder &)> place;
        bool refused;
    };
    const std::string composedName = "Caf\u00e9.md";
    const std::string decomposedName = "Cafe\u0301.md";
    const std::vector<Case> cases = {
        {"plain.md", [](const TemporaryFolder &folder) { folder.writeFile("plain.md", "Plain\n"); }, false},
        {"folder.md", [](const TemporaryFolder &folder) { folder.createFolder("folder.md"); }, false},
        {"absent.md", [](const TemporaryFolder &) {}, false},
        {"inner-link.md",
         [](const TemporaryFolder &folder) {
             folder.writeFile("inside.md", "Inside\n");
             fs::create_symlink(folder / "inside.md", folder / "inner-link.md");
         },
         false},
        {"outer-link.md",
         [&](const TemporaryFolder &folder) { fs::create_symlink(outside / "elsewhere.md", folder / "outer-link.md"); },
         true},
        {"dangling-outer-link.md",
         [&](const TemporaryFolder &folder) {
             fs::create_symlink(outside / "later.md", folder / "dangling-outer-link.md");
         },
         true},
        {composedName.c_str(),
         [&](const TemporaryFolder &folder) { fs::create_symlink(outside / "elsewhere.md", folder / decomposedName); },
         true},
        {composedName.c_str(), [&](const TemporaryFolder &folder) { folder.writeFile(decomposedName, "Caf\n"); },
         false},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        TemporaryFolder folder;
        std::set<std::string> names{testCase.name};
        for (int index = 0; index < 40; ++index) {
            auto filler = "note-" + std::to_string(index) + ".md";
            folder.writeFile(filler, "Note\n");
            names.insert(filler);
        }
        testCase.place(folder);
        velto::testing::RecordingFileSystem recording;
        bool refused = validatePageFileNames(names, folder.path(), recording).contains(testCase.name);
        EXPECT_EQ(refused, testCase.refused);
        bool refusedAlone = validatePageFileNames({testCase.name}, folder.path()).contains(testCase.name);
        EXPECT_EQ(refusedAlone, testCase.refused) << "the name checked alone";
        for (const auto &looked : recording.paths(velto::FileOperation::stat)) {
            EXPECT_FALSE(looked.filename().string().starts_with("note-")) << looked;
        }
    }
}

TEST_F(ManifestReading, DocumentPathsAreCheckedLikeRecordPaths) {
    velto::VeltoDocument document;
    document.currentPage.id = pageA;
    document.currentPage.createdAt = at(1'767'605'400);
    velto::VeltoPage other;
    other.id = pageB;
    other.createdAt = at(1'767'605'400);
    document.pages.push_back(other);
    EXPECT_NO_THROW(validatePagePaths(document, temporary.path()));

    document.pages[0].relativeFilePath = "../escape.md";
    EXPECT_THROW(validatePagePaths(document, temporary.path()), LibraryMetadataError);
}

} // namespace
