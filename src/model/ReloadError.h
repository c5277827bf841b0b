#pragma once

#include <stdexcept>
#include <string>

namespace velto {

/// Why reloading the page library failed, as the sentence shown to the user.
class VeltoReloadError : public std::runtime_error {
public:
    enum class Kind { temporarilyUnavailable, unreadable, libraryMissing };

    /// "Velto is waiting for a page file to become available. " followed by the detail.
    static VeltoReloadError temporarilyUnavailable(std::string detail);
    /// "Velto couldn’t reload the page library. " followed by the detail.
    static VeltoReloadError unreadable(std::string detail);
    /// "Velto couldn’t find its page library in the selected folder."
    static VeltoReloadError libraryMissing();

    Kind kind() const { return kind_; }
    /// The detail text; empty for libraryMissing.
    const std::string &detail() const { return detail_; }
    std::string errorDescription() const { return what(); }

    friend bool operator==(const VeltoReloadError &a, const VeltoReloadError &b) {
        return a.kind_ == b.kind_ && a.detail_ == b.detail_;
    }

private:
    VeltoReloadError(Kind kind, std::string detail, const std::string &text);

    Kind kind_;
    std::string detail_;
};

} // namespace velto
