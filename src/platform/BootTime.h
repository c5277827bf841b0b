#pragma once

// Times on the clock that counts from the machine's boot, suspended time included (CLOCK_BOOTTIME): the clock on
// which a launch is timed from outside the process as well as from inside.
namespace velto::bootTime {

/// Milliseconds since boot now.
double nowMilliseconds();

/// Milliseconds since boot when this process started; 0 when the system does not tell.
double processStartMilliseconds();

} // namespace velto::bootTime
