#pragma once

#include "app/shell/ShellAlert.h"

#include <optional>
#include <set>
#include <string>

namespace velto {

class VeltoStore;

/// The alert that names the Markdown files of the Pages folder that the store could not read, raised at launch
/// before anyone types. Each file is named once per launch: the files stay unread until the user does something
/// about them, and a notice repeated would only be in the way. Files that turn unreadable later are named by the
/// panel's banner and the tray menu, which take no keys from the page.
class UnreadableFilesNotice {
public:
    /// The alert for the store's unreadable files not named yet, which count as named from now on; none when
    /// every one was named before.
    std::optional<ShellAlert> alertForNewlyUnreadable(const VeltoStore &store);

private:
    std::set<std::string> named_; // full paths, so that another folder's file is its own
};

} // namespace velto
