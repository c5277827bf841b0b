#pragma once

#include "platform/ApplicationBundle.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

#include <optional>
#include <string>

/// The makers' addresses, set when Velto is built (written into the bundle's Info.ini): the feedback e-mail
/// address, the changelog page and the update feed. A build without them leaves each empty; then the
/// controls that need one are disabled. No updater is ever created on Linux: only the rules it would follow
/// are here.
namespace velto::CommercialConfiguration {

/// The text as an address when it is an HTTPS address with a host; nothing otherwise (no text, empty text, an
/// unparsable address, another scheme). The scheme's case does not matter; white space is not trimmed.
std::optional<QUrl> validatedHTTPSURL(const std::optional<std::string> &text);

/// The changelog page from "VeltoChangelogURL"; nothing when the build names none (or no HTTPS page).
std::optional<QUrl> changelogURL(const applicationBundle::Bundle &bundle = applicationBundle::current());

/// The page's entry for a version: the fragment "velto-" and the version's letters and digits in lower case,
/// joined by "-" ("1.2.0 (45)" gives "velto-1-2-0-45"); the page itself without a usable version.
QUrl changelogURL(const QUrl &page, const std::optional<std::string> &version);

/// Whether "SUFeedURL" names an HTTPS address with a host.
bool hasUpdateFeed(const applicationBundle::Bundle &bundle = applicationBundle::current());

/// The feedback e-mail address from "VeltoFeedbackRecipient", trimmed; nothing when the build names none.
std::optional<QString> feedbackRecipient(const applicationBundle::Bundle &bundle = applicationBundle::current());

/// Release notes (rich text) with a link to the version's changelog entry after a blank line.
QString releaseNotesWithChangelogLink(const QString &notes, const QUrl &changelogEntry);

} // namespace velto::CommercialConfiguration
