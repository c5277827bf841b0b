#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <qcorotask.h>

#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace velto {

/// One alert: a title, an optional message, a style, and its buttons in order. The answer is the response
/// code of the button chosen: 1000 for the first, 1001 for the second, 1002 for the third; any other number
/// when the alert was dismissed otherwise.
struct SettingsAlert {
    enum class Style { informational, warning };
    QString title;
    QString message;
    Style style = Style::warning;
    QStringList buttons{QStringLiteral("OK")};
    /// Alerts about one folder's content show the desktop's own icon instead of Velto's.
    bool showsApplicationIcon = true;
    friend bool operator==(const SettingsAlert &, const SettingsAlert &) = default;
};

inline constexpr int firstButtonResponse = 1000;
inline constexpr int secondButtonResponse = 1001;
inline constexpr int thirdButtonResponse = 1002;

/// Where a file dialog opens: `preferred` when it is a folder, else the user's home; never the folder Velto was
/// started from, which means nothing to the user.
std::filesystem::path fileDialogStartFolder(const std::optional<std::filesystem::path> &preferred = std::nullopt);

/// How the window shows dialogs and makes sounds; tests put recorders in place of the dialogs.
struct SettingsPresenters {
    /// Shows the alert window-modal on `parent` and answers its response code.
    std::function<QCoro::Task<int>(QWidget *parent, SettingsAlert alert)> presentAlert;
    /// "Choose Pages Folder" starting in `start`; nothing when cancelled.
    std::function<QCoro::Task<std::optional<std::filesystem::path>>(QWidget *parent, std::filesystem::path start)>
        choosePagesFolder;
    /// "Import Keyboard Settings": one JSON file; nothing when cancelled.
    std::function<QCoro::Task<std::optional<std::filesystem::path>>(QWidget *parent)> chooseImportFile;
    /// "Export Keyboard Settings": where to write; nothing when cancelled.
    std::function<QCoro::Task<std::optional<std::filesystem::path>>(QWidget *parent)> chooseExportFile;
    /// Shows the folder in the desktop's file manager, else opens it; `done` is told whether anything could.
    std::function<void(std::filesystem::path folder, std::function<void(bool shown)> done)> revealFolder;
    std::function<void()> beep;

    /// QMessageBox and QFileDialog shown window-modal and awaited, QApplication::beep, the desktop's file manager.
    static SettingsPresenters live();
};

} // namespace velto
