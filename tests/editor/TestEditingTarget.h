#pragma once

#include "editor/AttributeDump.h"
#include "editor/editing/EditingTarget.h"
#include "editor/markdown/MarkdownStyler.h"

#include <string>
#include <utility>
#include <vector>

// An editing target over a plain storage, standing in for the text view, and the caret notation of the
// rule tables: "‸" marks the caret, "«" and "»" the ends of a selection.
namespace velto::editor::testing {

/// One undo step the target recorded: what was replaced and what took its place, so that undoing
/// can be checked to give back each text exactly.
struct RecordedStep {
    enum class Kind { typing, rule };
    Kind kind;
    std::size_t location;
    std::u16string replaced;
    std::u16string inserted;
    std::u16string actionName;
};

class TestEditingTarget : public EditingTarget {
public:
    explicit TestEditingTarget(std::u16string text = {}, TextRange selection = {})
        : storage_(std::move(text), MarkdownStyler::baseAttributes(MarkdownStyler::textColor()))
        , selection_(selection) {}

    const TextStorage &storage() const override { return storage_; }
    TextStorage &mutableStorage() { return storage_; }
    bool isEditable() const override { return editable; }
    const EditorSettings &editorSettings() const override { return settings; }
    const StyleSettings &styleSettings() const override { return style_; }
    TextRange selectedRange() const override { return selection_; }
    void setSelectedRange(TextRange range) override { selection_ = range; }
    bool hasMarkedText() const override { return markedText; }

    bool replaceText(TextRange range, std::u16string_view replacement, TextRange selectionAfter) override {
        ++replaceCalls;
        if (refusesChanges) {
            return false;
        }
        steps.push_back(RecordedStep{
            RecordedStep::Kind::rule, range.location, storage_.substring(range), std::u16string(replacement), {}});
        storage_.replaceCharacters(range, replacement);
        selection_ = selectionAfter;
        return true;
    }

    void insertTypedText(TextRange range, std::u16string_view text) override {
        const std::u16string replaced = storage_.substring(range);
        storage_.replaceCharacters(range, text, typingAttributes_);
        const bool coalesces = !steps.empty() && steps.back().kind == RecordedStep::Kind::typing && replaced.empty() &&
                               steps.back().location + steps.back().inserted.size() == range.location;
        if (coalesces) {
            steps.back().inserted += text;
        } else {
            steps.push_back(
                RecordedStep{RecordedStep::Kind::typing, range.location, replaced, std::u16string(text), {}});
        }
        selection_ = TextRange{range.location + text.size(), 0};
    }

    void setUndoActionName(std::u16string_view name) override {
        if (!steps.empty()) {
            steps.back().actionName = std::u16string(name);
        }
    }

    void updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) override {
        storage_.updateAttributes(range, update);
    }

    Attributes typingAttributes() const override { return typingAttributes_; }
    void setTypingAttributes(const Attributes &attributes) override { typingAttributes_ = attributes; }
    Color codeTextColor() const override { return MarkdownStyler::textColor(); }

    /// Undoes the last recorded step; false when there is none.
    bool undo() {
        if (steps.empty()) {
            return false;
        }
        const RecordedStep step = steps.back();
        steps.pop_back();
        storage_.replaceCharacters(TextRange{step.location, step.inserted.size()}, step.replaced);
        selection_ = TextRange{step.location, step.replaced.size()};
        return true;
    }

    bool editable = true;
    EditorSettings settings;
    bool markedText = false;
    bool refusesChanges = false;
    int replaceCalls = 0;
    std::vector<RecordedStep> steps;

private:
    TextStorage storage_;
    StyleSettings style_;
    TextRange selection_;
    Attributes typingAttributes_ = MarkdownStyler::baseAttributes(MarkdownStyler::textColor());
};

/// Text and selection read from the caret notation.
struct MarkedText {
    std::u16string text;
    TextRange selection;
};

inline MarkedText parseMarked(std::u16string_view marked) {
    MarkedText result;
    std::size_t selectionStart = 0;
    for (char16_t unit : marked) {
        if (unit == u'‸') {
            result.selection = TextRange{result.text.size(), 0};
        } else if (unit == u'«') {
            selectionStart = result.text.size();
        } else if (unit == u'»') {
            result.selection = rangeBetween(selectionStart, result.text.size());
        } else {
            result.text += unit;
        }
    }
    return result;
}

inline std::u16string marked(std::u16string_view text, TextRange selection) {
    std::u16string result(text);
    if (selection.length == 0) {
        result.insert(selection.location, u"‸");
    } else {
        result.insert(selection.end(), u"»");
        result.insert(selection.location, u"«");
    }
    return result;
}

inline std::u16string marked(const EditingTarget &target) {
    return marked(target.storage().string(), target.selectedRange());
}

/// A target holding the marked text; styled when asked, so that rules see the styler's attributes.
inline TestEditingTarget targetFor(std::u16string_view markedText, bool styled, const EditorSettings &settings = {}) {
    const MarkedText parsed = parseMarked(markedText);
    TestEditingTarget target(parsed.text, parsed.selection);
    target.settings = settings;
    if (styled) {
        MarkdownStyler::apply(target.mutableStorage());
    }
    return target;
}

} // namespace velto::editor::testing
