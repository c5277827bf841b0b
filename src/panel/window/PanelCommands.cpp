#include "panel/window/PanelCommands.h"

#include "editor_view/view/VeltoTextView.h"
#include "panel/pages/PageOperations.h"
#include "panel/window/FocusedTaskCheckbox.h"
#include "panel/window/PanelCommandHost.h"
#include "panel/window/PanelEditorLook.h"
#include "panel/window/PanelSizeControl.h"
#include "preferences/Preferences.h"
#include "store/PageLists.h"
#include "store/Store.h"

namespace velto {

PanelCommands::PanelCommands(const VeltoStore &store, editor::VeltoTextView &textView, PageOperations &pageOperations,
                             PanelSizeControl &sizeControl, PanelEditorLook &editorLook, PanelCommandHost &host)
    : store_(store)
    , textView_(textView)
    , pageOperations_(pageOperations)
    , sizeControl_(sizeControl)
    , editorLook_(editorLook)
    , host_(host) {}

VeltoCommandContext PanelCommands::context() const {
    VeltoCommandContext context;
    // A page whose text is not loaded (an unavailable file, an archived summary) is shown read-only: the
    // commands that change the page wait until it can be edited.
    context.canEdit = textView_.isEditable();
    context.hasPageContent = textView_.storage().length() > 0;
    context.hasOtherActivePages = !activeOtherPages(store_.document()).empty();
    context.hasFocusedTaskCheckbox = focusedTaskCheckbox(textView_).has_value();
    return context;
}

void PanelCommands::execute(VeltoCommandID id) {
    switch (id) {
    case VeltoCommandID::newPage:
        pageOperations_.createNewPage();
        host_.openEditor();
        break;
    case VeltoCommandID::archivePage:
        pageOperations_.archivePage();
        break;
    case VeltoCommandID::browsePages:
        host_.showBrowsePages();
        break;
    case VeltoCommandID::nextPage:
        pageOperations_.reportingFailure(pageOperations_.cyclePage(false));
        break;
    case VeltoCommandID::previousPage:
        pageOperations_.reportingFailure(pageOperations_.cyclePage(true));
        break;
    case VeltoCommandID::closePanel:
        host_.closePanel();
        break;
    case VeltoCommandID::openSettings:
        host_.closePanelAndShowSettings();
        break;
    case VeltoCommandID::increaseTextSize:
        editorLook_.setFontSize(VeltoPreferences::fontSize(editorLook_.fontSize(), 1));
        break;
    case VeltoCommandID::decreaseTextSize:
        editorLook_.setFontSize(VeltoPreferences::fontSize(editorLook_.fontSize(), -1));
        break;
    case VeltoCommandID::resetTextSize:
        editorLook_.setFontSize(VeltoPreferences::defaultFontSize);
        break;
    case VeltoCommandID::increasePanelSize:
        adjustPanelSize(1);
        break;
    case VeltoCommandID::decreasePanelSize:
        adjustPanelSize(-1);
        break;
    case VeltoCommandID::fitPanelToContent:
        sizeControl_.fitToContent();
        host_.showFeedback(PanelFeedback::confirmation(QStringLiteral("Panel fit to content")));
        break;
    case VeltoCommandID::toggleTaskCheckbox:
        toggleTaskCheckbox();
        break;
    case VeltoCommandID::toggleMarkdownFormatting:
        toggleMarkdownFormatting();
        break;
    }
}

void PanelCommands::adjustPanelSize(int step) {
    if (std::optional<QString> name = sizeControl_.adjust(step)) {
        host_.showFeedback(PanelFeedback::confirmation(QStringLiteral("Panel size · ") + *name));
    }
}

void PanelCommands::toggleMarkdownFormatting() {
    editorLook_.toggleMarkdownFormatting();
    host_.showFeedback(PanelFeedback::confirmation(editorLook_.formatsMarkdown()
                                                       ? QStringLiteral("Live Markdown formatting on")
                                                       : QStringLiteral("Live Markdown formatting off")));
}

void PanelCommands::toggleTaskCheckbox() {
    if (auto checkbox = focusedTaskCheckbox(textView_)) {
        editor::toggleTaskCheckbox(textView_, *checkbox);
    }
}

} // namespace velto
