#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace velto {

/// A text that its copies share until one of them is changed: only the copy that changes takes a text of its
/// own. A page's body is held by the store and by every save request built from the store's document; for a
/// page of megabytes, copying the body into each request cost milliseconds on the main thread after every
/// pause in typing, while the request only ever reads it.
///
/// The text may also be the end of a page file's whole text that others hold and never change (the page's
/// baseline, which the merge after a save needs): a page just read from its file then lies in memory once,
/// not once as the file and again as its body.
///
/// Reading never copies. `edit()` hands out the text to change in place, after copying it when another copy
/// still holds it, so a save that reads its request's text on another thread never sees it change.
///
/// Every text a copy is given, and every change, gets a version no text had before, which its copies share:
/// an editor that remembers the version of the text it last handed over knows, without reading a byte,
/// whether the text is still exactly that one.
class CopyOnWriteText {
public:
    CopyOnWriteText() = default;
    CopyOnWriteText(std::string text) // NOLINT(google-explicit-constructor): stands where a string stood
        : held_(std::make_shared<Held>(std::move(text), nextVersion())) {}
    CopyOnWriteText(const char *text) // NOLINT(google-explicit-constructor)
        : CopyOnWriteText(std::string(text)) {}
    explicit CopyOnWriteText(std::string_view text)
        : CopyOnWriteText(std::string(text)) {}

    /// The part of `fileText` from `start` on, read where it lies: "Hello" of "---\nid: 1\n---\nHello" from 14.
    static CopyOnWriteText endOf(std::shared_ptr<const std::string> fileText, std::size_t start) {
        CopyOnWriteText text;
        text.held_ = std::make_shared<Held>(std::string(), nextVersion());
        text.held_->fileText = std::move(fileText);
        text.held_->start = start;
        return text;
    }

    std::string_view text() const { return held_ ? held_->view() : std::string_view(); }
    operator std::string_view() const { return text(); } // NOLINT(google-explicit-constructor)
    std::size_t size() const { return text().size(); }
    bool empty() const { return text().empty(); }

    /// Whether changing this copy would copy the text first: another copy holds the very same text.
    bool isShared() const { return held_.use_count() > 1; }
    /// Whether both copies hold the very same text, not only equal texts.
    bool sharesTextWith(const CopyOnWriteText &other) const { return held_ != nullptr && held_ == other.held_; }
    /// Equal versions mean the very same characters: the version changes with every edit() and every text
    /// assigned, and no two texts are given the same one. 0 is the empty text of a copy never given one.
    std::uint64_t version() const { return held_ ? held_->version : 0; }

    /// The file text this text is the end of; nullptr when it is a text of its own.
    std::shared_ptr<const std::string> fileText() const { return held_ ? held_->fileText : nullptr; }
    /// Where in fileText() this text starts.
    std::size_t startInFileText() const { return held_ ? held_->start : 0; }

    /// Holds the very same characters as the end of `fileText` from `start` on instead, where they lie there,
    /// keeping the version, and answers true; answers false and changes nothing when those are other characters.
    /// The copies that shared this text keep it.
    bool holdAsEndOf(std::shared_ptr<const std::string> fileText, std::size_t start) {
        if (start > fileText->size() || std::string_view(*fileText).substr(start) != text()) {
            return false;
        }
        auto held = std::make_shared<Held>(std::string(), version());
        held->fileText = std::move(fileText);
        held->start = start;
        held_ = std::move(held);
        return true;
    }

    /// The bytes the held text takes, the room it may grow into included.
    std::size_t capacity() const {
        if (!held_) {
            return 0;
        }
        return held_->fileText ? held_->fileText->capacity() : held_->text.capacity();
    }
    /// How long the text may grow when changed in place without moving; 0 when a change copies it first.
    std::size_t roomInPlace() const { return held_ && !held_->fileText && !isShared() ? held_->text.capacity() : 0; }

    /// The text to change in place; a text another copy holds is copied first, and the other keeps the old one.
    /// The end of a file text is always copied out of it: the file text never changes. The change is taken to
    /// be made before the version is next read.
    std::string &edit() {
        if (!held_) {
            held_ = std::make_shared<Held>(std::string(), nextVersion());
        } else if (isShared() || held_->fileText) {
            held_ = std::make_shared<Held>(std::string(held_->view()), nextVersion());
        } else {
            // The last other copy may have let go on another thread, after reading the text there: its reads
            // happen before the changes made from here on.
            std::atomic_thread_fence(std::memory_order_acquire);
            held_->version = nextVersion();
        }
        return held_->text;
    }

    friend bool operator==(const CopyOnWriteText &a, const CopyOnWriteText &b) {
        return a.sharesTextWith(b) || a.text() == b.text();
    }
    friend bool operator==(const CopyOnWriteText &a, std::string_view b) { return a.text() == b; }
    friend bool operator==(const CopyOnWriteText &a, const std::string &b) { return a.text() == b; }
    friend bool operator==(const CopyOnWriteText &a, const char *b) { return a.text() == b; }
    friend std::ostream &operator<<(std::ostream &out, const CopyOnWriteText &text) { return out << text.text(); }

private:
    /// The text and its version, shared by the copies that hold it.
    struct Held {
        Held(std::string text, std::uint64_t version)
            : text(std::move(text))
            , version(version) {}
        std::string_view view() const { return fileText ? std::string_view(*fileText).substr(start) : text; }

        std::string text; // empty while the text is the end of a file text
        std::shared_ptr<const std::string> fileText;
        std::size_t start = 0;
        std::uint64_t version;
    };

    /// Texts are made on the loading threads too.
    static std::uint64_t nextVersion() {
        static std::atomic<std::uint64_t> last{0};
        return last.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    std::shared_ptr<Held> held_; // absent for the empty text a default page starts with
};

} // namespace velto
