#pragma once

namespace velto {

/// What the user chose to do with one saved conflict copy.
enum class VeltoConflictResolution {
    keepCurrentVersion = 0, // the copy goes; the original page stays as it is
    useSavedCopy = 1,       // the original page takes the copy's text; the copy goes
    keepBothVersions = 2,   // the copy becomes a regular page of its own
};

/// How a resolution ended.
enum class VeltoConflictResolutionOutcome {
    resolved = 0,    // done; the copy left the conflict notice
    refreshed = 1,   // the copy had changed on disk: its new text was taken, to be reviewed before choosing again
    unavailable = 2, // nothing was done
    deleted = 3,     // the copy's file is gone: nothing was done, and the library is read again from the folder
};

} // namespace velto
