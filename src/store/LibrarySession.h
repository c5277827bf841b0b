#pragma once

#include "store/SessionTicket.h"

#include <cstdint>
#include <filesystem>

namespace velto {

/// The library the store has open: its Pages folder and the number of the session, which grows each time
/// another library is opened. Tasks that await take a ticket first and check it when they resume.
class VeltoLibrarySession {
public:
    VeltoLibrarySession(const QObject &store, std::filesystem::path folderURL)
        : store_(store)
        , folderURL_(std::move(folderURL)) {}

    const std::filesystem::path &folderURL() const { return folderURL_; }
    std::uint64_t revision() const { return revision_; }
    /// A ticket of the session open now.
    VeltoSessionTicket ticket() const { return VeltoSessionTicket(store_, revision_, revision_, folderURL_); }
    /// Opens the session of another library: every ticket taken before stops being current.
    void begin(const std::filesystem::path &folderURL) {
        revision_ += 1;
        folderURL_ = folderURL;
    }

private:
    const QObject &store_;
    std::filesystem::path folderURL_;
    std::uint64_t revision_ = 0;
};

} // namespace velto
