#include "model/ContentChecksum.h"

#include <gtest/gtest.h>

#include <string>

using namespace velto;

// Checksums resumed from the checkpoints of the text last written equal those of the whole new text, for
// edits at the start, at checkpoint boundaries, in the middle and at the end, of every length from nothing to
// more than a checkpoint's spacing; and a body that starts elsewhere starts the body's chain elsewhere.
TEST(ContentChecksumResuming, EqualsTheWholeTextsChecksumsForEditsAnywhereOfAnyLength) {
    constexpr std::size_t spacing = ContentChecksumCheckpoints::spacing;
    const std::string frontMatter = "---\nvelto-id: 0001\n---\n";
    std::string written = frontMatter;
    for (std::size_t index = 0; written.size() < 4 * spacing + 1234; ++index) {
        written.push_back(static_cast<char>('a' + (index * 7 + index / 13) % 26)); // no span repeats another
    }
    struct Edit {
        const char *name;
        std::size_t at;
        std::size_t removed;
    };
    const Edit edits[] = {
        {"in the front matter", 5, 0},           {"at the start of the body", frontMatter.size(), 1},
        {"before a checkpoint", spacing - 1, 1}, {"on a checkpoint", spacing, 2},
        {"in the middle", 2 * spacing + 17, 5},  {"over a checkpoint", 3 * spacing - 40, spacing},
        {"at the end", written.size(), 0},
    };
    ContentChecksumCheckpoints checkpoints;
    contentChecksumsResuming(written, std::string_view(written).substr(frontMatter.size()), {}, nullptr, checkpoints);
    for (const Edit &edit : edits) {
        for (std::size_t inserted : {0UL, 1UL, 3UL, spacing - 1, spacing, spacing + 1}) {
            SCOPED_TRACE(std::string(edit.name) + ", inserting " + std::to_string(inserted));
            std::string edited = written;
            edited.replace(edit.at, edit.removed, std::string(inserted, '#'));
            const std::size_t bodyStart = frontMatter.size() + (edit.at < frontMatter.size() ? inserted : 0);
            std::string_view body = std::string_view(edited).substr(bodyStart);

            ContentChecksumCheckpoints made;
            ContentChecksumPair resumed = contentChecksumsResuming(edited, body, written, &checkpoints, made);
            ContentChecksumPair whole = contentChecksums(edited, body);
            EXPECT_EQ(resumed.first, whole.first);
            EXPECT_EQ(resumed.second, whole.second);
        }
    }
    // The same bytes, with the body starting further on: the body's chain starts elsewhere.
    std::string_view laterBody = std::string_view(written).substr(2 * spacing);
    ContentChecksumCheckpoints made;
    EXPECT_EQ(contentChecksumsResuming(written, laterBody, written, &checkpoints, made).second,
              contentChecksums(written, laterBody).second);
}

// A caller that made the text by appending the body need not have the two compared: the checksums and the
// checkpoints are those of the compared text, and a body longer than the text is still no ending of it.
TEST(ContentChecksumResuming, ATextMadeToEndWithTheBodyGivesTheComparedResults) {
    constexpr std::size_t spacing = ContentChecksumCheckpoints::spacing;
    const std::string frontMatter = "---\nvelto-id: 0001\n---\n";
    const std::string written = frontMatter + std::string(2 * spacing + 99, 'w');
    const std::string edited = frontMatter + std::string(spacing + 5, 'w') + "edit" + std::string(spacing, 'w');
    ContentChecksumCheckpoints previous;
    contentChecksumsResuming(written, std::string_view(written).substr(frontMatter.size()), {}, nullptr, previous);
    const std::string_view body = std::string_view(edited).substr(frontMatter.size());

    ContentChecksumCheckpoints compared;
    ContentChecksumCheckpoints madeSo;
    ContentChecksumPair whenCompared = contentChecksumsResuming(edited, body, written, &previous, compared);
    ContentChecksumPair whenMadeSo =
        contentChecksumsResuming(edited, body, written, &previous, madeSo, TextEnding::madeSo);
    EXPECT_EQ(whenMadeSo.first, whenCompared.first);
    EXPECT_EQ(whenMadeSo.second, whenCompared.second);
    EXPECT_EQ(madeSo.textStates, compared.textStates);
    EXPECT_EQ(madeSo.endingStates, compared.endingStates);
    EXPECT_EQ(madeSo.endingStart, frontMatter.size());

    const std::string longerBody = "x" + edited;
    ContentChecksumCheckpoints none;
    ContentChecksumPair tooLong =
        contentChecksumsResuming(edited, longerBody, written, &previous, none, TextEnding::madeSo);
    EXPECT_EQ(tooLong.second, contentChecksum(longerBody));
    EXPECT_TRUE(none.textStates.empty());
}
