#pragma once

namespace velto::editor {

/// Puts the display's collaborator in place of styling's stand-in: fonts measured by Qt. Called once the GUI
/// application exists, before the first text view styles its text; calling it again changes nothing. The
/// editor coordinator measures the code font with it whenever the editor settings change.
void installViewEnvironment();

} // namespace velto::editor
