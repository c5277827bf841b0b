#pragma once

#include "platform/FileSystem.h"
#include "store/UnsavedTexts.h"

#include <QtCore/QFutureWatcher>
#include <QtCore/QObject>
#include <QtCore/QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace velto {

class VeltoStore;

/// Keeps the typed text that saves could not put into a page in files of Velto's own (the "Unsaved Text" folder),
/// so that neither a logout nor a kill while saves fail loses it: after a failed save, at most once a pace and
/// off the main thread, as a page of megabytes takes long to write; and at the exit, whatever the final save
/// left. Once a later save put the texts into their pages, the kept files are taken back. As it starts, it brings
/// back what a killed Velto left hidden in the folder (see restoreUnsavedTextLeftBehind), for the launch to name.
class UnsavedTextKeeper : public QObject {
public:
    /// How often the texts are written again while saves keep failing and the user keeps typing.
    static constexpr std::chrono::milliseconds pace{1000};

    UnsavedTextKeeper(VeltoStore &store, std::filesystem::path folder, FileSystem &fileSystem = defaultFileSystem());
    ~UnsavedTextKeeper() override;

    /// Before the application exits, on this thread: waits for a write under way, then keeps what the store still
    /// holds on no disk. Answers whether any typed text is on no page (kept here, or lost when keeping failed).
    bool keepBeforeExit();
    /// While a quit waits for the user, on this thread: waits for a write under way, then keeps what the store
    /// holds on no disk. Answers why keeping failed; none when it did not.
    std::optional<std::string> keepNow();

    /// The files the texts are kept in, and the pages whose text the last keep could not write (lastKeepFailed):
    /// for the main thread once keepBeforeExit() has answered, while no write is under way.
    const VeltoKeptTexts &keptTexts() const { return kept_; }
    /// Called on this thread after each keep or withdrawal, so that what shows where the text is kept follows it.
    void setKeptTextsChanged(std::function<void()> changed) { keptTextsChanged_ = std::move(changed); }

private:
    void saveEnded();
    /// Keeps the unsaved texts while saves fail, takes the kept files back once saves succeed.
    void catchUp();
    void writingFinished();
    void reportFailures();

    VeltoStore &store_;
    const std::filesystem::path folder_;
    FileSystem &fileSystem_;
    QTimer pace_;
    QFutureWatcher<void> writing_;
    bool catchUpAgain_ = false;
    /// Changed only by the write under way, and by the main thread while none is.
    VeltoKeptTexts kept_;
    std::function<void()> keptTextsChanged_;
};

} // namespace velto
