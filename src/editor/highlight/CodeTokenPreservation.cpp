#include "editor/highlight/CodeTokenPreservation.h"

#include "editor/markdown/MarkdownStyler.h"

#include <algorithm>
#include <string>

namespace velto::editor::MarkdownStyler {

std::vector<PreservedCodeToken> preservedCodeTokens(const TextStorage &storage, TextRange range) {
    std::vector<PreservedCodeToken> tokens;
    // Only the stretches that carry a token kind are read run by run: a page's runs are many, its
    // highlighted tokens usually few.
    std::vector<TextRange> highlighted;
    storage.enumerateAttribute(AttributeKey::veltoCodeSyntaxToken, range,
                               [&highlighted](const AttributeValue *value, TextRange stretch) {
                                   if (value != nullptr) {
                                       highlighted.push_back(stretch);
                                   }
                               });
    std::vector<AttributeRun> runs;
    for (const TextRange stretch : highlighted) {
        for (AttributeRun &run : storage.attributeRuns(stretch)) {
            runs.push_back(std::move(run));
        }
    }
    for (const AttributeRun &run : runs) {
        const auto *raw = attributeValueAs<std::string>(run.attributes.find(AttributeKey::veltoCodeSyntaxToken));
        const std::optional<SyntaxTokenKind> kind = raw ? syntaxTokenKind(*raw) : std::nullopt;
        if (!kind) {
            continue;
        }
        PreservedCodeToken token{run.range, *kind, std::nullopt, std::nullopt};
        if (const auto *generation =
                attributeValueAs<std::uint64_t>(run.attributes.find(AttributeKey::veltoCodeSyntaxGeneration))) {
            token.generation = *generation;
        }
        if (const auto *color = attributeValueAs<Color>(run.attributes.find(AttributeKey::foregroundColor))) {
            token.foregroundColor = *color;
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

namespace {

/// Whether highlighting colours the block: it is styled as code (its opening line ends with a line
/// break) and names a language. No highlighting ever comes to replace colours put back anywhere else,
/// so a block that lost its language, or a bare block that swallowed a highlighted one, would keep
/// colours that a fresh load never shows.
bool takesCodeTokens(const FencedCodeBlock &block, const TextStorage &storage) {
    return isStyledAsCode(block, storage) && !fencedLanguage(block.opening.infoString).empty();
}

} // namespace

void restoreCodeTokens(const std::vector<PreservedCodeToken> &tokens, const DocumentStructure &structure,
                       TextStorage &storage) {
    if (tokens.empty()) {
        return;
    }
    std::vector<const FencedCodeBlock *> coloured;
    for (const FencedCodeBlock &block : structure.fencedBlocks) {
        if (takesCodeTokens(block, storage)) {
            coloured.push_back(&block);
        }
    }
    for (const PreservedCodeToken &token : tokens) {
        // Blocks come in text order: only those from the first that ends after the token's start can
        // meet it, so a page's many tokens are not each compared with its many blocks.
        const auto first =
            std::partition_point(coloured.begin(), coloured.end(), [&token](const FencedCodeBlock *block) {
                return block->contentRange.end() <= token.range.location;
            });
        for (auto next = first; next != coloured.end() && (*next)->contentRange.location < token.range.end(); ++next) {
            const FencedCodeBlock *block = *next;
            const TextRange part = intersection(token.range, block->contentRange);
            if (part.length == 0 || part.end() > storage.length()) {
                continue;
            }
            std::vector<AttributeEntry> entries;
            if (token.foregroundColor) {
                entries.push_back({AttributeKey::foregroundColor, *token.foregroundColor});
            }
            entries.push_back({AttributeKey::veltoCodeSyntaxToken, std::string(rawValue(token.kind))});
            if (token.generation) {
                entries.push_back({AttributeKey::veltoCodeSyntaxGeneration, *token.generation});
            }
            storage.addAttributes(Attributes::fromEntries(std::move(entries)), part);
        }
    }
}

} // namespace velto::editor::MarkdownStyler
