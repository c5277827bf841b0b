// The Settings window as it is painted in each appearance: every label must stay readable on its background.
#include "SettingsTestSupport.h"

#include "settings/SettingsControls.h"
#include "support/ui/KeyboardFocus.h"
#include "ui/Appearance.h"
#include "ui/VeltoColor.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>

#include <cmath>
#include <map>

namespace velto::testing {
namespace {

double relativeLuminance(QRgb pixel) {
    auto channel = [](int value) {
        double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) + 0.0722 * channel(qBlue(pixel));
}

double contrastRatio(QRgb a, QRgb b) {
    double lighter = std::max(relativeLuminance(a), relativeLuminance(b));
    double darker = std::min(relativeLuminance(a), relativeLuminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

/// The background of a painted text is its most frequent colour; its text is the pixel farthest from it.
struct TextContrast {
    QRgb background = 0;
    double ratio = 1.0;
};

TextContrast measuredContrast(const QImage &image, const QRect &area) {
    std::map<QRgb, int> counts;
    QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++counts[image.pixel(x, y) | 0xFF000000];
        }
    }
    TextContrast measured;
    int most = 0;
    for (auto [colour, count] : counts) {
        if (count > most) {
            most = count;
            measured.background = colour;
        }
    }
    for (const auto &entry : counts) {
        measured.ratio = std::max(measured.ratio, contrastRatio(entry.first, measured.background));
    }
    return measured;
}

class SettingsAppearance : public SettingsWindowTest {
protected:
    void TearDown() override {
        VeltoAppearance::shared().setPreference(AppearanceChoice::system);
        SettingsWindowTest::TearDown();
    }

    QImage paintedWindow() {
        controller().showWindow();
        QApplication::processEvents();
        return controller().window()->grab().toImage();
    }

    QRect inWindow(QWidget *widget, QRect area) {
        return QRect(widget->mapTo(controller().window(), area.topLeft()), area.size());
    }
};

TEST_F(SettingsAppearance, SidebarAndPageLabelsKeepAReadableContrastInLightAndDark) {
    struct Case {
        AppearanceChoice appearance;
        bool darkBackground;
    };
    for (Case example : {Case{AppearanceChoice::light, false}, Case{AppearanceChoice::dark, true}}) {
        SCOPED_TRACE(rawValue(example.appearance).toStdString());
        VeltoAppearance::shared().setPreference(example.appearance);
        QImage image = paintedWindow();

        QListWidget *sidebar = controller().categoryList;
        for (int row = 0; row < sidebar->count(); ++row) {
            QRect itemArea = inWindow(sidebar->viewport(), sidebar->visualItemRect(sidebar->item(row)));
            TextContrast sidebarText = measuredContrast(image, itemArea);
            EXPECT_GE(sidebarText.ratio, 4.5) << sidebar->item(row)->text().toStdString();
            EXPECT_EQ(relativeLuminance(sidebarText.background) < 0.2, example.darkBackground)
                << sidebar->item(row)->text().toStdString();
        }

        // The General page's section and row titles and the row details, on the page and its cards.
        QScrollArea *page = controller().page(SettingsCategory::general);
        int measuredLabels = 0;
        for (QLabel *label : page->widget()->findChildren<QLabel *>()) {
            if (!label->isVisible() || label->text().isEmpty() || label->text().startsWith(QLatin1Char('<'))) {
                continue;
            }
            TextContrast labelText = measuredContrast(image, inWindow(label, label->rect()));
            // Titles as body text; the dimmed details as large or secondary text.
            bool isDetail = label->foregroundRole() != QPalette::WindowText;
            EXPECT_GE(labelText.ratio, isDetail ? 3.0 : 4.5) << label->text().toStdString();
            EXPECT_EQ(relativeLuminance(labelText.background) < 0.2, example.darkBackground)
                << label->text().toStdString();
            ++measuredLabels;
        }
        EXPECT_GT(measuredLabels, 3);
    }
}

TEST_F(SettingsAppearance, TheSelectedAppearanceSegmentStandsApartAndItsTitleReadsInLightAndDark) {
    for (AppearanceChoice appearance : {AppearanceChoice::light, AppearanceChoice::dark}) {
        SCOPED_TRACE(rawValue(appearance).toStdString());
        VeltoAppearance::shared().setPreference(appearance);
        QScrollArea *page = controller().page(SettingsCategory::general);
        SegmentedControl *segments = nullptr;
        for (SegmentedControl *control : page->widget()->findChildren<SegmentedControl *>()) {
            if (control->segment(0)->text() == QStringLiteral("System")) {
                segments = control;
            }
        }
        ASSERT_NE(segments, nullptr);
        QImage image = paintedWindow();
        int chosen = segments->selectedIndex();
        ASSERT_GE(chosen, 0);
        QPushButton *selectedSegment = segments->segment(chosen);
        QPushButton *otherSegment = segments->segment((chosen + 1) % 3);
        TextContrast selected = measuredContrast(image, inWindow(selectedSegment, selectedSegment->rect()));
        TextContrast other = measuredContrast(image, inWindow(otherSegment, otherSegment->rect()));
        EXPECT_GE(selected.ratio, 4.5) << "the selected title";
        EXPECT_GE(other.ratio, 4.5) << "another title";
        EXPECT_GE(contrastRatio(selected.background, other.background), 3.0) << "the selection shows";
    }
}

// The System segment is the selected one at first, filled with the accent: the ring shows on it all the same.
TEST_F(SettingsAppearance, TheSegmentReachedWithTabShowsItsFocusRingInLightAndDarkUntilAClick) {
    for (AppearanceChoice appearance : {AppearanceChoice::light, AppearanceChoice::dark}) {
        SCOPED_TRACE(rawValue(appearance).toStdString());
        VeltoAppearance::shared().setPreference(appearance);
        controller().showCategory(SettingsCategory::general);
        controller().showWindow();
        if (!activate(*controller().window())) {
            GTEST_SKIP() << "this platform does not activate windows";
        }
        QPushButton *segment = controller().generalPage().appearanceControl->segment(0);
        auto ringAndFill = [&] {
            QImage image = segment->grab().toImage();
            return std::pair{image.pixelColor(segment->width() / 2, 2), image.pixelColor(5, segment->height() / 2)};
        };
        const auto unfocused = ringAndFill();
        ASSERT_TRUE(tabTo(*segment));
        const auto [ring, fill] = ringAndFill();
        EXPECT_GE(velto::contrastRatio(ring, fill), 3.0)
            << ring.name().toStdString() << " on " << fill.name().toStdString();

        QPoint inside(5, 5);
        QMouseEvent click(QEvent::MouseButtonPress, inside, segment->mapToGlobal(inside), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(segment, &click);
        EXPECT_EQ(ringAndFill().first, unfocused.first) << "a click hides the ring";
        controller().window()->close();
    }
}

// The window's menu bar, rebuilt at every change of the preferences as the application does, is painted in the
// appearance chosen in the window at once, not when it is next clicked.
TEST_F(SettingsAppearance, TheMenuBarTurnsDarkWithTheWindow) {
    auto makeMenuBar = [this] {
        auto *bar = new QMenuBar(controller().window());
        for (const char *title : {"Velto", "File", "Edit", "View"}) {
            bar->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
        }
        controller().window()->setMenuBar(bar);
    };
    makeMenuBar();
    QObject::connect(&center, &VeltoNotificationCenter::veltoPreferencesDidChange, controller().window(), makeMenuBar);
    paintedWindow();
    for (auto [index, dark] : {std::pair{2, true}, std::pair{1, false}}) {
        SCOPED_TRACE(index);
        controller().generalPage().appearanceControl->segment(index)->click();
        VeltoAppearance::shared().setPreference(VeltoPreferences::appearance()); // what the application does
        QImage painted = paintedWindow().copy(controller().window()->menuBar()->geometry());
        QColor background = painted.pixelColor(painted.width() - 4, painted.height() / 2);
        EXPECT_EQ(background.lightnessF() < 0.5, dark) << background.name().toStdString();
    }
}

TEST(SegmentColors, KeepTheirContrastWithEveryAccent) {
    for (DrawingAppearance appearance : {DrawingAppearance::light, DrawingAppearance::dark}) {
        for (QColor accent : {QColor(0x35, 0x84, 0xe4), QColor(0x30, 0x8c, 0xc6), QColor(0xf5, 0xc2, 0x11),
                              QColor(0x1a, 0x1a, 0x60), QColor(0xff, 0xff, 0xff), QColor(0x00, 0x00, 0x00)}) {
            SCOPED_TRACE(accent.name().toStdString() + (appearance == DrawingAppearance::dark ? " dark" : " light"));
            SegmentColors colors = segmentColors(appearance, accent);
            EXPECT_GE(velto::contrastRatio(colors.selectedText, colors.selectedFill), 4.5);
            EXPECT_GE(velto::contrastRatio(colors.idleText, colors.idleFill), 4.5);
            EXPECT_GE(velto::contrastRatio(colors.selectedFill, colors.idleFill), 3.0);
        }
    }
}

} // namespace
} // namespace velto::testing
