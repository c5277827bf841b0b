#pragma once

#include "store/FolderConnectionSelection.h"
#include "store/SessionTicket.h"

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace velto {

class VeltoStore;

/// The library the store has open, and the moves to another: its Pages folder, the number of the session
/// (which grows each time another library opens), copying the library to a new folder, connecting a folder
/// that holds one, and writing a damaged library anew. Tasks that await take a ticket first and check it when
/// they resume.
class VeltoLibrarySession {
public:
    VeltoLibrarySession(VeltoStore &store, std::filesystem::path folderURL);

    const std::filesystem::path &folderURL() const { return folderURL_; }
    std::uint64_t revision() const { return revision_; }
    /// A ticket of the session open now.
    VeltoSessionTicket ticket() const;
    /// Opens the session of another library: every ticket taken before stops being current.
    void begin(const std::filesystem::path &folderURL);

    /// Moves the open library to the chosen folder; throws the error of the step that failed.
    QCoro::Task<void> applyFolderConnection(VeltoFolderConnectionSelection selection);
    /// Writes the library anew after a damaged load; answers where the damaged manifest was kept.
    QCoro::Task<std::optional<std::filesystem::path>> recoverPreservingOriginal();

private:
    QCoro::Task<void> copyCurrentLibrary(std::filesystem::path destinationURL);
    QCoro::Task<void> connectPages(std::filesystem::path destinationURL, bool startsLibraryWhenMissing);

    VeltoStore &store_;
    std::filesystem::path folderURL_;
    std::uint64_t revision_ = 0;
};

} // namespace velto
