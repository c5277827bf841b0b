#include "model/PageFileContent.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace velto;

namespace {

const Uuid pageID = *Uuid::parse("1A2B3C4D-0000-4000-8000-00000000000A");
const Uuid otherID = *Uuid::parse("1a2b3c4d-0000-4000-8000-00000000000b");
const std::string ID = "1a2b3c4d-0000-4000-8000-00000000000a";
const std::string OTHER = "1a2b3c4d-0000-4000-8000-00000000000b";

std::string withIDs(std::string text) {
    for (auto [placeholder, id] : {std::pair{std::string("ID"), ID}, std::pair{std::string("OTHER"), OTHER}}) {
        for (std::size_t at = text.find("<" + placeholder + ">"); at != std::string::npos;
             at = text.find("<" + placeholder + ">")) {
            text.replace(at, placeholder.size() + 2, id);
        }
    }
    return text;
}

VeltoPageFileContent withFrontMatter(std::string frontMatter) {
    return VeltoPageFileContent{withIDs(std::move(frontMatter)), "Body", "\n"};
}

} // namespace

// ---- Parsing and producing the file text ------------------------------------------------------------------

struct ParseCase {
    const char *name;
    std::string text;
    std::optional<std::string> frontMatter;
    std::string body;
    std::string lineEnding;
    bool byteOrderMark = false;
};

class PageFileParsing : public testing::TestWithParam<ParseCase> {};

TEST_P(PageFileParsing, SplitsFrontMatterBodyAndLineEnding) {
    const ParseCase &c = GetParam();
    for (const VeltoPageFileContent &content :
         {VeltoPageFileContent::parse(c.text),
          VeltoPageFileContent::parseKeeping(std::make_shared<const std::string>(c.text))}) {
        EXPECT_EQ(content.frontMatter, c.frontMatter);
        EXPECT_EQ(content.body, c.body);
        EXPECT_EQ(content.lineEnding, c.lineEnding);
        EXPECT_EQ(content.byteOrderMark, c.byteOrderMark);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PageFileParsing,
    testing::Values(ParseCase{"EmptyText", "", std::nullopt, "", "\n"},
                    ParseCase{"PlainMarkdown", "# Title\nText\n", std::nullopt, "# Title\nText\n", "\n"},
                    ParseCase{"OpeningWithoutClosingStaysInBody", "---\nHello\n", std::nullopt, "---\nHello\n", "\n"},
                    ParseCase{"LoneOpeningMarker", "---", std::nullopt, "---", "\n"},
                    ParseCase{"EmptyBlock", "---\n---\nB", "", "B", "\n"},
                    ParseCase{"BlockClosedByDots", "---\na: 1\n...\nB", "a: 1", "B", "\n"},
                    ParseCase{"FirstClosingLineWins", "---\na: 1\n---\nb: 2\n---\nB", "a: 1", "b: 2\n---\nB", "\n"},
                    ParseCase{"ClosingLineLastGivesEmptyBody", "---\na: 1\n---", "a: 1", "", "\n"},
                    ParseCase{"BodyKeepsTrailingLineBreak", "---\na: 1\n---\nB\n", "a: 1", "B\n", "\n"},
                    ParseCase{"MarkersAreNotTrimmed", "---\n --- \n---\nB", " --- ", "B", "\n"},
                    ParseCase{"OpeningMustBeExact", "--- \na: 1\n---\nB", std::nullopt, "--- \na: 1\n---\nB", "\n"},
                    ParseCase{"CRLFIsNormalised", "---\r\na: 1\r\n---\r\nB\r\nC", "a: 1", "B\nC", "\r\n"},
                    ParseCase{"OneCRLFMakesTheFileCRLF", "a\nb\r\nc", std::nullopt, "a\nb\nc", "\r\n"},
                    ParseCase{"LoneCarriageReturnsStay", "a\rb\n", std::nullopt, "a\rb\n", "\n"},
                    ParseCase{"CRLFReplacedInOnePass", "a\r\r\nb", std::nullopt, "a\r\nb", "\r\n"},
                    ParseCase{"ByteOrderMarkBeforeTheBlock", "\xEF\xBB\xBF---\na: 1\n---\nB", "a: 1", "B", "\n", true},
                    ParseCase{"ByteOrderMarkBeforeCRLF", "\xEF\xBB\xBF---\r\na: 1\r\n---\r\nB", "a: 1", "B", "\r\n",
                              true},
                    ParseCase{"ByteOrderMarkWithoutBlock", "\xEF\xBB\xBFHello", std::nullopt, "Hello", "\n", true},
                    ParseCase{"ByteOrderMarkLaterIsText", "a\xEF\xBB\xBF", std::nullopt, "a\xEF\xBB\xBF", "\n"}),
    [](const testing::TestParamInfo<ParseCase> &info) { return std::string(info.param.name); });

struct RoundTripCase {
    const char *name;
    std::string text;
    std::string fileContents;
};

class PageFileText : public testing::TestWithParam<RoundTripCase> {};

TEST_P(PageFileText, IsProducedFromTheParsedValue) {
    const RoundTripCase &c = GetParam();
    const VeltoPageFileContent parsed = VeltoPageFileContent::parse(c.text);
    EXPECT_EQ(parsed.fileContents(), c.fileContents);
    EXPECT_EQ(parsed.fileContentsSize(), c.fileContents.size());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PageFileText,
    testing::Values(RoundTripCase{"UnchangedFile", "---\na: 1\n---\nB\n", "---\na: 1\n---\nB\n"},
                    RoundTripCase{"EmptyBlockGetsOneEmptyLine", "---\n---\nB", "---\n\n---\nB"},
                    RoundTripCase{"DotsClosingIsWrittenAsDashes", "---\na: 1\n...\nB", "---\na: 1\n---\nB"},
                    RoundTripCase{"MixedLineBreaksBecomeCRLF", "a\nb\r\nc", "a\r\nb\r\nc"},
                    RoundTripCase{"LoneCarriageReturnKept", "a\rb", "a\rb"},
                    RoundTripCase{"CRLFFrontMatterAndBody", "---\r\na: 1\r\nb: 2\r\n---\r\nB\r\nC\r\n",
                                  "---\r\na: 1\r\nb: 2\r\n---\r\nB\r\nC\r\n"},
                    RoundTripCase{"CRLFEmptyBlock", "---\r\n---\r\n", "---\r\n\r\n---\r\n"},
                    RoundTripCase{"Empty", "", ""},
                    RoundTripCase{"ByteOrderMarkStaysFirst", "\xEF\xBB\xBF---\r\na: 1\r\n---\r\nB",
                                  "\xEF\xBB\xBF---\r\na: 1\r\n---\r\nB"}),
    [](const testing::TestParamInfo<RoundTripCase> &info) { return std::string(info.param.name); });

// A page read from its file keeps the file's text for its baseline, with its body the end of it; whenever that
// text is offered, it must be exactly the text the page would write, or a save would compare the file with, and
// merge from, a text that was never on disk.
TEST(PageFileContent, KeptFileTextIsOfferedOnlyWhileItIsTheTextToWrite) {
    struct Case {
        const char *name;
        std::string text;
        bool offered;
    };
    const Case cases[] = {
        {"plain Markdown", "# Title\nText\n", true},
        {"front matter", "---\ntitle: t\n---\nBody\n", true},
        {"empty text", "", true},
        {"unclosed block", "---\nunclosed\nbody\n", true},
        {"block closed by dots", "---\na: 1\n...\nB", false},
        {"empty block", "---\n---\nB", false},
        {"CRLF line breaks", "---\r\na: 1\r\n---\r\nB\r\n", false},
    };
    for (const Case &c : cases) {
        VeltoPageFileContent content = VeltoPageFileContent::parseKeeping(std::make_shared<const std::string>(c.text));
        std::shared_ptr<const std::string> kept = content.unchangedFileText();
        EXPECT_EQ(kept != nullptr, c.offered) << c.name;
        if (kept != nullptr) {
            EXPECT_EQ(*kept, content.fileContents()) << c.name;
        }

        VeltoPageFileContent identified = content;
        identified.writeVeltoMetadata(pageID, false, std::nullopt);
        EXPECT_EQ(identified.unchangedFileText(), nullptr) << c.name << ": the front matter changed";

        VeltoPageFileContent typed = content;
        typed.body.edit() += "typed";
        EXPECT_EQ(typed.unchangedFileText(), nullptr) << c.name << ": the body changed";
        if (kept != nullptr) {
            EXPECT_EQ(*kept, c.text) << c.name << ": typing into the body changed the kept text";
        }
    }
}

TEST(PageFileContent, ParsingProducedTextGivesTheSameValue) {
    VeltoPageFileContent content{"title: x\nvelto:\n  id: " + ID, "Line\r\rmore\n", "\r\n"};
    EXPECT_EQ(VeltoPageFileContent::parse(content.fileContents()), content);
}

TEST(PageFileContent, FrontMatterLineOfDashesClosesTheBlockEarlyOnReparse) {
    VeltoPageFileContent content{"a: 1\n---\nb: 2", "B", "\n"};
    VeltoPageFileContent reparsed = VeltoPageFileContent::parse(content.fileContents());
    EXPECT_EQ(reparsed.frontMatter, "a: 1");
    EXPECT_EQ(reparsed.body, "b: 2\n---\nB");
}

TEST(PageFileContent, EqualityIsCanonicalEquivalence) {
    VeltoPageFileContent composed{std::nullopt, "caf\u00e9", "\n"};
    VeltoPageFileContent decomposed{std::nullopt, "cafe\u0301", "\n"};
    EXPECT_EQ(composed, decomposed);
    EXPECT_NE(composed, (VeltoPageFileContent{"", "caf\u00e9", "\n"}));
    EXPECT_NE(composed, (VeltoPageFileContent{std::nullopt, "caf\u00e9", "\r\n"}));
}

// ---- Reading the metadata ---------------------------------------------------------------------------------

struct ReadCase {
    const char *name;
    std::string frontMatter;
    std::optional<Uuid> pageID;
    std::optional<Uuid> conflictOriginalPageID = std::nullopt;
};

class MetadataReading : public testing::TestWithParam<ReadCase> {};

TEST_P(MetadataReading, FindsIdentifierAndConflictOrigin) {
    const ReadCase &c = GetParam();
    VeltoPageFileContent content = withFrontMatter(c.frontMatter);
    EXPECT_EQ(content.veltoPageID(), c.pageID);
    EXPECT_EQ(content.conflictOriginalPageID(), c.conflictOriginalPageID);
}

INSTANTIATE_TEST_SUITE_P(
    FrontMatters, MetadataReading,
    testing::Values(ReadCase{"Mapping", "velto:\n  id: <ID>\n  conflict-of: <OTHER>", pageID, otherID},
                    ReadCase{"UpperCaseIdentifier", "velto:\n  id: 1A2B3C4D-0000-4000-8000-00000000000A", pageID},
                    ReadCase{"SurroundingSpaceTrimmed", "velto:\n  id:   <ID>  ", pageID},
                    ReadCase{"FlatKeysOfOlderFiles", "velto-id: <ID>\nvelto-conflict-of: <OTHER>", pageID, otherID},
                    ReadCase{"MappingWinsOverFlatKey", "velto-id: <OTHER>\nvelto:\n  id: <ID>", pageID},
                    ReadCase{"TwoIdChildrenGiveNothingAndNoFallback", "velto:\n  id: <ID>\n  id: <ID>\nvelto-id: <ID>",
                             std::nullopt},
                    ReadCase{"TwoVeltoLinesStillReadFlatKey", "velto:\n  id: <OTHER>\nvelto:\n  x: 1\nvelto-id: <ID>",
                             pageID},
                    ReadCase{"QuotedKeys", "\"velto\":\n  'id': <ID>\n  \"conflict-of\": <OTHER>", pageID, otherID},
                    ReadCase{"EmptyFlowMapping", "velto: {}", std::nullopt},
                    ReadCase{"CommentAfterKey", "velto: # ours\n  id: <ID>", pageID},
                    ReadCase{"ScalarValueIsIncompatible", "velto: mine\n  id: <ID>", std::nullopt},
                    ReadCase{"FlowMappingWithCommentIsIncompatible", "velto: {} # x\n  id: <ID>", std::nullopt},
                    ReadCase{"ListItemChildIsIncompatible", "velto:\n  - a\n  id: <ID>", std::nullopt},
                    ReadCase{"ChildWithoutColonIsIncompatible", "velto:\n  id: <ID>\n  plain", std::nullopt},
                    ReadCase{"DeeperLinesAreNotChildren", "velto:\n    id: <ID>\n      id: <OTHER>", pageID},
                    ReadCase{"TabIndentedChildIsNotRead", "velto:\n\tid: <ID>", std::nullopt},
                    ReadCase{"BlockEndsAtNextTopLevelKey", "velto:\ntitle: x\n  id: <ID>", std::nullopt},
                    ReadCase{"ListAndTextStayInsideBlock", "velto:\n  id: <ID>\n- item\nplain\n  conflict-of: <OTHER>",
                             pageID, otherID},
                    ReadCase{"QuotedValueDoesNotParse", "velto:\n  id: \"<ID>\"", std::nullopt},
                    ReadCase{"ValueWithCommentDoesNotParse", "velto:\n  id: <ID> # mine", std::nullopt},
                    ReadCase{"IndentedFlatKeyIsNotFlat", "title:\n  velto-id: <ID>", std::nullopt},
                    ReadCase{"AccentedColonIsNoColon", "velto:\n  id:\u0301 <ID>", std::nullopt},
                    ReadCase{"CaseOfKeysMatters", "Velto:\n  id: <ID>", std::nullopt}),
    [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

TEST(PageFileContent, FileWithoutFrontMatterHasNoMetadata) {
    VeltoPageFileContent content = VeltoPageFileContent::parse("velto-id: " + ID + "\nvelto:\n  id: " + ID);
    EXPECT_EQ(content.veltoPageID(), std::nullopt);
    EXPECT_FALSE(content.isArchived());
}

struct ArchiveCase {
    std::string value;
    bool archived;
};

class ArchiveFlag : public testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveFlag, ReadsTrueInAnyCaseWithOptionalComment) {
    VeltoPageFileContent content = withFrontMatter("velto:\n  archived:" + GetParam().value);
    EXPECT_EQ(content.isArchived(), GetParam().archived) << "value: " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ArchiveFlag,
                         testing::Values(ArchiveCase{" true", true}, ArchiveCase{" TRUE", true},
                                         ArchiveCase{"   True   ", true}, ArchiveCase{" TRUE # by hand", true},
                                         ArchiveCase{" true\t# by hand", true}, ArchiveCase{" true#x", false},
                                         ArchiveCase{" #true", false}, ArchiveCase{" yes", false},
                                         ArchiveCase{" 1", false}, ArchiveCase{" \"true\"", false},
                                         ArchiveCase{" false", false}, ArchiveCase{"", false}));

TEST(PageFileContent, TwoArchiveChildrenMeanNotArchived) {
    EXPECT_FALSE(withFrontMatter("velto:\n  archived: true\n  archived: true").isArchived());
}

// ---- Rewriting the metadata -------------------------------------------------------------------------------

struct WriteCase {
    const char *name;
    std::string before;
    std::optional<Uuid> pageID;
    bool archived;
    std::optional<Uuid> conflictOriginalPageID;
    std::string after;
};

class MetadataWriting : public testing::TestWithParam<WriteCase> {};

TEST_P(MetadataWriting, RewritesOnlyTheMetadata) {
    const WriteCase &c = GetParam();
    VeltoPageFileContent content = VeltoPageFileContent::parse(withIDs(c.before));
    content.writeVeltoMetadata(c.pageID, c.archived, c.conflictOriginalPageID);
    EXPECT_EQ(content.fileContents(), withIDs(c.after));
}

TEST_P(MetadataWriting, SecondRewriteChangesNothing) {
    const WriteCase &c = GetParam();
    VeltoPageFileContent content = VeltoPageFileContent::parse(withIDs(c.before));
    content.writeVeltoMetadata(c.pageID, c.archived, c.conflictOriginalPageID);
    VeltoPageFileContent again = VeltoPageFileContent::parse(content.fileContents());
    again.writeVeltoMetadata(c.pageID, c.archived, c.conflictOriginalPageID);
    EXPECT_EQ(again.fileContents(), content.fileContents());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MetadataWriting,
    testing::Values(
        WriteCase{"FlatKeyBecomesMapping", "---\ntitle: Notes\nvelto-id: OLD\n---\nHello", pageID, false, std::nullopt,
                  "---\ntitle: Notes\nvelto:\n  id: <ID>\n---\nHello"},
        WriteCase{"BlockAddedToPlainFile", "Hello", pageID, false, std::nullopt, "---\nvelto:\n  id: <ID>\n---\nHello"},
        WriteCase{"ChildIndentationKept", "---\nvelto:\n    id: OLD\n    keep: 1\n---\nB", pageID, false, std::nullopt,
                  "---\nvelto:\n    id: <ID>\n    keep: 1\n---\nB"},
        WriteCase{"AllValuesInFixedOrder", "B", pageID, true, otherID,
                  "---\nvelto:\n  id: <ID>\n  archived: true\n  conflict-of: <OTHER>\n---\nB"},
        WriteCase{"NewChildrenAheadOfOthers", "---\nvelto:\n  keep: 1\n  archived: true\n---\nB", pageID, false,
                  std::nullopt, "---\nvelto:\n  id: <ID>\n  keep: 1\n---\nB"},
        WriteCase{"ClearingKeepsUserKeys", "---\ntitle: x\nvelto:\n  id: <ID>\n---\nB", std::nullopt, false,
                  std::nullopt, "---\ntitle: x\n---\nB"},
        WriteCase{"ClearingRemovesWholeBlock", "---\nvelto:\n  id: <ID>\n  archived: true\n---\nB", std::nullopt, false,
                  std::nullopt, "B"},
        WriteCase{"ClearingEmptyBlockRemovesIt", "---\n---\nB", std::nullopt, false, std::nullopt, "B"},
        WriteCase{"ClearingKeepsEmptyBlockBeforeBodyDashes", "---\nvelto:\n  archived: true\n---\n---\nmine\n---\nB",
                  std::nullopt, false, std::nullopt, "---\n\n---\n---\nmine\n---\nB"},
        WriteCase{"ClearingLeavesNoBlankBlock", "---\r\n\r\nvelto:\r\n  archived: true\r\n---\r\nB", std::nullopt,
                  false, std::nullopt, "B"},
        WriteCase{"ColonCarryingAMarkIsNoFlatKey", "---\nvelto-id:\u05A3\nvelto-id: <OTHER>\n---\nB", std::nullopt,
                  false, std::nullopt, "---\nvelto-id:\u05A3\n---\nB"},
        WriteCase{"ClearingKeepsComment", "---\nvelto:\n  # mine\n  id: <ID>\n---\nB", std::nullopt, false,
                  std::nullopt, "---\nvelto:\n  # mine\n---\nB"},
        WriteCase{"ClearingKeepsBlankLineOfBlock", "---\nvelto:\n  id: <ID>\n\ntitle: x\n---\nB", std::nullopt, false,
                  std::nullopt, "---\nvelto:\n\ntitle: x\n---\nB"},
        WriteCase{"EmptyFlowMappingOpened", "---\nvelto: {}\ntitle: x\n---\nB", pageID, false, std::nullopt,
                  "---\nvelto:\n  id: <ID>\ntitle: x\n---\nB"},
        WriteCase{"QuotedFlowMappingLosesQuotes", "---\n'velto':  {} \n---\nB", pageID, false, std::nullopt,
                  "---\nvelto:\n  id: <ID>\n---\nB"},
        WriteCase{"QuotedChildrenReplaced", "---\nvelto:\n  \"id\": <OTHER>\n  'archived': true\n---\nB", pageID, false,
                  std::nullopt, "---\nvelto:\n  id: <ID>\n---\nB"},
        WriteCase{"DeeperLinesUnderRemovedChildStay", "---\nvelto:\n  id: <OTHER>\n    note: x\n---\nB", pageID, false,
                  std::nullopt, "---\nvelto:\n  id: <ID>\n    note: x\n---\nB"},
        WriteCase{"IndentedFlatKeyStays", "---\ntitle:\n  velto-id: <OTHER>\n---\nB", pageID, false, std::nullopt,
                  "---\ntitle:\n  velto-id: <OTHER>\nvelto:\n  id: <ID>\n---\nB"},
        WriteCase{"FlatKeysRemovedAroundMapping",
                  "---\nvelto-id: <OTHER>\nvelto:\n  id: <OTHER>\nvelto-conflict-of: X\n---\nB", pageID, false,
                  std::nullopt, "---\nvelto:\n  id: <ID>\n---\nB"},
        WriteCase{"TabIndentedChildNeitherReadNorRemoved", "---\nvelto:\n\tid: <OTHER>\n---\nB", pageID, false,
                  std::nullopt, "---\nvelto:\n  id: <ID>\n\tid: <OTHER>\n---\nB"},
        WriteCase{"CRLFFileGetsCRLFMetadata", "---\r\ntitle: x\r\n---\r\nB\r\n", pageID, false, std::nullopt,
                  "---\r\ntitle: x\r\nvelto:\r\n  id: <ID>\r\n---\r\nB\r\n"},
        WriteCase{"LoneCarriageReturnKept", "a\rb", pageID, false, std::nullopt, "---\nvelto:\n  id: <ID>\n---\na\rb"},
        WriteCase{"DotsClosingWrittenAsDashes", "---\nvelto:\n  id: <OTHER>\n...\nB", pageID, false, std::nullopt,
                  "---\nvelto:\n  id: <ID>\n---\nB"}),
    [](const testing::TestParamInfo<WriteCase> &info) { return std::string(info.param.name); });

struct UntouchedCase {
    const char *name;
    std::string frontMatter;
};

class UsersOwnVeltoKey : public testing::TestWithParam<UntouchedCase> {};

TEST_P(UsersOwnVeltoKey, IsNeverRewritten) {
    VeltoPageFileContent content = withFrontMatter(GetParam().frontMatter);
    VeltoPageFileContent before = content;
    content.writeVeltoMetadata(pageID, true, otherID);
    EXPECT_EQ(content.frontMatter, before.frontMatter);
    EXPECT_FALSE(content.isArchived());
}

INSTANTIATE_TEST_SUITE_P(FrontMatters, UsersOwnVeltoKey,
                         testing::Values(UntouchedCase{"ScalarValue", "velto: mine\nvelto-id: <OTHER>"},
                                         UntouchedCase{"ListValue", "velto: [a, b]"},
                                         UntouchedCase{"ListItemChild", "velto:\n  - a\n  - b"},
                                         UntouchedCase{"ChildWithoutColon", "velto:\n  plain"},
                                         UntouchedCase{"TwoVeltoKeys", "velto:\n  id: <OTHER>\n'velto':\n  x: 1"}),
                         [](const testing::TestParamInfo<UntouchedCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(PageFileContent, RewriteNeverTouchesBodyOrLineEnding) {
    VeltoPageFileContent content = VeltoPageFileContent::parse("---\r\nvelto-id: x\r\n---\r\n---\r\nbody\r\n");
    VeltoPageFileContent before = content;
    content.writeVeltoMetadata(pageID, true, std::nullopt);
    EXPECT_EQ(content.body, before.body);
    EXPECT_EQ(content.lineEnding, before.lineEnding);
}

TEST(PageFileContent, WrittenMetadataReadsBack) {
    VeltoPageFileContent content = VeltoPageFileContent::parse("---\ntitle: x\n---\nB");
    content.writeVeltoMetadata(pageID, true, otherID);
    VeltoPageFileContent reread = VeltoPageFileContent::parse(content.fileContents());
    EXPECT_EQ(reread.veltoPageID(), pageID);
    EXPECT_TRUE(reread.isArchived());
    EXPECT_EQ(reread.conflictOriginalPageID(), otherID);

    reread.writeVeltoMetadata(pageID, false, reread.conflictOriginalPageID());
    EXPECT_FALSE(reread.isArchived());
    EXPECT_EQ(reread.conflictOriginalPageID(), otherID);
}

// The in-place rewrite a save uses must write exactly what parsing, rewriting the metadata and producing the
// text write, whatever the front matter holds.
TEST(PageFileContent, FileTextCarryingIdentifierEqualsParsingRewritingAndWriting) {
    for (const std::string &text : std::vector<std::string>{
             "", "Body only\n", "---\ntitle: t\n---\nBody\n", withIDs("---\nvelto:\n  id: <OTHER>\n---\nBody"),
             withIDs("---\nvelto:\n  archived: true\n  conflict-of: <OTHER>\n---\nB\n"), "---\nvelto-id: x\n---\nB",
             "---\nvelto: 3\nvelto: 4\n---\nB", "---\n---\nB", "---\na: 1\n...\nB", "---\nunclosed\nbody\n",
             "---\na: 1\n---\nb: 2\n---\nB", "---\r\ntitle: t\r\n---\r\nB\r\n", "a\nb\r\nc", "a\rb\n",
             "---\ntitle: Caf\xc3\xa9\n---\n\xe2\x80\xa8 body\n",
             "\xEF\xBB\xBF"
             "Body only\n",
             withIDs("\xEF\xBB\xBF---\nvelto:\n  id: <OTHER>\n---\nBody")}) {
        VeltoPageFileContent parsed = VeltoPageFileContent::parse(text);
        parsed.writeVeltoMetadata(pageID, parsed.isArchived(), parsed.conflictOriginalPageID());
        EXPECT_EQ(VeltoPageFileContent::fileTextCarryingIdentifier(text, pageID), parsed.fileContents()) << text;
    }
}

// A byte-order mark belongs to the file, not to its text: the front matter after it is read, the page keeps its
// identifier, and the file is written back with the mark first, never behind Velto's own front matter. A page read
// so offers its file text to its baseline: the mark is part of what was read and of what is written.
TEST(PageFileContent, ByteOrderMarkStaysFirstAndTheFrontMatterAfterItIsRead) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string carrying = withIDs(mark + "---\nvelto:\n  id: <ID>\n---\nBody\n");
    const VeltoPageFileContent read = VeltoPageFileContent::parse(carrying);
    EXPECT_EQ(read.veltoPageID(), pageID);
    EXPECT_EQ(VeltoPageFileContent::fileTextCarryingIdentifier(carrying, pageID), carrying);
    EXPECT_EQ(std::string(read.fileContentsCarryingIdentifier(pageID).text.view()), carrying);
    const auto kept = VeltoPageFileContent::parseKeeping(std::make_shared<const std::string>(carrying));
    ASSERT_NE(kept.unchangedFileText(), nullptr);
    EXPECT_EQ(*kept.unchangedFileText(), carrying);

    EXPECT_EQ(VeltoPageFileContent::fileTextCarryingIdentifier(mark + "Body\n", pageID), carrying);
    EXPECT_EQ(
        std::string(VeltoPageFileContent::parse(mark + "Body\n").fileContentsCarryingIdentifier(pageID).text.view()),
        carrying);
}

// A save makes the file text from the held content in one piece when it reads back as held; it must write
// exactly what rewriting the joined text writes, and claim the text ends with the body only when it does: the
// body's checksum is taken from the text's end on that word. Contents as an editor may hold them, not only as
// parsing makes them: a body that opens a block, a front matter with a closing line in it, stray "\r\n".
TEST(PageFileContent, FileTextMadeFromTheHeldContentEqualsRewritingTheJoinedText) {
    struct Row {
        const char *name;
        std::optional<std::string> frontMatter;
        std::string body;
        std::string lineEnding;
        bool endsWithBody;
    };
    const Row rows[] = {
        {"no front matter", std::nullopt, "Body\n", "\n", true},
        {"a front matter", "title: t", "Body", "\n", true},
        {"an empty front matter", "", "B\n", "\n", true},
        {"an empty body", "title: t", "", "\n", true},
        {"another page's identifier", withIDs("velto:\n  id: <OTHER>"), "B", "\n", true},
        {"archived, a conflict copy", withIDs("velto:\n  archived: true\n  conflict-of: <OTHER>"), "B", "\n", true},
        {"a body starting with a lone marker", std::nullopt, "---", "\n", true},
        {"a body opening an unclosed block", std::nullopt, "---\nunclosed\n", "\n", true},
        {"a body opening a block", std::nullopt, "---\nx: 1\n---\nB", "\n", false},
        {"a closing line inside the front matter", "a: 1\n---\nb: 2", "B", "\n", false},
        {"a closing dots line inside the front matter", "a: 1\n...", "B", "\n", false},
        {"a front matter ending in a carriage return", "t: a\r", "B", "\n", false},
        {"a carriage return and line feed in the body", std::nullopt, "a\r\nb", "\n", false},
        {"a lone carriage return in the body", "t: 1", "a\rb\n", "\n", true},
        {"carriage return line endings", "title: t", "a\nb\n", "\r\n", false},
        // A long body is looked through for "\r\n" in spans of 64 KiB as it is copied.
        {"a long body", "title: t", std::string(200'000, 'a') + "\n", "\n", true},
        {"a long body with \"\r\n\" where two spans meet", std::nullopt,
         std::string(65'535, 'a') + "\r\n" + std::string(100, 'b'), "\n", false},
        {"a long body with a carriage return ending a span", std::nullopt,
         std::string(65'535, 'a') + "\r" + std::string(100, 'b'), "\n", true},
        {"a long body with \"\r\n\" at its very end", "t: 1", std::string(200'000, 'a') + "\r\n", "\n", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const VeltoPageFileContent held{row.frontMatter, row.body, row.lineEnding};
        WrittenFileText written = held.fileContentsCarryingIdentifier(pageID);
        EXPECT_EQ(written.text.view(), VeltoPageFileContent::fileTextCarryingIdentifier(held.fileContents(), pageID));
        EXPECT_EQ(written.endsWithBody, row.endsWithBody);
        if (written.endsWithBody) {
            EXPECT_TRUE(written.text.view().ends_with(row.body));
        }
    }
}
