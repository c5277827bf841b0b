#pragma once

#include "model/CopyOnWriteText.h"
#include "model/FileTextBuffer.h"
#include "platform/Uuid.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// A file text made for writing, and whether it ends with the held body byte for byte: a caller that made it
/// so need not compare megabytes to learn it. The text starts a disk block, so a page of megabytes is written
/// from where it lies.
struct WrittenFileText {
    FileTextBuffer text;
    bool endsWithBody = false;
};

/// One page file: an optional front-matter block, the Markdown body and the file's line ending.
///
/// The program's own metadata lives under one top-level key "velto" in the front matter:
///
///     ---
///     title: Notes
///     velto:
///       id: 1a2b3c4d-0000-4000-8000-000000000001
///       archived: true
///     ---
///     Hello
///
/// Everything else in the file belongs to the user and is written back byte for byte. The front matter is
/// read as lines with a small YAML-like notion of keys and indentation, never by a YAML parser, so a
/// front matter the program does not understand is left exactly as it is.
///
/// Inside the value every line break is "\n"; `lineEnding` is applied again when the text is produced.
struct VeltoPageFileContent {
    /// The lines between the opening and the closing "---" joined with "\n"; absent without a block.
    std::optional<std::string> frontMatter;
    /// Everything after the closing marker line, line breaks normalised to "\n". Copies of the content share
    /// it until one of them changes it: a page of megabytes is not copied into every save request.
    CopyOnWriteText body;
    /// "\r\n" when the file contained "\r\n" anywhere, else "\n".
    std::string lineEnding = "\n";
    /// Whether the file starts with the UTF-8 byte-order mark, as some editors save it. The mark belongs to the
    /// file, not to its text: the front matter is read after it, and the file is written with it first.
    bool byteOrderMark = false;

    /// Splits a file's text into byte-order mark, front matter, body and line ending. Never fails.
    static VeltoPageFileContent parse(std::string_view text);
    /// parse(*text) of a text the content may keep: a text without "\r\n" keeps its body where it lies, as the
    /// end of the text, and the text stays whole for the page's baseline (unchangedFileText()), so a page just
    /// read lies in memory once instead of twice.
    static VeltoPageFileContent parseKeeping(std::shared_ptr<const std::string> text);

    /// The file text: the front-matter block (always closed by "---") and the body, with `lineEnding`. Room for
    /// `spareBytes` more is reserved with it, for a caller that adds to the text without copying it again.
    std::string fileContents(std::size_t spareBytes = 0) const;
    /// fileContents().size(), counted without making the text.
    std::size_t fileContentsSize() const;
    /// The whole text the body is the end of, when it is exactly fileContents(): the file's text as read, while
    /// neither the body nor the front matter changed. nullptr otherwise.
    std::shared_ptr<const std::string> unchangedFileText() const;

    /// The page identifier stored in the file ("velto" → "id", else the older flat "velto-id").
    std::optional<Uuid> veltoPageID() const;
    /// The page this one is a conflict copy of ("velto" → "conflict-of", else the flat "velto-conflict-of").
    std::optional<Uuid> conflictOriginalPageID() const;
    /// Whether "velto" → "archived" reads as true.
    bool isArchived() const;

    /// Rewrites the metadata so that the file carries exactly the given values: an absent identifier, a false
    /// flag or an absent origin removes its line. Touches `frontMatter` only. A front matter with two "velto"
    /// keys or a "velto" value that is not a mapping is the user's and stays unchanged.
    void writeVeltoMetadata(std::optional<Uuid> pageID, bool archived, std::optional<Uuid> conflictOriginalPageID);

    /// What a reader of the file text would write back carrying `pageID`: parse(text), then
    /// writeVeltoMetadata(pageID, its archive flag, its conflict origin), then fileContents(). A text with
    /// "\n" line breaks (most pages) is rewritten in place, only its front matter, so a page of megabytes is
    /// not copied again for each of those steps.
    static std::string fileTextCarryingIdentifier(std::string text, const Uuid &pageID);
    /// fileTextCarryingIdentifier(fileContents(), pageID). When the file text reads back as held (no "\r\n",
    /// a block that closes where it is written, a body that opens none), that is the block carrying the
    /// identifier followed by the body: made so, the body is copied once and never moved within the text.
    WrittenFileText fileContentsCarryingIdentifier(const Uuid &pageID) const;

    /// Texts compare by canonical equivalence, as texts do everywhere in the page model.
    friend bool operator==(const VeltoPageFileContent &a, const VeltoPageFileContent &b);
};

} // namespace velto
