#pragma once

#include "model/ReusedTextBuffer.h"

#include <memory>
#include <string>
#include <string_view>

/// A text that never changes once made, which copies share instead of duplicating. A page's baseline is
/// held by the store, by the save coordinator and by every save request at once: for a page of megabytes,
/// each copy of the text itself cost milliseconds on the main thread after every pause in typing, and as
/// much memory again as the page.
class SharedText {
public:
    /// Holds the text in little more memory than it needs: texts built by appending may carry room to spare.
    SharedText(std::string text) { // NOLINT(google-explicit-constructor): stands where a string stood
        if (text.capacity() > text.size() + text.size() / 4) {
            text.shrink_to_fit();
        }
        // The baseline of a page of megabytes gives its buffer to the save after next when let go.
        text_ = velto::sharedTextReusingBuffer(std::move(text));
    }
    SharedText(const char *text)
        : SharedText(std::string(text)) {} // NOLINT(google-explicit-constructor)
    /// Shares a text someone else holds too (a page's body may be the end of it), instead of copying it.
    explicit SharedText(std::shared_ptr<const std::string> text)
        : text_(std::move(text)) {}

    const std::string &text() const { return *text_; }
    const std::string &operator*() const { return *text_; }
    const std::string *operator->() const { return text_.get(); }
    operator std::string_view() const { return *text_; } // NOLINT(google-explicit-constructor)
    std::size_t size() const { return text_->size(); }
    bool empty() const { return text_->empty(); }

    friend bool operator==(const SharedText &a, const SharedText &b) {
        return a.text_ == b.text_ || *a.text_ == *b.text_;
    }

private:
    std::shared_ptr<const std::string> text_;
};
