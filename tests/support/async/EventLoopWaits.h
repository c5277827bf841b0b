#pragma once

#include "support/GenerousWait.h"

#include <chrono>
#include <functional>

namespace velto::testing {

/// Runs the Qt event loop until `done` holds or `timeout` passes; returns whether `done` held. The
/// application object must exist (each layer's test kit makes it).
bool processEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = generousWait);
/// Runs the Qt event loop for `interval` (for checking that something does not happen).
void processEventsFor(std::chrono::milliseconds interval);

} // namespace velto::testing
