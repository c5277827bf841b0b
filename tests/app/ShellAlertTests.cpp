// How the shell's alerts are shown: a notice Velto raises by itself leaves the keyboard where it is, an alert the
// user asked for takes it, and Escape answers "Cancel" wherever an alert has one.
#include "AppTestSupport.h"
#include "app/shell/ShellAlert.h"

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

namespace velto {
namespace {

/// What the test saw of the alert while it was shown.
struct Shown {
    bool withoutActivating = false;
    bool stayedAfterEscape = false;
};

QMessageBox *visibleMessageBox() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

/// Once the alert shows, notes how it was shown and presses Escape; an alert Escape leaves open is answered
/// with its default button.
void pressEscapeOnceShown(Shown &shown) {
    QTimer::singleShot(0, [&shown] {
        QMessageBox *box = visibleMessageBox();
        ASSERT_NE(box, nullptr) << "no alert shown";
        shown.withoutActivating = box->testAttribute(Qt::WA_ShowWithoutActivating);
        QTest::keyClick(box, Qt::Key_Escape);
        if (box->isVisible()) {
            shown.stayedAfterEscape = true;
            box->defaultButton()->click();
        }
    });
}

TEST(ShellAlert, NoticesLeaveTheKeyboardAskedAlertsTakeItAndEscapeAnswersCancel) {
    struct Case {
        const char *name;
        bool notice;         // raised by Velto itself, not asked for
        bool throughRunner;  // runAlertModally rather than presentShellAlertModally
        QStringList buttons; // in order
        int escapeAnswer;    // the response Escape gives; 0 when it leaves the alert open
    };
    const Case cases[] = {
        {"the quit alert after a failed save",
         false,
         true,
         {QStringLiteral("Try Again"), QStringLiteral("Cancel"), QStringLiteral("Quit and Keep Text")},
         secondButtonResponse},
        {"an asked alert with Cancel first",
         false,
         false,
         {QStringLiteral("Cancel"), QStringLiteral("Delete")},
         firstAlertButton},
        {"a launch notice with only OK", true, false, {QStringLiteral("OK")}, firstAlertButton},
        {"a launch notice without Cancel stays",
         true,
         false,
         {QStringLiteral("OK"), QStringLiteral("Choose Another Shortcut…")},
         0},
        {"a launch notice shown by the runner",
         true,
         true,
         {QStringLiteral("Try Again"), QStringLiteral("Cancel"), QStringLiteral("Quit")},
         secondButtonResponse},
    };
    testing::widgetApplication();
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        Shown shown;
        pressEscapeOnceShown(shown);
        int response = 0;
        if (test.throughRunner) {
            std::vector<QString> buttons(test.buttons.begin(), test.buttons.end());
            response =
                runAlertModally(QMessageBox::Warning, QStringLiteral("Title"), QStringLiteral("Message"), buttons,
                                nullptr, test.notice ? AlertActivation::waitsForTheUser : AlertActivation::takesFocus);
        } else {
            ShellAlert alert{QStringLiteral("Title"), QStringLiteral("Message")};
            alert.buttons = test.buttons;
            response = test.notice ? presentShellNoticeModally(alert) : presentShellAlertModally(alert);
        }
        EXPECT_EQ(shown.withoutActivating, test.notice);
        if (test.escapeAnswer != 0) {
            EXPECT_FALSE(shown.stayedAfterEscape);
            EXPECT_EQ(response, test.escapeAnswer);
        } else {
            EXPECT_TRUE(shown.stayedAfterEscape) << "Escape answered an alert without Cancel";
            EXPECT_EQ(response, firstAlertButton);
        }
    }
}

} // namespace
} // namespace velto
