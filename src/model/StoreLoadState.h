#pragma once

#include <optional>
#include <string>
#include <variant>

namespace velto {

/// Why the store could not load its library, with the sentence shown to the user.
struct VeltoStoreRecoveryIssue {
    enum class Kind { unreadable, corrupt, temporarilyUnavailable };
    /// What can mend it. Rewriting the library from what Velto holds is offered only where it can work: a
    /// library written by a newer Velto is never rewritten (it takes a newer Velto), and a folder Velto cannot
    /// write its library in takes a change by the user first.
    enum class Remedy { rewriteLibrary, updateVelto, changeFolder };

    Kind kind = Kind::unreadable;
    std::string message;
    Remedy remedy = Remedy::rewriteLibrary;

    friend bool operator==(const VeltoStoreRecoveryIssue &, const VeltoStoreRecoveryIssue &) = default;
};

/// The store's load state: recovery required (with its issue), no library, or loaded.
struct VeltoStoreLoadState {
    struct RecoveryRequired {
        VeltoStoreRecoveryIssue issue;
        friend bool operator==(const RecoveryRequired &, const RecoveryRequired &) = default;
    };
    struct Missing {
        friend bool operator==(const Missing &, const Missing &) = default;
    };
    struct Loaded {
        friend bool operator==(const Loaded &, const Loaded &) = default;
    };

    std::variant<RecoveryRequired, Missing, Loaded> value = Loaded{};

    static VeltoStoreLoadState recoveryRequired(VeltoStoreRecoveryIssue issue) {
        return {RecoveryRequired{std::move(issue)}};
    }
    static VeltoStoreLoadState missing() { return {Missing{}}; }
    static VeltoStoreLoadState loaded() { return {Loaded{}}; }

    /// The issue when recovery is required; nullptr otherwise.
    const VeltoStoreRecoveryIssue *recoveryIssue() const {
        const RecoveryRequired *recovery = std::get_if<RecoveryRequired>(&value);
        return recovery == nullptr ? nullptr : &recovery->issue;
    }
    bool isMissing() const { return std::holds_alternative<Missing>(value); }
    bool isLoaded() const { return std::holds_alternative<Loaded>(value); }

    friend bool operator==(const VeltoStoreLoadState &, const VeltoStoreLoadState &) = default;
};

} // namespace velto
