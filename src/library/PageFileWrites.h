#pragma once

#include "library/SharedText.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The page files of a save reach the disk here. Other programs take no lock of ours: a file the save checked may
// change again before it is replaced, so each checked file is replaced only while it still holds what the check
// read.
namespace VeltoPageLibrary {

/// Another program changed, removed or created a page file between the save's check of it and its replacement.
/// The save stopped there, before its journal and the manifest: the other program's file is as it left it, and
/// the store saves again once it has taken that change in.
class PageFileChangedDuringSaveError : public std::runtime_error {
public:
    PageFileChangedDuringSaveError(const std::filesystem::path &url, bool earlierFilesWritten)
        : std::runtime_error("The page file \u201c" + url.filename().string() +
                             "\u201d changed while Velto was saving it. Velto saves again in a moment.")
        , url_(url)
        , earlierFilesWritten_(earlierFilesWritten) {}

    const std::filesystem::path &url() const { return url_; }
    /// Whether the save had written files before it met the change: one that had not can start over.
    bool earlierFilesWritten() const { return earlierFilesWritten_; }

private:
    std::filesystem::path url_;
    bool earlierFilesWritten_;
};

/// What a save's checks found at each page file they looked at: its bytes, or nothing where no file was. A file
/// found holding its page's baseline shares the baseline's text instead of a copy of it.
using ObservedPageFiles = std::map<std::filesystem::path, std::optional<SharedText>>;

/// One page file to write: where, and the text (held by the caller until the files are written).
struct PageFileWrite {
    std::filesystem::path url;
    std::string_view text;
};

/// Writes the files. One that `observed` names (what the save's check read there: bytes, or nothing for no
/// file) is replaced only while it still holds exactly that, otherwise PageFileChangedDuringSaveError is thrown;
/// the others (new pages, conflict copies) are written as they are. The new files go first, so that a conflict
/// copy is on disk before the page whose other version it keeps is replaced.
void writePageFiles(const std::vector<PageFileWrite> &files, const ObservedPageFiles &observed,
                    velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
