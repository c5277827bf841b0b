#pragma once

#include "model/LibraryManifest.h"
#include "model/WriterState.h"
#include "platform/FileSystem.h"

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace VeltoPageLibrary {

/// The value last decoded from each metadata file of one kind, with the bytes it was decoded from. Every save
/// reads the manifest and every journal again under its lock, because another writer may have changed them;
/// in a library of ten thousand pages a journal that no one changed is megabytes that take far longer to
/// decode than to read. When a file's bytes are exactly those decoded last, their value is taken again. The
/// bytes are compared in full, so a file changed in any way, by anyone, is decoded anew.
template <typename Value> class DecodedFileCache {
public:
    /// decode(bytes), or the value the same bytes of this file gave last time. A failure to decode is thrown
    /// and remembers nothing.
    template <typename Decode> Value decoded(const std::filesystem::path &url, std::string bytes, Decode decode) {
        waitForDecodingAhead(url);
        if (auto value = valueOf(url, bytes)) {
            return *value;
        }
        Value value = decode(bytes);
        remember(url, std::move(bytes), Value(value));
        return value;
    }

    /// Decodes the bytes and keeps the value, unless the same bytes of this file were decoded last time, for a
    /// read of the file that will come: such a read waits for this decoding instead of doing it twice. A failure
    /// to decode remembers nothing; the read meets it again.
    template <typename Decode> void prepare(const std::filesystem::path &url, std::string bytes, Decode decode) {
        {
            std::lock_guard lock(mutex_);
            if (decodingAhead_.contains(url.native())) {
                return;
            }
            decodingAhead_.insert(url.native());
        }
        try {
            if (!valueOf(url, bytes)) {
                Value value = decode(bytes);
                remember(url, std::move(bytes), std::move(value));
            }
        } catch (...) {
        }
        {
            std::lock_guard lock(mutex_);
            decodingAhead_.erase(url.native());
        }
        decodedAhead_.notify_all();
    }

    /// Keeps `value` as what `bytes`, just written to the file, decode to. The caller vouches that decoding
    /// them gives exactly this value.
    void remember(const std::filesystem::path &url, std::string bytes, Value value) {
        auto shared = std::make_shared<const Value>(std::move(value));
        std::lock_guard lock(mutex_);
        useFolderOf(url);
        if (entries_.size() >= capacity && !entries_.contains(url.native())) {
            entries_.clear();
        }
        entries_[url.native()] = {std::move(bytes), std::move(shared)};
    }

private:
    struct Entry {
        std::string bytes;
        std::shared_ptr<const Value> value;
    };

    // A process opens a few libraries at most; a full cache is simply emptied.
    static constexpr std::size_t capacity = 64;
    // A library's manifest, and its journals, each lie in one folder. The files of a library the process no
    // longer uses are dropped: a large library's decoded records are tens of megabytes. Two folders keep a
    // copy from one library into another from decoding every file anew.
    static constexpr std::size_t foldersKept = 2;

    void waitForDecodingAhead(const std::filesystem::path &url) {
        std::unique_lock lock(mutex_);
        decodedAhead_.wait(lock, [&] { return !decodingAhead_.contains(url.native()); });
    }

    std::shared_ptr<const Value> valueOf(const std::filesystem::path &url, const std::string &bytes) {
        std::lock_guard lock(mutex_);
        auto found = entries_.find(url.native());
        if (found == entries_.end() || found->second.bytes != bytes) {
            return nullptr;
        }
        useFolderOf(url);
        return found->second.value;
    }

    /// Makes the file's folder the one used last, and drops the files of the folders beyond those kept.
    void useFolderOf(const std::filesystem::path &url) {
        auto folder = url.parent_path();
        std::erase(recentFolders_, folder);
        recentFolders_.insert(recentFolders_.begin(), folder);
        while (recentFolders_.size() > foldersKept) {
            auto dropped = std::move(recentFolders_.back());
            recentFolders_.pop_back();
            std::erase_if(entries_, [&](const auto &entry) {
                return std::filesystem::path(entry.first).parent_path() == dropped;
            });
        }
    }

    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
    // The files being decoded ahead, and the signal that one of them is done.
    std::set<std::string> decodingAhead_;
    std::condition_variable decodedAhead_;
    std::vector<std::filesystem::path> recentFolders_; // the folder used last first
};

/// The process's journals, by file.
DecodedFileCache<velto::VeltoWriterState> &decodedJournals();
/// The process's manifests, by file; a save keeps the one it wrote.
DecodedFileCache<velto::VeltoLibraryManifest> &decodedManifests();

/// Writes a journal's bytes (only when they differ from the file's, with `onlyIfChanged`) and keeps the journal,
/// as decoding the bytes gives it, for the next read of the file.
void writeJournal(const std::filesystem::path &url, const velto::VeltoWriterState &journal,
                  velto::FileSystem &fileManager, bool onlyIfChanged);

} // namespace VeltoPageLibrary
