#include "panel/window/PanelEditorLook.h"

#include "editor_view/view/VeltoTextView.h"
#include "page_editor/EditorCoordinator.h"
#include "page_editor/EditorSettingsFeed.h"
#include "panel/view/TextViewCoordinatorView.h"
#include "panel/view/VeltoPanelView.h"
#include "platform/desktop/DisplayOptions.h"
#include "preferences/Preferences.h"

namespace velto {

PanelEditorLook::PanelEditorLook(const editor::EditorSettingsFeed &settingsFeed,
                                 const TextViewCoordinatorView &coordinatorView,
                                 editor::VeltoEditorCoordinator &editorCoordinator, VeltoPanelView &panelView)
    : settingsFeed_(settingsFeed)
    , coordinatorView_(coordinatorView)
    , editorCoordinator_(editorCoordinator)
    , panelView_(panelView) {}

editor::VeltoTheme PanelEditorLook::currentTheme() const {
    editor::Appearance system = coordinatorView_.effectiveAppearance();
    return editor::VeltoTheme::resolve(settingsFeed_.current().appearance, system,
                                       displayOptions().current().increaseContrast);
}

double PanelEditorLook::fontSize() const {
    return editor::editorFontSize(settingsFeed_.current());
}

bool PanelEditorLook::formatsMarkdown() const {
    return settingsFeed_.current().formatsMarkdown;
}

void PanelEditorLook::loadCurrentPageText() {
    const editor::VeltoTheme theme = currentTheme();
    editorCoordinator_.loadCurrentPageText(theme);
    appliedLook_ = lookWith(theme);
}

void PanelEditorLook::refresh() {
    editor::VeltoTheme theme = currentTheme();
    panelView_.applyAppearance(theme);
    Look look = lookWith(theme);
    if (appliedLook_ != look) {
        appliedLook_ = look;
        editorCoordinator_.applyEditorPreferences(theme);
    }
    panelView_.textView()->viewport()->update();
}

void PanelEditorLook::applyEditorPreferences() {
    editorCoordinator_.applyEditorPreferences();
    panelView_.updateEmptyPageHint();
}

void PanelEditorLook::setFontSize(double size) {
    // Writes and announces only a listed size that differs from the stored one.
    if (!VeltoPreferences::setEditorFontSize(size)) {
        return;
    }
    restyleWithChangedSettings();
}

void PanelEditorLook::toggleMarkdownFormatting() {
    VeltoPreferences::setFormatsMarkdown(!formatsMarkdown());
    restyleWithChangedSettings();
}

void PanelEditorLook::restyleWithChangedSettings() {
    editorCoordinator_.applyEditorPreferences();
    if (appliedLook_) {
        appliedLook_ = lookWith(appliedLook_->theme);
    }
    panelView_.updateEmptyPageHint();
}

PanelEditorLook::Look PanelEditorLook::lookWith(const editor::VeltoTheme &theme) const {
    const editor::EditorSettings &settings = settingsFeed_.current();
    return {theme, editor::editorFontSize(settings), settings.fontChoice, settings.formatsMarkdown};
}

} // namespace velto
