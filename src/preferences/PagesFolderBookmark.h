#pragma once

#include <QtCore/QByteArray>

#include <filesystem>
#include <stdexcept>

// A bookmark of the Pages folder is the folder's absolute path (UTF-8). Unlike a bookmark that follows a
// moved folder, a path never goes stale; a folder that is gone is reported, never silently re-created.
namespace velto {

/// The bookmark could not be made or resolved; the message is the sentence shown to the user.
class PagesFolderBookmarkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The bookmark data of a folder; throws PagesFolderBookmarkError for an empty or relative path.
QByteArray pagesFolderBookmarkData(const std::filesystem::path &folder);

/// The folder a bookmark names; throws PagesFolderBookmarkError when the data is empty, the path is not
/// absolute, or no folder exists there (for instance on a drive that is not mounted).
std::filesystem::path resolvedPagesFolderBookmark(const QByteArray &bookmarkData);

} // namespace velto
