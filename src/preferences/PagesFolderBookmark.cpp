#include "preferences/PagesFolderBookmark.h"

#include <system_error>

namespace velto {

namespace {

std::filesystem::path pathFromUtf8(const QByteArray &bytes) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

std::string quoted(const std::filesystem::path &path) {
    std::u8string text = path.u8string();
    return "“" + std::string(text.begin(), text.end()) + "”";
}

} // namespace

QByteArray pagesFolderBookmarkData(const std::filesystem::path &folder) {
    if (folder.empty()) {
        throw PagesFolderBookmarkError("The Pages folder has no location.");
    }
    if (!folder.is_absolute()) {
        throw PagesFolderBookmarkError("The Pages folder location " + quoted(folder) + " is not a full path.");
    }
    std::u8string text = folder.lexically_normal().u8string();
    return QByteArray(reinterpret_cast<const char *>(text.data()), static_cast<qsizetype>(text.size()));
}

std::filesystem::path resolvedPagesFolderBookmark(const QByteArray &bookmarkData) {
    if (bookmarkData.isEmpty()) {
        throw PagesFolderBookmarkError("The saved Pages folder location is empty.");
    }
    std::filesystem::path folder = pathFromUtf8(bookmarkData);
    if (!folder.is_absolute() || bookmarkData.contains('\0')) {
        throw PagesFolderBookmarkError("The saved Pages folder location " + quoted(folder) + " is not a full path.");
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        throw PagesFolderBookmarkError("The Pages folder " + quoted(folder) +
                                       " could not be found. If it is on a drive that is not connected, "
                                       "connect the drive and open Velto again.");
    }
    return folder;
}

} // namespace velto
