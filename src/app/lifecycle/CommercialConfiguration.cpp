#include "app/lifecycle/CommercialConfiguration.h"

#include <QtCore/QStringList>

namespace velto::CommercialConfiguration {

std::optional<QUrl> validatedHTTPSURL(const std::optional<std::string> &text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    QUrl url(QString::fromStdString(*text), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != QStringLiteral("https") || url.host().isEmpty()) {
        return std::nullopt;
    }
    return url;
}

std::optional<QUrl> changelogURL(const applicationBundle::Bundle &bundle) {
    return validatedHTTPSURL(bundle.value("VeltoChangelogURL"));
}

QUrl changelogURL(const QUrl &page, const std::optional<std::string> &version) {
    if (!version) {
        return page;
    }
    // Every run of characters that are neither letters nor digits separates two pieces of the slug.
    QStringList pieces;
    QString piece;
    for (QChar character : QString::fromStdString(*version).toLower()) {
        if (character.isLetterOrNumber()) {
            piece += character;
        } else if (!piece.isEmpty()) {
            pieces << piece;
            piece.clear();
        }
    }
    if (!piece.isEmpty()) {
        pieces << piece;
    }
    if (pieces.isEmpty()) {
        return page;
    }
    QUrl entry = page;
    entry.setFragment(QStringLiteral("velto-") + pieces.join(QLatin1Char('-')));
    return entry;
}

bool hasUpdateFeed(const applicationBundle::Bundle &bundle) {
    return validatedHTTPSURL(bundle.value("SUFeedURL")).has_value();
}

std::optional<QString> feedbackRecipient(const applicationBundle::Bundle &bundle) {
    QString recipient = QString::fromStdString(bundle.value("VeltoFeedbackRecipient").value_or("")).trimmed();
    if (recipient.isEmpty()) {
        return std::nullopt;
    }
    return recipient;
}

QString releaseNotesWithChangelogLink(const QString &notes, const QUrl &changelogEntry) {
    return notes + QStringLiteral("<br><br><a href=\"%1\">View the full changelog</a>")
                       .arg(QString::fromUtf8(changelogEntry.toEncoded()).toHtmlEscaped());
}

} // namespace velto::CommercialConfiguration
