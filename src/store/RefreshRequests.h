#pragma once

#include <optional>
#include <set>
#include <string>

namespace velto {

/// The requests to load the library again, gathered for the store's one refresh at a time: the changed
/// Markdown paths (relative to the Pages folder), or the whole library, which absorbs any paths. A request
/// that arrives while a refresh runs asks that refresh for one more pass.
class VeltoRefreshRequests {
public:
    /// Adds a request (nothing: the whole library). Answers whether a refresh must be started because none runs;
    /// the caller then starts one, which counts as running until finish().
    bool add(const std::optional<std::set<std::string>> &changedRelativePaths);

    /// Takes what the next pass loads (nothing: the whole library) and empties what was gathered.
    std::optional<std::set<std::string>> take();
    /// Puts a pass's request back, to be loaded by a later pass or refresh.
    void giveBack(const std::optional<std::set<std::string>> &changedRelativePaths);
    /// Asks the running refresh for one more pass.
    void askForFollowUp() { needsFollowUp_ = true; }
    /// Whether a request arrived since the running pass took its own.
    bool needsFollowUp() const { return needsFollowUp_; }
    /// The refresh ended; what was given back stays for the next one.
    void finish() { running_ = false; }
    bool isRunning() const { return running_; }

    /// Forgets everything gathered: it concerned another Pages folder.
    void clear();

private:
    bool running_ = false;
    bool needsFollowUp_ = false;
    std::set<std::string> changedRelativePaths_;
    bool requiresWholeLibrary_ = false;
};

} // namespace velto
