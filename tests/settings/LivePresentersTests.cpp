// The dialogs Settings shows in the running application: each answer must reach the flow that waits for it.
#include "settings/SettingsPresenters.h"

#include "support/ChildProcess.h"
#include "support/GenerousWait.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QDir>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

template <typename Dialog> Dialog *waitForDialog() {
    Dialog *found = nullptr;
    waitUntil(
        [&] {
            QApplication::processEvents();
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<Dialog *>(window); dialog != nullptr && dialog->isVisible()) {
                    found = dialog;
                }
            }
            return found != nullptr;
        },
        generousWait, 5ms);
    return found;
}

/// Types the path into the dialog's name field, as a user does; selectFile would wait for the folder's listing.
void typeInto(QFileDialog *dialog, const std::filesystem::path &path) {
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(field, nullptr);
    field->setText(QString::fromStdString(path.string()));
}

template <typename Result> bool runsToItsEnd(QCoro::Task<Result> &task) {
    return waitUntil(
        [&] {
            QApplication::processEvents();
            return task.isReady();
        },
        generousWait, 5ms);
}

class LivePresenters : public ::testing::Test {
protected:
    void SetUp() override {
        parent = std::make_unique<QWidget>();
        parent->resize(400, 300);
        parent->show();
    }

    SettingsPresenters presenters = SettingsPresenters::live();
    std::unique_ptr<QWidget> parent;
    TemporaryFolder files;
};

TEST_F(LivePresenters, TheButtonChosenInAnAlertIsTheAnswerOfTheWaitingFlow) {
    struct Case {
        int clicked;
        int expected;
    };
    for (Case example : {Case{0, firstButtonResponse}, Case{1, secondButtonResponse}, Case{2, thirdButtonResponse}}) {
        SettingsAlert alert;
        alert.title = QStringLiteral("Restore all defaults?");
        alert.buttons = {QStringLiteral("Restore defaults"), QStringLiteral("Keep"), QStringLiteral("Cancel")};
        QCoro::Task<int> asking = presenters.presentAlert(parent.get(), alert);
        QMessageBox *box = waitForDialog<QMessageBox>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), alert.title);
        QList<QAbstractButton *> buttons = box->buttons();
        auto chosen = std::find_if(buttons.begin(), buttons.end(), [&](QAbstractButton *button) {
            return button->text() == alert.buttons[example.clicked];
        });
        ASSERT_NE(chosen, buttons.end());
        (*chosen)->click();
        ASSERT_TRUE(runsToItsEnd(asking)) << "the alert closed, but its flow never went on";
        EXPECT_EQ(QCoro::waitFor(asking), example.expected);
    }
}

TEST_F(LivePresenters, AnAlertGoneWithItsWindowAnswersDismissed) {
    QCoro::Task<int> asking = presenters.presentAlert(parent.get(), SettingsAlert{});
    ASSERT_NE(waitForDialog<QMessageBox>(), nullptr);
    parent.reset();
    ASSERT_TRUE(runsToItsEnd(asking));
    EXPECT_EQ(QCoro::waitFor(asking), 0);
}

TEST_F(LivePresenters, TheFolderChosenInTheFolderDialogIsTheAnswerAndCancelAnswersNothing) {
    std::filesystem::path chosen = files.createFolder("Chosen");
    for (bool accepts : {true, false}) {
        auto choosing = presenters.choosePagesFolder(parent.get(), files.path());
        QFileDialog *dialog = waitForDialog<QFileDialog>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Use Folder"));
        EXPECT_EQ(dialog->directory().absolutePath().toStdString(), files.path().string()) << "it opens where asked";
        if (accepts) {
            typeInto(dialog, chosen);
            static_cast<QDialog *>(dialog)->accept(); // public in QDialog, the file dialog's own check runs
        } else {
            dialog->reject();
        }
        ASSERT_TRUE(runsToItsEnd(choosing)) << "the dialog closed, but its flow never went on";
        std::optional<std::filesystem::path> answer = QCoro::waitFor(choosing);
        if (accepts) {
            ASSERT_TRUE(answer.has_value());
            EXPECT_TRUE(std::filesystem::equivalent(*answer, chosen)) << *answer;
        } else {
            EXPECT_FALSE(answer.has_value());
        }
    }
}

TEST(FileDialogStartFolder, IsTheFolderAskedForWhenItIsOneElseHome) {
    TemporaryFolder files;
    std::filesystem::path folder = files.createFolder("Pages");
    const std::filesystem::path home = QDir::homePath().toStdString();
    struct Case {
        const char *name;
        std::optional<std::filesystem::path> preferred;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {"a folder", folder, folder},
        {"nothing asked for", std::nullopt, home},
        {"a folder that is gone", files.path() / "Unplugged", home},
        {"a file", files.writeFile("note.md", "text"), home},
        {"an empty path, the working folder", std::filesystem::path(), home},
    };
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        EXPECT_EQ(fileDialogStartFolder(example.preferred), example.expected);
    }
}

TEST_F(LivePresenters, ImportAndExportOpenInTheHomeFolderNotTheWorkingFolder) {
    ASSERT_NE(std::filesystem::current_path(), std::filesystem::path(QDir::homePath().toStdString()));
    for (bool importing : {true, false}) {
        auto choosing =
            importing ? presenters.chooseImportFile(parent.get()) : presenters.chooseExportFile(parent.get());
        QFileDialog *dialog = waitForDialog<QFileDialog>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(QDir::homePath()).absolutePath());
        dialog->reject();
        ASSERT_TRUE(runsToItsEnd(choosing));
    }
}

TEST_F(LivePresenters, TheExportDialogAnswersTheNamedFile) {
    auto choosing = presenters.chooseExportFile(parent.get());
    QFileDialog *dialog = waitForDialog<QFileDialog>();
    ASSERT_NE(dialog, nullptr);
    std::filesystem::path target = files.path() / "shortcuts.json";
    typeInto(dialog, target);
    static_cast<QDialog *>(dialog)->accept();
    ASSERT_TRUE(runsToItsEnd(choosing));
    std::optional<std::filesystem::path> answer = QCoro::waitFor(choosing);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->filename(), target.filename());
}

} // namespace
} // namespace velto::testing
