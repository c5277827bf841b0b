#include "SettingsTestSupport.h"

#include "platform/desktop/DisplayOptions.h"

#include <QtCore/QEventLoop>
#include <QtWidgets/QApplication>

#include <stdexcept>

namespace velto::testing {

namespace {

/// One QApplication for the whole executable (offscreen, a fixed font).
class SettingsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "velto_settings_tests";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
        static FixedDisplayOptions options;
        setDisplayOptionsProvider(&options);
    }
};

const auto *const registeredEnvironment = ::testing::AddGlobalTestEnvironment(new SettingsEnvironment);

QCoro::Task<std::optional<std::filesystem::path>> answer(std::optional<std::filesystem::path> path) {
    co_return path;
}

} // namespace

SettingsWindowCallbacks SettingsDoubles::callbacks() {
    SettingsWindowCallbacks c;
    c.general.onAppearanceChange = [this] { calls.push_back("appearance"); };
    c.general.onPanelSizeChange = [this] { calls.push_back("panelSize"); };
    c.onEditorChange = [this] { calls.push_back("editor"); };
    c.general.onAutoArchiveChange = [this](AutoArchiveDuration d) {
        calls.push_back("autoArchive:" + rawValue(d).toStdString());
    };
    c.storage.pagesFolderURL = [this] {
        calls.push_back("pagesFolderURL");
        return pagesFolder;
    };
    c.storage.archiveSnapshot = [this] {
        calls.push_back("archiveSnapshot");
        return archive;
    };
    c.storage.canDeleteArchivedPages = [this] {
        calls.push_back("canDelete");
        return canDelete;
    };
    c.storage.onDeleteConfirmedArchivedPages = [this](std::set<Uuid> ids) -> QCoro::Task<int> {
        calls.push_back("delete:" + std::to_string(ids.size()));
        if (deletionError) {
            throw std::runtime_error(*deletionError);
        }
        co_return static_cast<int>(ids.size());
    };
    c.storage.onPagesFolderChange = [this](VeltoFolderConnectionDecision decision) -> QCoro::Task<void> {
        calls.push_back("folderChange");
        folderChanges.push_back(decision);
        if (folderChangeError) {
            throw std::runtime_error(*folderChangeError);
        }
        co_return;
    };
    c.shortcuts.onShortcutChange = [this] {
        calls.push_back("register");
        if (registrations.empty()) {
            return ShortcutRegistrationAvailability{};
        }
        ShortcutRegistrationAvailability next = registrations.front();
        registrations.pop_front();
        return next;
    };
    c.shortcuts.availability = [this] { return availability; };
    c.onShortcutRecordingChange = [this](bool on) { calls.push_back(on ? "recording:true" : "recording:false"); };
    c.about.onSendFeedback = [this] { calls.push_back("feedback"); };
    c.about.onViewChangelog = [this] { calls.push_back("changelog"); };
    c.general.launchAtLoginService.currentStatus = [this] { return launchStatus; };
    c.general.launchAtLoginService.registerService = [this] {
        calls.push_back("login:register");
        if (registerError) {
            throw std::runtime_error(*registerError);
        }
        launchStatus = LaunchAtLoginStatus::enabled;
    };
    c.general.launchAtLoginService.unregisterService = [this] {
        calls.push_back("login:unregister");
        if (unregisterError) {
            throw std::runtime_error(*unregisterError);
        }
        launchStatus = LaunchAtLoginStatus::disabled;
    };
    c.onClose = [this] { calls.push_back("close"); };
    c.about.applicationVersion = QStringLiteral("Version 2.1 (88)");
    return c;
}

SettingsPresenters SettingsDoubles::presenters() {
    SettingsPresenters p;
    p.presentAlert = [this](QWidget *, SettingsAlert alert) -> QCoro::Task<int> {
        alerts.push_back(alert);
        if (duringAlert) {
            duringAlert(alert);
        }
        int response = secondButtonResponse;
        if (!alertAnswers.empty()) {
            response = alertAnswers.front();
            alertAnswers.pop_front();
        }
        co_return response;
    };
    p.choosePagesFolder = [this](QWidget *, std::filesystem::path) { return answer(chosenFolder); };
    p.chooseImportFile = [this](QWidget *) { return answer(chosenImportFile); };
    p.chooseExportFile = [this](QWidget *) { return answer(chosenExportFile); };
    p.revealFolder = [this](std::filesystem::path folder, std::function<void(bool shown)> done) {
        calls.push_back("reveal:" + folder.string());
        done(hasFileManager);
    };
    p.beep = [this] { ++beeps; };
    return p;
}

std::vector<std::string> SettingsDoubles::alertTitles() const {
    std::vector<std::string> titles;
    for (const SettingsAlert &alert : alerts) {
        titles.push_back(alert.title.toStdString());
    }
    return titles;
}

int SettingsDoubles::count(const std::string &call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

void SettingsWindowTest::SetUp() {
    ASSERT_TRUE(folder.isValid());
    store = std::make_unique<PreferencesStore>(
        std::make_unique<DefaultsDomain>(folder.filePath(QStringLiteral("Velto.json"))), center);
    VeltoPreferences::useStorage(store.get());
    QObject::connect(&center, &VeltoNotificationCenter::veltoPreferencesDidChange, [this] { ++preferenceChanges; });
    doubles.pagesFolder = std::filesystem::path(folder.path().toStdString()) / "Pages";
}

void SettingsWindowTest::TearDown() {
    controller_.reset();
    VeltoPreferences::useStorage(nullptr);
}

SettingsWindowController &SettingsWindowTest::controller() {
    if (!controller_) {
        makeController(doubles.callbacks());
    }
    return *controller_;
}

void SettingsWindowTest::makeController(SettingsWindowCallbacks callbacks) {
    controller_ = std::make_unique<SettingsWindowController>(std::move(callbacks), doubles.presenters());
}

void SettingsWindowTest::finish(QCoro::Task<void> &&task) {
    QCoro::Task<void> running = std::move(task);
    QCoro::waitFor(running);
}

} // namespace velto::testing
