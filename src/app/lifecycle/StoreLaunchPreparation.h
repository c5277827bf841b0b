#pragma once

#include "app/shell/ShellAlert.h"

#include <QtCore/QPointer>
#include <qcoro/qcorotask.h>

#include <cstdint>
#include <filesystem>
#include <memory>

namespace velto {

class VeltoStore;

/// How the launch goes on once the store's load state has been answered.
enum class LaunchPreparation { goOn, quit, loadAgain };

/// Loads the library in `folder` as the application runs it: within the page limits, archiving after the period
/// the preferences hold.
QCoro::Task<std::unique_ptr<VeltoStore>>
loadLibraryForLaunch(std::filesystem::path folder, std::int64_t maximumPageCount, std::int64_t maximumPageBytes);

/// Answers the loaded store's recovery state before the launch goes on. Pages that cannot be opened yet (a file
/// being replaced, a full device, a library another program holds) are asked about and tried again; the alert
/// answers itself once the store opens its library meanwhile. A library that waiting does not mend gets its
/// recovery prompt: trying again after the user changed the folder, quitting, or preserving the original and
/// going on with a rewritten library. `presentAlert` empty shows modal alerts; nothing more is asked once
/// `launch` is gone.
QCoro::Task<LaunchPreparation> prepareLoadedStore(VeltoStore &store, ShellAlertPresenter presentAlert,
                                                  QPointer<QObject> launch);

} // namespace velto
