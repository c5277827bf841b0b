#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace velto::testing {

using Environment = std::map<std::string, std::string>;

/// This process's environment, as a map.
Environment currentEnvironment();

/// Polls `condition` every few milliseconds until it holds or `timeout` passes; answers whether it held.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(10));

/// A program started by a test, with its output in files. Stopped (SIGKILL) when dropped while running.
class ChildProcess {
public:
    /// Starts the program with exactly the given environment; stdout and stderr go to the given files (or
    /// /dev/null). With `reportFd`, the write end of a pipe is handed to the program as descriptor 3 and its
    /// first line can be read with readReport (Xvfb's -displayfd, dbus-daemon's --print-address).
    ChildProcess(const std::vector<std::string> &arguments, const Environment &environment,
                 const std::string &outputFile = "/dev/null", bool reportFd = false);
    /// The descriptors a program starts with as its standard input, output and error; the caller keeps them
    /// and may close them once the program has started.
    struct Descriptors {
        int input = -1; // -1: /dev/null
        int output = -1;
        int errors = -1;
    };
    ChildProcess(const std::vector<std::string> &arguments, const Environment &environment, Descriptors descriptors);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    /// The first line the program wrote to descriptor 3, without its line break; nothing on time-out.
    std::optional<std::string> readReport(std::chrono::milliseconds timeout);
    void signal(int signalNumber);
    /// The exit status (128 + signal for a killed program); nothing when it is still running at the time-out.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool isRunning();

private:
    pid_t pid_ = -1;
    int reportRead_ = -1;
    std::optional<int> exitStatus_;
};

struct ToolResult {
    int exitStatus = -1;
    std::string output; // standard output
};

/// Runs a short command to its end (killed after `timeout`), reading its standard output.
ToolResult runTool(const std::vector<std::string> &arguments, const Environment &environment,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(20'000),
                   const std::string &standardInput = {});

/// Whether an executable of this name is on the PATH.
bool hasProgram(const std::string &name);

std::string readWholeFile(const std::string &path);

} // namespace velto::testing
