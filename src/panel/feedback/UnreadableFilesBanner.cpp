#include "panel/feedback/UnreadableFilesBanner.h"

#include <filesystem>

namespace velto {

PanelFeedback unreadableFilesBanner(const std::vector<VeltoUnreadablePageFile> &files) {
    constexpr double readingTime = 2 * PanelFeedback::standardDuration;
    QString message;
    if (files.size() == 1) {
        const std::string name = std::filesystem::path(files.front().relativePath).filename().string();
        message = QStringLiteral("Can’t read “%1” · the tray menu lists it").arg(QString::fromStdString(name));
    } else {
        message = QStringLiteral("Can’t read %1 files · the tray menu lists them").arg(files.size());
    }
    return {message, PanelFeedback::Emphasis::informational, readingTime};
}

} // namespace velto
