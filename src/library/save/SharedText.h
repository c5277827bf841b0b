#pragma once

#include "model/FileTextBuffer.h"
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
        hold(std::make_shared<const std::string>(std::move(text)));
    }
    SharedText(const char *text)
        : SharedText(std::string(text)) {} // NOLINT(google-explicit-constructor)
    /// Shares a text someone else holds too (a page's body may be the end of it), instead of copying it.
    explicit SharedText(std::shared_ptr<const std::string> text) { hold(std::move(text)); }
    /// The text a save wrote. The baseline of a page of megabytes gives its buffer to the save after next when
    /// let go.
    explicit SharedText(velto::FileTextBuffer text) {
        auto shared = velto::sharedTextReusingBuffer(std::move(text));
        text_ = shared->view();
        capacity_ = shared->capacity();
        holder_ = std::move(shared);
    }

    std::string_view text() const { return text_; }
    std::string_view operator*() const { return text_; }
    operator std::string_view() const { return text_; } // NOLINT(google-explicit-constructor)
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    /// The bytes of memory held for the text.
    std::size_t capacity() const { return capacity_; }

    friend bool operator==(const SharedText &a, const SharedText &b) {
        return a.holder_ == b.holder_ || a.text_ == b.text_;
    }

private:
    void hold(std::shared_ptr<const std::string> text) {
        text_ = *text;
        capacity_ = text->capacity();
        holder_ = std::move(text);
    }

    std::shared_ptr<const void> holder_; // keeps the characters text_ shows
    std::string_view text_;
    std::size_t capacity_ = 0;
};
