#include "app/MinimalPanel.h"

#include "app/LaunchTrace.h"

#include "platform/Clock.h"
#include "store/Store.h"

#include <QtGui/QCursor>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtGui/QTextCursor>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QVBoxLayout>

namespace velto {

MinimalPanel::MinimalPanel(VeltoStore &store)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), store_(store),
      editor_(new QPlainTextEdit(this)), banner_(new QLabel(this)) {
    setObjectName(QStringLiteral("VeltoPanel"));
    setWindowTitle(QStringLiteral("Velto"));
    resize(480, 360);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(editor_);
    layout->addWidget(banner_);
    banner_->hide();
    editor_->setTabChangesFocus(false);

    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(saveDelayMilliseconds);
    connect(&saveTimer_, &QTimer::timeout, this, &MinimalPanel::flushPendingChanges);
    bannerTimer_.setSingleShot(true);
    connect(&bannerTimer_, &QTimer::timeout, this, &MinimalPanel::hideFeedback);
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) {
            saveTimer_.start();
        }
    });
    loadCurrentPage();
}

MinimalPanel::~MinimalPanel() {
    flushPendingChanges();
}

void MinimalPanel::loadCurrentPage() {
    if (saveTimer_.isActive()) {
        return;
    }
    QString text = QString::fromStdString(store_.document().currentPage.visibleText());
    editor_->setReadOnly(!canAppendToCurrentPage());
    if (editor_->toPlainText() != text) {
        loading_ = true;
        editor_->setPlainText(text);
        editor_->moveCursor(QTextCursor::End);
        loading_ = false;
    }
}

QPoint MinimalPanel::placement(std::optional<QRect> anchor, QPoint pointer, QSize size, QRect available) {
    QPoint origin;
    if (anchor && anchor->isValid()) {
        // Under the icon, centred on it; above it when the tray sits at the bottom of the screen.
        origin = QPoint(anchor->center().x() - size.width() / 2, anchor->bottom() + 4);
        if (origin.y() + size.height() > available.bottom()) {
            origin.setY(anchor->top() - 4 - size.height());
        }
    } else {
        origin = QPoint(pointer.x() - size.width() / 2, pointer.y());
    }
    int x = std::clamp(origin.x(), available.left(), std::max(available.left(), available.right() - size.width()));
    int y = std::clamp(origin.y(), available.top(), std::max(available.top(), available.bottom() - size.height()));
    return {x, y};
}

void MinimalPanel::show(std::optional<QRect> anchor) {
    if (isVisible()) {
        return;
    }
    loadCurrentPage();
    QPoint pointer = QCursor::pos();
    QScreen *screen = QGuiApplication::screenAt(anchor ? anchor->center() : pointer);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    move(placement(anchor, pointer, size(), available));
    wasActive_ = false;
    QWidget::show();
    raise();
    activateWindow();
    editor_->setFocus();
    if (pendingFeedback_) {
        PanelFeedback feedback = *pendingFeedback_;
        pendingFeedback_.reset();
        showFeedback(feedback);
    }
}

void MinimalPanel::close() {
    flushPendingChanges();
    hide();
}

void MinimalPanel::flushPendingChanges() {
    saveTimer_.stop();
    if (!canAppendToCurrentPage()) {
        return;
    }
    std::string text = editor_->toPlainText().toStdString();
    if (text != store_.document().currentPage.visibleText()) {
        store_.setText(text, systemClock().now());
    }
}

bool MinimalPanel::canAppendToCurrentPage() const {
    return store_.document().currentPage.content.asLoaded() != nullptr;
}

QString MinimalPanel::currentPageText() const {
    if (saveTimer_.isActive()) {
        return editor_->toPlainText();
    }
    return QString::fromStdString(store_.document().currentPage.visibleText());
}

void MinimalPanel::append(const QString &text) {
    loadCurrentPage();
    QString current = editor_->toPlainText();
    QTextCursor cursor(editor_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (!current.isEmpty() && !current.endsWith(QChar('\n'))) {
        cursor.insertText(QStringLiteral("\n"));
    }
    cursor.insertText(text);
    cursor.endEditBlock();
    flushPendingChanges();
    editor_->moveCursor(QTextCursor::End);
    editor_->ensureCursorVisible();
}

void MinimalPanel::showFeedback(const PanelFeedback &feedback) {
    if (!isVisible()) {
        pendingFeedback_ = feedback;
        return;
    }
    banner_->setText(feedback.message);
    banner_->show();
    bannerTimer_.start(static_cast<int>(feedback.duration * 1000));
}

void MinimalPanel::hideFeedback() {
    banner_->hide();
}

QMenu *MinimalPanel::makeStatusMenu() {
    return new QMenu();
}

void MinimalPanel::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        lastSelfClose_ = std::chrono::steady_clock::now();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool MinimalPanel::event(QEvent *event) {
    if (event->type() == QEvent::Show) {
        tracesNextPaint_ = launchTrace::isEnabled();
    } else if (event->type() == QEvent::UpdateRequest && tracesNextPaint_) {
        bool handled = QWidget::event(event);
        tracesNextPaint_ = false;
        launchTrace::milestone("panel painted");
        return handled;
    }
    if (event->type() == QEvent::WindowActivate) {
        wasActive_ = true;
    } else if (event->type() == QEvent::WindowDeactivate && wasActive_ && isVisible()) {
        // A click elsewhere closes the panel, as a transient panel does.
        close();
        lastSelfClose_ = std::chrono::steady_clock::now();
    }
    return QWidget::event(event);
}

} // namespace velto
