#include "panel/browse/BrowsePagesWindow.h"

#include "model/PageArchiveState.h"
#include "panel/menu/PanelAlerts.h"
#include "panel/pages/ActivePages.h"
#include "ui/VeltoUIControls.h"
#include "ui/WindowAppearance.h"

#include <QtCore/QPointer>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListView>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include <utility>

namespace velto {
namespace {

const QString guidanceText = QStringLiteral(
    "Velto kept both versions because the same lines changed in two places. Select the saved copy, then choose "
    "which version to keep.");
const QString recoveredPageHelp = QStringLiteral(
    "Velto kept your text as a new page because the original page file was removed or emptied, or can’t be read "
    "or changed. There is no other version to choose: open the page to go on writing.");
const QString currentCopyHelp =
    QStringLiteral("This saved copy is the page open in the panel. Open another page, then choose again.");
const QString copyOfItselfHelp = QStringLiteral(
    "This saved copy names itself as its original page, so there is no other version to keep. Choose Keep Both "
    "to keep it as a regular page.");

Date now() {
    return std::chrono::system_clock::now();
}

} // namespace

// ---- model and delegate ----

void BrowsePagesModel::setRows(std::vector<BrowsePageRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int BrowsePagesModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant BrowsePagesModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) {
        return {};
    }
    const BrowsePageRow &row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.preview;
    case detailRole:
        return row.detail;
    case Qt::AccessibleTextRole:
        return row.preview + QStringLiteral(", ") + row.detail;
    case Qt::ToolTipRole:
        return row.detail;
    default:
        return {};
    }
}

void BrowsePageRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QRect area = option.rect.adjusted(8, 7, -8, -4);
    QFont titleFont = option.font;
    QFont detailFont = option.font;
    detailFont.setPointSizeF(titleFont.pointSizeF() * 0.85);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics detailMetrics(detailFont);

    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(titleFont);
    const QString title = titleMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, area.width());
    painter->drawText(QRect(area.left(), area.top(), area.width(), titleMetrics.height()), Qt::AlignLeft, title);
    painter->setFont(detailFont);
    QColor dimmed = option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
    painter->setPen(dimmed);
    const QString detail =
        detailMetrics.elidedText(index.data(BrowsePagesModel::detailRole).toString(), Qt::ElideRight, area.width());
    painter->drawText(QRect(area.left(), area.top() + titleMetrics.height() + 2, area.width(), detailMetrics.height()),
                      Qt::AlignLeft, detail);
    painter->restore();
}

QSize BrowsePageRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
    return {0, 52}; // as wide as the list, whatever its width
}

// ---- window ----

BrowsePagesWindow::BrowsePagesWindow(const VeltoDocument &document, Callbacks callbacks, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , document_(document)
    , callbacks_(std::move(callbacks))
    , list_(document)
    , searchField_(new QLineEdit(this))
    , guidanceLabel_(new QLabel(guidanceText, this))
    , listView_(new QListView(this))
    , emptyStateView_(new VeltoContentUnavailableView(this))
    , openButton_(new QPushButton(QStringLiteral("Open Page"), this))
    , keepCurrentButton_(new QPushButton(QStringLiteral("Keep Current"), this))
    , keepBothButton_(new QPushButton(QStringLiteral("Keep Both"), this))
    , useSavedCopyButton_(new QPushButton(QStringLiteral("Use Saved Copy"), this)) {
    setWindowTitle(QStringLiteral("Browse Pages"));
    resize(520, 440);
    setMinimumSize(400, 300);
    followAppearance(this);

    searchField_->setPlaceholderText(QStringLiteral("Search active pages"));
    searchField_->setClearButtonEnabled(true);
    guidanceLabel_->setWordWrap(true);
    guidanceLabel_->hide();
    listView_->setModel(&model_);
    listView_->setItemDelegate(new BrowsePageRowDelegate(listView_));
    listView_->setUniformItemSizes(true);
    listView_->setSpacing(1);
    listView_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The rows take the list's width and cut their texts short: there is nothing to scroll sideways to.
    listView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const std::pair<QPushButton *, QString> helpedButtons[] = {
        {openButton_, QStringLiteral("Open the selected page.")},
        {keepCurrentButton_, QStringLiteral("Keep the current Velto page and remove the selected saved copy.")},
        {keepBothButton_, QStringLiteral("Keep both versions as regular pages.")},
        {useSavedCopyButton_, QStringLiteral("Replace the current Velto page with the selected saved copy.")},
    };
    for (const auto &[button, help] : helpedButtons) {
        VeltoUI::configure(*button,
                           button == openButton_ ? VeltoUI::NativeActionRole::defaultAction
                                                 : VeltoUI::NativeActionRole::standard,
                           help);
        button->setToolTip(help); // what the accessible description tells, shown on hover too
    }

    auto *listArea = new QGridLayout();
    listArea->addWidget(listView_, 0, 0);
    listArea->addWidget(emptyStateView_, 0, 0);
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(keepCurrentButton_);
    buttons->addWidget(keepBothButton_);
    buttons->addWidget(useSavedCopyButton_);
    buttons->addStretch(1);
    buttons->addWidget(openButton_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(guidanceLabel_);
    layout->addWidget(searchField_);
    layout->addLayout(listArea, 1);
    layout->addLayout(buttons);
    setConflictReviewMode(false);
    // Tab walks the window as it reads: the search, the list, then the buttons from left to right.
    setTabOrder(searchField_, listView_);
    setTabOrder(listView_, keepCurrentButton_);
    setTabOrder(keepCurrentButton_, keepBothButton_);
    setTabOrder(keepBothButton_, useSavedCopyButton_);
    setTabOrder(useSavedCopyButton_, openButton_);

    searchTimer_.setSingleShot(true);
    searchTimer_.setInterval(searchDelay);
    connect(&searchTimer_, &QTimer::timeout, this, [this] { reloadDisplayedPages(); });
    connect(searchField_, &QLineEdit::textChanged, this, [this] { scheduleSearch(); });
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        showGuidanceForSelection();
        updateActionAvailability();
    });
    // Return, Enter and a double click (or the desktop's single click) on a row.
    connect(listView_, &QListView::activated, this, [this] { openSelectedPage(); });
    connect(searchField_, &QLineEdit::returnPressed, this, [this] { openFromSearchField(); });
    searchField_->installEventFilter(this);
    listView_->installEventFilter(this);
    connect(openButton_, &QPushButton::clicked, this, [this] { openSelectedPage(); });
    connect(keepCurrentButton_, &QPushButton::clicked, this,
            [this] { resolveSelectedConflict(VeltoConflictResolution::keepCurrentVersion); });
    connect(keepBothButton_, &QPushButton::clicked, this,
            [this] { resolveSelectedConflict(VeltoConflictResolution::keepBothVersions); });
    connect(useSavedCopyButton_, &QPushButton::clicked, this,
            [this] { resolveSelectedConflict(VeltoConflictResolution::useSavedCopy); });
}

void BrowsePagesWindow::showAllPages() {
    list_.setFilter(std::nullopt);
    setWindowTitle(QStringLiteral("Browse Pages"));
    searchField_->setPlaceholderText(QStringLiteral("Search active pages"));
    setConflictReviewMode(false);
    present();
}

void BrowsePagesWindow::showConflictCopies(const std::vector<Uuid> &pageIDs) {
    list_.setFilter(std::set<Uuid>(pageIDs.begin(), pageIDs.end()));
    const bool one = pageIDs.size() == 1;
    setWindowTitle(one ? QStringLiteral("Review Saved Conflict Copy") : QStringLiteral("Review Saved Conflict Copies"));
    searchField_->setPlaceholderText(one ? QStringLiteral("Search saved conflict copy")
                                         : QStringLiteral("Search saved conflict copies"));
    setConflictReviewMode(true);
    present();
    // Recovered pages are no conflict copies: the window says what they are.
    if (list_.guidance(std::nullopt) == BrowseReviewGuidance::recoveredPage) {
        setWindowTitle(one ? QStringLiteral("Review Recovered Page") : QStringLiteral("Review Recovered Pages"));
        searchField_->setPlaceholderText(one ? QStringLiteral("Search recovered page")
                                             : QStringLiteral("Search recovered pages"));
    }
}

void BrowsePagesWindow::present() {
    {
        const QSignalBlocker quiet(searchField_);
        searchField_->clear();
    }
    searchTimer_.stop();
    openWhenSearched_ = false;
    reloadDisplayedPages();
    listView_->clearSelection();
    listView_->scrollToTop();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
    searchField_->setFocus();
}

void BrowsePagesWindow::setConflictReviewMode(bool on) {
    conflictReview_ = on;
    guidanceLabel_->setText(guidanceText);
    guidanceLabel_->setVisible(on);
    keepCurrentButton_->setVisible(on);
    keepBothButton_->setVisible(on);
    useSavedCopyButton_->setVisible(on);
    openButton_->setText(on ? QStringLiteral("Open Saved Copy") : QStringLiteral("Open Page"));
    openButton_->setAccessibleName(openButton_->text());
    openButton_->setAccessibleName(openButton_->text());
    updateActionAvailability();
}

void BrowsePagesWindow::scheduleSearch() {
    // Typing restarts the delay, so a search runs once the user pauses rather than on every key.
    searchGeneration_ += 1;
    searchRunning_ = false;
    openWhenSearched_ = false; // a Return given for the text before this key
    searchTimer_.start();
}

void BrowsePagesWindow::reloadDisplayedPages() {
    const QString query = searchField_->text().trimmed();
    std::vector<const VeltoPage *> pages = list_.candidatePages();
    if (query.isEmpty()) {
        list_.setRows(pages, query, now());
        showRows();
        return;
    }
    searchGeneration_ += 1;
    const std::vector<Uuid> activeIDs = identifiersOf(activePagesByActivity(document_));
    list_.foldedTexts().retain(std::set<Uuid>(activeIDs.begin(), activeIDs.end())); // archived or gone since
    search_.start(searchGeneration_, query.toStdString(), identifiersOf(pages));
    searchRunning_ = true;
    runSearchSlice();
}

void BrowsePagesWindow::runSearchSlice() {
    if (!searchRunning_ || search_.generation() != searchGeneration_) {
        return; // a newer search took over
    }
    if (!search_.step(document_, list_.foldedTexts(), searchSlice)) {
        // The rest in later slices; the search finds its pages in the document again, which may change meanwhile.
        QTimer::singleShot(0, this, [this, generation = searchGeneration_] {
            if (generation == searchGeneration_) {
                runSearchSlice();
            }
        });
        return;
    }
    searchRunning_ = false;
    std::vector<const VeltoPage *> pages = list_.candidatePages();
    search_.keepMatching(pages);
    list_.setRows(pages, searchField_->text().trimmed(), now());
    showRows();
    if (std::exchange(openWhenSearched_, false) && isVisible()) {
        openSearchResult();
    }
}

void BrowsePagesWindow::refreshKeepingSelection() {
    if (std::optional<std::size_t> row = selectedRow()) {
        selectionToKeep_ = model_.rows()[*row].id;
    }
    reloadDisplayedPages();
}

void BrowsePagesWindow::showRows() {
    model_.setRows(list_.rows());
    if (std::optional<Uuid> kept = std::exchange(selectionToKeep_, std::nullopt)) {
        if (std::optional<std::size_t> row = list_.rowOf(*kept)) {
            selectRow(*row);
        }
    }
    showGuidanceForSelection();
    if (const auto &empty = list_.emptyState()) {
        emptyStateView_->configure(*empty);
        emptyStateView_->show();
    } else {
        emptyStateView_->hide();
    }
    updateActionAvailability();
}

void BrowsePagesWindow::selectRow(std::size_t row) {
    // Current as well as selected: Return in the list opens the current row, and the arrows move from it.
    listView_->selectionModel()->setCurrentIndex(model_.index(static_cast<int>(row)),
                                                 QItemSelectionModel::ClearAndSelect);
    listView_->scrollTo(model_.index(static_cast<int>(row)));
    updateActionAvailability();
}

std::optional<std::size_t> BrowsePagesWindow::selectedRow() const {
    const QModelIndexList selected = listView_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() || selected.front().row() >= static_cast<int>(model_.rows().size())) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(selected.front().row());
}

void BrowsePagesWindow::showGuidanceForSelection() {
    switch (list_.guidance(selectedRow())) {
    case BrowseReviewGuidance::chooseVersion:
        guidanceLabel_->setText(guidanceText);
        break;
    case BrowseReviewGuidance::copyNamesItself:
        guidanceLabel_->setText(copyOfItselfHelp);
        break;
    case BrowseReviewGuidance::recoveredPage:
        guidanceLabel_->setText(recoveredPageHelp);
        break;
    }
}

void BrowsePagesWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BrowsePagesWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    // The panel may have opened another page, and the library changed, while the window stood behind: what it
    // lists, which row is the page in the panel and what each allows are taken again when it comes to the front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible() && !resolving_) {
        refreshKeepingSelection();
    }
}

bool BrowsePagesWindow::eventFilter(QObject *watched, QEvent *event) {
    // Reached with the keyboard, the list selects its first row when none is: the buttons act on the selected row,
    // and with none they would all stay disabled, leaving Tab nothing to reach but the list and the search.
    if (watched == listView_ && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && !selectedRow() &&
            !model_.rows().empty()) {
            selectRow(0);
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->modifiers() != Qt::NoModifier) {
        return QWidget::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (watched == searchField_ && moveSelection(key)) {
        return true;
    }
    // The list reached with Tab marks its first row without selecting it, and Down would step past it (or, with
    // one row, nowhere): the first arrow selects a row, as from the search field.
    if (watched == listView_ && !selectedRow() && moveSelection(key)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool BrowsePagesWindow::moveSelection(int key) {
    if (key != Qt::Key_Down && key != Qt::Key_Up) {
        return false;
    }
    const std::size_t count = model_.rows().size();
    if (count == 0) {
        return true;
    }
    std::optional<std::size_t> row = selectedRow();
    if (!row) {
        selectRow(key == Qt::Key_Down ? 0 : count - 1);
    } else if (key == Qt::Key_Down && *row + 1 < count) {
        selectRow(*row + 1);
    } else if (key == Qt::Key_Up && *row > 0) {
        selectRow(*row - 1);
    }
    return true;
}

void BrowsePagesWindow::openFromSearchField() {
    // The rows shown may still be those of an earlier text: Return acts on the results of the text in the field.
    if (searchTimer_.isActive()) {
        searchTimer_.stop();
        reloadDisplayedPages();
    }
    if (searchRunning_) {
        openWhenSearched_ = true;
        return;
    }
    openSearchResult();
}

void BrowsePagesWindow::openSearchResult() {
    // Opening a saved copy ends its review: Return there opens only the copy the user selected, as the default
    // button does, never one picked for them.
    if (!selectedRow() && !model_.rows().empty() && !conflictReview_) {
        selectRow(0);
    }
    openSelectedPage();
}

void BrowsePagesWindow::updateActionAvailability() {
    const BrowsePagesList::Availability availability = list_.availability(selectedRow());
    openButton_->setEnabled(availability.open);
    keepBothButton_->setEnabled(!resolving_ && availability.keepBoth);
    keepCurrentButton_->setEnabled(!resolving_ && availability.keepCurrentOrUseSaved);
    useSavedCopyButton_->setEnabled(!resolving_ && availability.keepCurrentOrUseSaved);
}

void BrowsePagesWindow::openSelectedPage() {
    std::optional<std::size_t> row = selectedRow();
    if (!row || model_.rows()[*row].unavailable) {
        return;
    }
    const Uuid id = model_.rows()[*row].id;
    const VeltoPage *page = findPage(document_, id);
    if (page == nullptr || isArchivedPage(*page) || page->content.asUnavailable() != nullptr) {
        // Archived or removed since it was listed: the list is shown as it is now, and the window stays.
        reloadDisplayedPages();
        beep();
        return;
    }
    hide();
    if (callbacks_.openPage) {
        callbacks_.openPage(id);
    }
}

QCoro::Task<VeltoConflictResolutionOutcome>
BrowsePagesWindow::resolveSelectedConflict(VeltoConflictResolution resolution) {
    std::optional<std::size_t> row = selectedRow();
    if (!row || resolving_ || !callbacks_.resolve) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    const BrowsePageRow selected = model_.rows()[*row];
    // Asked of the library as it is now: the row may have been listed before the panel opened another page.
    if (selected.id == document_.currentPage.id) {
        guidanceLabel_->setText(currentCopyHelp);
        beep();
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    if (selected.namesItselfAsOriginal && resolution != VeltoConflictResolution::keepBothVersions) {
        guidanceLabel_->setText(copyOfItselfHelp);
        beep();
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    // The copy as the row shows it, to which the user's answer applies.
    std::optional<VeltoPageContent> shown;
    if (const VeltoPage *listed = findPage(document_, selected.id)) {
        shown = listed->content;
    }
    if (resolution != VeltoConflictResolution::keepBothVersions) {
        const bool keepCurrent = resolution == VeltoConflictResolution::keepCurrentVersion;
        const QString message =
            keepCurrent ? QStringLiteral("Keep the Current Version?") : QStringLiteral("Use the Saved Copy?");
        const QString informative =
            keepCurrent
                ? QStringLiteral("The saved conflict copy will be removed. The current Velto page will not change.")
                : QStringLiteral("The current page will be replaced with this saved version, and the conflict "
                                 "copy will be removed.");
        const QString action = keepCurrent ? QStringLiteral("Keep Current") : QStringLiteral("Use Saved Copy");
        const bool confirmed = callbacks_.confirm ? callbacks_.confirm(message, informative, action)
                                                  : PanelAlerts::confirm(this, message, informative, action);
        if (!confirmed) {
            co_return VeltoConflictResolutionOutcome::unavailable;
        }
    }
    // The folder may have changed while the question was asked: a choice confirmed on one version of the copy is
    // never carried out on another, nor on a copy that is gone.
    const VeltoPage *answered = findPage(document_, selected.id);
    if (answered == nullptr || (shown.has_value() && answered->content != *shown)) {
        const auto outcome =
            answered == nullptr ? VeltoConflictResolutionOutcome::deleted : VeltoConflictResolutionOutcome::refreshed;
        showOutcome(selected.id, outcome);
        co_return outcome;
    }
    QPointer<BrowsePagesWindow> self(this);
    resolving_ = true;
    updateActionAvailability();
    VeltoConflictResolutionOutcome outcome = co_await callbacks_.resolve(selected.id, resolution);
    if (!self) {
        co_return outcome;
    }
    resolving_ = false;
    showGuidanceForSelection();
    showOutcome(selected.id, outcome);
    co_return outcome;
}

void BrowsePagesWindow::showOutcome(const Uuid &copyID, VeltoConflictResolutionOutcome outcome) {
    switch (outcome) {
    case VeltoConflictResolutionOutcome::resolved:
        list_.removeFromFilter(copyID);
        reloadDisplayedPages();
        if (model_.rows().empty()) {
            hide();
        }
        break;
    case VeltoConflictResolutionOutcome::refreshed:
        reloadDisplayedPages();
        if (std::optional<std::size_t> again = list_.rowOf(copyID)) {
            selectRow(*again);
        }
        presentRefreshedConflictNotice();
        break;
    case VeltoConflictResolutionOutcome::deleted:
        list_.removeFromFilter(copyID);
        reloadDisplayedPages();
        presentDeletedCopyNotice();
        if (model_.rows().empty()) {
            hide();
        }
        break;
    case VeltoConflictResolutionOutcome::unavailable:
        beep();
        break;
    }
    updateActionAvailability();
}

void BrowsePagesWindow::presentRefreshedConflictNotice() {
    if (callbacks_.presentRefreshedConflictNotice) {
        callbacks_.presentRefreshedConflictNotice();
        return;
    }
    PanelAlerts::notify(
        this, QStringLiteral("Saved Copy Changed"),
        QStringLiteral("This saved copy changed elsewhere. Review the refreshed version before choosing again."),
        QStringLiteral("Review Again"));
}

void BrowsePagesWindow::presentDeletedCopyNotice() {
    if (callbacks_.presentDeletedCopyNotice) {
        callbacks_.presentDeletedCopyNotice();
        return;
    }
    PanelAlerts::notify(this, QStringLiteral("Saved Copy Deleted"),
                        QStringLiteral("This saved copy was deleted elsewhere. Nothing was changed."),
                        QStringLiteral("OK"));
}

void BrowsePagesWindow::libraryChanged() {
    if (isVisible() && !resolving_) {
        refreshKeepingSelection();
    }
}

void BrowsePagesWindow::beep() {
    if (callbacks_.beep) {
        callbacks_.beep();
    } else {
        QApplication::beep();
    }
}

} // namespace velto
