#pragma once

#include "panel/feedback/PanelFeedback.h"

#include <QtCore/QString>

#include <string>

/// How the panel and the tray menu say that changes are not saved: the same words in both places, with the
/// reason when the store's description of the failure opens with a short one.
namespace velto::SaveProblem {

/// "Changes not saved · The library is busy" for "Locking “…”: The library is busy: another program has held
/// …"; only "Changes not saved" when the description gives no short reason.
QString title(const std::string &description);

/// The reason in a few words, after the operation and file that a file-system error names first, or the page
/// file that could not be read: the clause before a colon ("The library is busy"), the system's words after a
/// clause that names a file ("Read-only file system"), or a short description as a whole ("No space left on
/// device", "Input/output error"); empty when the description is a long sentence.
QString shortReason(const std::string &description);

/// What became of the typed text that saves could not write: Velto keeps it in files of its own meanwhile.
struct KeptText {
    enum class State {
        notYetKept,  ///< no keep has written it yet
        kept,        ///< the last keep wrote it into `folder`
        onlyInVelto, ///< the last keep failed: the text is only in Velto's pages
    };
    State state = State::notYetKept;
    /// The folder the text is kept in, as the user reads it ("~/.local/share/Velto/Unsaved Text").
    QString folder;

    bool operator==(const KeptText &) const = default;
};

/// The folder's path with the home folder written as "~".
QString folderForDisplay(const QString &path, const QString &home);

/// Where the text is while saves fail: "Kept in “~/.local/share/Velto/Unsaved Text”", or "Only in Velto, in no
/// file · keep Velto open"; empty before a keep has said.
QString keptTextLine(const KeptText &kept);

/// The banner of failing saves: `title`, held while saves fail (a save that succeeds takes it away) and shown
/// again at each opening of the panel, so that the state is visible as long as it lasts.
/// Where the text is kept follows the title on a second line, once a keep has said.
PanelFeedback banner(const std::string &description, const KeptText &kept = {});

} // namespace velto::SaveProblem
