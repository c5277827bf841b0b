#pragma once

#include "preferences/CommandRegistry.h"

namespace velto {

class PageOperations;
class PanelCommandHost;
class PanelEditorLook;
class PanelSizeControl;
class VeltoStore;
namespace editor {
class VeltoTextView;
} // namespace editor

/// Carries out the panel's commands, from its keys, its menus and the resize handle: the page operations, the
/// panel's size, the editor's font size and formatting, and the task checkbox at the caret; what the window does
/// goes to the host. Main thread only.
class PanelCommands {
public:
    PanelCommands(const VeltoStore &store, editor::VeltoTextView &textView, PageOperations &pageOperations,
                  PanelSizeControl &sizeControl, PanelEditorLook &editorLook, PanelCommandHost &host);

    /// What the commands can do now; asked after every keystroke while the shortcut hints show.
    VeltoCommandContext context() const;
    /// Carries out a command the registry found available.
    void execute(VeltoCommandID id);

    /// Steps the panel through its preset sizes and names the new one in a banner.
    void adjustPanelSize(int step);
    /// Turns live formatting on or off and says which in a banner.
    void toggleMarkdownFormatting();

private:
    void toggleTaskCheckbox();

    const VeltoStore &store_;
    editor::VeltoTextView &textView_;
    PageOperations &pageOperations_;
    PanelSizeControl &sizeControl_;
    PanelEditorLook &editorLook_;
    PanelCommandHost &host_;
};

} // namespace velto
