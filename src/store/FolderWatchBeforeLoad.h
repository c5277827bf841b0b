#pragma once

#include "store/FolderMonitor.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace velto {

/// A folder monitor that watches the Pages folder from before the launch's load reads it, while there is no
/// store to tell yet: it keeps what it reports until the store built from the load takes it over. The load
/// sees every change made before it read a file and the monitor every change made after watching began, so the
/// store needs no second, full reading of the library it has just read.
class VeltoFolderWatchBeforeLoad {
public:
    /// Watching has begun when this returns; nothing when the folder does not exist.
    static std::shared_ptr<VeltoFolderWatchBeforeLoad> begin(const std::filesystem::path &folderURL);

    const std::filesystem::path &folderURL() const { return folderURL_; }

    /// Hands the monitor over, once: what it reported so far reaches `onChange` before this returns, and every
    /// later report goes there too.
    std::unique_ptr<VeltoFolderMonitor> takeOver(VeltoFolderMonitor::OnChange onChange);
    /// Whether reports wait for the store.
    bool holdsChanges() const { return !relay_->held.empty(); }

private:
    /// Where the monitor's reports go: kept until a receiver is given, then passed on.
    struct Relay {
        VeltoFolderMonitor::OnChange receiver;
        std::vector<VeltoFolderChangeNotification> held;
    };

    explicit VeltoFolderWatchBeforeLoad(std::unique_ptr<VeltoFolderMonitor> monitor);

    std::filesystem::path folderURL_;
    std::shared_ptr<Relay> relay_ = std::make_shared<Relay>();
    std::unique_ptr<VeltoFolderMonitor> monitor_;
};

} // namespace velto
