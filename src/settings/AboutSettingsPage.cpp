#include "settings/AboutSettingsPage.h"

#include "settings/SettingsViewFactory.h"
#include "ui/HoverButton.h"
#include "ui/VeltoUI.h"
#include "ui/VeltoUIControls.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollArea>

namespace velto {

namespace {

using SettingsViewFactory::makeSwitch;
using SettingsViewFactory::preferenceRow;
using SettingsViewFactory::section;
using Prominence = HoverButton::Prominence;
constexpr auto none = std::nullopt;

} // namespace

AboutSettingsPage::AboutSettingsPage(const AboutSettingsActions &actions)
    : actions_(actions) {}

QWidget *AboutSettingsPage::makeIdentity() {
    auto *identity = new QWidget;
    auto *identityLayout = new QHBoxLayout(identity);
    identityLayout->setContentsMargins(0, 14, 0, 14);
    identityLayout->setSpacing(16);
    auto *icon = new QLabel;
    icon->setFixedSize(72, 72);
    icon->setAccessibleName(QStringLiteral("Velto app icon"));
    icon->setPixmap(QGuiApplication::windowIcon().pixmap(72, 72));
    auto *name = new QLabel(QStringLiteral("Velto"));
    name->setFont(VeltoUI::systemFont(17, QFont::DemiBold));
    auto *version = new QLabel(actions_.applicationVersion);
    version->setObjectName(QStringLiteral("applicationVersion"));
    version->setFont(VeltoUI::systemFont(12));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(name);
    texts->addWidget(version);
    identityLayout->addWidget(icon, 0, Qt::AlignTop);
    identityLayout->addLayout(texts, 1);
    return identity;
}

QScrollArea *AboutSettingsPage::makePage() {
    QWidget *identity = makeIdentity();

    bool canSendFeedback = static_cast<bool>(actions_.onSendFeedback);
    sendFeedbackButton = new HoverButton;
    VeltoUI::configure(
        *sendFeedbackButton, QStringLiteral("Send Feedback…"), Prominence::plain,
        [this] {
            if (actions_.onSendFeedback) {
                actions_.onSendFeedback();
            }
        },
        canSendFeedback ? QStringLiteral("Compose an email with Velto diagnostic details.")
                        : QStringLiteral("Feedback by email is unavailable in this build."));
    sendFeedbackButton->setEnabled(canSendFeedback);
    bool canViewChangelog = static_cast<bool>(actions_.onViewChangelog);
    viewChangelogButton = new HoverButton;
    VeltoUI::configure(
        *viewChangelogButton, QStringLiteral("View Changelog"), Prominence::plain,
        [this] {
            if (actions_.onViewChangelog) {
                actions_.onViewChangelog();
            }
        },
        canViewChangelog ? QStringLiteral("Open the Velto changelog in your default browser.")
                         : QStringLiteral("The changelog is unavailable in this build."));
    viewChangelogButton->setEnabled(canViewChangelog);

    // This build has no update feed: both update controls are shown disabled and say so.
    checkForUpdatesButton = new HoverButton;
    VeltoUI::configure(
        *checkForUpdatesButton, QStringLiteral("Check for Updates…"), Prominence::plain, [] {},
        QStringLiteral("Update checks are unavailable in this build."));
    checkForUpdatesButton->setEnabled(false);
    automaticUpdateChecksSwitch = makeSwitch(QStringLiteral("Automatically check for updates"),
                                             QStringLiteral("Automatic update checks are unavailable in this build."));
    automaticUpdateChecksSwitch->setEnabled(false);

    return SettingsViewFactory::page(
        QStringLiteral("About Velto"), none,
        {section(QStringLiteral("Application"), none, {identity}),
         section(QStringLiteral("Support"), none,
                 {preferenceRow(QStringLiteral("Send feedback"),
                                QStringLiteral("Report a problem, ask a question, or suggest an improvement."),
                                sendFeedbackButton),
                  preferenceRow(QStringLiteral("Changelog"),
                                QStringLiteral("See what’s new in this version and earlier releases."),
                                viewChangelogButton),
                  preferenceRow(QStringLiteral("Automatically check for updates"),
                                QStringLiteral("Periodically check for new versions and notify you when one is "
                                               "available."),
                                automaticUpdateChecksSwitch),
                  preferenceRow(QStringLiteral("Check for updates"),
                                QStringLiteral("Check whether a newer version of Velto is available."),
                                checkForUpdatesButton)})});
}

void AboutSettingsPage::refresh() {
    QSignalBlocker blocking(automaticUpdateChecksSwitch);
    automaticUpdateChecksSwitch->setChecked(false);
}

} // namespace velto
