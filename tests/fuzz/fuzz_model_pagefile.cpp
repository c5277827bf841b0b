// Page files from arbitrary bytes: parsing, producing the text and rewriting the metadata never fail, never
// touch the body or the line ending, and round-trip.

#include "model/FrontMatterLines.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

#include <cstdlib>
#include <string>
#include <string_view>

using velto::Uuid;
using velto::VeltoPageFileContent;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// A front-matter line of its own that is exactly "---" or "..." closes the block early when read again.
bool hasMarkerLine(const VeltoPageFileContent &content) {
    if (!content.frontMatter) {
        return false;
    }
    for (std::string_view line : velto::text::splitKeepingEmpty(*content.frontMatter, "\n")) {
        if (line == "---" || line == "...") {
            return true;
        }
    }
    return false;
}

/// A body whose first line is "---" opens a front-matter block of its own once the file has none, so a text
/// that loses its (empty) block reads back differently. The format allows this; such texts are left out.
bool bodyOpensABlock(const VeltoPageFileContent &content) {
    return !content.frontMatter && (content.body == "---" || content.body.text().starts_with("---\n"));
}

/// Whether reading the produced text gives the value back. A text without any line break cannot carry its
/// line ending (a "\r\n" file whose only line breaks were in a removed block), and reads as "\n".
bool roundTrips(const VeltoPageFileContent &content) {
    VeltoPageFileContent reread = VeltoPageFileContent::parse(content.fileContents());
    bool hasLineBreak = content.frontMatter || content.body.text().find('\n') != std::string_view::npos;
    return reread.frontMatter == content.frontMatter && reread.body == content.body &&
           (reread.lineEnding == content.lineEnding || !hasLineBreak);
}

/// Whether lines are indented by more than one width of leading spaces (blank lines aside).
bool isNested(const VeltoPageFileContent &content) {
    if (!content.frontMatter) {
        return false;
    }
    std::optional<std::size_t> width;
    for (std::string_view line : velto::text::splitKeepingEmpty(*content.frontMatter, "\n")) {
        std::size_t spaces = line.find_first_not_of(' ');
        if (spaces == 0 || spaces == std::string_view::npos) {
            continue;
        }
        if (width && *width != spaces) {
            return true;
        }
        width = spaces;
    }
    return false;
}

/// A line that is certainly an older flat key. A line is one only when its colon stands alone: "velto-id:"
/// followed by a combining mark has no key at all, so it is the user's text and stays.
bool hasFlatKey(const VeltoPageFileContent &content) {
    if (!content.frontMatter) {
        return false;
    }
    for (std::string_view line : velto::text::splitKeepingEmpty(*content.frontMatter, "\n")) {
        std::optional<std::string_view> key = velto::frontmatter::topLevelKey(line);
        bool flatKey = (line.starts_with("velto-id:") && key == "velto-id") ||
                       (line.starts_with("velto-conflict-of:") && key == "velto-conflict-of");
        if (flatKey) {
            return true;
        }
    }
    return false;
}

/// Any mention of an older flat key, in whatever spelling.
bool mayHaveFlatKey(const VeltoPageFileContent &content) {
    return content.frontMatter && (content.frontMatter->find("velto-id") != std::string::npos ||
                                   content.frontMatter->find("velto-conflict-of") != std::string::npos);
}

bool sameFields(const VeltoPageFileContent &a, const VeltoPageFileContent &b) {
    return a.frontMatter == b.frontMatter && a.body == b.body && a.lineEnding == b.lineEnding;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the metadata to write.
    std::uint8_t choice = data[0];
    std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::optional<Uuid> pageID;
    if (choice & 1) {
        pageID = Uuid::parse("1a2b3c4d-0000-4000-8000-00000000000a");
    }
    bool archived = (choice & 2) != 0;
    std::optional<Uuid> origin;
    if (choice & 4) {
        origin = Uuid::parse("1a2b3c4d-0000-4000-8000-00000000000b");
    }

    VeltoPageFileContent content = VeltoPageFileContent::parse(text);
    require(content.lineEnding == "\n" || content.lineEnding == "\r\n");
    if (!hasMarkerLine(content) && !bodyOpensABlock(content)) {
        require(roundTrips(content));
    }
    (void)content.veltoPageID();
    (void)content.conflictOriginalPageID();
    (void)content.isArchived();

    VeltoPageFileContent rewritten = content;
    rewritten.writeVeltoMetadata(pageID, archived, origin);
    require(rewritten.body == content.body);
    require(rewritten.lineEnding == content.lineEnding);

    // Either the front matter was the user's and stays as it was, or the file now carries exactly the
    // metadata written.
    if (!hasMarkerLine(rewritten) && !bodyOpensABlock(rewritten)) {
        require(roundTrips(rewritten));
    }
    // Removing the shallowest children of a nested block makes its deeper lines direct children, which the
    // next reading and writing see as metadata; the format keeps such lines, so these checks hold for front
    // matters without nesting.
    if (!isNested(content)) {
        // Writing the same metadata again changes nothing.
        VeltoPageFileContent again = rewritten;
        again.writeVeltoMetadata(pageID, archived, origin);
        require(sameFields(again, rewritten));

        // Either the front matter was the user's and stays as it was, or the file now carries exactly the
        // metadata written. (Removing an older flat key can join the lines after it to the "velto" block and
        // turn it into the user's; such files are left out.)
        VeltoPageFileContent reread = VeltoPageFileContent::parse(rewritten.fileContents());
        bool unchanged = rewritten.frontMatter == content.frontMatter;
        bool carriesMetadata = reread.veltoPageID() == pageID && reread.isArchived() == archived &&
                               reread.conflictOriginalPageID() == origin;
        require(unchanged || carriesMetadata || mayHaveFlatKey(content));
    }
    // A save's file text, made in one piece where it can be, is what parsing the joined text and writing the
    // identifier into it gives, and it ends with the body when it says so.
    if (content.fileContentsSize() > 0) {
        const Uuid savedID = *Uuid::parse("1a2b3c4d-0000-4000-8000-00000000000c");
        const velto::WrittenFileText written = content.fileContentsCarryingIdentifier(savedID);
        require(written.text.view() ==
                VeltoPageFileContent::fileTextCarryingIdentifier(content.fileContents(), savedID));
        require(!written.endsWithBody || written.text.view().ends_with(content.body.text()));
    }
    // A rewrite removes the older flat keys.
    require(rewritten.frontMatter == content.frontMatter || !hasFlatKey(rewritten));
    return 0;
}
