#include "app/shell/UnsavedTextKeeper.h"

#include "app/lifecycle/LaunchTrace.h"
#include "library/unsaved/UnsavedTextFiles.h"
#include "platform/Clock.h"
#include "store/LibraryPool.h"
#include "store/Store.h"

#include <cstdio>

namespace velto {

UnsavedTextKeeper::UnsavedTextKeeper(VeltoStore &store, std::filesystem::path folder, FileSystem &fileSystem)
    : store_(store)
    , folder_(std::move(folder))
    , fileSystem_(fileSystem) {
    pace_.setSingleShot(true);
    pace_.setInterval(pace);
    connect(&pace_, &QTimer::timeout, this, &UnsavedTextKeeper::catchUp);
    connect(&writing_, &QFutureWatcher<void>::finished, this, &UnsavedTextKeeper::writingFinished);
    connect(&store_, &VeltoStoreSignals::saveEnded, this, &UnsavedTextKeeper::saveEnded);
    // Before this keeps anything: what a killed Velto left hidden in the folder is brought back, to be named.
    VeltoPageLibrary::restoreUnsavedTextLeftBehind(fileSystem_, folder_);
}

UnsavedTextKeeper::~UnsavedTextKeeper() {
    writing_.waitForFinished(); // the write reads the kept files' list, which goes with this
}

// Not at once: a save that met another program's change is tried again at once and mostly succeeds, and a user
// typing into a page that cannot be saved would otherwise have it written out at every pause.
void UnsavedTextKeeper::saveEnded() {
    if (!pace_.isActive()) {
        pace_.start();
    }
}

void UnsavedTextKeeper::catchUp() {
    if (writing_.isRunning()) {
        catchUpAgain_ = true;
        return;
    }
    const bool savesFail = store_.lastSaveErrorDescription().has_value();
    if (savesFail) {
        std::vector<VeltoUnsavedText> texts = unsavedTexts(store_);
        if (texts.empty()) {
            return;
        }
        writing_.setFuture(QtConcurrent::run(&libraryThreadPool(), [this, texts = std::move(texts)] {
            keepUnsavedTexts(texts, fileSystem_, folder_, systemClock().now(), kept_);
        }));
    } else if (!kept_.files.empty()) {
        writing_.setFuture(
            QtConcurrent::run(&libraryThreadPool(), [this] { withdrawKeptTexts(fileSystem_, folder_, kept_); }));
    }
}

void UnsavedTextKeeper::writingFinished() {
    if (!kept_.files.empty()) {
        launchTrace::milestone("unsaved text kept");
    }
    reportFailures();
    if (catchUpAgain_) {
        catchUpAgain_ = false;
        catchUp();
    }
}

bool UnsavedTextKeeper::keepBeforeExit() {
    pace_.stop();
    writing_.waitForFinished();
    if (!holdsUnsavedText(store_)) {
        if (!store_.lastSaveErrorDescription().has_value()) {
            withdrawKeptTexts(fileSystem_, folder_, kept_);
        }
        reportFailures();
        return false;
    }
    keepUnsavedTexts(store_, fileSystem_, folder_, systemClock().now(), kept_);
    for (const auto &[pageID, kept] : kept_.files) {
        std::fprintf(stderr, "Velto kept text it could not save as a page in \u201c%s\u201d.\n", kept.file.c_str());
    }
    reportFailures();
    return true;
}

std::optional<std::string> UnsavedTextKeeper::keepNow() {
    writing_.waitForFinished();
    reportFailures(); // those of an earlier write, which this one answers again
    if (holdsUnsavedText(store_)) {
        keepUnsavedTexts(store_, fileSystem_, folder_, systemClock().now(), kept_);
    }
    std::optional<std::string> failure;
    if (!kept_.failures.empty()) {
        failure = kept_.failures.back();
    }
    reportFailures();
    return failure;
}

// Nobody may be there to see an alert (a logout, or saves failing in the background): the error output tells,
// and the panel's notices of failing saves learn where the text now is.
void UnsavedTextKeeper::reportFailures() {
    for (const std::string &failure : kept_.failures) {
        std::fprintf(stderr, "Velto could not keep unsaved text outside the Pages folder: %s\n", failure.c_str());
    }
    kept_.failures.clear();
    if (keptTextsChanged_) {
        keptTextsChanged_();
    }
}

} // namespace velto
