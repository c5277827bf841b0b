#pragma once

namespace velto::launchTrace {

/// With VELTO_TRACE_LAUNCH=1 in the environment, writes "velto-trace <milliseconds since the process started>
/// <milliseconds since the machine booted> <milestone>" to standard error, so that launch and response times can
/// be measured from outside (the second figure against the boot-time clock of the measuring program); otherwise
/// nothing.
void milestone(const char *name);

/// Whether milestones are written.
bool isEnabled();

} // namespace velto::launchTrace
