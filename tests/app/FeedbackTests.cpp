// The feedback e-mail and its fallback, the makers' addresses the build sets, and the About window.
#include "AppTestSupport.h"
#include "app/lifecycle/CommercialConfiguration.h"
#include "app/menus/AboutPanel.h"
#include "app/menus/Feedback.h"

#include <QtCore/QUrlQuery>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

namespace velto {
namespace {

const SystemDetails debian{QStringLiteral("Debian GNU/Linux 12 (bookworm)"), QStringLiteral("x86_64")};

TEST(FeedbackMessage, TheBodyNamesTheVersionLinuxTheDistributionAndTheArchitecture) {
    struct Case {
        std::optional<std::string> version;
        std::optional<std::string> build;
        SystemDetails system;
        const char *signature;
    };
    const Case cases[] = {
        {"1.2", "57", debian, "Velto 1.2 (57)\nLinux, Debian GNU/Linux 12 (bookworm)\nx86_64"},
        {std::nullopt, "57", debian, "Velto build 57\nLinux, Debian GNU/Linux 12 (bookworm)\nx86_64"},
        {" ", std::nullopt, {QString(), QStringLiteral("arm64")}, "Velto development build\nLinux\narm64"},
    };
    for (const Case &test : cases) {
        FeedbackMessage message =
            FeedbackMessage::make(QStringLiteral("team@velto.example"), test.version, test.build, test.system);
        EXPECT_EQ(message.subject, QStringLiteral("Velto feedback"));
        EXPECT_EQ(message.body.toStdString(),
                  std::string("Hi Quorvane,\n\n[Write your feedback here]\n\n\n—\n") + test.signature);
        EXPECT_EQ(message.details(), QStringLiteral("team@velto.example\n\n") + message.body);
    }
}

TEST(FeedbackMessage, TheMailLinkCarriesEveryCharacterOfSubjectAndBody) {
    FeedbackMessage message{QStringLiteral("team+app@velto.example"), QStringLiteral("Velto feedback"),
                            QStringLiteral("a&b=c #1?\n— 100%")};
    QUrl link = message.mailtoURL();
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(link.path(), message.recipient);
    QUrlQuery query(link);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), message.subject);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), message.body);
    EXPECT_TRUE(link.fragment().isEmpty());
}

TEST(SystemDetails, TheDistributionIsThePrettyNameOfOsRelease) {
    const std::pair<const char *, const char *> cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Fedora Linux 40'", "Fedora Linux 40"},
        {"PRETTY_NAME=Arch", "Arch"},
        {"PRETTY_NAME=\"Say \\\"hi\\\"\"\n", "Say \"hi\""},
        {"NAME=Alpine\n", ""},
        {"", ""},
    };
    for (const auto &[osRelease, prettyName] : cases) {
        EXPECT_EQ(prettyNameFromOsRelease(osRelease).toStdString(), prettyName) << osRelease;
    }
    EXPECT_FALSE(SystemDetails::current().architecture.isEmpty());
}

class FeedbackComposing : public ::testing::Test {
protected:
    FeedbackComposer::Operations operations() {
        FeedbackComposer::Operations operations;
        operations.openMailLink = [this](QUrl url) -> QCoro::Task<bool> {
            opened.push_back(url);
            co_return hasMailApplication;
        };
        operations.presentAlert = [this](const ShellAlert &alert) {
            alerts.push_back(alert);
            return answer;
        };
        operations.copyText = [this](QString text) { copied.push_back(text); };
        operations.system = debian;
        return operations;
    }
    void compose(std::optional<QString> recipient) {
        QCoro::Task<void> composing = FeedbackComposer::compose(std::move(recipient), operations());
        // The operations answer at once, so composing has ended here.
        EXPECT_TRUE(composing.isReady());
    }

    bool hasMailApplication = true;
    int answer = firstAlertButton;
    std::vector<QUrl> opened;
    std::vector<ShellAlert> alerts;
    std::vector<QString> copied;
};

TEST_F(FeedbackComposing, AMailApplicationTakesTheMessage) {
    compose(QStringLiteral("team@velto.example"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].path(), QStringLiteral("team@velto.example"));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FeedbackComposing, WithoutAMailApplicationCopyDetailsCopiesTheAddressABlankLineAndTheBody) {
    hasMailApplication = false;
    compose(QStringLiteral("team@velto.example"));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, QStringLiteral("No Email App Is Available"));
    EXPECT_EQ(alerts[0].message, QStringLiteral("Send feedback to team@velto.example, or copy the address and "
                                                "technical information below."));
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Copy Details", "Cancel"}));
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_TRUE(copied[0].startsWith(QStringLiteral("team@velto.example\n\nHi Quorvane,\n\n")));
    EXPECT_TRUE(copied[0].endsWith(QStringLiteral("\nLinux, Debian GNU/Linux 12 (bookworm)\nx86_64")));

    answer = firstAlertButton + 1; // Cancel
    compose(QStringLiteral("team@velto.example"));
    EXPECT_EQ(copied.size(), 1u);
}

TEST_F(FeedbackComposing, ABuildWithoutARecipientComposesNothing) {
    compose(std::nullopt);
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(alerts.empty());
}

TEST(CommercialConfiguration, OnlyHTTPSAddressesWithAHostAreUsed) {
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {std::nullopt, false},
        {"", false},
        {"https://velto.example/appcast.xml", true},
        {"HTTPS://velto.example/appcast.xml", true}, // the scheme's case does not matter
        {"http://velto.example/appcast.xml", false},
        {"https:///appcast.xml", false},
        {"ftp://velto.example", false},
        {" https://velto.example", false}, // not trimmed
        {"https://velto .example", false},
    };
    for (const auto &[text, valid] : cases) {
        EXPECT_EQ(CommercialConfiguration::validatedHTTPSURL(text).has_value(), valid) << text.value_or("(none)");
    }
}

TEST(CommercialConfiguration, TheChangelogEntryOfAVersionIsItsSlugAsFragment) {
    const QUrl page(QStringLiteral("https://velto.example/changelog"));
    const std::pair<std::optional<std::string>, const char *> cases[] = {
        {"1.2.0 (45)", "velto-1-2-0-45"}, {"2.0-Beta", "velto-2-0-beta"}, {"..", ""}, {"", ""}, {std::nullopt, ""},
    };
    for (const auto &[version, fragment] : cases) {
        QUrl entry = CommercialConfiguration::changelogURL(page, version);
        EXPECT_EQ(entry.fragment().toStdString(), fragment) << version.value_or("(none)");
        EXPECT_EQ(entry.adjusted(QUrl::RemoveFragment), page);
    }
    QString notes = CommercialConfiguration::releaseNotesWithChangelogLink(
        QStringLiteral("<p>Fixes</p>"), CommercialConfiguration::changelogURL(page, "1.0"));
    EXPECT_EQ(notes, QStringLiteral("<p>Fixes</p><br><br><a href=\"https://velto.example/changelog#velto-1-0\">"
                                    "View the full changelog</a>"));
}

TEST(CommercialConfiguration, TheBuildsAddressesComeFromTheBundleAndAreOptional) {
    applicationBundle::Bundle configured;
    configured.info = applicationBundle::parseInfo("VeltoFeedbackRecipient= team@velto.example \n"
                                                   "VeltoChangelogURL=https://velto.example/changelog\n"
                                                   "SUFeedURL=https://velto.example/appcast.xml\n");
    EXPECT_EQ(CommercialConfiguration::feedbackRecipient(configured), QStringLiteral("team@velto.example"));
    EXPECT_EQ(CommercialConfiguration::changelogURL(configured),
              QUrl(QStringLiteral("https://velto.example/changelog")));
    EXPECT_TRUE(CommercialConfiguration::hasUpdateFeed(configured));

    applicationBundle::Bundle empty;
    empty.info = applicationBundle::parseInfo("VeltoFeedbackRecipient=\nVeltoChangelogURL=\nSUFeedURL=\n");
    EXPECT_FALSE(CommercialConfiguration::feedbackRecipient(empty));
    EXPECT_FALSE(CommercialConfiguration::changelogURL(empty));
    EXPECT_FALSE(CommercialConfiguration::hasUpdateFeed(empty));
}

TEST(AboutPanel, ShowsTheIconTheNameAndTheVersion) {
    testing::widgetApplication();
    AboutPanel panel(ApplicationVersion(std::string("2.1"), std::string("88")));
    panel.present();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("About Velto"));
    EXPECT_EQ(panel.findChild<QLabel *>(QStringLiteral("applicationName"))->text(), QStringLiteral("Velto"));
    EXPECT_EQ(panel.findChild<QLabel *>(QStringLiteral("applicationVersion"))->text(),
              QStringLiteral("Version 2.1 (88)"));
    EXPECT_FALSE(panel.findChild<QLabel *>(QStringLiteral("applicationIcon"))->pixmap().isNull());
    AboutPanel development(ApplicationVersion(std::nullopt, std::nullopt));
    EXPECT_EQ(development.findChild<QLabel *>(QStringLiteral("applicationVersion"))->text(),
              QStringLiteral("Development build"));
}

} // namespace
} // namespace velto
