#include "model/LibraryErrors.h"

#include <gtest/gtest.h>

using namespace velto;

TEST(LibraryErrors, MissingPageFileNamesTheFileInTypographicQuotes) {
    auto error = PageFileError::missing("/Users/me/Pages/2026-01-05-calm-cove-1a2b3c4d.md");
    EXPECT_EQ(error.kind(), PageFileError::Kind::missing);
    EXPECT_STREQ(error.what(), "The page file \u201c2026-01-05-calm-cove-1a2b3c4d.md\u201d is unavailable. "
                               "It may not have finished syncing.");
}

TEST(LibraryErrors, TemporarilyUnavailablePageFileSaysItIsMissingForTheMoment) {
    auto error = PageFileError::temporarilyUnavailable("/p/notes/a.md");
    EXPECT_EQ(error.errorDescription(),
              "The page file \u201c"
              "a.md\u201d is missing. Velto looks for it again in a moment, in case another program is replacing it.");
}

TEST(LibraryErrors, UnreadablePageFileAppendsTheReadErrorDirectly) {
    auto error = PageFileError::unreadable("/p/a.md", "Permission denied");
    EXPECT_EQ(error.errorDescription(), "The page file \u201c"
                                        "a.md\u201d could not be read. Permission denied");
    EXPECT_EQ(error.underlyingDescription(), "Permission denied");
}

TEST(LibraryErrors, UnreadableWithEmptyDescriptionKeepsTheFinalSpace) {
    auto error = PageFileError::unreadable("/p/a.md", "");
    EXPECT_EQ(error.errorDescription(), "The page file \u201c"
                                        "a.md\u201d could not be read. ");
}

TEST(LibraryErrors, PageFileErrorOfAFolderPathWithTrailingSlashStillNamesIt) {
    auto error = PageFileError::missing("/p/folder.md/");
    EXPECT_EQ(error.errorDescription(), "The page file \u201c"
                                        "folder.md\u201d is unavailable. It may not have finished syncing.");
}

TEST(LibraryErrors, MetadataErrorsHaveTheirSentences) {
    struct Case {
        LibraryMetadataError::Kind kind;
        const char *text;
    };
    const Case cases[] = {
        {LibraryMetadataError::Kind::unsafeDeletionPath,
         "The Velto manifest contains an invalid pending-deletion filename."},
        {LibraryMetadataError::Kind::unsafePagePath,
         "Velto metadata contains a page path outside the selected Pages folder."},
        {LibraryMetadataError::Kind::missingPageRecords, "The Velto library contains no recoverable page records."},
        {LibraryMetadataError::Kind::invalidDeletionShard,
         "Velto deletion metadata contains a record in the wrong shard."},
        {LibraryMetadataError::Kind::incompleteDeletionIndex,
         "Velto could not verify the complete deletion index after saving it."},
    };
    for (const Case &c : cases) {
        LibraryMetadataError error(c.kind);
        EXPECT_STREQ(error.what(), c.text);
        EXPECT_EQ(error.kind(), c.kind);
    }
}

TEST(LibraryErrors, ManifestReadErrorAppendsTheUnderlyingDescription) {
    ManifestReadError error("The file is locked.");
    EXPECT_STREQ(error.what(), "The Velto manifest could not be read. The file is locked.");
}

TEST(LibraryErrors, UnsupportedSchemasNameTheVersionInDecimal) {
    EXPECT_STREQ(UnsupportedManifestSchemaError(7).what(),
                 "This Velto library uses newer metadata version 7. Update Velto before opening it.");
    EXPECT_STREQ(UnsupportedDeletionIndexSchemaError(12).what(),
                 "This Velto library uses newer deletion metadata version 12. Update Velto before opening it.");
}

TEST(LibraryErrors, ErrorsAreComparedByTheirValues) {
    EXPECT_EQ(PageFileError::missing("/a.md"), PageFileError::missing("/a.md"));
    EXPECT_FALSE(PageFileError::missing("/a.md") == PageFileError::temporarilyUnavailable("/a.md"));
    EXPECT_FALSE(UnsupportedManifestSchemaError(4) == UnsupportedManifestSchemaError(5));
}
