#pragma once

#include <chrono>

namespace velto::testing {

/// How long a test waits for a condition before it fails: long enough for a machine that runs several builds
/// at once. A condition that holds ends the wait at once, so only a failing test waits this long.
inline constexpr std::chrono::milliseconds generousWait{30'000};

} // namespace velto::testing
