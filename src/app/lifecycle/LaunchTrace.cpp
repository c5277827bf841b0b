#include "app/lifecycle/LaunchTrace.h"

#include "platform/BootTime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velto::launchTrace {

bool isEnabled() {
    static const bool on = [] {
        const char *value = std::getenv("VELTO_TRACE_LAUNCH");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return on;
}

void milestone(const char *name) {
    if (!isEnabled()) {
        return;
    }
    static const double start = bootTime::processStartMilliseconds();
    double sinceBoot = bootTime::nowMilliseconds();
    std::fprintf(stderr, "velto-trace %.1f %.3f %s\n", sinceBoot - start, sinceBoot, name);
    std::fflush(stderr);
}

} // namespace velto::launchTrace
