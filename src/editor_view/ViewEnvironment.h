#pragma once

namespace velto::editor {

/// Puts the display's collaborators in place of styling's stand-ins: fonts measured by Qt, and the editor
/// preferences read from the application's preferences. Called once the GUI application exists, before the
/// first text view styles its text; calling it again changes nothing.
void installViewEnvironment();

} // namespace velto::editor
