#pragma once

#include "app/shell/ShellAlert.h"

#include <optional>
#include <set>
#include <string>

namespace velto {

class VeltoStore;

/// The alert that names the Markdown files of the Pages folder that the store could not read. Each file is named
/// once per launch: the files stay unread until the user does something about them, and a notice repeated at
/// every reload would only be in the way.
class UnreadableFilesNotice {
public:
    /// The alert for the store's unreadable files not named yet, which count as named from now on; none when
    /// every one was named before.
    std::optional<ShellAlert> alertForNewlyUnreadable(const VeltoStore &store);

private:
    std::set<std::string> named_; // full paths, so that another folder's file is its own
};

} // namespace velto
