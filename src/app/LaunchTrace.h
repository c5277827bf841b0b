#pragma once

namespace velto::launchTrace {

/// With VELTO_TRACE_LAUNCH=1 in the environment, writes "velto-trace <milliseconds since the process started>
/// <milestone>" to standard error, so that launch times can be measured from outside; otherwise nothing.
void milestone(const char *name);

/// Whether milestones are written.
bool isEnabled();

} // namespace velto::launchTrace
