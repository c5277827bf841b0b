#pragma once

#include "model/ConflictResolutionChoice.h"
#include "panel/browse/BrowsePagesList.h"

#include <QtCore/QAbstractListModel>
#include <QtCore/QTimer>
#include <QtWidgets/QStyledItemDelegate>
#include <QtWidgets/QWidget>
#include <qcoro/qcorotask.h>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace velto {

/// The rows of the Browse Pages list for its view: the title as display text, the detail in `detailRole`.
class BrowsePagesModel : public QAbstractListModel {
public:
    static constexpr int detailRole = Qt::UserRole + 1;
    void setRows(std::vector<BrowsePageRow> rows);
    const std::vector<BrowsePageRow> &rows() const { return rows_; }
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::vector<BrowsePageRow> rows_;
};

/// Draws a row in two lines: the title, and under it the detail, smaller and dimmed.
class BrowsePageRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

/// The Browse Pages window: a searchable list of the active pages that opens the chosen one in the panel,
/// and, for saved conflict copies, a review that keeps the current version, keeps both or uses the copy.
/// Closing hides it; the same window serves every later show. Main thread only.
class BrowsePagesWindow : public QWidget {
public:
    using Resolve = std::function<QCoro::Task<VeltoConflictResolutionOutcome>(Uuid, VeltoConflictResolution)>;
    struct Callbacks {
        std::function<void(Uuid)> openPage;
        /// Settles a copy (through the panel, which saves the editor's text first and shows the result).
        Resolve resolve;
        /// Asks before a destructive choice: message, informative text, action button; true to go on.
        std::function<bool(const QString &, const QString &, const QString &)> confirm;
        std::function<void()> presentRefreshedConflictNotice;
        /// Tells that the copy chosen on was deleted elsewhere; empty: an alert.
        std::function<void()> presentDeletedCopyNotice;
        std::function<void()> beep;
    };
    static constexpr std::chrono::milliseconds searchDelay{120};
    /// A search slice takes no new piece of work after this long; the piece under way ends it within 8 ms.
    static constexpr std::chrono::milliseconds searchSlice{6};

    BrowsePagesWindow(const VeltoDocument &document, Callbacks callbacks, QWidget *parent = nullptr);

    void showAllPages();
    void showConflictCopies(const std::vector<Uuid> &pageIDs);

    // ---- what the buttons do ----
    void openSelectedPage();
    QCoro::Task<VeltoConflictResolutionOutcome> resolveSelectedConflict(VeltoConflictResolution resolution);

    /// The library was read again from its folder: an open window lists it as it is now, the selected page
    /// staying selected, so that a copy another program rewrote or deleted is shown as it is.
    void libraryChanged();

    // ---- for tests ----
    QLineEdit *searchField() const { return searchField_; }
    QListView *listView() const { return listView_; }
    BrowsePagesModel &model() { return model_; }
    QLabel *guidanceLabel() const { return guidanceLabel_; }
    QPushButton *openButton() const { return openButton_; }
    QPushButton *keepCurrentButton() const { return keepCurrentButton_; }
    QPushButton *keepBothButton() const { return keepBothButton_; }
    QPushButton *useSavedCopyButton() const { return useSavedCopyButton_; }
    VeltoContentUnavailableView *emptyStateView() const { return emptyStateView_; }
    bool isSearching() const { return searchTimer_.isActive() || searchRunning_; }
    void selectRow(std::size_t row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    /// Escape closes the window, as it closes a dialog.
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void present();
    /// Up and Down from the search field walk the results, the typing staying in the field; with no result
    /// selected, they select the first or the last.
    bool moveSelection(int key);
    /// Return in the search field: the selected result, else (outside a conflict review) the first, of the text in
    /// the field; a search still under way opens its result when it ends.
    void openFromSearchField();
    void openSearchResult();
    void setConflictReviewMode(bool on);
    void reloadDisplayedPages();
    /// Lists the pages again as the library holds them now, the selected page staying selected.
    void refreshKeepingSelection();
    /// The guidance over the review: why the selected copy allows only some choices, or how to choose.
    void showGuidanceForSelection();
    void scheduleSearch();
    void runSearchSlice();
    void showRows();
    std::optional<std::size_t> selectedRow() const;
    void updateActionAvailability();
    /// What a choice found, shown: the settled copy leaves the list, a changed one is shown again, a deleted one
    /// is said to be gone.
    void showOutcome(const Uuid &copyID, VeltoConflictResolutionOutcome outcome);
    void presentRefreshedConflictNotice();
    void presentDeletedCopyNotice();
    void beep();

    const VeltoDocument &document_;
    Callbacks callbacks_;
    BrowsePagesList list_;
    BrowsePagesModel model_;
    BrowseSearch search_;
    std::uint64_t searchGeneration_ = 0;
    bool searchRunning_ = false;
    /// Return was pressed in the search field while the search of its text ran.
    bool openWhenSearched_ = false;
    QTimer searchTimer_;
    bool resolving_ = false;
    bool conflictReview_ = false;
    /// The page to select again once the rows being made are shown.
    std::optional<Uuid> selectionToKeep_;

    QLineEdit *searchField_;
    QLabel *guidanceLabel_;
    QListView *listView_;
    VeltoContentUnavailableView *emptyStateView_;
    QPushButton *openButton_;
    QPushButton *keepCurrentButton_;
    QPushButton *keepBothButton_;
    QPushButton *useSavedCopyButton_;
};

} // namespace velto
