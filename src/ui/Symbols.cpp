#include "ui/Symbols.h"

#include <QtCore/QHash>

namespace velto::Symbols {

namespace {

const QHash<QString, QString> &themeNames() {
    static const QHash<QString, QString> names{
        {QStringLiteral("gearshape"), QStringLiteral("preferences-system")},
        {QStringLiteral("textformat"), QStringLiteral("preferences-desktop-font")},
        {QStringLiteral("folder"), QStringLiteral("folder")},
        {QStringLiteral("keyboard"), QStringLiteral("input-keyboard")},
        {QStringLiteral("info.circle"), QStringLiteral("help-about")},
        {QStringLiteral("chevron.down"), QStringLiteral("go-down")},
        {QStringLiteral("chevron.up"), QStringLiteral("go-up")},
        {QStringLiteral("ellipsis"), QStringLiteral("view-more")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("edit-clear")},
        {QStringLiteral("arrow.counterclockwise"), QStringLiteral("edit-undo")},
        {QStringLiteral("doc.text"), QStringLiteral("text-x-generic")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find")},
        {QStringLiteral("doc.text.magnifyingglass"), QStringLiteral("edit-find")},
    };
    return names;
}

} // namespace

std::optional<QString> themeIconName(const QString &symbolName) {
    auto entry = themeNames().constFind(symbolName);
    if (entry == themeNames().constEnd()) {
        return std::nullopt;
    }
    return *entry;
}

QIcon icon(const QString &symbolName) {
    std::optional<QString> themeName = themeIconName(symbolName);
    if (!themeName) {
        return {};
    }
    QIcon bundled(QStringLiteral(":/velto/symbols/") + symbolName + QStringLiteral(".svg"));
    return QIcon::fromTheme(*themeName, bundled);
}

} // namespace velto::Symbols
