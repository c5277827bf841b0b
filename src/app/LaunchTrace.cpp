#include "app/LaunchTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace velto::launchTrace {

namespace {

/// The process's start, in CLOCK_BOOTTIME milliseconds (field 22 of /proc/self/stat, in clock ticks).
double processStartMilliseconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    const char *cursor = text.c_str() + close + 2;
    for (int field = 3; field < 22 && *cursor != '\0'; ++field) {
        cursor = std::strchr(cursor, ' ');
        if (cursor == nullptr) {
            return 0;
        }
        ++cursor;
    }
    return std::strtod(cursor, nullptr) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

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
    static const double start = processStartMilliseconds();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    double sinceBoot = static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    std::fprintf(stderr, "velto-trace %.1f %.3f %s\n", sinceBoot - start, sinceBoot, name);
    std::fflush(stderr);
}

} // namespace velto::launchTrace
