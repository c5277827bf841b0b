#pragma once

#include "app/shell/ShellAlert.h"
#include "model/StoreLoadState.h"

#include <filesystem>
#include <vector>

namespace velto {

/// What the launch asks when the library did not open, and what each of its buttons does. A rewrite of the
/// library is offered only where it can work: a library that a newer Velto wrote is left alone, and a folder
/// Velto cannot keep a library in is named, for the user to change before trying again.
struct LibraryRecoveryPrompt {
    enum class Answer { preserveAndContinue, tryAgain, quit };

    ShellAlert alert;
    /// One per button of the alert, in order.
    std::vector<Answer> answers;

    /// The prompt for an issue that waiting does not mend (`unreadable` or `corrupt`).
    static LibraryRecoveryPrompt forIssue(const VeltoStoreRecoveryIssue &issue);

    /// The answer of the button with the response code; any other response quits.
    Answer answer(int response) const;
};

/// "Original Page Preserved": where the recovery kept the library's damaged file.
ShellAlert originalPreservedAlert(const std::filesystem::path &recoveryFile);

} // namespace velto
