#include "panel/view/VeltoPanelView.h"

#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/view/VeltoTextView.h"
#include "panel/view/PanelViewGeometry.h"
#include "platform/desktop/DisplayOptions.h"
#include "preferences/PreferenceChoices.h"
#include "ui/Appearance.h"

#include <QtGui/QShortcut>
#include <QtWidgets/QScrollBar>

namespace velto {

VeltoPanelView::VeltoPanelView(QSize size, editor::TextViewCommandHost &textViewCommands,
                               std::function<QSizeF()> currentPanelSize, VeltoScheduler &scheduler, QWidget *parent)
    : QWidget(parent)
    , textView_(new editor::VeltoTextView(textViewCommands, this))
    , topScrollIndicator_(new ScrollGradientView(ScrollGradientView::Edge::top, scheduler, this))
    , bottomScrollIndicator_(new ScrollGradientView(ScrollGradientView::Edge::bottom, scheduler, this))
    , editorBorderView_(new EditorBorderView(this))
    , emptyPageHint_(new EmptyPageHintView(this))
    , findBar_(new FindBar(*textView_, this))
    , resizeHandle_(new PanelResizeHandle(std::move(currentPanelSize), this)) {
    resize(size);
    setAutoFillBackground(true);

    textView_->setTextContainerInset(editor::EditorLayout::textContainerInset);
    textView_->setAccessibleName(QStringLiteral("Current page"));
    textView_->setAccessibleDescription(
        QStringLiteral("Type on the current page. Markdown formatting is shown while the source remains editable."));
    connect(textView_, &editor::VeltoTextView::scrollGeometryChanged, this, &VeltoPanelView::updateScrollIndicators);

    connect(resizeHandle_, &PanelResizeHandle::resizeRequested, this, &VeltoPanelView::resizeRequested);
    connect(resizeHandle_, &PanelResizeHandle::fitContentRequested, this,
            [this] { emit commandRequested(VeltoCommandID::fitPanelToContent); });

    auto *find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &VeltoPanelView::showFindBar);
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &VeltoPanelView::appearanceChanged);

    // Children stack in the order they were made: the decorations over the text, the handle over everything.
    layoutDecorations();
    updateEmptyPageHint();
}

VeltoPanelView::~VeltoPanelView() = default;

QRect VeltoPanelView::editorFrame() const {
    return rect().adjusted(editorInset, editorInset, -editorInset, -editorInset);
}

void VeltoPanelView::layoutDecorations() {
    QRect editor = editorFrame();
    textView_->setGeometry(editor);
    topScrollIndicator_->setGeometry(editor.x(), editor.y(), editor.width(), gradientHeight);
    bottomScrollIndicator_->setGeometry(editor.x(), editor.y() + editor.height() - gradientHeight, editor.width(),
                                        gradientHeight);
    editorBorderView_->setGeometry(editor);
    emptyPageHint_->setGeometry(editor);
    int findWidth = std::min(editor.width() - 16, 360);
    findBar_->setGeometry(editor.x() + editor.width() - 8 - findWidth, editor.y() + 8, findWidth, findBar_->height());
    findBar_->keepTextClearOfTheBar();
    resizeHandle_->setGeometry(width() - PanelResizeHandle::sideLength, height() - PanelResizeHandle::sideLength,
                               PanelResizeHandle::sideLength, PanelResizeHandle::sideLength);
}

ScrollGeometry VeltoPanelView::scrollGeometry() const {
    QRectF visible = textView_->visibleRect();
    return {visible, QRectF(0, 0, visible.width(), textView_->documentHeight())};
}

void VeltoPanelView::updateScrollIndicators() {
    ScrollGeometry geometry = scrollGeometry();
    ScrollAvailability availability = scrollAvailability(geometry.viewport, geometry.document);
    if (scrollAvailabilityCache_.availability == availability) {
        return;
    }
    scrollAvailabilityCache_.availability = availability;
    topScrollIndicator_->setVisibleAnimated(availability.top);
    bottomScrollIndicator_->setVisibleAnimated(availability.bottom);
}

void VeltoPanelView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutDecorations();
    // Scroll notifications update the gradients directly; a layout pass does so only when what is seen changed.
    ScrollGeometry geometry = scrollGeometry();
    if (lastScrollGeometry_ == geometry) {
        return;
    }
    lastScrollGeometry_ = geometry;
    updateScrollIndicators();
}

void VeltoPanelView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    emit appearanceChanged();
}

void VeltoPanelView::pinEditorToBottom() {
    textView_->pinToBottom();
}

void VeltoPanelView::updateEmptyPageHint() {
    bool empty = textView_->storage().length() == 0;
    emptyPageHint_->setVisible(textView_->isEditable() && empty);
}

void VeltoPanelView::normalizeEditorWidth() {
    layoutDecorations();
    textView_->horizontalScrollBar()->setValue(0);
}

void VeltoPanelView::applyAppearance(const editor::VeltoTheme &theme) {
    QColor panelBackground = editor::colorFor(theme.panelBackgroundColor, theme.appearance);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, panelBackground);
    setPalette(palette);
    if (window() != this) {
        QPalette windowPalette = window()->palette();
        windowPalette.setColor(QPalette::Window, panelBackground);
        window()->setPalette(windowPalette);
    }
    double borderWidth = displayOptions().current().increaseContrast ? 2 : 1;
    editorBorderView_->setBorder(borderWidth, editor::colorFor(theme.borderColor, theme.appearance));
    QColor editorBackground = editor::colorFor(theme.editorBackgroundColor, theme.appearance);
    topScrollIndicator_->updateColor(editorBackground);
    bottomScrollIndicator_->updateColor(editorBackground);
    textView_->setBackgroundColor(theme.editorBackgroundColor);
}

QSizeF VeltoPanelView::sizeThatFitsContent() {
    normalizeEditorWidth();
    bool empty = textView_->storage().length() == 0;
    // Only whether the text fits in the tallest panel matters: a big page is not laid out whole to learn that
    // it does not, which would hold the panel for seconds.
    double used = empty ? 0 : textView_->usedHeightUpTo(PanelSizing::maximum.height());
    return PanelViewGeometry::sizeThatFitsContent(empty, used, textView_->textContainerInset().height(), QSizeF(size()),
                                                  QSizeF(textView_->viewport()->size()));
}

void VeltoPanelView::showFindBar() {
    findBar_->open();
}

QRect VeltoPanelView::frameOnScreen() const {
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

} // namespace velto
