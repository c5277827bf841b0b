#include "panel/feedback/SaveProblem.h"

namespace velto::SaveProblem {
namespace {

// Longer than this, the reason is a sentence of its own, too long for a menu line or a banner.
constexpr qsizetype shortReasonLength = 40;

} // namespace

QString shortReason(const std::string &description) {
    QString text = QString::fromStdString(description).trimmed();
    // A file-system error names the operation and the file first ("Locking “/…/transaction.lock”: …"); the
    // reason follows.
    const qsizetype afterFile = text.indexOf(QStringLiteral("”: "));
    if (afterFile >= 0) {
        text = text.mid(afterFile + 3);
    }
    // A page file that could not be read is named first too: "The page file “…” could not be read. " and the
    // read error ("Input/output error").
    const QString unread = QStringLiteral("” could not be read. ");
    if (const qsizetype readError = text.indexOf(unread); readError >= 0) {
        text = text.mid(readError + unread.size());
    }
    const qsizetype colon = text.indexOf(QStringLiteral(": "));
    if (colon > 0 && colon <= shortReasonLength) {
        return text.left(colon);
    }
    // A clause that names a file first, then the system's own words: "The library file “…” can’t be opened:
    // Read-only file system."
    if (const qsizetype lastColon = text.lastIndexOf(QStringLiteral(": ")); lastColon > 0) {
        const QString last = text.mid(lastColon + 2);
        if (!last.isEmpty() && last.size() <= shortReasonLength && !last.contains(QChar(u'“'))) {
            return last.endsWith(QLatin1Char('.')) ? last.chopped(1) : last;
        }
    }
    if (text.isEmpty() || text.size() > shortReasonLength || text.contains(QChar(u'“'))) {
        return {};
    }
    return text.endsWith(QLatin1Char('.')) ? text.chopped(1) : text;
}

QString title(const std::string &description) {
    const QString reason = shortReason(description);
    return reason.isEmpty() ? QStringLiteral("Changes not saved")
                            : QStringLiteral("Changes not saved \u00b7 ") + reason;
}

QString folderForDisplay(const QString &path, const QString &home) {
    if (home.isEmpty() || home == QStringLiteral("/")) {
        return path;
    }
    const QString homeFolder = home.endsWith(QLatin1Char('/')) ? home.chopped(1) : home;
    if (path == homeFolder) {
        return QStringLiteral("~");
    }
    if (path.startsWith(homeFolder + QLatin1Char('/'))) {
        return QStringLiteral("~") + path.mid(homeFolder.size());
    }
    return path;
}

QString keptTextLine(const KeptText &kept) {
    switch (kept.state) {
    case KeptText::State::notYetKept:
        return {};
    case KeptText::State::kept:
        return QStringLiteral("Kept in “%1”").arg(kept.folder);
    case KeptText::State::onlyInVelto:
        // No false comfort: the keep failed too, so a quit or a crash would lose the text.
        return QStringLiteral("Only in Velto, in no file · keep Velto open");
    }
    return {};
}

PanelFeedback banner(const std::string &description, const KeptText &kept) {
    // An hour at most: the store says when saves succeed again, and the next opening shows it again meanwhile.
    constexpr double whileSavesFail = 60 * 60;
    // On a line of its own: beside the cause, the folder's path would make the banner wider than the panel.
    const QString where = keptTextLine(kept);
    const QString text = where.isEmpty() ? title(description) : title(description) + QLatin1Char('\n') + where;
    return {text, PanelFeedback::Emphasis::informational, whileSavesFail};
}

} // namespace velto::SaveProblem
