#pragma once

#include <QtCore/QString>

#include <optional>

namespace velto {

/// How the chosen Pages folder is owned: Velto's own managed folder, or a whole folder the user picked.
enum class VeltoFolderOwnershipMode { managedFolder, wholeFolder };

/// "managedFolder" or "wholeFolder".
inline QString rawValue(VeltoFolderOwnershipMode mode) {
    return mode == VeltoFolderOwnershipMode::managedFolder ? QStringLiteral("managedFolder")
                                                           : QStringLiteral("wholeFolder");
}

inline std::optional<VeltoFolderOwnershipMode> folderOwnershipModeFromRawValue(const QString &text) {
    if (text == QStringLiteral("managedFolder")) {
        return VeltoFolderOwnershipMode::managedFolder;
    }
    if (text == QStringLiteral("wholeFolder")) {
        return VeltoFolderOwnershipMode::wholeFolder;
    }
    return std::nullopt;
}

} // namespace velto
