#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <cstdint>
#include <filesystem>

namespace velto {

/// What a task of the store holds across an await: whether the store is still there, and whether the library
/// session it began in is still the open one. A task that finds its session gone drops what it read: the
/// result belongs to another Pages folder, or to none.
class VeltoSessionTicket {
public:
    /// A ticket of the session numbered `revision` in `folderURL`; `currentRevision` is the number of the open
    /// session, read only while `store` lives.
    VeltoSessionTicket(const QObject &store, const std::uint64_t &currentRevision, std::uint64_t revision,
                       std::filesystem::path folderURL)
        : store_(&store)
        , currentRevision_(&currentRevision)
        , revision_(revision)
        , folderURL_(std::move(folderURL)) {}

    /// Whether the store still exists; nothing else may be touched once it is gone.
    bool storeIsAlive() const { return store_ != nullptr; }
    /// Whether the store still exists and still has the library session this ticket was taken in.
    bool stillCurrent() const { return storeIsAlive() && *currentRevision_ == revision_; }
    /// The Pages folder of the session this ticket was taken in.
    const std::filesystem::path &folderURL() const { return folderURL_; }

private:
    QPointer<const QObject> store_;
    const std::uint64_t *currentRevision_; // lives in the store
    std::uint64_t revision_;
    std::filesystem::path folderURL_;
};

} // namespace velto
