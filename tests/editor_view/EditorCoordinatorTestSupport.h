#pragma once

// The editor view's and the page editor's tests drive the coordinator's timers and the store's tasks with the
// kit for asynchronous code that the store's tests use too.
#include "ViewTestApplication.h"
#include "support/async/EventLoopWaits.h"
#include "support/async/Gate.h"
#include "support/async/ManualScheduler.h"
#include "support/async/TaskCompletion.h"

namespace velto::testing {

/// The application object Qt's timers and event loop need: the one the layer's view tests share.
inline void ensureApplication() {
    viewTestApplication();
}

} // namespace velto::testing
