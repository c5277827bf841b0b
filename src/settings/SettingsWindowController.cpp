#include "settings/SettingsWindowController.h"

#include "preferences/Preferences.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsPalette.h"
#include "ui/Appearance.h"
#include "ui/HoverButton.h"
#include "ui/Symbols.h"
#include "ui/VeltoUI.h"

#include <QtGui/QAction>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeySequence>
#include <QtGui/QPainter>
#include <QtGui/QShortcut>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QStackedWidget>

namespace velto {

namespace {

/// The sidebar's background: a gradient from the canvas to its edge colour, with a hairline on the right.
class SettingsSidebar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        QLinearGradient gradient(rect().topLeft(), rect().topRight());
        gradient.setColorAt(0.0, VeltoUI::Colors::canvas.resolved());
        gradient.setColorAt(0.68, VeltoUI::Colors::canvas.resolved());
        gradient.setColorAt(1.0, VeltoUI::Colors::canvasEdge.resolved());
        painter.fillRect(rect(), gradient);
        painter.fillRect(QRect(width() - 1, 0, 1, height()), VeltoUI::Colors::selectionBorder.resolved());
    }
};

/// The symbol drawn in one colour: the sidebar's symbols take its text colour, so that they show on a dark
/// sidebar as on a light one.
QIcon tintedSymbol(const QString &symbolName, const QColor &colour) {
    QIcon source = Symbols::icon(symbolName);
    QIcon tinted;
    for (int size : {16, 32}) {
        QPixmap pixmap = source.pixmap(size, size);
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), colour);
        painter.end();
        tinted.addPixmap(pixmap);
    }
    return tinted;
}

} // namespace

SettingsWindow::SettingsWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint) {
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(contentWidth, contentHeight);
    // Ctrl+W alone: Ctrl+Shift+W and the others are left to the menus. A recorder that records takes the
    // shortcut override first, so the combination can be recorded.
    auto *closing = new QShortcut(ownKeys().front(), this);
    closing->setContext(Qt::WindowShortcut);
    connect(closing, &QShortcut::activated, this, &QWidget::close);
}

QList<QKeySequence> SettingsWindow::ownKeys() {
    return {QKeySequence(Qt::CTRL | Qt::Key_W)};
}

void SettingsWindow::setMenuBar(QMenuBar *menuBar) {
    if (menuBar_) {
        menuBar_->deleteLater();
    }
    menuBar_ = menuBar;
    layout()->setMenuBar(menuBar);
    setFixedSize(contentWidth, contentHeight + menuBar->sizeHint().height());
}

void SettingsWindow::closeEvent(QCloseEvent *event) {
    bool wasVisible = isVisible();
    QWidget::closeEvent(event);
    if (wasVisible && event->isAccepted()) {
        emit closed();
    }
}

SettingsWindowController::SettingsWindowController(SettingsWindowCallbacks callbacks, SettingsPresenters presenters)
    : callbacks_(std::move(callbacks))
    , presenters_(std::move(presenters))
    , window_(std::make_unique<SettingsWindow>()) {
    if (!callbacks_.storage.assessPagesFolder) {
        callbacks_.storage.assessPagesFolder = defaultPagesFolderAssessment;
    }
    connect(window_.get(), &SettingsWindow::closed, this, &SettingsWindowController::didClose);
    SettingsPageHost &host = *this;
    generalPage_ = std::make_unique<GeneralSettingsPage>(callbacks_.general, callbacks_.isPreview, host);
    editorPage_ = std::make_unique<EditorSettingsPage>([this] { callbacks_.onEditorChange(); });
    storagePage_ = std::make_unique<StorageSettingsPage>(callbacks_.storage, callbacks_.isPreview, presenters_, host);
    shortcutsPage_ = std::make_unique<ShortcutsSettingsPage>(callbacks_.shortcuts, presenters_, host);
    aboutPage_ = std::make_unique<AboutSettingsPage>(callbacks_.about);

    VeltoNotificationCenter &center = VeltoPreferences::storage().notificationCenter();
    connect(&center, &VeltoNotificationCenter::veltoPreferencesDidChange, this, [this] {
        if (window_->isVisible()) {
            refresh();
        }
    });
    connect(&center, &VeltoNotificationCenter::veltoKeyboardInputSourceDidChange, this, [this] {
        if (window_->isVisible()) {
            shortcutsPage_->refreshGlobalShortcutLabels();
        }
    });
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive && window_->isVisible()) {
                refresh();
            }
        });
    }

    // The kit's colours resolve against the appearance at every painting; the palette is resolved anew.
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, window_.get(), [this] { applyWindowAppearance(); });

    buildContent();
    categoryList->setFocus();
    applyWindowAppearance();
    refresh();
}

SettingsWindowController::~SettingsWindowController() {
    // The recorders go with the window; none may report afterwards.
    for (InlineShortcutRecorder *recorder : window_->findChildren<InlineShortcutRecorder *>()) {
        QObject::disconnect(recorder, &InlineShortcutRecorder::recordingChanged, nullptr, nullptr);
    }
}

void SettingsWindowController::buildContent() {
    auto *root = new QHBoxLayout(window_.get());
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(makeSidebar());
    pageContainer = new QStackedWidget(window_.get());
    root->addWidget(pageContainer, 1);

    categoryPages_[SettingsCategory::general] = generalPage_->makePage();
    categoryPages_[SettingsCategory::editor] = editorPage_->makePage();
    categoryPages_[SettingsCategory::storage] = storagePage_->makePage();
    categoryPages_[SettingsCategory::shortcuts] = shortcutsPage_->makePage();
    categoryPages_[SettingsCategory::about] = aboutPage_->makePage();
    for (SettingsCategory category : allSettingsCategories) {
        pageContainer->addWidget(categoryPages_[category]);
    }
    showCategory(selectedCategory_);
    categoryList->setCurrentRow(static_cast<int>(selectedCategory_));
}

QWidget *SettingsWindowController::makeSidebar() {
    auto *sidebar = new SettingsSidebar(window_.get());
    sidebar->setFixedWidth(SettingsWindow::sidebarWidth);
    auto *layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(8, 12, 8, 12);
    categoryList = new QListWidget(sidebar);
    categoryList->setFrameShape(QFrame::NoFrame);
    categoryList->setAttribute(Qt::WA_MacShowFocusRect, false);
    categoryList->setSpacing(2);
    categoryList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Transparent over the sidebar's gradient, the selection in the kit's colour (see applyWindowAppearance);
    // no style sheet, which would slow down every painting of the window.
    categoryList->viewport()->setAutoFillBackground(false);
    for (SettingsCategory category : allSettingsCategories) {
        auto *item = new QListWidgetItem(Symbols::icon(sidebarSymbol(category)), sidebarTitle(category), categoryList);
        item->setFont(VeltoUI::systemFont(13));
        item->setSizeHint(QSize(0, 30));
    }
    categoryList->setIconSize(QSize(16, 16));
    connect(categoryList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (std::optional<SettingsCategory> category = settingsCategory(row)) {
            showCategory(*category);
        }
    });
    layout->addWidget(categoryList);
    return sidebar;
}

QScrollArea *SettingsWindowController::page(SettingsCategory category) const {
    auto found = categoryPages_.find(category);
    return found == categoryPages_.end() ? nullptr : found->second;
}

void SettingsWindowController::showCategory(SettingsCategory category) {
    QScrollArea *shown = page(category);
    if (shown == nullptr) {
        return;
    }
    if (category == selectedCategory_ && pageContainer->currentWidget() == shown) {
        return;
    }
    selectedCategory_ = category;
    pageContainer->setCurrentWidget(shown);
    if (categoryList->currentRow() != static_cast<int>(category)) {
        categoryList->setCurrentRow(static_cast<int>(category));
    }
    if (callbacks_.isPreview) {
        disablePreviewControls(shown);
    }
}

void SettingsWindowController::disablePreviewControls(QWidget *page) {
    // Every control of the page, never the sidebar.
    auto *scrollArea = qobject_cast<QScrollArea *>(page);
    QWidget *content = scrollArea != nullptr ? scrollArea->widget() : page;
    for (QWidget *child : content->findChildren<QWidget *>()) {
        if (child->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton *>(child) != nullptr) {
            child->setEnabled(false);
        }
    }
}

void SettingsWindowController::showWindow() {
    refresh();
    applyWindowAppearance();
    if (!window_->isVisible()) {
        // A window opened again starts where a new one would, in the sidebar, not on the control that had the
        // focus when it was closed; a window already open keeps its focus.
        categoryList->setFocus(Qt::OtherFocusReason);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void SettingsWindowController::applyWindowAppearance() {
    // The window follows the desktop's scheme unless the user chose one; the kit's colours resolve against it,
    // and so does the palette every label and control of the window reads.
    AppearanceChoice appearance = VeltoPreferences::appearance();
    window_->setProperty("veltoAppearance", rawValue(appearance));
    QPalette palette = SettingsPalette::resolved();
    window_->setPalette(palette);
    QPalette sidebar = palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        sidebar.setColor(group, QPalette::Base, Qt::transparent);
        sidebar.setColor(group, QPalette::Highlight, VeltoUI::Colors::selection.resolved());
        sidebar.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
    categoryList->setPalette(sidebar);
    for (SettingsCategory category : allSettingsCategories) {
        if (QListWidgetItem *item = categoryList->item(static_cast<int>(category))) {
            item->setIcon(tintedSymbol(sidebarSymbol(category), palette.color(QPalette::Active, QPalette::Text)));
        }
    }
    if (window_->isVisible()) {
        // Controls that colour their texts themselves (the recorders) take the new colours.
        refresh();
    }
    window_->update();
}

void SettingsWindowController::refresh() {
    generalPage_->refresh();
    editorPage_->refresh();
    aboutPage_->refresh();
    storagePage_->refresh();
    updateShortcutControls();
    if (callbacks_.isPreview) {
        if (QScrollArea *shown = page(selectedCategory_)) {
            disablePreviewControls(shown);
        }
    }
}

void SettingsWindowController::didClose() {
    // The recording ends first (its one report), so the shell registers its hot keys before it is told of
    // the close; without a recording the close still reports the end, as the shell expects.
    if (recordingRecorder() != nullptr) {
        endRecording();
    } else {
        callbacks_.onShortcutRecordingChange(false);
    }
    callbacks_.onClose();
}

void SettingsWindowController::updateShortcutControls() {
    generalPage_->updateRestoreAllDefaultsButton(shortcutsPage_->updateControls());
}

void SettingsWindowController::recordingChanged(InlineShortcutRecorder *recorder, bool isRecording) {
    if (isRecording) {
        // One recorder at a time: a new one ends the old one's recording first.
        if (recordingRecorder_ && recordingRecorder_ != recorder) {
            recordingRecorder_->stopRecording();
        }
        recordingRecorder_ = recorder;
    } else if (recordingRecorder_ == recorder) {
        recordingRecorder_ = nullptr;
    }
    callbacks_.onShortcutRecordingChange(isRecording);
}

InlineShortcutRecorder *SettingsWindowController::recordingRecorder() const {
    return recordingRecorder_ && recordingRecorder_->isRecording() ? recordingRecorder_.data() : nullptr;
}

void SettingsWindowController::endRecording() {
    if (InlineShortcutRecorder *recorder = recordingRecorder()) {
        recorder->stopRecording();
    }
}

QCoro::Task<int> SettingsWindowController::presentAlert(SettingsAlert alert) {
    endRecording();
    QCoro::Task<int> presenting = presenters_.presentAlert(window_->isVisible() ? window_.get() : nullptr, alert);
    int response = co_await presenting;
    co_return response;
}

QCoro::Task<void> SettingsWindowController::presentWarning(QString title, QString message, SettingsAlert::Style style) {
    SettingsAlert alert;
    alert.title = std::move(title);
    alert.message = std::move(message);
    alert.style = style;
    QCoro::Task<int> presenting = presentAlert(alert);
    co_await presenting;
}

std::unique_ptr<SettingsWindowController> makeSettingsWindowController(SettingsWindowCallbacks callbacks) {
    return std::make_unique<SettingsWindowController>(std::move(callbacks), SettingsPresenters::live());
}

} // namespace velto
