#pragma once

#include "editor/text/EditorSettings.h"
#include "editor/text/VeltoTheme.h"

#include <optional>

namespace velto {

class TextViewCoordinatorView;
class VeltoPanelView;
namespace editor {
class EditorSettingsFeed;
class VeltoEditorCoordinator;
} // namespace editor

/// The editor's look: the theme of the appearance preference, the system's appearance and its contrast, the font
/// size and live formatting. It remembers what the page was last styled with, so that showing the panel restyles
/// a page only when its look changed (a 5 MB page takes most of a second to restyle). Main thread only.
class PanelEditorLook {
public:
    PanelEditorLook(const editor::EditorSettingsFeed &settingsFeed, const TextViewCoordinatorView &coordinatorView,
                    editor::VeltoEditorCoordinator &editorCoordinator, VeltoPanelView &panelView);

    /// The editor's theme for the current appearance preference, system appearance and contrast.
    editor::VeltoTheme currentTheme() const;
    double fontSize() const;
    bool formatsMarkdown() const;

    /// Loads the current page's text styled with the look it is shown with.
    void loadCurrentPageText();
    /// The panel takes the current theme; the page is restyled only when its look changed.
    void refresh();
    /// The editor takes the font, indentation, checking and formatting the preferences hold now.
    void applyEditorPreferences();
    /// Writes a listed font size that differs from the stored one and restyles the page with it.
    void setFontSize(double size);
    /// Turns live formatting on or off and restyles the page.
    void toggleMarkdownFormatting();

private:
    struct Look {
        editor::VeltoTheme theme;
        double fontSize = 0;
        editor::EditorFontChoice fontChoice = editor::EditorFontChoice::monospaced;
        bool formatsMarkdown = true;
        bool operator==(const Look &) const = default;
    };
    Look lookWith(const editor::VeltoTheme &theme) const;
    /// The preferences changed the editor's settings: restyles the page and keeps the theme it had.
    void restyleWithChangedSettings();

    const editor::EditorSettingsFeed &settingsFeed_;
    const TextViewCoordinatorView &coordinatorView_;
    editor::VeltoEditorCoordinator &editorCoordinator_;
    VeltoPanelView &panelView_;
    std::optional<Look> appliedLook_;
};

} // namespace velto
