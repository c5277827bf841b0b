#pragma once

#include <atomic>
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
/// Reading never copies. `edit()` hands out the text to change in place, after copying it when another copy
/// still holds it, so a save that reads its request's text on another thread never sees it change.
class CopyOnWriteText {
public:
    CopyOnWriteText() = default;
    CopyOnWriteText(std::string text) // NOLINT(google-explicit-constructor): stands where a string stood
        : text_(std::make_shared<std::string>(std::move(text))) {}
    CopyOnWriteText(const char *text) // NOLINT(google-explicit-constructor)
        : CopyOnWriteText(std::string(text)) {}
    explicit CopyOnWriteText(std::string_view text)
        : CopyOnWriteText(std::string(text)) {}

    const std::string &text() const { return text_ ? *text_ : emptyText(); }
    operator const std::string &() const { return text(); } // NOLINT(google-explicit-constructor)
    operator std::string_view() const { return text(); }    // NOLINT(google-explicit-constructor)
    const std::string *operator->() const { return &text(); }
    std::size_t size() const { return text().size(); }
    bool empty() const { return text().empty(); }

    /// Whether changing this copy would copy the text first: another copy holds the very same text.
    bool isShared() const { return text_.use_count() > 1; }
    /// Whether both copies hold the very same text, not only equal texts.
    bool sharesTextWith(const CopyOnWriteText &other) const { return text_ != nullptr && text_ == other.text_; }

    /// The text to change in place; a text another copy holds is copied first, and the other keeps the old one.
    std::string &edit() {
        if (!text_) {
            text_ = std::make_shared<std::string>();
        } else if (isShared()) {
            text_ = std::make_shared<std::string>(*text_);
        } else {
            // The last other copy may have let go on another thread, after reading the text there: its reads
            // happen before the changes made from here on.
            std::atomic_thread_fence(std::memory_order_acquire);
        }
        return *text_;
    }

    friend bool operator==(const CopyOnWriteText &a, const CopyOnWriteText &b) {
        return a.sharesTextWith(b) || a.text() == b.text();
    }
    friend bool operator==(const CopyOnWriteText &a, const std::string &b) { return a.text() == b; }
    friend bool operator==(const CopyOnWriteText &a, std::string_view b) { return a.text() == b; }
    friend bool operator==(const CopyOnWriteText &a, const char *b) { return a.text() == b; }
    friend std::ostream &operator<<(std::ostream &out, const CopyOnWriteText &text) { return out << text.text(); }

private:
    static const std::string &emptyText() {
        static const std::string empty;
        return empty;
    }

    std::shared_ptr<std::string> text_; // absent for the empty text a default page starts with
};

} // namespace velto
