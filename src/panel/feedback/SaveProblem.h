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
/// file that could not be read: the clause before a colon ("The library is busy"), or a short description as a
/// whole ("No space left on device", "Input/output error"); empty when the description is a long sentence.
QString shortReason(const std::string &description);

/// The banner of failing saves: `title`, held while saves fail (a save that succeeds takes it away) and shown
/// again at each opening of the panel, so that the state is visible as long as it lasts.
PanelFeedback banner(const std::string &description);

} // namespace velto::SaveProblem
