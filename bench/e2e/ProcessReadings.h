#pragma once

// What a running process has spent and holds, read from /proc as a user's tools read it: processor time of the
// whole process and of each thread, page faults, memory, and waiting until it is quiet.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velto::bench {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// The fields of /proc/<pid>/stat after the command name, numbered as proc(5) numbers them (state is 3).
inline std::vector<std::string> statFields(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields(3);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return fields;
    }
    std::istringstream rest(text.substr(close + 2));
    for (std::string field; rest >> field;) {
        fields.push_back(field);
    }
    return fields;
}

inline double statField(const std::vector<std::string> &fields, std::size_t number) {
    return number < fields.size() ? std::strtod(fields[number].c_str(), nullptr) : 0;
}

/// The processor seconds the process has spent, all its threads together (user and system time).
inline double processorSeconds(pid_t pid) {
    const std::vector<std::string> fields = statFields(pid);
    return (statField(fields, 14) + statField(fields, 15)) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

/// How long each thread of the process has run on a processor, in nanoseconds, by thread id: the first field
/// of /proc/<pid>/task/<tid>/schedstat. The scheduler counts it exactly, where /proc/<pid>/stat counts whole
/// clock ticks.
inline std::map<std::string, std::uint64_t> threadRunTimes(pid_t pid) {
    std::map<std::string, std::uint64_t> runTimes;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        std::uint64_t nanoseconds = 0;
        if (schedstat >> nanoseconds) {
            runTimes[task.path().filename().string()] = nanoseconds;
        }
    }
    return runTimes;
}

inline std::string threadName(pid_t pid, const std::string &thread) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/task/" + thread + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? thread : name;
}

/// The processor time the process's threads run from its start on, read again and again as it passes: a thread
/// that ends meanwhile takes the time it ran with it, so it counts up to its last reading, which the caller
/// takes at short steps. A thread new since the start counts from zero.
class ThreadRunTimeWatch {
public:
    explicit ThreadRunTimeWatch(pid_t pid)
        : pid_(pid) {
        for (const auto &[thread, runTime] : threadRunTimes(pid)) {
            threads_[thread] = Thread{runTime, runTime, 0, threadName(pid, thread)};
        }
    }

    void read() {
        std::map<std::string, std::uint64_t> now = threadRunTimes(pid_);
        for (auto &[thread, watched] : threads_) {
            watched.running = now.count(thread) != 0;
        }
        for (const auto &[thread, runTime] : now) {
            auto [found, isNew] = threads_.try_emplace(thread, Thread{});
            Thread &watched = found->second;
            if (isNew) {
                watched.name = threadName(pid_, thread);
            } else if (runTime < watched.latest) {
                // Another thread under an ended one's id: the ended one's time is kept, the new one's counts too.
                watched.ended += watched.latest - watched.start;
                watched.start = 0;
            }
            watched.latest = runTime;
        }
    }

    double processorSeconds() const {
        std::uint64_t nanoseconds = 0;
        for (const auto &[thread, watched] : threads_) {
            nanoseconds += watched.ended + watched.latest - watched.start;
        }
        return static_cast<double>(nanoseconds) / 1e9;
    }

    /// The part of processorSeconds() the main thread ran, whose id is the process's.
    double mainThreadProcessorSeconds() const {
        const auto found = threads_.find(std::to_string(pid_));
        if (found == threads_.end()) {
            return 0;
        }
        const Thread &watched = found->second;
        return static_cast<double>(watched.ended + watched.latest - watched.start) / 1e9;
    }

    /// The names of the threads that ended since the start.
    std::vector<std::string> endedThreads() const {
        std::vector<std::string> names;
        for (const auto &[thread, watched] : threads_) {
            if (!watched.running) {
                names.push_back(watched.name);
            }
        }
        return names;
    }

private:
    struct Thread {
        std::uint64_t start = 0;  // at the watch's start; 0 for a thread new since
        std::uint64_t latest = 0; // at the last reading
        std::uint64_t ended = 0;  // of an ended thread whose id another took
        std::string name;
        bool running = true;
    };
    pid_t pid_;
    std::map<std::string, Thread> threads_;
};

/// The page faults the process has taken that needed no reading from disk: each costs the kernel a fresh page,
/// which is how memory given back to the system and taken again shows.
inline double minorPageFaults(pid_t pid) {
    return statField(statFields(pid), 10);
}

/// A line "Name:  value kB" of a /proc file, in megabytes.
inline double procMegabytes(pid_t pid, const char *file, const std::string &name) {
    std::ifstream lines("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::strtod(line.c_str() + name.size() + 1, nullptr) / 1024.0;
        }
    }
    return 0;
}

inline double pssMegabytes(pid_t pid) {
    return procMegabytes(pid, "smaps_rollup", "Pss");
}

/// The pages only this process maps (its unique set size).
inline double privateMegabytes(pid_t pid) {
    return procMegabytes(pid, "smaps_rollup", "Private_Clean") + procMegabytes(pid, "smaps_rollup", "Private_Dirty");
}

/// The pages backed by no file: the heap, thread stacks and other allocations of the process.
inline double anonymousMegabytes(pid_t pid) {
    return procMegabytes(pid, "smaps_rollup", "Anonymous");
}

inline double residentMegabytes(pid_t pid) {
    return procMegabytes(pid, "status", "VmRSS");
}

/// Waits until the process has spent less than 1 % of a processor over a whole second. Answers when that
/// quiet second began, or nothing at the time-out. A watch given is read at every step.
inline std::optional<Clock::time_point> waitUntilQuiet(pid_t pid, std::chrono::seconds timeout,
                                                       ThreadRunTimeWatch *watch = nullptr) {
    constexpr auto window = 1000ms;
    constexpr auto step = 100ms;
    const Clock::time_point deadline = Clock::now() + timeout;
    std::vector<std::pair<Clock::time_point, double>> readings;
    while (Clock::now() < deadline) {
        if (watch != nullptr) {
            watch->read();
        }
        readings.emplace_back(Clock::now(), processorSeconds(pid));
        const auto &latest = readings.back();
        for (const auto &earlier : readings) {
            if (latest.first - earlier.first < window) {
                break;
            }
            if (latest.first - earlier.first < window + step && latest.second - earlier.second < 0.01) {
                return earlier.first;
            }
        }
        std::this_thread::sleep_for(step);
    }
    return std::nullopt;
}

} // namespace velto::bench
