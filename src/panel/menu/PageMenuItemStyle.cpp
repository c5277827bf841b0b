#include "panel/menu/PageMenuItemStyle.h"

#include "panel/menu/TextDrawingRecorder.h"

#include <QtGui/QAction>
#include <QtGui/QFontInfo>
#include <QtGui/QFontMetricsF>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QStyleOptionMenuItem>

#include <algorithm>
#include <optional>

namespace velto {
namespace {

constexpr const char *smallTextLengthProperty = "veltoSmallTextLength";

/// Where the title written by the style ends and its baseline, with its font and colour.
struct TitleEnd {
    QPointF point;
    QFont font;
    QColor color;
};

std::optional<TitleEnd> titleEnd(const std::vector<DrawnText> &drawn) {
    if (drawn.empty()) {
        return std::nullopt;
    }
    TitleEnd end{drawn.front().origin, drawn.front().font, drawn.front().color};
    for (const DrawnText &run : drawn) { // a title in several scripts is written in several runs
        end.point.setX(std::max(end.point.x(), run.origin.x() + run.width));
    }
    return end;
}

} // namespace

PageMenuItemStyle *PageMenuItemStyle::shared() {
    static PageMenuItemStyle *style = [] {
        auto *made = new PageMenuItemStyle;
        made->setParent(qApp); // gone with the application, after every menu
        return made;
    }();
    return style;
}

void PageMenuItemStyle::setSmallTextLength(QAction *action, int length) {
    action->setProperty(smallTextLengthProperty, length > 0 ? QVariant(length) : QVariant());
}

int PageMenuItemStyle::smallTextLength(const QAction *action) {
    return action != nullptr ? action->property(smallTextLengthProperty).toInt() : 0;
}

int PageMenuItemStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                                 QStyleHintReturn *returnData) const {
    if (hint == SH_Menu_Scrollable) {
        return 1;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void PageMenuItemStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const {
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    const auto *menu = qobject_cast<const QMenu *>(widget);
    const int smallLength = element == CE_MenuItem && item != nullptr && menu != nullptr
                                ? smallTextLength(menu->actionAt(item->rect.center()))
                                : 0;
    // Right-to-left text and items with a shortcut column keep the style's own drawing.
    if (smallLength <= 0 || smallLength >= item->text.size() || item->text.contains(QLatin1Char('\t')) ||
        item->direction == Qt::RightToLeft) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // The style writes the title without the blanks before the small text: they are measured here, as a
    // style may leave a text's trailing blanks out of its width.
    QStyleOptionMenuItem title = *item;
    title.text = item->text.left(item->text.size() - smallLength);
    qsizetype blanks = 0;
    while (blanks < title.text.size() && title.text.at(title.text.size() - 1 - blanks).isSpace()) {
        ++blanks;
    }
    title.text.chop(blanks);
    // The style says nowhere where it writes an item's text: it writes it once more where nothing is drawn.
    const std::optional<TitleEnd> end =
        titleEnd(TextDrawingRecorder::record(*painter->device(), [&](QPainter &recording) {
            QProxyStyle::drawControl(element, &title, &recording, widget);
        }));
    QProxyStyle::drawControl(element, &title, painter, widget);
    if (!end) {
        return;
    }
    const double blanksWidth =
        QFontMetricsF(end->font, painter->device()).horizontalAdvance(QString(blanks, QLatin1Char(' ')));
    // Two pixels less than the menu's font, as the small system size is to the system size.
    QFont small = end->font;
    small.setPixelSize(std::max(1, QFontInfo(end->font).pixelSize() - 2));
    painter->save();
    painter->setFont(small);
    painter->setPen(end->color);
    painter->drawText(end->point + QPointF(blanksWidth, 0), item->text.right(smallLength));
    painter->restore();
}

} // namespace velto
