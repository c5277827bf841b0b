#pragma once

#include "app/shell/ShellAlert.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <vector>

namespace velto {

/// The alert that names the files in which Velto kept text it could not save as a page, the last times it ran:
/// "OK", and "Show Files", which shows them in the file manager.
ShellAlert unsavedTextAlert(const std::vector<std::filesystem::path> &files);

/// Names the kept files not named yet, once: the list of them is forgotten as soon as the alert is up to answer,
/// and the files stay where they are. Nothing when there are none.
void announceUnsavedTextFiles(const std::filesystem::path &folder, const ShellAlertPresenter &presentAlert,
                              FileSystem &fileSystem = defaultFileSystem());

} // namespace velto
