#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

/// How much of a Pages folder one load touched, for diagnostics and tests.
struct VeltoLibraryIOCounters {
    int recursiveEnumerations = 0;
    int markdownContentReads = 0;
    int archivedPrefixReads = 0;
    std::vector<std::string> archivedPrefixReadPaths;
    int manifestReads = 0;
    int fullReconciliations = 0;

    friend bool operator==(const VeltoLibraryIOCounters &, const VeltoLibraryIOCounters &) = default;
};

/// Counters shared by reference between the operation that binds the observer and the readers that count.
/// Every change and every read happens under `lock`.
class VeltoLibraryIOObserver {
public:
    /// A copy of the counters as they are now.
    VeltoLibraryIOCounters snapshot() const;

    /// Changes the counters under the lock.
    void update(const std::function<void(VeltoLibraryIOCounters &)> &change);

private:
    mutable std::mutex lock;
    VeltoLibraryIOCounters counters;
};

/// The observer bound to the current thread. A caller binds one for the duration of one operation; the
/// library's readers look it up at the moment they count, and count nothing when none is bound.
namespace VeltoLibraryIOObservation {

std::shared_ptr<VeltoLibraryIOObserver> current();

/// Binds an observer to this thread for the binding's lifetime, restoring the previous one afterwards.
/// Binding none leaves the current observer in place.
class Binding {
public:
    explicit Binding(std::shared_ptr<VeltoLibraryIOObserver> observer);
    ~Binding();
    Binding(const Binding &) = delete;
    Binding &operator=(const Binding &) = delete;

private:
    std::shared_ptr<VeltoLibraryIOObserver> previous;
    bool bound = false;
};

/// Applies the change to the current observer's counters; does nothing when none is bound.
void count(const std::function<void(VeltoLibraryIOCounters &)> &change);

} // namespace VeltoLibraryIOObservation
