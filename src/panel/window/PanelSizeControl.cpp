#include "panel/window/PanelSizeControl.h"

#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelPopover.h"
#include "panel/window/PanelResizing.h"
#include "preferences/NotificationCenter.h"
#include "preferences/PreferenceChoices.h"
#include "preferences/Preferences.h"

#include <QtGui/QScreen>

namespace velto {

PanelSizeControl::PanelSizeControl(PanelPopover &popover, VeltoPanelView &panelView)
    : popover_(popover)
    , panelView_(panelView) {}

void PanelSizeControl::resize(QSizeF size, bool persist) {
    std::optional<QSizeF> visible;
    if (QScreen *screen = popover_.screen(); screen != nullptr && popover_.isShown()) {
        visible = QSizeF(screen->availableGeometry().size());
    }
    QSizeF result = PanelResizing::clampedPanelSize(size, visible);
    popover_.setContentSize(result);
    panelView_.normalizeEditorWidth();
    if (persist) {
        VeltoPreferences::storage().performBatch([&] {
            VeltoPreferences::rememberPanelContentSize(result);
            VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::panelSizeMode),
                                                       QStringLiteral("custom"));
        });
        VeltoPreferences::storage().notificationCenter().postPanelSizeModeDidChange();
    }
}

std::optional<QString> PanelSizeControl::adjust(int step) {
    std::optional<PanelSizeChoice> choice = panelSizeChoiceStepping(popover_.contentSize(), step);
    if (!choice) {
        return std::nullopt;
    }
    VeltoPreferences::storage().performBatch([&] {
        VeltoPreferences::setPanelSize(*choice);
        VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::panelSizeMode),
                                                   QStringLiteral("preset"));
    });
    VeltoPreferences::storage().notificationCenter().postPanelSizeModeDidChange();
    popover_.setContentSize(VeltoPreferences::panelContentSize());
    panelView_.normalizeEditorWidth();
    placeAtAnchor();
    return panelSizeName(*choice);
}

void PanelSizeControl::fitToContent() {
    resize(panelView_.sizeThatFitsContent(), true);
    placeAtAnchor();
}

void PanelSizeControl::applyPreference() {
    popover_.setContentSize(VeltoPreferences::panelContentSize());
    panelView_.normalizeEditorWidth();
}

void PanelSizeControl::placeAtAnchor() {
    if (popover_.isShown()) {
        popover_.placeAtAnchor();
    }
}

} // namespace velto
