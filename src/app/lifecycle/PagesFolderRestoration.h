#pragma once

#include "app/shell/ShellAlert.h"

namespace velto {

class PagesFolderAccessController;

/// Takes up the saved Pages folder at launch. When it cannot be reached, the user chooses: quitting keeps it
/// chosen (they may reconnect the drive) and answers false; going on forgets it and takes up the default folder.
bool restoreSavedPagesFolder(PagesFolderAccessController &pagesFolderAccess, const ShellAlertPresenter &presentAlert);

} // namespace velto
