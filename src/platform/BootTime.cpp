#include "platform/BootTime.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

namespace velto::bootTime {

double nowMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Field 22 of /proc/self/stat, in clock ticks since boot.
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

} // namespace velto::bootTime
