#pragma once

#include "editor/editing/EditPolicy.h"
#include "editor/editing/EditingObserver.h"
#include "editor/editing/EditingTarget.h"
#include "editor/editing/UndoHistorySource.h"
#include "editor/editing/UndoManager.h"
#include "editor/text/ObserverList.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velto::editor {

struct TextChangeRecord;

/// The editing half of the text view, without a display: the selection over the storage, the typing
/// attributes, and every change of the characters through one protocol: ask `shouldChangeText`, register
/// the undo, replace, announce `didChangeText`. The policy given at construction may refuse a change; observers
/// are told of each allowed change before and after it is made, and of every change of the selection. Typing
/// (insertions and deletions by key) coalesces into one undo step until something breaks it: a selection change of
/// another origin, an edit of another kind, `breakUndoCoalescing`, or any other use of the undo manager.
///
/// The caret never stands inside a grapheme cluster (so never inside CRLF or a surrogate pair), and text
/// that comes from outside has its lone surrogates replaced by U+FFFD. Lines here are paragraphs; moving
/// by visual lines belongs to the view, which knows the layout. It is the target the editing rules work on.
class EditingCore final : public EditingTarget {
public:
    /// Works on the storage, which must outlive the core. The policy, when given, decides which changes may be
    /// made; the undo history source, when given, keeps the histories changes register on. The core asks
    /// neither while it is being made, so they may be made after it, but they must outlive its use.
    explicit EditingCore(TextStorage &storage, EditPolicy *policy = nullptr, UndoHistorySource *undoHistory = nullptr);
    ~EditingCore() override;
    EditingCore(const EditingCore &) = delete;
    EditingCore &operator=(const EditingCore &) = delete;

    TextStorage &textStorage() { return storage_; }
    const TextStorage &textStorage() const { return storage_; }
    const TextStorage &storage() const override { return storage_; }
    const std::u16string &string() const { return storage_.string(); }
    std::size_t length() const { return storage_.length(); }

    // ---- observers ----

    /// Tells the observer of every change made through the core until the subscription goes.
    Subscription subscribe(EditingObserver &observer) { return observers_.subscribe(observer); }

    // ---- undo ----

    /// The manager edits register on: what the undo history source answers (the view's per-page histories),
    /// else the core's own.
    UndoManager *undoManager() override;
    /// Ends the current typing step, so that the next keystroke starts a new undo step.
    void breakUndoCoalescing();
    /// The text that the undo and redo steps applied since the last call put back, in the text's
    /// coordinates now, and forgets it: none when no step changed the text (a page operation's undo).
    std::optional<TextRange> takeRangeChangedByUndo() { return std::exchange(rangeChangedByUndo_, std::nullopt); }

    // ---- editability ----

    /// A view that is not editable refuses every change through the protocol (loads still work).
    bool isEditable() const override { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }

    // ---- settings ----

    /// The settings the editing rules follow, and the style made from them that the text is styled with:
    /// the defaults until the owner gives the user's, and the owner gives them again whenever they change,
    /// so that the next keystroke follows them.
    const EditorSettings &editorSettings() const override { return settings_; }
    const StyleSettings &styleSettings() const override { return style_; }
    void setEditorSettings(const EditorSettings &settings, const StyleSettings &style) {
        settings_ = settings;
        style_ = style;
    }

    // ---- selection and typing attributes ----

    TextRange selectedRange() const override {
        return rangeBetween(std::min(anchor_, head_), std::max(anchor_, head_));
    }
    /// Clamps the range to the text and widens it to grapheme boundaries. The anchor is its start.
    void setSelectedRange(TextRange range) override;
    /// The selection's moving end (where the caret is drawn); its other end is the anchor.
    std::size_t selectionHead() const { return head_; }
    std::size_t selectionAnchor() const { return anchor_; }
    /// Selects from the anchor to the head (either order), aligned as setSelectedRange does.
    void setSelection(std::size_t anchor, std::size_t head);
    void selectAll();

    /// What typed text takes. A selection change sets them to the attributes of the character before the
    /// caret (or the first character at the start), as the platform's text view does.
    Attributes typingAttributes() const override { return typingAttributes_; }
    void setTypingAttributes(const Attributes &attributes) override { typingAttributes_ = attributes; }

    /// The editor text colour that code attributes are built from; the view's owner sets the theme's.
    Color codeTextColor() const override { return codeTextColor_; }
    void setCodeTextColor(const Color &color) { codeTextColor_ = color; }

    /// Whether an input method is composing; the view says so while it shows uncommitted text.
    bool hasMarkedText() const override { return hasMarkedText_; }
    void setHasMarkedText(bool composing) { hasMarkedText_ = composing; }

    // ---- the change protocol ----

    /// Asks the policy; false (and nothing asked) when the core is not editable. An allowed change is
    /// announced to the observers as about to be made.
    bool shouldChangeText(TextRange range, std::u16string_view replacement);
    void didChangeText();
    /// Replaces the range as one undo step of its own (coalescing broken before and after), then selects
    /// `selection`. False, with nothing changed, when the change is refused.
    bool replaceText(TextRange range, std::u16string_view replacement, TextRange selection) override;
    /// Names the undo step the last edit made.
    void setUndoActionName(std::u16string_view name) override;
    /// Changes attributes only: no undo step, no change of characters, the owner is not told.
    void updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) override;

    // ---- typing ----

    /// Typed or committed text: replaces the selection with the text in the typing attributes; the caret
    /// goes after it.
    void insertText(std::u16string_view text);
    /// As above over the given range instead of the selection (a location of TextRange::notFound means
    /// the selection).
    void insertText(std::u16string_view text, TextRange replacementRange);
    void insertTypedText(TextRange range, std::u16string_view text) override { insertText(text, range); }
    /// With a selection these delete it; otherwise what the name says, from the caret.
    void deleteBackward();
    void deleteForward();
    void deleteWordBackward();
    void deleteWordForward();

    // ---- moving the caret ----

    enum class Movement {
        backwardCharacter,
        forwardCharacter,
        backwardWord,
        forwardWord,
        beginningOfLine,
        endOfLine,
        beginningOfDocument,
        endOfDocument,
    };
    /// Moves the caret; with `extend`, moves the head and keeps the anchor. A plain character move over a
    /// selection collapses it to its start or end.
    void move(Movement movement, bool extend);
    /// Where the movement takes a caret at the position.
    std::size_t destination(Movement movement, std::size_t position) const;

    // ---- loading ----

    /// Puts the text in place of the whole contents outside undo and outside the change protocol (a page
    /// load): nothing is registered, the owner is not told of a change, coalescing is broken, the caret
    /// goes to the end. Answers whether the text went in as given: false when its lone surrogates were
    /// replaced.
    bool loadText(std::u16string_view text, const Attributes &attributes = {});
    /// As loadText, for a page's UTF-8 text, decoded chunk by chunk as it goes into the storage: decoding reads
    /// ill-formed bytes, encoded surrogates among them, as U+FFFD, so the text holds no lone surrogate and goes
    /// in without being searched for one, a pass over the whole of a page of megabytes.
    void loadUTF8Text(std::string_view text);

private:
    void replaceInStorage(TextRange range, std::u16string_view replacement, const Attributes *attributes);
    bool performTypingEdit(TextRange range, std::u16string_view replacement, std::size_t caretAfter,
                           const Attributes *attributes);
    bool canExtendTypingStep(TextRange range) const;
    void registerChange(UndoManager &manager, const std::shared_ptr<TextChangeRecord> &record);
    void applyRecord(UndoManager &manager, const TextChangeRecord &record);
    bool holdsExpectedText(const TextChangeRecord &record) const;
    void noteChangedByUndo(TextRange replaced, std::size_t insertedLength);
    void noteExpectedText(TextChangeRecord &record) const;
    void deleteRangeOrSelection(TextRange range);
    void setSelectionQuietly(std::size_t anchor, std::size_t head);
    void selectionDidChange();
    void updateTypingAttributesFromText();

    TextStorage &storage_;
    EditPolicy *policy_;
    ObserverList<EditingObserver> observers_;
    std::shared_ptr<EditingCore *> liveness_; // undo actions hold it weakly: a gone core makes them do nothing
    UndoManager ownUndoManager_;
    UndoHistorySource *undoHistory_;

    bool editable_ = true;
    EditorSettings settings_;
    StyleSettings style_;
    std::size_t anchor_ = 0;
    std::size_t head_ = 0;
    Attributes typingAttributes_;
    Color codeTextColor_;
    bool hasMarkedText_ = false;

    // The typing step being extended, with the manager state that proves nothing came in between.
    std::shared_ptr<TextChangeRecord> typingRecord_;
    UndoManager *typingManager_ = nullptr;
    std::uint64_t typingManagerChangeCount_ = 0;
    std::optional<TextRange> rangeChangedByUndo_;
};

} // namespace velto::editor
