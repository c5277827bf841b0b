#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

class QDBusConnection;

namespace velto::fileManager {

/// How long the desktop's file manager has to answer before the folder is opened another way.
inline constexpr std::chrono::milliseconds showItemsTimeout{3000};

/// Shows the file selected in the desktop's file manager (the freedesktop FileManager1 service on the session
/// bus). When no file manager answers in time, the enclosing folder is opened with the desktop's handler for
/// folders instead. `done` is told, on the main thread, whether anything could show the file.
void revealFile(const std::filesystem::path &file, std::function<void(bool shown)> done,
                std::chrono::milliseconds timeout = showItemsTimeout);

/// Shows the folder selected in the desktop's file manager, as `revealFile` shows a file; when no file manager
/// answers in time, the folder itself is opened with the desktop's handler for folders.
void revealFolder(const std::filesystem::path &folder, std::function<void(bool shown)> done,
                  std::chrono::milliseconds timeout = showItemsTimeout);

/// As `revealFile` and `revealFolder`, asking the file manager on `bus` rather than on the session bus: a test
/// asks one on a bus of its own, as the process's session bus is made once, by whatever used it first.
void revealFile(const std::filesystem::path &file, std::function<void(bool shown)> done,
                std::chrono::milliseconds timeout, const QDBusConnection &bus);
void revealFolder(const std::filesystem::path &folder, std::function<void(bool shown)> done,
                  std::chrono::milliseconds timeout, const QDBusConnection &bus);

/// Opens the folder with the desktop's handler for folders; false when the desktop has none.
bool openFolder(const std::filesystem::path &folder);

/// The sentence shown when nothing can show the Pages folder: "No file manager is available. The Pages folder
/// is “/home/ada/Pages”."
std::string noFileManagerMessage(const std::filesystem::path &pagesFolder);

} // namespace velto::fileManager
